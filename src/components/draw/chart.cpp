#include "chart.h"

#include "base/regional.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {
constexpr double SecondsPerDay = 86400.0;
const QDateTime &chartEpoch()
{
    static const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
    return epoch;
}

// Round multiples of step (in the axis' own unit) inside [from, to] and the minor ticks between.
AxisTicks ticksForStep(double from, double to, double step, int minorCount, double unit)
{
    AxisTicks t;
    t.step = step / unit;
    // No labels for ranges that cannot be drawn (not finite, or more labels than any axis shows).
    if (!std::isfinite(from) || !std::isfinite(to) || !std::isfinite(step) || step <= 0 ||
        (to - from) / step > 100000)
        return t;
    const double eps = 1e-9;
    const double first = std::ceil(from / step - eps);
    const double last = std::floor(to / step + eps);
    for (double k = first; k <= last; ++k)
        t.major << k * step / unit;
    if (minorCount > 0) {
        for (double k = first - 1; k <= last; ++k)
            for (int j = 1; j <= minorCount; ++j) {
                const double m = (k + double(j) / (minorCount + 1)) * step;
                if (m >= from - eps * step && m <= to + eps * step)
                    t.minor << m / unit;
            }
    }
    return t;
}

double labelCount(double from, double to, double step)
{
    return std::floor(to / step + 1e-9) - std::ceil(from / step - 1e-9) + 1;
}

QString valueLabel(double value, double step)
{
    const int decimals = step >= 1 ? 0 : std::min(15, int(std::ceil(-std::log10(step) - 1e-9)));
    QString text = QString::number(value, 'f', decimals);
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text.replace(QLatin1Char('.'), Regional::current().decimalSeparator());
}

QList<double> gridPositions(const AxisTicks &ticks, double from, double to, bool centered)
{
    if (!centered)
        return ticks.major;
    QList<double> at;
    if (ticks.major.isEmpty())
        return at;
    for (double g = ticks.major.constFirst() - ticks.step / 2; g <= to; g += ticks.step)
        if (g >= from)
            at << g;
    return at;
}

QFont withPixelSize(QFont font, int pixels, bool bold = false)
{
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}
} // namespace

double toChartDays(const QDateTime &when)
{
    const QDateTime wall(when.date(), when.time(), Qt::UTC);
    return double(chartEpoch().msecsTo(wall)) / (SecondsPerDay * 1000.0);
}

QDateTime fromChartDays(double days)
{
    return chartEpoch().addMSecs(qint64(std::llround(days * SecondsPerDay * 1000.0)));
}

void ChartAxis::setMinMax(double minimum, double maximum)
{
    m_min = std::min(minimum, maximum);
    m_max = std::max(minimum, maximum);
    m_automatic = false;
}

void LineSeries::addXY(double x, double y)
{
    const auto at = std::upper_bound(m_points.begin(), m_points.end(), x,
                                     [](double value, const ChartPoint &p) { return value < p.x; });
    m_points.insert(at, ChartPoint{x, y});
}

AxisTicks dateTimeTicks(double from, double to, double minimumStep, int maxLabels, int minorCount)
{
    static const double steps[] = {1,   2,    5,    10,   15,    30,    60,    120,   300,    600,
                                   900, 1800, 3600, 7200, 10800, 21600, 43200, 86400, 172800, 604800};
    if (!std::isfinite(from) || !std::isfinite(to) || !(to - from < 1e7))
        return {};
    const double fromS = from * SecondsPerDay, toS = to * SecondsPerDay;
    const double minS = minimumStep * SecondsPerDay - 1e-6;
    maxLabels = std::max(1, maxLabels);
    double step = 0;
    for (double s : steps)
        if (s >= minS && labelCount(fromS, toS, s) <= maxLabels) {
            step = s;
            break;
        }
    for (double days = 10; step == 0; days *= 10)
        for (double m : {1.0, 2.0, 5.0})
            if (step == 0 && m * days * SecondsPerDay >= minS &&
                labelCount(fromS, toS, m * days * SecondsPerDay) <= maxLabels)
                step = m * days * SecondsPerDay;
    return ticksForStep(fromS, toS, step, minorCount, SecondsPerDay);
}

AxisTicks valueTicks(double from, double to, double minimumStep, int maxLabels, int minorCount)
{
    if (!std::isfinite(from) || !std::isfinite(to) || !std::isfinite(to - from))
        return {};
    maxLabels = std::max(1, maxLabels);
    const double raw = std::max({minimumStep, (to - from) / maxLabels, 1e-12});
    double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 0;
    while (step == 0 && std::isfinite(power)) {
        for (double m : {1.0, 2.0, 5.0})
            if (step == 0 && m * power >= raw * (1 - 1e-12) && labelCount(from, to, m * power) <= maxLabels)
                step = m * power;
        power *= 10;
    }
    if (step == 0)
        return {};
    return ticksForStep(from, to, step, minorCount, 1.0);
}

Chart::Chart()
{
    font = withPixelSize(QFont(QStringLiteral("Arial")), 11);
}

void Chart::range(const ChartAxis &axis, bool horizontal, double *from, double *to) const
{
    if (!axis.automatic()) {
        *from = axis.minimum();
        *to = axis.maximum();
    } else if (series.points().isEmpty()) {
        *from = 0;
        *to = horizontal ? 1.0 / SecondsPerDay : 1.0;
    } else {
        const auto &pts = series.points();
        if (horizontal) {
            *from = pts.constFirst().x;
            *to = pts.constLast().x;
        } else {
            const auto [lo, hi] = std::minmax_element(
                pts.begin(), pts.end(), [](const ChartPoint &a, const ChartPoint &b) { return a.y < b.y; });
            *from = lo->y;
            *to = hi->y;
        }
    }
    if (!(*to > *from)) { // no extent: one second, or one unit, on either side
        const double half = horizontal ? 1.0 / SecondsPerDay : 1.0;
        *from -= half;
        *to += half;
    }
}

void Chart::horizontalRange(double *from, double *to) const
{
    range(bottomAxis, true, from, to);
}

void Chart::verticalRange(double *from, double *to) const
{
    range(leftAxis, false, from, to);
}

void Chart::draw(QPainter &p, const QRectF &rect) const
{
    p.save();
    p.setClipRect(rect);
    p.fillRect(rect, panelColor);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);

    const int pixels = font.pixelSize() > 0 ? font.pixelSize() : 11;
    const QFont labelFont = withPixelSize(font, pixels);
    const QFont titleFont = withPixelSize(font, pixels + 2, true);
    const QFont axisTitleFont = withPixelSize(font, pixels, true);
    const QFontMetricsF lm(labelFont), tm(titleFont), am(axisTitleFont);
    const double gap = 4, majorTick = 4, minorTick = 2;

    // Title under the top margin.
    double top = rect.top() + rect.height() * marginTopPercent / 100.0;
    if (!title.isEmpty()) {
        p.setFont(titleFont);
        p.setPen(QColor(0, 0, 128));
        p.drawText(QRectF(rect.left(), top, rect.width(), tm.height()), Qt::AlignHCenter | Qt::AlignTop,
                   title);
        top += tm.height() + gap * 2;
    }
    const double bottomLabels =
        bottomAxis.labelsSize > 0
            ? bottomAxis.labelsSize
            : (bottomAxis.labelAngle == 90 ? lm.horizontalAdvance(QStringLiteral("00:00:0000.00.00"))
                                           : lm.height());
    const double bottom = rect.bottom() - gap * 2 - (bottomAxis.title.isEmpty() ? 0 : am.height() + gap) -
                          bottomLabels - majorTick - gap;
    double xFrom = 0, xTo = 1, yFrom = 0, yTo = 1;
    horizontalRange(&xFrom, &xTo);
    verticalRange(&yFrom, &yTo);

    const double plotHeight = bottom - top;
    const AxisTicks yTicks =
        valueTicks(yFrom, yTo, leftAxis.minimumStep, std::max(1, int(plotHeight / (lm.height() * 1.5))),
                   leftAxis.minorTickCount);
    double labelWidth = 0;
    for (double v : yTicks.major)
        labelWidth = std::max(labelWidth, lm.horizontalAdvance(valueLabel(v, yTicks.step)));
    const double left = rect.left() + gap * 2 + (leftAxis.title.isEmpty() ? 0 : am.height() + gap) +
                        labelWidth + gap + majorTick;
    const double right = rect.right() - std::max(12.0, rect.width() * 0.03);
    const QRectF plot(QPointF(left, top), QPointF(right, bottom));
    if (plot.width() < 10 || plot.height() < 10) {
        p.restore();
        return;
    }

    const double labelPitch = bottomAxis.labelAngle == 90
                                  ? lm.height() + 2
                                  : lm.horizontalAdvance(QStringLiteral("00:00:0000.00.00 "));
    const AxisTicks xTicks =
        bottomAxis.dateTime
            ? dateTimeTicks(xFrom, xTo, bottomAxis.minimumStep, std::max(1, int(plot.width() / labelPitch)),
                            bottomAxis.minorTickCount)
            : valueTicks(xFrom, xTo, bottomAxis.minimumStep, std::max(1, int(plot.width() / labelPitch)),
                         bottomAxis.minorTickCount);
    auto mapX = [&](double x) { return plot.left() + (x - xFrom) / (xTo - xFrom) * plot.width(); };
    auto mapY = [&](double y) { return plot.bottom() - (y - yFrom) / (yTo - yFrom) * plot.height(); };

    if (!backWallTransparent)
        p.fillRect(plot, backWallColor);

    // Grid lines at the labels, or halfway between them.
    QPen gridPen(QColor(160, 160, 160), 1, Qt::DotLine);
    p.setPen(gridPen);
    if (bottomAxis.grid)
        for (double x : gridPositions(xTicks, xFrom, xTo, bottomAxis.gridCentered))
            p.drawLine(QPointF(mapX(x), plot.top()), QPointF(mapX(x), plot.bottom()));
    if (leftAxis.grid)
        for (double y : gridPositions(yTicks, yFrom, yTo, leftAxis.gridCentered))
            p.drawLine(QPointF(plot.left(), mapY(y)), QPointF(plot.right(), mapY(y)));

    // Axes, ticks and labels.
    const QPen axisPen(Qt::black, 1);
    p.setPen(axisPen);
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    for (double x : xTicks.minor)
        p.drawLine(QPointF(mapX(x), plot.bottom()), QPointF(mapX(x), plot.bottom() + minorTick));
    for (double y : yTicks.minor)
        p.drawLine(QPointF(plot.left() - minorTick, mapY(y)), QPointF(plot.left(), mapY(y)));
    p.setFont(labelFont);
    for (double x : xTicks.major) {
        const double px = mapX(x);
        p.drawLine(QPointF(px, plot.bottom()), QPointF(px, plot.bottom() + majorTick));
        const QString text = bottomAxis.dateTime ? fromChartDays(x).toString(bottomAxis.labelFormat)
                                                 : valueLabel(x, xTicks.step);
        if (bottomAxis.labelAngle == 90) {
            p.save();
            p.translate(px, plot.bottom() + majorTick + gap);
            p.rotate(-90);
            p.drawText(QRectF(-bottomLabels, -lm.height() / 2, bottomLabels, lm.height()),
                       Qt::AlignRight | Qt::AlignVCenter, text);
            p.restore();
        } else {
            p.drawText(QRectF(px - labelPitch / 2, plot.bottom() + majorTick + gap, labelPitch, lm.height()),
                       Qt::AlignHCenter | Qt::AlignTop, text);
        }
    }
    for (double y : yTicks.major) {
        const double py = mapY(y);
        p.drawLine(QPointF(plot.left() - majorTick, py), QPointF(plot.left(), py));
        p.drawText(
            QRectF(plot.left() - majorTick - gap - labelWidth, py - lm.height() / 2, labelWidth, lm.height()),
            Qt::AlignRight | Qt::AlignVCenter, valueLabel(y, yTicks.step));
    }

    // Axis titles.
    p.setFont(axisTitleFont);
    if (!bottomAxis.title.isEmpty())
        p.drawText(QRectF(plot.left(), plot.bottom() + majorTick + gap + bottomLabels + gap, plot.width(),
                          am.height()),
                   Qt::AlignHCenter | Qt::AlignTop, bottomAxis.title);
    if (!leftAxis.title.isEmpty()) {
        p.save();
        p.translate(rect.left() + gap * 2, plot.center().y());
        p.rotate(-90);
        p.drawText(QRectF(-plot.height() / 2, 0, plot.height(), am.height()), Qt::AlignHCenter | Qt::AlignTop,
                   leftAxis.title);
        p.restore();
    }

    // The series.
    const auto &pts = series.points();
    if (!pts.isEmpty()) {
        QPolygonF line;
        line.reserve(pts.size());
        for (const ChartPoint &pt : pts)
            line << QPointF(mapX(pt.x), mapY(pt.y));
        p.setClipRect(plot.adjusted(-1, -1, 1, 1), Qt::IntersectClip);
        p.setPen(QPen(series.color, 1));
        p.drawPolyline(line);
        if (series.pointerVisible) {
            p.setBrush(series.color);
            for (const QPointF &pt : std::as_const(line))
                p.drawRect(QRectF(pt.x() - 2, pt.y() - 2, 4, 4));
        }
    }
    p.restore();
}
