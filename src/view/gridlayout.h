#pragma once
// The grid layout text: the per-column properties that are saved between runs (field, sort mark,
// width, band place, colour, alignment, sort order number) in the grid component's streaming
// text:
//
//   object TUniDataStorage
//     Data = <
//       item
//         FieldName = 'N'
//         Width = 100
//       end>
//   end
//
// Lines end with CR LF; a property equal to its default is not written.
#include "base/errors.h"
#include "components/gridtypes.h"

#include <QList>
#include <QString>

// A layout text that is not in the streaming form.
class LayoutParseError : public QpxError
{
public:
    using QpxError::QpxError;
};

// The layout text of the columns, CR LF line ends.
QString writeGridLayout(const QList<GridColumnLayout> &columns);
// Reads a layout text (any spacing between tokens). Unknown properties of an item are skipped.
// Throws LayoutParseError when the text is not in this form.
QList<GridColumnLayout> parseGridLayout(const QString &text);
