// The measurement report of a real table file: pages and their text (through pdftotext), the
// current sort, where the table is left, and the three commands with a scripted print dialog.
#include "base/regional.h"
#include "components/widgets/reportpreview.h"
#include "data/measurementtable.h"
#include "dbase/dbftable.h"
#include "output/widgets/measurementreport.h"
#include "support/scriptedprompts.h"
#include "ui/prompts.h"

#include "support/needtool.h"
#include <QAction>
#include <QPrinter>
#include <QProcess>
#include <QScrollArea>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

QString pdfText(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

class MeasurementReportTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    RegionalScope pin{Regional::russian()};
    DbfTable table{Measurement::schema()};
    ScriptedPrompts prompts;

    void SetUp() override
    {
        table.setFileName(dir.filePath(QStringLiteral("t.db")));
        table.create();
        table.open();
        prompts.printTo = dir.filePath(QStringLiteral("printed.pdf"));
        prompts.acceptPrint = true;
        Prompts::setInstance(&prompts);
    }
    void TearDown() override { Prompts::setInstance(nullptr); }

    void addRows(int count, const QList<double> &masses = {})
    {
        for (int i = 0; i < count; ++i) {
            const int n = table.physicalRecordCount() + 1;
            table.append();
            table.setInteger(Measurement::N, n);
            table.setText(Measurement::MODE, n % 2 ? Measurement::Observation : Measurement::Operative);
            table.setText(Measurement::DATE, QStringLiteral("07.11.2005"));
            table.setText(Measurement::TIME, QStringLiteral("09:%1:30").arg(n % 60, 2, 10, QLatin1Char('0')));
            table.setNumber(Measurement::T_1, i < masses.size() ? masses.at(i) : 100.0 + n);
            if (n % 2)
                table.setNumber(Measurement::T_2, 7);
            table.setText(Measurement::COMMENT, QStringLiteral("строка %1").arg(n));
            table.post();
        }
    }

    // The printed text of one column over all pages, in order.
    static QStringList column(const MeasurementReport &report, const QString &object)
    {
        QStringList values;
        const Report::PreparedReport &pages = report.pages();
        for (int p = 0; p < pages.pageCount(); ++p) {
            const Report::PreparedPage page = pages.page(p);
            for (const Report::PlacedText &item : page.items) {
                if (item.object->name == object)
                    values << item.text();
            }
        }
        return values;
    }

    bool havePoppler() const
    {
        return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
    }
};

} // namespace

TEST_F(MeasurementReportTest, PagesOfTheWholeTableAsPdf)
{
    QPX_SKIP_WITHOUT(!havePoppler(), "pdftotext (poppler-utils) is not installed");
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    MeasurementReport report(&table);

    report.writePdf(path); // empty table
    QString text = pdfText(path);
    EXPECT_EQ(report.pages().pageCount(), 1);
    EXPECT_TRUE(text.contains(QStringLiteral("ЛКТ-ДН7")));
    EXPECT_TRUE(text.contains(QStringLiteral("Примечание")));
    EXPECT_TRUE(text.contains(QStringLiteral("Стр. 1 из 1")));

    for (const auto &[rows, pages] : std::vector<std::pair<int, int>>{{12, 1}, {13, 2}, {26, 2}, {27, 3}}) {
        SCOPED_TRACE(rows);
        addRows(rows - table.rowCount());
        report.writePdf(path);
        text = pdfText(path);
        EXPECT_EQ(report.pages().pageCount(), pages);
        for (int p = 1; p <= pages; ++p)
            EXPECT_TRUE(text.contains(QStringLiteral("Стр. %1 из %2").arg(p).arg(pages)));
        EXPECT_EQ(text.count(QStringLiteral("Масса, г")), pages);
        EXPECT_EQ(text.count(QStringLiteral("ЛКТ-ДН7")), 1);
        EXPECT_TRUE(text.contains(QStringLiteral("строка %1").arg(rows)));
        // The walk leaves the table on its last row.
        EXPECT_EQ(table.recNo(), table.recordAt(table.rowCount() - 1));
    }
}

TEST_F(MeasurementReportTest, MassesAndTheCurrentSort)
{
    addRows(4, {30, 12.34, 123, 20.05});
    MeasurementReport report(&table);
    ASSERT_TRUE(report.prepare());
    EXPECT_EQ(column(report, QStringLiteral("Memo20")),
              QStringList({QStringLiteral("30,0"), QStringLiteral("12,3"), QStringLiteral("123,0"),
                           QStringLiteral("20,1")}));

    table.addIndex(QStringLiteral("BYN"), Measurement::N, true);
    table.selectIndex(QStringLiteral("BYN"));
    ASSERT_TRUE(report.prepare());
    EXPECT_EQ(
        column(report, QStringLiteral("Memo2")),
        QStringList({QStringLiteral("4"), QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("1")}));
    EXPECT_EQ(column(report, QStringLiteral("Memo23")).first(), QStringLiteral("строка 4"));
    EXPECT_EQ(table.recNo(), 1); // the last row in this order

    // Sorted by mass as the grid sorts it: the report lists the rows in the table's order.
    table.addIndex(QStringLiteral("BYMASS"), Measurement::T_1, false);
    table.selectIndex(QStringLiteral("BYMASS"));
    QStringList order;
    for (table.first(); !table.eof(); table.next())
        order << table.text(Measurement::N);
    ASSERT_NE(order, QStringList({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                  QStringLiteral("4")}));
    ASSERT_TRUE(report.prepare());
    EXPECT_EQ(column(report, QStringLiteral("Memo2")), order);
}

TEST_F(MeasurementReportTest, PrintPreparesAndPrintsThroughTheDialog)
{
    QPX_SKIP_WITHOUT(!havePoppler(), "pdftotext (poppler-utils) is not installed");
    addRows(13);
    MeasurementReport report(&table);
    report.setPrinterCheck([] { return true; });
    report.print(nullptr);
    EXPECT_EQ(prompts.printPageCounts, QList<int>({2}));
    EXPECT_TRUE(pdfText(prompts.printTo).contains(QStringLiteral("Стр. 2 из 2")));

    // Cancelled: nothing printed, the pages stay.
    QFile::remove(prompts.printTo);
    prompts.acceptPrint = false;
    report.print(nullptr);
    EXPECT_FALSE(QFile::exists(prompts.printTo));
    EXPECT_EQ(report.pages().pageCount(), 2);

    // No printer installed: no dialog at all.
    report.setPrinterCheck([] { return false; });
    prompts.printPageCounts.clear();
    report.print(nullptr);
    report.printLast(nullptr);
    EXPECT_TRUE(prompts.printPageCounts.isEmpty());
}

TEST_F(MeasurementReportTest, PopupPrintUsesThePagesOfTheLastPreview)
{
    QPX_SKIP_WITHOUT(!havePoppler(), "pdftotext (poppler-utils) is not installed");
    addRows(3);
    MeasurementReport report(&table);
    report.setPrinterCheck([] { return true; });
    int shownPages = 0;
    report.setPreviewHook([&](QWidget *window) {
        auto *preview = qobject_cast<Report::PreviewWindow *>(window);
        ASSERT_NE(preview, nullptr);
        shownPages = preview->currentPage() + 1;
        // Opened at the page width of the window as the window is laid out.
        const QScrollArea *area = preview->findChild<QScrollArea *>();
        ASSERT_NE(area, nullptr);
        EXPECT_GT(preview->scale() * 297.0, area->viewport()->width() * 0.8);
        // The arrow buttons are named for the operator and a screen reader.
        QStringList names;
        for (const QToolButton *b : preview->findChildren<QToolButton *>())
            if (b->text().contains(QLatin1Char('<')) || b->text().contains(QLatin1Char('>')))
                names << b->toolTip() + QLatin1Char('=') + b->accessibleName();
        EXPECT_EQ(names.join(QLatin1Char('|')),
                  QStringLiteral("Первая страница=Первая страница|Предыдущая страница=Предыдущая страница|"
                                 "Следующая страница=Следующая страница|Последняя страница=Последняя "
                                 "страница"));
        EXPECT_TRUE(preview->findNext(QStringLiteral("строка 3")));
        EXPECT_FALSE(preview->findNext(QStringLiteral("нет такого")));
        preview->accept();
    });
    report.preview(nullptr);
    EXPECT_EQ(shownPages, 1);

    // Rows changed after the preview: the pop-up print still prints what was previewed.
    table.first();
    table.edit();
    table.setText(Measurement::COMMENT, QStringLiteral("исправлено"));
    table.post();
    table.last();
    table.deleteRecord();
    report.printLast(nullptr);
    const QString printed = pdfText(prompts.printTo);
    EXPECT_TRUE(printed.contains(QStringLiteral("строка 1")));
    EXPECT_TRUE(printed.contains(QStringLiteral("строка 3")));
    EXPECT_FALSE(printed.contains(QStringLiteral("исправлено")));
}

TEST_F(MeasurementReportTest, PreviewButtonsSaveAndPrint)
{
    QPX_SKIP_WITHOUT(!havePoppler(), "pdftotext (poppler-utils) is not installed");
    addRows(20);
    MeasurementReport report(&table);
    report.setPrinterCheck([] { return true; });
    const QString savedAs = dir.filePath(QStringLiteral("saved.pdf"));
    prompts.fileNames.push_back(savedAs);
    report.setPreviewHook([&](QWidget *window) {
        const auto trigger = [&](const QString &text) {
            for (QAction *action : window->findChildren<QAction *>()) {
                if (action->text() == text) {
                    action->trigger();
                    return true;
                }
            }
            return false;
        };
        EXPECT_TRUE(trigger(QStringLiteral("Сохранить...")));
        EXPECT_TRUE(trigger(QStringLiteral("Печать...")));
        EXPECT_TRUE(trigger(QStringLiteral(">")));
        EXPECT_EQ(qobject_cast<Report::PreviewWindow *>(window)->currentPage(), 1);
        EXPECT_TRUE(trigger(QStringLiteral("Закрыть")));
    });
    report.preview(nullptr);
    EXPECT_TRUE(pdfText(savedAs).contains(QStringLiteral("Стр. 2 из 2")));
    EXPECT_EQ(prompts.printPageCounts, QList<int>({2}));
    EXPECT_TRUE(pdfText(prompts.printTo).contains(QStringLiteral("Стр. 1 из 2")));
}

TEST_F(MeasurementReportTest, PopupPrintWithoutAPreparedReportPreparesFirst)
{
    addRows(2);
    MeasurementReport report(&table);
    report.setPrinterCheck([] { return true; });
    report.printLast(nullptr);
    EXPECT_EQ(prompts.printPageCounts, QList<int>({1}));
    EXPECT_TRUE(report.hasPages());
}

TEST_F(MeasurementReportTest, ClosedTableDoesNothing)
{
    addRows(2);
    MeasurementReport report(&table);
    report.setPrinterCheck([] { return true; });
    bool previewed = false;
    report.setPreviewHook([&](QWidget *) { previewed = true; });
    table.close();
    report.preview(nullptr);
    report.print(nullptr);
    report.printLast(nullptr);
    EXPECT_FALSE(previewed);
    EXPECT_TRUE(prompts.printPageCounts.isEmpty());
    EXPECT_FALSE(report.hasPages());
    MeasurementReport none(nullptr);
    none.preview(nullptr);
    none.print(nullptr);
    none.printLast(nullptr);
}

TEST_F(MeasurementReportTest, CommandLineWritesThePdf)
{
    const QString cli = QStringLiteral(QPX_CLI);
    QPX_SKIP_WITHOUT(!havePoppler(), "pdftotext (poppler-utils) is not installed");
    addRows(15);
    table.close();
    const QString out = dir.filePath(QStringLiteral("cli.pdf"));
    QProcess p;
    p.start(cli, {QStringLiteral("report"), dir.filePath(QStringLiteral("t.db")), out});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_TRUE(pdfText(out).contains(QStringLiteral("Стр. 2 из 2")));

    p.start(cli, {QStringLiteral("report"), dir.filePath(QStringLiteral("missing.db")), out});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 1);
}
