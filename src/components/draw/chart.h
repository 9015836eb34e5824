#pragma once
// A small chart component: one line series over a date-time horizontal axis and a value axis,
// drawn by one routine on any QPainter (screen, printer, image, PDF). Positions on the horizontal
// axis are days since 30 December 1899, the fraction being the time of day. No widgets: the chart
// on screen is ChartView (chartview.h).
#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QList>
#include <QString>

class QPainter;

struct ChartPoint
{
    double x = 0;
    double y = 0;
};

// Days since 30 December 1899 (the fraction being the time of day) and back.
double toChartDays(const QDateTime &when);
QDateTime fromChartDays(double days);

class ChartAxis
{
public:
    QString title;
    bool dateTime = false;
    QString labelFormat;       // QDateTime format of date-time labels
    double minimumStep = 0;    // smallest distance between labels (days on a date-time axis)
    int labelAngle = 0;        // degrees, counter-clockwise; 0 or 90
    int labelsSize = 0;        // pixels reserved for the labels across the axis; 0: measured
    int minorTickCount = 0;    // minor ticks between two labels
    bool grid = true;          // grid lines
    bool gridCentered = false; // grid lines halfway between the labels instead of at them

    bool automatic() const { return m_automatic; }
    void setAutomatic(bool on) { m_automatic = on; }
    // Fixes the range; both bounds take effect together, whatever the range was before.
    void setMinMax(double minimum, double maximum);
    double minimum() const { return m_min; }
    double maximum() const { return m_max; }

private:
    bool m_automatic = true;
    double m_min = 0;
    double m_max = 0;
};

class LineSeries
{
public:
    QColor color = Qt::red;
    bool pointerVisible = false; // point markers
    bool marksVisible = false;   // value labels at the points

    void clear() { m_points.clear(); }
    // Keeps the points in ascending order of x; a point with the x of earlier points goes after them.
    void addXY(double x, double y);
    const QList<ChartPoint> &points() const { return m_points; }

private:
    QList<ChartPoint> m_points;
};

// Label positions of one axis for a range: round multiples of the step.
struct AxisTicks
{
    double step = 0;
    QList<double> major;
    QList<double> minor;
};

// Date-time axis: the step is the smallest of 1, 2, 5, 10, 15, 30 seconds, 1, 2, 5, 10, 15, 30
// minutes, 1, 2, 3, 6, 12 hours, 1, 2, 7 days, then 10, 20, 50 ... days, that is at least
// minimumStep and leaves no more than maxLabels labels.
AxisTicks dateTimeTicks(double from, double to, double minimumStep, int maxLabels, int minorCount);
// Value axis: steps 1, 2, 5 times a power of ten.
AxisTicks valueTicks(double from, double to, double minimumStep, int maxLabels, int minorCount);

class Chart
{
public:
    Chart();

    QString title;
    QFont font;                 // labels and titles (pixel size)
    bool legendVisible = false; // (one series: no legend is drawn in any case)
    bool view3D = false;
    QColor panelColor = Qt::white;
    QColor backWallColor = Qt::white;
    bool backWallTransparent = true;
    double marginTopPercent = 5;
    ChartAxis bottomAxis;
    ChartAxis leftAxis;
    LineSeries series;

    // The ranges the drawing uses: the fixed one, or the data's (widened when it has no extent).
    void horizontalRange(double *from, double *to) const;
    void verticalRange(double *from, double *to) const;

    // Draws the whole chart into rect (logical pixels of the painter).
    void draw(QPainter &painter, const QRectF &rect) const;

private:
    void range(const ChartAxis &axis, bool horizontal, double *from, double *to) const;
};
