#pragma once

#include <QColor>
#include <QWidget>

// The run's timeout gauge: a dial titled "Timeout" whose needle shows a value
// between 0 and a maximum; the scale above the alert mark is drawn in a warning
// colour. Values outside 0..maximum are kept as given and drawn at the nearer end.
class TimeoutMeter : public QWidget
{
    Q_OBJECT

public:
    explicit TimeoutMeter(QWidget *parent = nullptr);

    int value() const { return m_value; }
    void setValue(int value);
    // A maximum below 1 is drawn as an empty scale with the needle at rest.
    int maximum() const { return m_maximum; }
    void setMaximum(int maximum);
    int alertMark() const { return m_alertMark; }
    void setAlertMark(int mark);
    QColor faceColor() const { return m_faceColor; }
    void setFaceColor(const QColor &color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The fraction of the scale that v covers, limited to 0..1.
    double fraction(int v) const;

    int m_value = 0;
    int m_maximum = 100;
    int m_alertMark = 75;
    QColor m_faceColor = QColor(0, 0, 255);
};
