#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

// Lets a window paint at most once per interval while it is engaged. A fast
// run changes its gauges and its log hundreds of times a second; painting each
// change would cost more than the requests themselves.
//
// Widgets keep updating as usual: their changes only gather in the window's
// dirty region, and the held-back paint request is delivered when the interval
// is over, so what is finally shown is always the latest state. Nothing is
// ever disabled, so every value a widget holds is current at any time.
class PaintThrottle : public QObject
{
    Q_OBJECT

public:
    PaintThrottle(QWidget *window, int intervalMs, QObject *parent = nullptr);
    ~PaintThrottle() override;

    // From now on the window paints at most once per interval.
    void engage();
    // Paints on demand again; what was held back is painted at the next chance.
    void release();
    bool engaged() const { return m_engaged; }
    // The paint requests held back since engage() (for tests).
    int heldBack() const { return m_heldBack; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void deliver();

    QWidget *m_window;
    int m_intervalMs;
    QElapsedTimer m_sincePaint;
    QTimer m_pending;
    bool m_engaged = false;
    bool m_delivering = false;
    bool m_held = false;
    int m_heldBack = 0;
};
