#pragma once
// The commands that change many rows of the measurement table at once, free of any widget:
// deleting a set of records (and packing the file), and renumbering the rows in the order shown.
#include <QList>

class DbfTable;

namespace TableEdits {

// The highest row number the 4-digit field N can hold.
constexpr int MaxRowNumber = 9999;

// Marks the given records deleted, the last given first (records not shown in the current order
// are skipped), then packs the file: only live records stay, damaged ones go as well.
void deleteRecordsAndPack(DbfTable &table, const QList<int> &records);

// Raises, before anything is written, when the table has more rows than N can number.
void requireRenumberable(const DbfTable &table);
// Gives the rows N = 1, 2, ... in the order shown when it starts (also when that order is by N
// itself and changes under the walk), each by a posted edit, and ends on the first row. Raises
// as requireRenumberable does, without writing anything.
void renumberRows(DbfTable &table);

} // namespace TableEdits
