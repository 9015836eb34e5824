#pragma once
// The grid component's value types: the sort mark of a title, the alignment of a column, colour
// values with their standard names, and the per-column properties that a grid layout saves
// between runs (field, sort mark, width, band place, colour, alignment, sort order number).
#include <QList>
#include <QString>
#include <QtGlobal>

enum class TitleState { SortedNone, SortedUp, SortedDown };
enum class ColumnAlignment { Default, LeftJustify, RightJustify, Center };

// Colour values: red + 256 * green + 65536 * blue for an RGB colour, 0xFF000000 + index for a
// system colour, and two special values.
using ColorValue = quint32;
namespace GridColor {
constexpr ColorValue None = 0x1FFFFFFF;
constexpr ColorValue Default = 0x20000000;
constexpr ColorValue SystemFlag = 0xFF000000;
constexpr ColorValue Silver = 0x00C0C0C0;
constexpr ColorValue rgb(int red, int green, int blue)
{
    return ColorValue(red & 0xFF) | (ColorValue(green & 0xFF) << 8) | (ColorValue(blue & 0xFF) << 16);
}
constexpr bool isSystem(ColorValue value)
{
    return (value & 0xFF000000) == SystemFlag;
}
constexpr bool isRgb(ColorValue value)
{
    return (value & 0xFF000000) == 0;
}
constexpr int red(ColorValue value)
{
    return int(value & 0xFF);
}
constexpr int green(ColorValue value)
{
    return int((value >> 8) & 0xFF);
}
constexpr int blue(ColorValue value)
{
    return int((value >> 16) & 0xFF);
}

// The colour's standard name ("clRed", "clBtnFace", "clNone"), empty when it has none.
QString name(ColorValue value);
// The value of a standard name (letter case ignored); false when it is no colour name.
bool fromName(const QString &name, ColorValue *value);
// Every standard name in lookup order (52).
QList<QString> names();
} // namespace GridColor

struct GridColumnLayout
{
    // Widths a grid can show, in pixels. The text keeps the width it holds; a grid applying a
    // layout takes shownWidth(), the nearest bound for a width outside (a huge width would squash
    // every other column, a zero or negative one hide the column).
    static constexpr int MinWidth = 8;
    static constexpr int MaxWidth = 8192;
    int shownWidth() const { return width < MinWidth ? MinWidth : width > MaxWidth ? MaxWidth : width; }

    QString fieldName;
    TitleState titleState = TitleState::SortedNone;
    int width = 45;
    int layoutLevel = 0;
    int layoutIndex = 0;
    ColorValue color = GridColor::None;
    ColumnAlignment alignment = ColumnAlignment::Default;
    int sortOrder = -1;

    bool operator==(const GridColumnLayout &) const = default;
};

// Title click on a column: a click (or Shift with a click) moves the state one step in the cycle
// none -> up -> down -> up -> ...; Ctrl with a click gives none.
TitleState nextTitleState(TitleState current, bool ctrl);
