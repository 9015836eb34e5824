#pragma once
// The spreadsheet program as the export drives it: one late-bound call per member, each with the
// object path it is called on spelled out in its arguments. Back ends: a real workbook file
// (XlsxAutomation), a recorder for tests (ExcelRecorder).
//
// Cell values are automation values: a 32-bit integer (int), a date (QDateTime, wall clock) or a
// string (QString). Every failure raises an AutomationError (or another QpxError).
#include "base/errors.h"

#include <QString>
#include <QVariant>

class AutomationError : public QpxError
{
public:
    using QpxError::QpxError;
};

class ExcelAutomation
{
public:
    virtual ~ExcelAutomation() = default;

    // Creates the application object from its programmatic identifier.
    virtual void createObject(const QString &progId) = 0;
    // Application.Visible = visible
    virtual void setVisible(bool visible) = 0;
    // Application.Workbooks()
    virtual void workbooks() = 0;
    // Workbooks.Add(templateKind)
    virtual void workbooksAdd(qint16 templateKind) = 0;
    // Application.Workbooks[index]
    virtual void workbook(qint32 index) = 0;
    // Workbooks[book].WorkSheets[sheet]
    virtual void worksheet(qint32 book, qint32 sheet) = 0;
    // Workbooks[book].WorkSheets[sheet].Name = name
    virtual void setWorksheetName(qint32 book, qint32 sheet, const QString &name) = 0;
    // Workbooks[book].WorkSheets[sheet].Name
    virtual QString worksheetName(qint32 book, qint32 sheet) = 0;
    // Workbooks[book].WorkSheets[sheetName].Columns(): the column collection used by the next calls
    virtual void columns(qint32 book, const QString &sheetName) = 0;
    // Columns[column].ColumnWidth = width
    virtual void setColumnWidth(qint32 column, qint32 width) = 0;
    // Columns[column].NumberFormat = format (the spreadsheet's own, localised format code)
    virtual void setColumnNumberFormat(qint32 column, const QString &format) = 0;
    // Workbooks[book].WorkSheets[sheetName].Rows(): the row collection used by the next calls
    virtual void rows(qint32 book, const QString &sheetName) = 0;
    // Rows[row].Font.Bold / .Color / .Size
    virtual void setRowFontBold(qint32 row, bool bold) = 0;
    virtual void setRowFontColor(qint32 row, qint32 color) = 0; // red + 256 * green + 65536 * blue
    virtual void setRowFontSize(qint32 row, qint32 size) = 0;
    // Workbooks[book].WorkSheets[sheetName]: the sheet that receives the cell writes
    virtual void worksheetByName(qint32 book, const QString &sheetName) = 0;
    // sheet.Cells[row, column] = value
    virtual void setCell(qint32 row, qint32 column, const QVariant &value) = 0;
    // Application.ActiveWorkbook.SaveCopyAs(FileName := fileName)
    virtual void saveCopyAs(const QString &fileName) = 0;
    // Application.Application.Quit()
    virtual void quit() = 0;
};
