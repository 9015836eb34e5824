// Selection statistics of the footers: the result table of the rounding rule, the fewer-than-two
// case and the conversion failure.
#include "base/errors.h"
#include "base/regional.h"
#include "view/selectionstats.h"

#include <gtest/gtest.h>

namespace {

QList<QStringList> rows(std::initializer_list<std::pair<const char *, const char *>> values)
{
    QList<QStringList> result;
    for (const auto &[t1, t2] : values)
        result.append({QString::fromUtf8(t1), QString::fromUtf8(t2), QStringLiteral("07.11.2005"),
                       QStringLiteral("09:05:30")});
    return result;
}

QString massFooter(std::initializer_list<const char *> masses)
{
    QList<QStringList> snapshot;
    for (const char *m : masses)
        snapshot.append({QString::fromUtf8(m), QStringLiteral("1")});
    return SelectionStats::footers(snapshot.size(), snapshot).t1;
}

TEST(SelectionStats, ResultTableOfTheRoundingRule)
{
    RegionalScope pin(Regional::russian());
    EXPECT_EQ(massFooter({"12,3", "12,4"}), QStringLiteral("12,3/12,4/12,4"));
    EXPECT_EQ(massFooter({"2,5", "2,6"}), QStringLiteral("2,5/2,5/2,6"));
    EXPECT_EQ(massFooter({"1,25", "1,25"}), QStringLiteral("1,25/1,2/1,25"));
    EXPECT_EQ(massFooter({"-1,25", "-1,25"}), QStringLiteral("-1,25/-1,2/-1,25"));
    EXPECT_EQ(massFooter({"-3", "-4"}), QStringLiteral("-4/-3,5/-3"));
    EXPECT_EQ(massFooter({"100", "101"}), QStringLiteral("100/100,5/101"));
    EXPECT_EQ(massFooter({"7", "8", "9"}), QStringLiteral("7/8/9"));
    EXPECT_EQ(massFooter({"12,4", "12,6", "13,1"}), QStringLiteral("12,4/12,7/13,1"));
}

TEST(SelectionStats, EqualValuesAndStoredForms)
{
    RegionalScope pin(Regional::russian());
    EXPECT_EQ(massFooter({"-5", "-5"}), QStringLiteral("-5/-5/-5"));
    EXPECT_EQ(massFooter({"0,3", "0,3"}), QStringLiteral("0,3/0,3/0,3"));
    // Minimum and maximum keep the number, not the stored text; blanks around are allowed.
    EXPECT_EQ(massFooter({" 12,50", "12,5 "}), QStringLiteral("12,5/12,5/12,5"));
    // More decimals: the mean is rounded, the extremes are not.
    EXPECT_EQ(massFooter({"0,07", "0,07"}), QStringLiteral("0,07/0,1/0,07"));
    EXPECT_EQ(massFooter({"0", "0"}), QStringLiteral("0/0/0"));
    EXPECT_EQ(massFooter({"-0,04", "-0,04"}), QStringLiteral("-0,04/0/-0,04"));
}

TEST(SelectionStats, BothColumnsAndFewerThanTwoRows)
{
    RegionalScope pin(Regional::russian());
    const SelectionFooters two = SelectionStats::footers(2, rows({{"12,3", "3"}, {"12,4", "5"}}));
    EXPECT_EQ(two.t1, QStringLiteral("12,3/12,4/12,4"));
    EXPECT_EQ(two.t2, QStringLiteral("3/4/5"));

    // One row, or none, shows the stored statistics whatever the row holds (even no number).
    for (qsizetype n : {0, 1}) {
        const SelectionFooters f = SelectionStats::footers(n, rows({{"", "abc"}}));
        EXPECT_EQ(f.t1, QStringLiteral("0/0/0"));
        EXPECT_EQ(f.t2, QStringLiteral("0/0/0"));
    }
}

TEST(SelectionStats, ValueThatIsNoNumberFailsWithConversionError)
{
    RegionalScope pin(Regional::russian());
    // An operative row has an empty series number.
    const QList<QStringList> snapshot = rows({{"12,3", "3"}, {"15", ""}});
    try {
        SelectionStats::footers(2, snapshot);
        FAIL() << "expected a conversion error";
    } catch (const ConvertError &e) {
        // Said in Russian, naming what is missing.
        EXPECT_EQ(e.text(), QStringLiteral("Среди выделенных строк есть строка без номера серии "
                                           "(оперативное взвешивание): минимум, среднее и максимум не "
                                           "вычислены"));
    }
    // The first value that fails is the one reported: the mass before the series number.
    const auto message = [](const QList<QStringList> &snapshot) {
        try {
            SelectionStats::footers(2, snapshot);
        } catch (const ConvertError &e) {
            return e.text();
        }
        return QString();
    };
    EXPECT_EQ(message(rows({{"12,3", "1"}, {" ", ""}})), SelectionStats::noNumberText(0, QString()));
    EXPECT_TRUE(message(rows({{"12,3", "1"}, {" ", ""}})).contains(QStringLiteral("без массы")));
    EXPECT_EQ(message(rows({{"12.3", "1"}, {"1", "1"}})),
              QStringLiteral("Масса «12.3» в выделенной строке не является числом: минимум, среднее и "
                             "максимум не вычислены"));
    EXPECT_TRUE(message(rows({{"1", "1"}, {"1", "x"}})).startsWith(QStringLiteral("Номер серии «x»")));
}

TEST(SelectionStats, ValuesReadLikeTheRegionalReader)
{
    RegionalScope pin(Regional::russian());
    // Every text gives the footer the regional reader would give, or the same conversion error.
    const char *texts[] = {"12,5",   "-3", "+4",   " 100 ", "0,07",  "-123,4",
                           "999,45", ",5", "5,",   "1e3",   "1,2,3", "--1",
                           "-",      ",",  "12.5", "1 2",   "٣",     "0,1000000000000000055511151231257827"};
    for (const char *t : texts) {
        const QString text = QString::fromUtf8(t);
        double expected = 0;
        const bool number = Regional::current().tryParseFloat(text, &expected);
        const QList<QStringList> snapshot{{text, QStringLiteral("1")}, {text, QStringLiteral("1")}};
        if (!number) {
            EXPECT_THROW(SelectionStats::footers(2, snapshot), ConvertError) << t;
            continue;
        }
        const QString v = SelectionStats::formatNumber(expected);
        EXPECT_EQ(SelectionStats::footers(2, snapshot).t1,
                  v + QLatin1Char('/') + SelectionStats::formatNumber(SelectionStats::roundMean(expected)) +
                      QLatin1Char('/') + v)
            << t;
    }
}

TEST(SelectionStats, RegionalSeparatorIsUsed)
{
    RegionalScope pin(Regional(QLatin1Char('.'), Regional::DateOrder::MonthDayYear, QLatin1Char('/')));
    EXPECT_EQ(massFooter({"2.5", "2.6"}), QStringLiteral("2.5/2.5/2.6"));
}

TEST(SelectionStats, RoundMeanUsesTheDoubleNearestToOneTenth)
{
    RegionalScope pin(Regional::russian());
    auto rounded = [](double m) { return SelectionStats::formatNumber(SelectionStats::roundMean(m)); };
    EXPECT_EQ(rounded(1.25), QStringLiteral("1,2")); // f slightly above 0.1: the half rounds down
    EXPECT_EQ(rounded(-1.25), QStringLiteral("-1,2"));
    EXPECT_EQ(rounded(1.35), QStringLiteral("1,4"));
    EXPECT_EQ(rounded(100.5), QStringLiteral("100,5"));
    EXPECT_EQ(rounded(12.7), QStringLiteral("12,7"));
    // The product k * f is stored as a double; it may lie one bit off the literal, which the 15
    // digits of the footer do not show.
    EXPECT_NE(SelectionStats::roundMean(12.7), 12.7);
}

} // namespace
