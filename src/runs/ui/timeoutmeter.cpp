#include "runs/ui/timeoutmeter.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <algorithm>

namespace {

const QColor AlertColor(255, 0, 0);

// The dial sweeps the upper half circle, from 180 degrees (0) to 0 degrees (maximum).
constexpr double SweepDegrees = 180.0;

} // namespace

TimeoutMeter::TimeoutMeter(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("SubmitTimeoutMeter"));
}

void TimeoutMeter::setValue(int value)
{
    if (value == m_value)
        return;
    m_value = value;
    update();
}

void TimeoutMeter::setMaximum(int maximum)
{
    if (maximum == m_maximum)
        return;
    m_maximum = maximum;
    update();
}

void TimeoutMeter::setAlertMark(int mark)
{
    if (mark == m_alertMark)
        return;
    m_alertMark = mark;
    update();
}

void TimeoutMeter::setFaceColor(const QColor &color)
{
    if (color == m_faceColor)
        return;
    m_faceColor = color;
    update();
}

QSize TimeoutMeter::sizeHint() const
{
    return {120, 90};
}

QSize TimeoutMeter::minimumSizeHint() const
{
    return {60, 50};
}

double TimeoutMeter::fraction(int v) const
{
    if (m_maximum < 1)
        return 0.0;
    return std::clamp(double(v) / m_maximum, 0.0, 1.0);
}

void TimeoutMeter::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    // The half dial and the title below it, centred together in the widget.
    const int titleHeight = fontMetrics().height() + 2;
    const QRectF area = QRectF(rect()).adjusted(4, 4, -4, -4);
    const double radius = std::max(1.0, std::min(area.width() / 2, area.height() - titleHeight));
    const double top = area.top() + std::max(0.0, (area.height() - radius - titleHeight) / 2);
    const QPointF centre(area.center().x(), top + radius);
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);

    // Face: the half disc.
    QPainterPath face;
    face.moveTo(centre);
    face.arcTo(circle, 0, SweepDegrees);
    face.closeSubpath();
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.setBrush(m_faceColor);
    painter.drawPath(face);

    // Scale: normal up to the alert mark, the warning colour above it.
    const double scaleRadius = radius * 0.85;
    const QRectF scale(centre.x() - scaleRadius, centre.y() - scaleRadius, 2 * scaleRadius, 2 * scaleRadius);
    const double alertAt = m_maximum < 1 ? 1.0 : fraction(m_alertMark);
    const int scaleWidth = std::max(2, int(radius / 8));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, scaleWidth, Qt::SolidLine, Qt::FlatCap));
    painter.drawArc(scale, int(SweepDegrees * 16), int(-SweepDegrees * alertAt * 16));
    if (alertAt < 1.0) {
        painter.setPen(QPen(AlertColor, scaleWidth, Qt::SolidLine, Qt::FlatCap));
        painter.drawArc(scale, int((SweepDegrees - SweepDegrees * alertAt) * 16),
                        int(-SweepDegrees * (1.0 - alertAt) * 16));
    }

    // Needle.
    const double angle = qDegreesToRadians(SweepDegrees * (1.0 - fraction(m_value)));
    const QPointF tip(centre.x() + std::cos(angle) * radius * 0.8, centre.y() - std::sin(angle) * radius * 0.8);
    const QColor needle = m_faceColor.lightness() < 128 ? QColor(Qt::white) : QColor(Qt::black);
    painter.setPen(QPen(needle, 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre, tip);

    painter.setPen(palette().color(QPalette::WindowText));
    const QRectF titleArea(rect().left(), centre.y(), rect().width(), titleHeight);
    painter.drawText(titleArea, Qt::AlignCenter, QStringLiteral("Timeout"));
}
