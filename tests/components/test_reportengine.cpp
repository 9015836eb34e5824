// Page building of the report engine against rows in memory, with a fixed-pitch measurer, and
// the measurement report's template laid out on it.
#include "base/errors.h"
#include "base/regional.h"
#include "components/reportengine.h"
#include "output/reportlayout.h"
#include "reportrows.h"

#include <gtest/gtest.h>
#include <map>

using namespace Report;

namespace {

// Every character is 2 mm wide at 10 pt (scaled with the size); lines are 4 mm high.
class FixedPitch : public TextMeasurer
{
public:
    double textWidth(const TextStyle &style, const QString &text) const override
    {
        return text.size() * 0.2 * style.pointSize;
    }
    double lineHeight(const TextStyle &) const override { return 4.0; }
};

const PlacedText *find(const PreparedPage &page, const QString &name, int nth = 0)
{
    for (const PlacedText &item : page.items) {
        if (item.object->name == name && nth-- == 0)
            return &item;
    }
    return nullptr;
}

QStringList lines(std::initializer_list<const char *> texts)
{
    QStringList result;
    for (const char *t : texts)
        result.append(QString::fromUtf8(t));
    return result;
}

int count(const PreparedPage &page, const QString &name)
{
    int n = 0;
    for (const PlacedText &item : page.items)
        n += item.object->name == name;
    return n;
}

PreparedReport build(Rows &rows)
{
    auto report = prepare(MeasurementReportLayout::create(), rows, std::make_shared<FixedPitch>());
    EXPECT_TRUE(report.has_value());
    return report ? *report : PreparedReport();
}

} // namespace

TEST(ReportPages, RowsPerPageAndPageLine)
{
    RegionalScope pin(Regional::russian());
    // rows -> rows on each page
    const std::map<int, QList<int>> cases{{0, {0}},       {1, {1}},          {12, {12}},        {13, {12, 1}},
                                          {26, {12, 14}}, {27, {12, 14, 1}}, {40, {12, 14, 14}}};
    for (const auto &[rowCount, perPage] : cases) {
        SCOPED_TRACE(rowCount);
        Rows rows = Rows::numbered(rowCount);
        const PreparedReport report = build(rows);
        ASSERT_EQ(report.pageCount(), perPage.size());
        int n = 1;
        for (int p = 0; p < report.pageCount(); ++p) {
            const PreparedPage page = report.page(p);
            EXPECT_EQ(count(page, QStringLiteral("Memo19")), p == 0 ? 1 : 0); // title on page 1 only
            EXPECT_EQ(count(page, QStringLiteral("Memo1")), 1);               // header on every page
            EXPECT_EQ(count(page, QStringLiteral("Memo2")), perPage.at(p));
            const PlacedText *footer = find(page, QStringLiteral("Memo21"));
            ASSERT_NE(footer, nullptr);
            EXPECT_EQ(footer->text(), QStringLiteral("Стр. %1 из %2").arg(p + 1).arg(perPage.size()));
            for (int i = 0; i < perPage.at(p); ++i)
                EXPECT_EQ(find(page, QStringLiteral("Memo2"), i)->text(), QString::number(n++));
        }
    }
}

TEST(ReportPages, BandPositionsOnTheSheet)
{
    RegionalScope pin(Regional::russian());
    Rows rows = Rows::numbered(13);
    const PreparedReport report = build(rows);
    ASSERT_EQ(report.pageCount(), 2);
    const PreparedPage first = report.page(0);
    const PreparedPage second = report.page(1);

    EXPECT_NEAR(find(first, QStringLiteral("Memo19"))->rect.top(), 20.0, 1e-9);
    EXPECT_NEAR(find(first, QStringLiteral("Memo1"))->rect.top(), 37.7, 1e-9);
    EXPECT_NEAR(find(second, QStringLiteral("Memo1"))->rect.top(), 20.0, 1e-9);
    EXPECT_NEAR(find(second, QStringLiteral("Memo2"))->rect.top(), 36.6, 1e-9);
    // Rows follow each other at 11.1 mm; the twelfth ends above the page footer.
    const PlacedText *row1 = find(first, QStringLiteral("Memo2"), 0);
    const PlacedText *row12 = find(first, QStringLiteral("Memo2"), 11);
    EXPECT_NEAR(row1->rect.top(), 54.3, 1e-9);
    EXPECT_NEAR(row12->rect.top() - row1->rect.top(), 11 * 11.1, 1e-9);
    EXPECT_NEAR(row12->rect.height(), 11.1, 1e-9);
    const PlacedText *footer = find(first, QStringLiteral("Memo21"));
    EXPECT_NEAR(footer->rect.top(), 210.0 - 6.9 - 5.5, 1e-9);
    EXPECT_LE(row12->rect.bottom(), footer->rect.top());
    // The page line keeps its right edge at the right margin and shrinks to its text.
    EXPECT_NEAR(footer->rect.right(), 290.0, 1e-9);
    EXPECT_NEAR(footer->rect.width(), QStringLiteral("Стр. 1 из 2").size() * 2.0 + 1.1, 1e-9);
    // The mass caption is 0.3 mm wider than its column, the comment caption 0.2 mm to the right.
    EXPECT_NEAR(find(first, QStringLiteral("Memo7"))->rect.width() -
                    find(first, QStringLiteral("Memo20"))->rect.width(),
                0.3, 1e-9);
    EXPECT_NEAR(find(first, QStringLiteral("Memo39"))->rect.left() -
                    find(first, QStringLiteral("Memo23"))->rect.left(),
                0.2, 1e-9);
}

TEST(ReportPages, CellValuesAndMassFormat)
{
    RegionalScope pin(Regional::russian());
    Rows rows = Rows::numbered(5);
    const QStringList masses{QStringLiteral("123"), QStringLiteral("12,34"), QString(), QStringLiteral("abc"),
                             QStringLiteral("-0,04")};
    for (int i = 0; i < masses.size(); ++i)
        rows.rows[i][QStringLiteral("T_1")] = masses.at(i);
    rows.rows[1][QStringLiteral("T_2")] = QStringLiteral("17");
    rows.rows[1][QStringLiteral("MODE")] = QStringLiteral("Наблюдение");
    const PreparedReport report = build(rows);
    const PreparedPage page = report.page(0);
    const QStringList printed{QStringLiteral("123,0"), QStringLiteral("12,3"), QString(),
                              QStringLiteral("abc"), QStringLiteral("0,0")};
    for (int i = 0; i < printed.size(); ++i)
        EXPECT_EQ(find(page, QStringLiteral("Memo20"), i)->text(), printed.at(i)) << i;
    EXPECT_EQ(find(page, QStringLiteral("Memo22"), 1)->text(), QStringLiteral("17"));
    EXPECT_EQ(find(page, QStringLiteral("Memo4"), 1)->text(), QStringLiteral("Наблюдение"));
    EXPECT_EQ(find(page, QStringLiteral("Memo6"), 1)->text(), QStringLiteral("07.11.2005"));
    EXPECT_EQ(find(page, QStringLiteral("Memo8"), 1)->text(), QStringLiteral("09:05:30"));
}

// Pages are laid out when asked for, from the texts taken while preparing: rows changed later do
// not show, and the quick test of a page's texts finds what the page shows and only that.
TEST(ReportPages, PagesShowTheRowsAsPrepared)
{
    RegionalScope pin(Regional::russian());
    Rows rows = Rows::numbered(13);
    rows.rows[12][QStringLiteral("COMMENT")] = QStringLiteral("Последняя\r\nпроба");
    const PreparedReport report = build(rows);
    for (auto &row : rows.rows)
        row[QStringLiteral("N")] = QStringLiteral("изменено");
    ASSERT_EQ(report.pageCount(), 2);
    const PreparedPage second = report.page(1);
    EXPECT_EQ(find(second, QStringLiteral("Memo2"))->text(), QStringLiteral("13"));
    EXPECT_EQ(find(second, QStringLiteral("Memo23"))->text(), QStringLiteral("Последняя\nпроба"));
    EXPECT_EQ(report.page(0).items.size(), 1 + 7 + 12 * 7 + 1);
    EXPECT_TRUE(report.page(2).items.isEmpty());

    EXPECT_TRUE(report.mayContain(0, QStringLiteral("12,3")));
    EXPECT_FALSE(report.mayContain(1, QStringLiteral("12,3")));
    EXPECT_TRUE(report.mayContain(1, QStringLiteral("13,3")));
    EXPECT_TRUE(report.mayContain(1, QStringLiteral("масса")));       // a caption, any case
    EXPECT_TRUE(report.mayContain(1, QStringLiteral("ЯЯ\nпроба")));   // across lines: not ruled out
    EXPECT_TRUE(report.mayContain(1, QStringLiteral("стр. 2 из 2"))); // the page line
    EXPECT_FALSE(report.mayContain(0, QStringLiteral("Стр. 2 из 2")));
    EXPECT_FALSE(report.mayContain(0, QStringLiteral("изменено")));
}

TEST(ReportPages, TwoPassesWalkTheSourceAndFinishOnce)
{
    Rows rows = Rows::numbered(30);
    build(rows);
    EXPECT_EQ(rows.firstCalls, 2);
    EXPECT_EQ(rows.finishedCalls, 1);
}

TEST(ReportPages, CancelAndErrors)
{
    RegionalScope pin(Regional::russian());
    const auto measurer = std::make_shared<FixedPitch>();
    Rows rows = Rows::numbered(100);
    qint64 last = 0;
    const auto cancelled = prepare(MeasurementReportLayout::create(), rows, measurer, [&](qint64 done) {
        last = done;
        return done < 150; // into the second pass
    });
    EXPECT_FALSE(cancelled.has_value());
    EXPECT_EQ(last, 150);
    EXPECT_EQ(rows.finishedCalls, 0);

    // A field the source does not have: its error comes through.
    rows.rows[3].erase(QStringLiteral("COMMENT"));
    EXPECT_THROW(prepare(MeasurementReportLayout::create(), rows, measurer), QpxError);

    Template broken = MeasurementReportLayout::create();
    for (const QString &text : {QStringLiteral("[Dbf2.\"N\"]"), QStringLiteral("[Dbf1.N]"),
                                QStringLiteral("[PAGE"), QStringLiteral("[NOW]")}) {
        broken.bands[2].objects[0].text = text;
        EXPECT_THROW(prepare(broken, rows, measurer), QpxError) << text.toStdString();
    }
}

TEST(ReportText, WrapsBetweenWordsAndCutsLongWords)
{
    FixedPitch m; // 2 mm per character at 10 pt
    const TextStyle s;
    EXPECT_EQ(wrapText(QStringLiteral("abc def ghi"), 14.0, s, m), lines({"abc def", "ghi"}));
    EXPECT_EQ(wrapText(QStringLiteral("abc   def"), 8.0, s, m), lines({"abc", "def"}));
    EXPECT_EQ(wrapText(QStringLiteral("abcdefghij"), 8.0, s, m), lines({"abcd", "efgh", "ij"}));
    EXPECT_EQ(wrapText(QStringLiteral("ab abcdefghij"), 8.0, s, m), lines({"ab", "abcd", "efgh", "ij"}));
    EXPECT_EQ(wrapText(QStringLiteral("one\ntwo"), 100.0, s, m), lines({"one", "two"}));
    EXPECT_EQ(wrapText(QString(), 10.0, s, m), lines({""}));
    EXPECT_EQ(wrapText(QStringLiteral("abcdefghij"), 8.0, s, m, false), lines({"abcdefghij"}));
    // Narrower than one character: still one character per line, never an endless loop.
    EXPECT_EQ(wrapText(QStringLiteral("abc"), 0.5, s, m), lines({"a", "b", "c"}));
}

TEST(ReportText, LongCommentStaysInsideItsRow)
{
    RegionalScope pin(Regional::russian());
    Rows rows = Rows::numbered(2);
    // 50 characters: 100 mm at 2 mm each, in a cell 44.6 mm wide inside its insets.
    rows.rows[0][QStringLiteral("COMMENT")] =
        QStringLiteral("Проба взята у северной стены склада номер 4, ящ. 7");
    ASSERT_EQ(rows.rows[0][QStringLiteral("COMMENT")].size(), 50);
    const PreparedReport report = build(rows);
    const PreparedPage page = report.page(0);
    const PlacedText *cell = find(page, QStringLiteral("Memo23"), 0);
    EXPECT_NEAR(cell->rect.height(), 11.1, 1e-9);
    EXPECT_NEAR(find(page, QStringLiteral("Memo23"), 1)->rect.top() - cell->rect.top(), 11.1, 1e-9);
    // 4 mm lines + 0.55 mm gaps in 10.54 mm: two whole lines and the top of a third, cut at the edge.
    ASSERT_EQ(cell->lines.size(), 3);
    EXPECT_TRUE(cell->clipped);
    for (const QString &line : cell->lines)
        EXPECT_LE(line.size() * 2.0, 45.7 - 1.1) << line.toStdString();
    EXPECT_NEAR(cell->lineRect(0).top(), cell->rect.top() + 0.28, 1e-9); // overflowing text starts at the top
    EXPECT_LT(cell->lineRect(2).top(), cell->rect.bottom());
    // A short value is centred both ways.
    const PlacedText *n = find(page, QStringLiteral("Memo2"), 0);
    EXPECT_FALSE(n->clipped);
    EXPECT_NEAR(n->lineRect(0).center().y(), n->rect.center().y(), 1e-9);
}

TEST(ReportText, FixedFormatRoundsHalfAwayFromZero)
{
    RegionalScope pin(Regional::russian());
    const std::map<QString, QString> cases{
        {QStringLiteral("123"), QStringLiteral("123,0")},
        {QStringLiteral("12,34"), QStringLiteral("12,3")},
        {QStringLiteral("12,36"), QStringLiteral("12,4")},
        {QStringLiteral("1,45"), QStringLiteral("1,5")},
        {QStringLiteral("-1,45"), QStringLiteral("-1,5")},
        {QStringLiteral("0,05"), QStringLiteral("0,1")},
        {QStringLiteral("999,95"), QStringLiteral("1000,0")},
        {QStringLiteral("-999,9"), QStringLiteral("-999,9")},
        {QStringLiteral("0,04"), QStringLiteral("0,0")},
        {QStringLiteral("-0,04"), QStringLiteral("0,0")},
        {QStringLiteral("-3,"), QStringLiteral("-3,0")},
        {QStringLiteral("1000"), QStringLiteral("1000,0")},
        {QStringLiteral("12.3"), QStringLiteral("12.3")}, // no number under Russian settings: as is
        {QStringLiteral("abc"), QStringLiteral("abc")},
        {QString(), QString()},
    };
    for (const auto &[stored, printed] : cases)
        EXPECT_EQ(formatValue(stored, QStringLiteral("0.0")), printed) << stored.toStdString();
    EXPECT_EQ(formatValue(QStringLiteral("12,34"), QString()), QStringLiteral("12,34"));
    EXPECT_EQ(formatFixed(2.5, 0, QLatin1Char(',')), QStringLiteral("3"));
    EXPECT_EQ(formatFixed(0.000123, 2, QLatin1Char(',')), QStringLiteral("0,00"));
    EXPECT_EQ(formatFixed(1e20, 1, QLatin1Char(',')), QStringLiteral("100000000000000000000,0"));
}
