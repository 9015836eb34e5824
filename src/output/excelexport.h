#pragma once
// Export of the measurement table into a new spreadsheet workbook: captions, column and row
// formats, one sheet row per table row in the table's current order, a saved copy, then the
// spreadsheet program is told to quit. The table's values are never changed; its current row ends
// on the last row.
#include "excelautomation.h"

class DbfTable;

namespace ExcelExport {
// The sheet's name; the saved copy is named after it.
inline const QString SheetName = QStringLiteral("Лкт-ДН7");
// Column B's number format in the spreadsheet's Russian letter codes.
inline const QString DateTimeFormat = QStringLiteral("ДД/ММ/ГГГГ Ч:ММ");
inline constexpr qint16 SingleSheetTemplate = -4167;
inline constexpr qint32 ColumnWidth = 20;
inline constexpr qint32 TitleRowColor = 16711680; // blue in red + 256 green + 65536 blue
inline constexpr qint32 TitleRowSize = 14;
QStringList captions();

// The date and time of the current row as the sheet receives them: DATE, a blank and the hours
// and minutes of TIME, converted under the regional settings (seconds are dropped, not rounded).
// Throws ConvertError "'%s' is not a valid date and time".
QDateTime rowDateTime(const QString &date, const QString &time);
} // namespace ExcelExport

// The whole export through the given automation back end. Errors leave at once (after a failed
// save the quit request is still sent).
void exp2excel(DbfTable &table, ExcelAutomation &excel);

// The export with the default back end: an .xlsx workbook saved as "Лкт-ДН7.xlsx" in the table's
// folder and then opened with the desktop's spreadsheet program. (Built into qpx_output.)
void exp2excel(DbfTable &table);

// The "Экспорт в Excel" command: exports only while the table document is open and its table
// component is open; otherwise does nothing at all.
void Excel1Click(bool tableOpen, DbfTable *dbf1, ExcelAutomation &excel);
void Excel1Click(bool tableOpen, DbfTable *dbf1);
