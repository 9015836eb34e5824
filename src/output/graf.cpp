#include "graf.h"

#include "ui/errorguard.h"
#include "data/dbftable.h"
#include "data/measurementtable.h"
#include "data/regional.h"
#include "param_graf.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>

namespace {
// The smallest label step of the time axis: one second, in days.
constexpr double OneSecond = 1.1574074074074e-05;
constexpr double MassWindow = 10.0;

// Switches the table's filter off when the chart has been read, also when reading failed.
class FilterOff
{
public:
    explicit FilterOff(DbfTable &table) : m_table(table) {}
    ~FilterOff()
    {
        try {
            m_table.setFiltered(false);
        } catch (...) {
            // The reading error is the one the operator sees.
        }
    }
    FilterOff(const FilterOff &) = delete;
    FilterOff &operator=(const FilterOff &) = delete;

private:
    DbfTable &m_table;
};
} // namespace

void configureMassChart(Chart &chart)
{
    chart.title = QStringLiteral("Изменение массы образца во времени");
    chart.legendVisible = false;
    chart.view3D = false;
    chart.backWallColor = Qt::white;
    chart.backWallTransparent = true;
    chart.marginTopPercent = 5;

    chart.series.color = Qt::red;
    chart.series.pointerVisible = false;
    chart.series.marksVisible = false;

    ChartAxis &x = chart.bottomAxis;
    x.title = QStringLiteral("t, c.");
    x.dateTime = true;
    x.labelFormat = QStringLiteral("hh:mm:ssdd.MM.yy");
    x.minimumStep = OneSecond;
    x.labelAngle = 90;
    x.labelsSize = 101;
    x.minorTickCount = 5;
    x.grid = true;
    x.gridCentered = true;
    x.setAutomatic(true);

    ChartAxis &y = chart.leftAxis;
    y.title = QStringLiteral("m, г.");
    y.dateTime = false;
    y.minimumStep = 1.0;
    y.grid = true;
    y.gridCentered = true;
    y.setAutomatic(true);
}

MassRange massAxisRange(const QList<ChartPoint> &points)
{
    MassRange range;
    if (points.isEmpty())
        return range;
    const auto [lo, hi] = std::minmax_element(
        points.begin(), points.end(), [](const ChartPoint &a, const ChartPoint &b) { return a.y < b.y; });
    const double min = lo->y, max = hi->y;
    if (max - min >= MassWindow)
        return range;
    const double d = (MassWindow - (max - min)) / 2;
    range.automatic = false;
    range.minimum = min - d;
    range.maximum = max + d;
    return range;
}

void buildMassChart(Chart &chart, DbfTable &table)
{
    FilterOff filterOff(table);
    chart.series.clear();
    chart.bottomAxis.labelFormat = QStringLiteral("hh:mm:ssdd.MM.yy");
    const Regional &regional = Regional::current();
    for (table.first(); !table.eof(); table.next()) {
        const QString when = table.text(Measurement::DATE) + QLatin1Char(' ') + table.text(Measurement::TIME);
        const double x = toChartDays(regional.parseDateTime(when));
        const double y = table.number(Measurement::T_1);
        chart.series.addXY(x, y);
    }
    const MassRange range = massAxisRange(chart.series.points());
    if (range.automatic)
        chart.leftAxis.setAutomatic(true);
    else
        chart.leftAxis.setMinMax(range.minimum, range.maximum);
}

QPrinter &chartPrinter()
{
    static QPrinter printer(QPrinter::HighResolution);
    return printer;
}

void printChart(const Chart &chart, QPrinter &printer)
{
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(QStringLiteral("Chart1"));
    printer.setFullPage(false);
    printer.setCopyCount(1);
    printer.setPrintRange(QPrinter::AllPages);

    QPainter painter;
    if (!painter.begin(&printer))
        throw QpxError(QStringLiteral("Печать невозможна: принтер не выбран или недоступен"));
    try {
        // Drawn in screen pixels (96 per inch) scaled to the printer; the on-screen proportions
        // are not kept: the chart fills the printable area less the margins.
        const QSizeF page = printer.pageLayout().paintRectPixels(printer.resolution()).size();
        const double scale = printer.resolution() / 96.0;
        const double mx = page.width() * 0.04, my = page.height() * 0.04;
        painter.scale(scale, scale);
        chart.draw(painter, QRectF(mx / scale, my / scale, (page.width() - 2 * mx) / scale,
                                   (page.height() - 2 * my) / scale));
    } catch (...) {
        printer.abort();
        painter.end();
        throw;
    }
    if (!painter.end())
        throw QpxError(QStringLiteral("Ошибка печати графика"));
}

TForm3::TForm3(DbfTable *table, QWidget *parent) : QDialog(parent), m_table(table)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Графики"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    resize(698, 482);

    Chart1 = new ChartView(this);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    configureMassChart(Chart1->chart());
    Button1 = new QPushButton(QStringLiteral("Печать"), Chart1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->resize(75, 25);
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, [this] { runGuarded([this] { Button1Click(); }); });

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TForm3::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    Chart1->setGeometry(rect());
    Button1->move(Chart1->width() - Button1->width() - 6, Chart1->height() - Button1->height() - 6);
}

void TForm3::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        runGuarded([this] { FormShow(); });
}

void TForm3::FormShow()
{
    // Hidden while the points go in, so that the chart is drawn once.
    Chart1->hide();
    if (!m_table || !m_table->isOpen())
        return;
    buildMassChart(Chart1->chart(), *m_table);
    Chart1->show();
    Chart1->update();
}

void TForm3::Button1Click()
{
    printChart(Chart1->chart(), chartPrinter());
}

void N15Click(TForm4 &form4, TForm3 &form3)
{
    if (form4.exec() == QDialog::Accepted)
        form3.exec();
}
