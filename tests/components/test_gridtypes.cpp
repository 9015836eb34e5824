// The grid component's value types: the standard colour names and the title-click cycle.
#include "components/gridtypes.h"

#include <gtest/gtest.h>

namespace {

TEST(GridColors, FiftyTwoNamesInLookupOrder)
{
    const QList<QString> names = GridColor::names();
    ASSERT_EQ(names.size(), 52);
    const struct
    {
        const char *name;
        ColorValue value;
    } samples[] = {{"clBlack", 0},
                   {"clMaroon", 0x80},
                   {"clNavy", 0x800000},
                   {"clSilver", 0xC0C0C0},
                   {"clMoneyGreen", 0xC0DCC0},
                   {"clCream", 0xF0FBFF},
                   {"clMedGray", 0xA4A0A0},
                   {"clNone", 0x1FFFFFFF},
                   {"clDefault", 0x20000000},
                   {"clScrollBar", 0xFF000000},
                   {"clHighlight", 0xFF00000D},
                   {"clMenuBar", 0xFF00001E},
                   {"cl3DDkShadow", 0xFF000015},
                   {"clWindowText", 0xFF000008},
                   {"clGradientInactiveCaption", 0xFF00001C}};
    for (const auto &s : samples) {
        const QString name = QString::fromLatin1(s.name);
        EXPECT_TRUE(names.contains(name)) << s.name;
        EXPECT_EQ(GridColor::name(s.value), name);
        ColorValue value = 1;
        EXPECT_TRUE(GridColor::fromName(name.toUpper(), &value));
        EXPECT_EQ(value, s.value);
    }
    for (const QString &name : names) {
        ColorValue value = 0;
        ASSERT_TRUE(GridColor::fromName(name, &value));
        EXPECT_EQ(GridColor::name(value), name) << "every value has one name";
    }
    EXPECT_EQ(GridColor::name(GridColor::rgb(1, 2, 3)), QString());
    ColorValue unused = 0;
    EXPECT_FALSE(GridColor::fromName(QStringLiteral("clOrange"), &unused));
}

TEST(TitleState, ClickCycleAndCtrl)
{
    TitleState s = TitleState::SortedNone;
    s = nextTitleState(s, false);
    EXPECT_EQ(s, TitleState::SortedUp);
    s = nextTitleState(s, false);
    EXPECT_EQ(s, TitleState::SortedDown);
    s = nextTitleState(s, false);
    EXPECT_EQ(s, TitleState::SortedUp);
    EXPECT_EQ(nextTitleState(TitleState::SortedDown, true), TitleState::SortedNone);
    EXPECT_EQ(nextTitleState(TitleState::SortedNone, true), TitleState::SortedNone);
}

} // namespace
