// Regional number and date conversions, the base of every T_1 / T_2 text in the table, and the
// "C" number forms that file formats get whatever the process locale.
#include "base/clocalescope.h"
#include "base/errors.h"
#include "base/regional.h"

#include "support/needtool.h"
#include <QLocale>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

TEST(Regional, GeneralFormUnderRussianSettings)
{
    const Regional ru = Regional::russian();
    EXPECT_EQ(ru.formatFloat(123.45), QStringLiteral("123,45"));
    EXPECT_EQ(ru.formatFloat(1000), QStringLiteral("1000"));
    EXPECT_EQ(ru.formatFloat(0.07), QStringLiteral("0,07"));
    EXPECT_EQ(ru.formatFloat(-3.5), QStringLiteral("-3,5"));
    EXPECT_EQ(ru.formatFloat(12345 / 100.0), QStringLiteral("123,45"));
    EXPECT_EQ(ru.formatFloat(1234567), QStringLiteral("1234567"));
    EXPECT_EQ(ru.formatFloat(-0.0), QStringLiteral("0"));
    // 15 significant digits: binary noise of a division never shows.
    EXPECT_EQ(ru.formatFloat(0.1 + 0.2), QStringLiteral("0,3"));
    EXPECT_EQ(ru.formatFloat(1e20), QStringLiteral("100000000000000000000"));
}

TEST(Regional, ReadsOnlyTheRegionalSeparator)
{
    const Regional ru = Regional::russian();
    EXPECT_DOUBLE_EQ(ru.parseFloat(QStringLiteral("12,5")), 12.5);
    EXPECT_DOUBLE_EQ(ru.parseFloat(QStringLiteral(" -3 ")), -3.0);
    EXPECT_THROW(ru.parseFloat(QStringLiteral("12.5")), ConvertError);
    EXPECT_THROW(ru.parseFloat(QString()), ConvertError);
    try {
        ru.parseFloat(QStringLiteral("abc"));
        FAIL();
    } catch (const ConvertError &e) {
        EXPECT_EQ(e.text(), QStringLiteral("'abc' is not a valid floating point value"));
    }
    const Regional c(QLatin1Char('.'), Regional::DateOrder::MonthDayYear, QLatin1Char('/'));
    EXPECT_DOUBLE_EQ(c.parseFloat(QStringLiteral("12.5")), 12.5);
    EXPECT_FALSE(c.tryParseFloat(QStringLiteral("12,5"), nullptr));
}

TEST(Regional, DateTimesFollowTheDateOrderAndRejectImpossibleDates)
{
    const Regional ru = Regional::russian();
    const QDateTime t = ru.parseDateTime(QStringLiteral("07.11.2005 09:05:30"));
    EXPECT_EQ(t.date(), QDate(2005, 11, 7));
    EXPECT_EQ(t.time(), QTime(9, 5, 30));
    try {
        ru.parseDateTime(QStringLiteral("31.02.2005 10:00:00"));
        FAIL();
    } catch (const ConvertError &e) {
        EXPECT_EQ(e.text(), QStringLiteral("'31.02.2005 10:00:00' is not a valid date and time"));
    }
    EXPECT_FALSE(ru.tryParseDateTime(QStringLiteral("07.11.2005 24:00:00"), nullptr));
    const Regional us(QLatin1Char('.'), Regional::DateOrder::MonthDayYear, QLatin1Char('/'));
    EXPECT_EQ(us.parseDateTime(QStringLiteral("11/07/2005 10:00")).date(), QDate(2005, 11, 7));
}

TEST(Regional, RussianOrNoLocaleInTheEnvironmentGivesRussianSettings)
{
    // The suite runs under ru_RU.UTF-8 (the operator's desktop) and under C.UTF-8, a locale that
    // names no language; both give the forms the tables are written in.
    const QLocale::Language language = QLocale::system().language();
    if (language != QLocale::C && language != QLocale::Russian)
        GTEST_SKIP() << "the environment names another locale";
    const Regional r = Regional::fromEnvironment();
    EXPECT_EQ(r.decimalSeparator(), QLatin1Char(','));
    EXPECT_EQ(r.dateOrder(), Regional::DateOrder::DayMonthYear);
    EXPECT_EQ(r.dateSeparator(), QLatin1Char('.'));
}

TEST(CLocaleScope, FileNumbersGetAPointWhateverTheProcessLocale)
{
    // The process locale as the application object sets it on the operator's desktop.
    const std::string before = std::setlocale(LC_ALL, nullptr);
    QPX_SKIP_WITHOUT(!std::setlocale(LC_ALL, "ru_RU.UTF-8"),
                     "no ru_RU.UTF-8 locale on this machine (scripts/install-deps makes it)");
    const auto printed = [] {
        char text[32];
        std::snprintf(text, sizeof text, "%.7g", 20.7109375);
        return std::string(text);
    };
    EXPECT_EQ(printed(), "20,71094");
    {
        const CLocaleScope c;
        EXPECT_TRUE(c.active());
        EXPECT_EQ(printed(), "20.71094");
        EXPECT_EQ(std::strtod("0.75", nullptr), 0.75);
        {
            const CLocaleScope nested;
            EXPECT_EQ(printed(), "20.71094");
        }
        EXPECT_EQ(printed(), "20.71094"); // the inner scope gives back the outer one's "C"
        // Only this thread's formatting changed: the process locale is still Russian.
        EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "ru_RU.UTF-8");
    }
    EXPECT_EQ(printed(), "20,71094");
    std::setlocale(LC_ALL, before.c_str());
}
