// The grid layout text: writing, reading, colour names and numbers, malformed texts.
#include "view/gridlayout.h"

#include <gtest/gtest.h>

namespace {

QList<GridColumnLayout> designedColumns()
{
    auto column = [](const char *field, int width, int index) {
        GridColumnLayout c;
        c.fieldName = QString::fromLatin1(field);
        c.width = width;
        c.layoutIndex = index;
        c.alignment = ColumnAlignment::Center;
        return c;
    };
    QList<GridColumnLayout> columns{column("N", 100, 0),     column("DATE", 99, 0), column("TIME", 97, 1),
                                    column("T_2", 97, 2),    column("MODE", 98, 3), column("T_1", 97, 0),
                                    column("COMMENT", 97, 0)};
    columns[3].alignment = ColumnAlignment::RightJustify;
    columns[5].alignment = ColumnAlignment::RightJustify;
    columns[6].alignment = ColumnAlignment::LeftJustify;
    return columns;
}

TEST(GridLayoutText, WritesLinesIndentationAndDefaults)
{
    QList<GridColumnLayout> columns = designedColumns().mid(0, 3);
    columns[0].titleState = TitleState::SortedUp;
    columns[0].sortOrder = 0;
    columns[1].color = 0x000000FF;
    columns[2].width = 45; // the default: not written
    columns[2].alignment = ColumnAlignment::Default;
    columns[2].color = GridColor::rgb(1, 2, 3); // no name: written as a number

    const QString expected = QStringLiteral("object TUniDataStorage\r\n"
                                            "  Data = <\r\n"
                                            "    item\r\n"
                                            "      FieldName = 'N'\r\n"
                                            "      TitleState = tsSortedUp\r\n"
                                            "      Width = 100\r\n"
                                            "      Alignment = talCenter\r\n"
                                            "      SortOrder = 0\r\n"
                                            "    end\r\n"
                                            "    item\r\n"
                                            "      FieldName = 'DATE'\r\n"
                                            "      Width = 99\r\n"
                                            "      Color = clRed\r\n"
                                            "      Alignment = talCenter\r\n"
                                            "    end\r\n"
                                            "    item\r\n"
                                            "      FieldName = 'TIME'\r\n"
                                            "      LayoutIndex = 1\r\n"
                                            "      Color = 197121\r\n"
                                            "    end>\r\n"
                                            "end\r\n");
    EXPECT_EQ(writeGridLayout(columns), expected);
}

TEST(GridLayoutText, QuotesAreDoubledAndEveryPropertyRoundTrips)
{
    QList<GridColumnLayout> columns = designedColumns();
    columns[0].fieldName = QStringLiteral("O'Brien");
    columns[1].titleState = TitleState::SortedDown;
    columns[1].sortOrder = 3;
    columns[2].layoutLevel = 2;
    columns[3].color = GridColor::SystemFlag + 15;
    columns[4].color = GridColor::Default;
    columns[5].color = 0xFF000019; // a system colour without a name
    columns[6].width = -7;
    const QString text = writeGridLayout(columns);
    EXPECT_TRUE(text.contains(QStringLiteral("FieldName = 'O''Brien'")));
    EXPECT_TRUE(text.contains(QStringLiteral("Color = clBtnFace")));
    EXPECT_TRUE(text.contains(QStringLiteral("Color = clDefault")));
    EXPECT_TRUE(text.contains(QStringLiteral("Color = -16777191")));
    EXPECT_EQ(parseGridLayout(text), columns);
    EXPECT_EQ(parseGridLayout(writeGridLayout({})), QList<GridColumnLayout>{});

    // Control characters travel as #codes; an empty name as ''.
    QList<GridColumnLayout> odd(2);
    odd[0].fieldName = QStringLiteral("a\r\nb'\t");
    const QString oddText = writeGridLayout(odd);
    EXPECT_TRUE(oddText.contains(QStringLiteral("FieldName = 'a'#13#10'b'''#9\r\n")));
    EXPECT_TRUE(oddText.contains(QStringLiteral("FieldName = ''\r\n")));
    EXPECT_EQ(parseGridLayout(oddText), odd);
}

TEST(GridLayoutText, ReadsAnySpacingUnknownPropertiesAndNumbers)
{
    const QString text = QStringLiteral("object   TUniDataStorage\n Data=<item FieldName='T_1' Width=120\n"
                                        "  OptionsVisual = [ovShowTitle, ovShowFooter] Font.Name = 'Arial'\n"
                                        "  FooterState = fsSum Color = 255 TitleState=TSSORTEDDOWN end\n"
                                        "item FieldName = 'X' + 'Y' Color = clskyblue end> end");
    const QList<GridColumnLayout> columns = parseGridLayout(text);
    ASSERT_EQ(columns.size(), 2);
    EXPECT_EQ(columns[0].fieldName, QStringLiteral("T_1"));
    EXPECT_EQ(columns[0].width, 120);
    EXPECT_EQ(columns[0].color, 0x000000FFu);
    EXPECT_EQ(columns[0].titleState, TitleState::SortedDown);
    EXPECT_EQ(columns[0].sortOrder, -1);
    EXPECT_EQ(columns[1].fieldName, QStringLiteral("XY"));
    EXPECT_EQ(columns[1].width, 45);
    EXPECT_EQ(columns[1].color, 0x00F0CAA6u);
}

TEST(GridLayoutText, BrokenTextsFail)
{
    const char *broken[] = {
        "",
        "object TUniDataStorage",
        "object TUniDataStorage Data = < item FieldName = 'N' end> ",
        "object TUniDataStorage Data = < item FieldName = 'N' end end",
        "object TUniDataStorage Data = < item FieldName = 'N end> end",
        "object TUniDataStorage Data = < item Width = wide end> end",
        "object TUniDataStorage Data = < item Width = 99999999999 end> end",
        "object TUniDataStorage Data = < item Color = clNoSuchColour end> end",
        "object TUniDataStorage Data = < item TitleState = tsSideways end> end",
        "object TUniDataStorage Data = < item FieldName = 5 end> end",
        "object TUniDataStorage Data = < thing end> end",
        "object TUniDataStorage Data = < item FieldName = 'N' end> end trailing",
        "Data = <>",
        "object A Data = <> X = "
        "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]"
        "]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]] end",
    };
    for (const char *text : broken)
        EXPECT_THROW(parseGridLayout(QString::fromUtf8(text)), LayoutParseError) << text;
}

} // namespace
