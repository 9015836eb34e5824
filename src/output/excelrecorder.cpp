#include "excelrecorder.h"

#include <QDateTime>

namespace {
QString str(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"') + QStringLiteral(":BSTR");
}
QString i4(qint32 v)
{
    return QString::number(v) + QStringLiteral(":I4");
}
QString boolean(bool v)
{
    return v ? QStringLiteral("true:BOOL") : QStringLiteral("false:BOOL");
}
} // namespace

void ExcelRecorder::record(const QString &line)
{
    const bool fail = failAtCall == calls.size();
    calls << line;
    if (fail)
        throw AutomationError(QStringLiteral("Вызов отклонён: ") + line);
}

QString ExcelRecorder::describe(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
        return i4(value.toInt());
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QStringLiteral(":DATE");
    case QMetaType::QString:
        return str(value.toString());
    case QMetaType::Double:
        return QString::number(value.toDouble()) + QStringLiteral(":R8");
    default:
        return QStringLiteral("?:") + QString::fromLatin1(value.typeName());
    }
}

void ExcelRecorder::createObject(const QString &progId)
{
    record(QStringLiteral("CreateOleObject(%1)").arg(str(progId)));
}

void ExcelRecorder::setVisible(bool visible)
{
    record(QStringLiteral("Visible := %1").arg(boolean(visible)));
}

void ExcelRecorder::workbooks()
{
    record(QStringLiteral("Workbooks()"));
}

void ExcelRecorder::workbooksAdd(qint16 templateKind)
{
    record(QStringLiteral("Workbooks.Add(%1:I2)").arg(templateKind));
}

void ExcelRecorder::workbook(qint32 index)
{
    record(QStringLiteral("Workbooks[%1]").arg(i4(index)));
}

void ExcelRecorder::worksheet(qint32 book, qint32 sheet)
{
    record(QStringLiteral("Workbooks[%1].WorkSheets[%2]").arg(i4(book), i4(sheet)));
}

void ExcelRecorder::setWorksheetName(qint32 book, qint32 sheet, const QString &name)
{
    record(QStringLiteral("Workbooks[%1].WorkSheets[%2].Name := %3").arg(i4(book), i4(sheet), str(name)));
    m_sheetName = name;
}

QString ExcelRecorder::worksheetName(qint32 book, qint32 sheet)
{
    record(QStringLiteral("Workbooks[%1].WorkSheets[%2].Name").arg(i4(book), i4(sheet)));
    return m_sheetName;
}

void ExcelRecorder::columns(qint32 book, const QString &sheetName)
{
    record(QStringLiteral("Workbooks[%1].WorkSheets[%2].Columns()").arg(i4(book), str(sheetName)));
}

void ExcelRecorder::setColumnWidth(qint32 column, qint32 width)
{
    record(QStringLiteral("Columns[%1].ColumnWidth := %2").arg(i4(column), i4(width)));
}

void ExcelRecorder::setColumnNumberFormat(qint32 column, const QString &format)
{
    record(QStringLiteral("Columns[%1].NumberFormat := %2").arg(i4(column), str(format)));
}

void ExcelRecorder::rows(qint32 book, const QString &sheetName)
{
    record(QStringLiteral("Workbooks[%1].WorkSheets[%2].Rows()").arg(i4(book), str(sheetName)));
}

void ExcelRecorder::setRowFontBold(qint32 row, bool bold)
{
    record(QStringLiteral("Rows[%1].Font.Bold := %2").arg(i4(row), boolean(bold)));
}

void ExcelRecorder::setRowFontColor(qint32 row, qint32 color)
{
    record(QStringLiteral("Rows[%1].Font.Color := %2").arg(i4(row), i4(color)));
}

void ExcelRecorder::setRowFontSize(qint32 row, qint32 size)
{
    record(QStringLiteral("Rows[%1].Font.Size := %2").arg(i4(row), i4(size)));
}

void ExcelRecorder::worksheetByName(qint32 book, const QString &sheetName)
{
    record(QStringLiteral("Workbooks[%1].WorkSheets[%2]").arg(i4(book), str(sheetName)));
}

void ExcelRecorder::setCell(qint32 row, qint32 column, const QVariant &value)
{
    record(QStringLiteral("Cells[%1, %2] := %3").arg(i4(row), i4(column), describe(value)));
}

void ExcelRecorder::saveCopyAs(const QString &fileName)
{
    record(QStringLiteral("ActiveWorkbook.SaveCopyAs(FileName := %1)").arg(str(fileName)));
}

void ExcelRecorder::quit()
{
    record(QStringLiteral("Application.Quit()"));
}
