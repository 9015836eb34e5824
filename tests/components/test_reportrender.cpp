// Drawing of prepared pages with real fonts: text measuring, the page on an image, the PDF file
// (read back with poppler's pdftotext / pdfinfo) and printing with page range and copies.
#include "base/errors.h"
#include "base/regional.h"
#include "components/draw/reportrender.h"
#include "components/widgets/reportprint.h"
#include "output/reportlayout.h"
#include "reportrows.h"

#include "support/needtool.h"
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace Report;

namespace {

PreparedReport build(Rows &rows)
{
    auto report = prepare(MeasurementReportLayout::create(), rows, std::make_shared<FontMeasurer>());
    return report ? *report : PreparedReport();
}

QString run(const QString &program, const QStringList &args)
{
    if (QStandardPaths::findExecutable(program).isEmpty())
        return {};
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

const PlacedText *find(const PreparedPage &page, const QString &name, int nth = 0)
{
    for (const PlacedText &item : page.items) {
        if (item.object->name == name && nth-- == 0)
            return &item;
    }
    return nullptr;
}

// "Page size: 842 x 595 pts (A4)": A4, wider than high.
bool isA4Landscape(const QString &pdfinfo)
{
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Page size: +([0-9.]+) x ([0-9.]+) pts")).match(pdfinfo);
    return m.hasMatch() && std::abs(m.captured(1).toDouble() - 841.89) < 0.5 &&
           std::abs(m.captured(2).toDouble() - 595.28) < 0.5;
}

} // namespace

TEST(ReportRender, ArialOrAMetricCompatibleSubstitute)
{
    const QString family = resolveFamily(QStringLiteral("Arial"));
    EXPECT_TRUE(QFontDatabase::families().contains(family));
    if (!QFontDatabase::families().contains(QStringLiteral("Arial"))) {
        EXPECT_EQ(family, QStringLiteral("Liberation Sans"));
    }
    // 10 pt text: about 3.5 mm per em; an "N" is well under a 16.9 mm column.
    FontMeasurer m;
    const TextStyle style;
    EXPECT_NEAR(m.lineHeight(style), 10 * 25.4 / 72 * 1.15, 0.4);
    EXPECT_GT(m.textWidth(style, QStringLiteral("Примечание")), 15.0);
    EXPECT_LT(m.textWidth(style, QStringLiteral("Примечание")), 25.0);
}

TEST(ReportRender, FiftyCharacterCommentWrapsInItsCell)
{
    RegionalScope pin(Regional::russian());
    Rows rows = Rows::numbered(3, QStringLiteral("34"));
    const QString comment = QStringLiteral("Проба взята у северной стены склада номер 4, ящ. 7");
    ASSERT_EQ(comment.size(), 50);
    rows.rows[1][QStringLiteral("COMMENT")] = comment;
    const PreparedReport report = build(rows);
    ASSERT_EQ(report.pageCount(), 1);
    const PreparedPage page = report.page(0);
    const PlacedText *cell = find(page, QStringLiteral("Memo23"), 1);
    FontMeasurer m;
    EXPECT_GE(cell->lines.size(), 2);
    for (const QString &line : cell->lines)
        EXPECT_LE(m.textWidth(cell->object->style, line), 45.7 - 2 * 0.55 + 1e-6) << line.toStdString();
    EXPECT_NEAR(cell->rect.height(), 11.1, 1e-9);
    EXPECT_NEAR(find(page, QStringLiteral("Memo23"), 2)->rect.top() - cell->rect.top(), 11.1, 1e-9);
    EXPECT_TRUE(cell->lines.join(QLatin1Char(' ')).startsWith(QStringLiteral("Проба взята у северной")));
}

TEST(ReportRender, PageOnAnImageHasFramesWhereTheCellsAre)
{
    RegionalScope pin(Regional::russian());
    Rows rows = Rows::numbered(2, QStringLiteral("34"));
    const PreparedReport report = build(rows);
    constexpr double pxPerMm = 10.0;
    QImage image(2970, 2100, QImage::Format_RGB32);
    image.fill(Qt::gray);
    QPainter painter(&image);
    drawPage(painter, report, 0, QRectF(0, 0, 2970, 2100));
    painter.end();
    const auto dark = [&](double xMm, double yMm) {
        return qGray(image.pixel(int(xMm * pxPerMm), int(yMm * pxPerMm))) < 128;
    };
    // The first data row spans 54.3 .. 65.4 mm; its N cell 6.9 .. 23.8 mm.
    EXPECT_TRUE(dark(6.9, 60.0));    // left frame line
    EXPECT_TRUE(dark(23.8, 60.0));   // shared edge with the date column
    EXPECT_TRUE(dark(10.0, 65.4));   // bottom edge
    EXPECT_FALSE(dark(9.0, 56.0));   // inside the cell, away from the centred text
    EXPECT_FALSE(dark(3.0, 60.0));   // the left margin stays white
    EXPECT_FALSE(dark(200.0, 60.0)); // right of the last column
    EXPECT_FALSE(dark(6.9, 80.0));   // below the last row
}

TEST(ReportRender, PdfTextPagesAndPaper)
{
    RegionalScope pin(Regional::russian());
    QPX_SKIP_WITHOUT(QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),
                     "pdftotext (poppler-utils) is not installed");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    Rows rows = Rows::numbered(13, QStringLiteral("34"));
    rows.rows[0][QStringLiteral("T_1")] = QStringLiteral("123");
    writePdf(build(rows), path, QStringLiteral("ЛКТ-ДН7"));

    const QString info = run(QStringLiteral("pdfinfo"), {path});
    EXPECT_TRUE(info.contains(QStringLiteral("Pages:           2"))) << info.toStdString();
    EXPECT_TRUE(isA4Landscape(info)) << info.toStdString();

    const QString page1 = run(QStringLiteral("pdftotext"),
                              {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                               QStringLiteral("1"), QStringLiteral("-layout"), path, QStringLiteral("-")});
    const QString page2 = run(QStringLiteral("pdftotext"),
                              {QStringLiteral("-f"), QStringLiteral("2"), QStringLiteral("-l"),
                               QStringLiteral("2"), QStringLiteral("-layout"), path, QStringLiteral("-")});
    EXPECT_TRUE(page1.contains(QStringLiteral("ЛКТ-ДН7"))) << page1.toStdString();
    EXPECT_FALSE(page2.contains(QStringLiteral("ЛКТ-ДН7")));
    for (const QString &caption :
         {QStringLiteral("Дата"), QStringLiteral("Режим"), QStringLiteral("Масса, г"),
          QStringLiteral("Примечание"), QStringLiteral("№ серии")}) {
        EXPECT_TRUE(page1.contains(caption)) << caption.toStdString();
        EXPECT_TRUE(page2.contains(caption)) << caption.toStdString();
    }
    EXPECT_TRUE(page1.contains(QStringLiteral("Стр. 1 из 2")));
    EXPECT_TRUE(page2.contains(QStringLiteral("Стр. 2 из 2")));
    EXPECT_TRUE(page1.contains(QStringLiteral("123,0")));
    EXPECT_TRUE(page1.contains(QStringLiteral("12,3"))); // row 12: 12,34
    EXPECT_TRUE(page2.contains(QStringLiteral("13,3"))); // row 13 alone on page 2
    EXPECT_FALSE(page1.contains(QStringLiteral("13,3")));
}

TEST(ReportRender, PrintingFollowsRangeAndCopies)
{
    RegionalScope pin(Regional::russian());
    QPX_SKIP_WITHOUT(QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty(),
                     "pdfinfo (poppler-utils) is not installed");
    Rows rows = Rows::numbered(27, QStringLiteral("34")); // 3 pages
    const PreparedReport report = build(rows);
    QTemporaryDir dir;
    int serial = 0;
    const auto pagesPrinted = [&](const std::function<void(QPrinter &)> &setUp) {
        QPrinter printer(QPrinter::HighResolution);
        const QString path = dir.filePath(QStringLiteral("print%1.pdf").arg(++serial));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        setUp(printer);
        const int sent = printReport(report, printer);
        const QString info = run(QStringLiteral("pdfinfo"), {path});
        EXPECT_TRUE(info.contains(QStringLiteral("Pages:           %1\n").arg(sent))) << info.toStdString();
        EXPECT_TRUE(isA4Landscape(info)) << info.toStdString();
        return sent;
    };
    EXPECT_EQ(pagesPrinted([](QPrinter &) {}), 3);
    EXPECT_EQ(pagesPrinted([](QPrinter &p) {
                  p.setPrintRange(QPrinter::PageRange);
                  p.setFromTo(2, 3);
              }),
              2);
    const int perCopy = pagesPrinted([](QPrinter &p) { p.setCopyCount(2); });
    EXPECT_TRUE(perCopy == 3 || perCopy == 6); // the driver makes the copies, or we send them twice
}
