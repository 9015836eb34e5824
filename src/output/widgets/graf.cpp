#include "graf.h"

#include "base/errors.h"
#include "dbase/dbftable.h"
#include "ui/errorguard.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>

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
        drawChartPage(chart, painter, printer.pageLayout(), printer.resolution());
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
