#include "runs/ui/gauge.h"

#include <QStyleOptionProgressBar>
#include <QStylePainter>

Gauge::Gauge(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_asked = look();
}

void Gauge::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = qMax(minimum, maximum);
    if (qint64(m_value) < qint64(m_minimum) - 1 || m_value > m_maximum)
        m_value = m_minimum == INT_MIN ? INT_MIN : m_minimum - 1;
    m_asked = look();
    update();
}

void Gauge::setValue(int value)
{
    if (value == m_value || value < m_minimum || value > m_maximum)
        return;
    m_value = value;
    emit valueChanged(value);
    const QPoint now = look();
    if (now != m_asked) {
        m_asked = now;
        update();
    }
}

int Gauge::percent() const
{
    if (m_value < m_minimum)
        return -1;
    const qint64 steps = qint64(m_maximum) - m_minimum;
    return steps == 0 ? 100 : int((qint64(m_value) - m_minimum) * 100.0 / steps);
}

QPoint Gauge::look() const
{
    const qint64 steps = qint64(m_maximum) - m_minimum;
    if (m_value < m_minimum || steps == 0)
        return {percent(), m_value < m_minimum ? 0 : width()};
    return {percent(), int((qint64(m_value) - m_minimum) * width() / steps)};
}

QString Gauge::text() const
{
    const int p = percent();
    return p < 0 ? QString() : QString::number(p) + QLatin1Char('%');
}

void Gauge::initStyleOption(QStyleOptionProgressBar *option) const
{
    option->initFrom(this);
    option->state |= QStyle::State_Horizontal;
    option->minimum = m_minimum;
    option->maximum = m_maximum;
    option->progress = m_value;
    option->textAlignment = Qt::AlignLeft;
    option->textVisible = true;
    option->text = text();
}

void Gauge::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    painter.drawControl(QStyle::CE_ProgressBar, option);
}

QSize Gauge::sizeHint() const
{
    ensurePolished();
    const QFontMetrics metrics = fontMetrics();
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    const int chunk = style()->pixelMetric(QStyle::PM_ProgressBarChunkWidth, &option, this);
    const QSize text(qMax(9, chunk) * 7 + metrics.horizontalAdvance(QLatin1Char('0')) * 4, metrics.height() + 8);
    return style()->sizeFromContents(QStyle::CT_ProgressBar, &option, text, this);
}

QSize Gauge::minimumSizeHint() const
{
    const QSize hint = sizeHint();
    return {hint.height(), hint.height()};
}
