#include "gridtypes.h"

#include <iterator>

// ---------------------------------------------------------------- colour names

namespace GridColor {
namespace {
struct NamedColor
{
    const char *name;
    ColorValue value;
};

constexpr ColorValue sys(int index)
{
    return SystemFlag + ColorValue(index);
}

// Lookup order: a value with several names is written with the first.
constexpr NamedColor namedColors[] = {
    {"clBlack", 0x00000000},
    {"clMaroon", 0x00000080},
    {"clGreen", 0x00008000},
    {"clOlive", 0x00008080},
    {"clNavy", 0x00800000},
    {"clPurple", 0x00800080},
    {"clTeal", 0x00808000},
    {"clGray", 0x00808080},
    {"clSilver", 0x00C0C0C0},
    {"clRed", 0x000000FF},
    {"clLime", 0x0000FF00},
    {"clYellow", 0x0000FFFF},
    {"clBlue", 0x00FF0000},
    {"clFuchsia", 0x00FF00FF},
    {"clAqua", 0x00FFFF00},
    {"clWhite", 0x00FFFFFF},
    {"clMoneyGreen", 0x00C0DCC0},
    {"clSkyBlue", 0x00F0CAA6},
    {"clCream", 0x00F0FBFF},
    {"clMedGray", 0x00A4A0A0},
    {"clActiveBorder", sys(10)},
    {"clActiveCaption", sys(2)},
    {"clAppWorkSpace", sys(12)},
    {"clBackground", sys(1)},
    {"clBtnFace", sys(15)},
    {"clBtnHighlight", sys(20)},
    {"clBtnShadow", sys(16)},
    {"clBtnText", sys(18)},
    {"clCaptionText", sys(9)},
    {"clDefault", Default},
    {"clGradientActiveCaption", sys(27)},
    {"clGradientInactiveCaption", sys(28)},
    {"clGrayText", sys(17)},
    {"clHighlight", sys(13)},
    {"clHighlightText", sys(14)},
    {"clHotLight", sys(26)},
    {"clInactiveBorder", sys(11)},
    {"clInactiveCaption", sys(3)},
    {"clInactiveCaptionText", sys(19)},
    {"clInfoBk", sys(24)},
    {"clInfoText", sys(23)},
    {"clMenu", sys(4)},
    {"clMenuBar", sys(30)},
    {"clMenuHighlight", sys(29)},
    {"clMenuText", sys(7)},
    {"clNone", None},
    {"clScrollBar", sys(0)},
    {"cl3DDkShadow", sys(21)},
    {"cl3DLight", sys(22)},
    {"clWindow", sys(5)},
    {"clWindowFrame", sys(6)},
    {"clWindowText", sys(8)},
};
static_assert(std::size(namedColors) == 52);
} // namespace

QString name(ColorValue value)
{
    for (const NamedColor &c : namedColors) {
        if (c.value == value)
            return QString::fromLatin1(c.name);
    }
    return {};
}

bool fromName(const QString &text, ColorValue *value)
{
    for (const NamedColor &c : namedColors) {
        if (text.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0) {
            *value = c.value;
            return true;
        }
    }
    return false;
}

QList<QString> names()
{
    QList<QString> result;
    for (const NamedColor &c : namedColors)
        result.append(QString::fromLatin1(c.name));
    return result;
}
} // namespace GridColor

// ---------------------------------------------------------------- title clicks

TitleState nextTitleState(TitleState current, bool ctrl)
{
    if (ctrl)
        return TitleState::SortedNone;
    return current == TitleState::SortedUp ? TitleState::SortedDown : TitleState::SortedUp;
}
