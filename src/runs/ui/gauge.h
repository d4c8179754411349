#pragma once

#include <QWidget>

class QStyleOptionProgressBar;

// The run's progress bars. A gauge looks and counts like a QProgressBar with
// its percentage, but a new value only asks for an ordinary update, and only
// when what is drawn changes: the percentage or the length of the bar. A
// QProgressBar repaints at once and measures its text on each visible change,
// and a fast run changes its gauges several times per request.
class Gauge : public QWidget
{
    Q_OBJECT

public:
    explicit Gauge(QWidget *parent = nullptr);

    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    // A maximum below the minimum is taken as the minimum. A value outside the
    // new range puts the gauge back to its empty state.
    void setRange(int minimum, int maximum);

    // Below the minimum while the gauge is empty (no bar, no text).
    int value() const { return m_value; }
    // Values outside the range are ignored, as QProgressBar does.
    void setValue(int value);
    // "17%"; "" while the gauge is empty.
    QString text() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void valueChanged(int value);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void initStyleOption(QStyleOptionProgressBar *option) const;
    int percent() const;
    // What a value looks like: its percentage and the bar's length in pixels.
    QPoint look() const;

    int m_minimum = 0;
    int m_maximum = 100;
    int m_value = -1;
    QPoint m_asked;
};
