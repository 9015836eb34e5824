#include "excelexport.h"

#include "base/regional.h"
#include "data/measurementtable.h"
#include "dbase/dbftable.h"

#include <QStringList>

QStringList ExcelExport::captions()
{
    return {QStringLiteral("N"),        QStringLiteral("Дата"),    QStringLiteral("Режим"),
            QStringLiteral("Масса, г"), QStringLiteral("№ Серии"), QStringLiteral("Примечание")};
}

QDateTime ExcelExport::rowDateTime(const QString &date, const QString &time)
{
    return Regional::current().parseDateTime(date + QLatin1Char(' ') + time.left(5));
}

void exp2excel(DbfTable &table, ExcelAutomation &excel)
{
    using namespace ExcelExport;
    excel.createObject(QStringLiteral("Excel.Application"));
    excel.setVisible(true);
    excel.workbooks();
    excel.workbooksAdd(SingleSheetTemplate);
    excel.workbook(1);
    excel.worksheet(1, 1);
    excel.setWorksheetName(1, 1, SheetName);
    const QString copyName = excel.worksheetName(1, 1);

    excel.columns(1, SheetName);
    for (qint32 column = 1; column <= 6; ++column)
        excel.setColumnWidth(column, ColumnWidth);
    excel.setColumnNumberFormat(2, DateTimeFormat);

    excel.rows(1, SheetName);
    excel.setRowFontBold(2, true);
    excel.setRowFontBold(1, true);
    excel.setRowFontColor(1, TitleRowColor);
    excel.setRowFontSize(1, TitleRowSize);

    excel.worksheetByName(1, SheetName);
    const QStringList titles = captions();
    for (qint32 column = 1; column <= titles.size(); ++column)
        excel.setCell(2, column, titles.at(column - 1));

    qint32 sheetRow = 3;
    table.first();
    const int count = table.exactRecordCount();
    for (int i = 0; i < count; ++i) {
        const QString date = table.text(Measurement::DATE);
        const QString time = table.text(Measurement::TIME);
        excel.setCell(sheetRow, 1, qint32(table.integer(Measurement::N)));
        excel.setCell(sheetRow, 2, rowDateTime(date, time));
        excel.setCell(sheetRow, 3, table.text(Measurement::MODE));
        excel.setCell(sheetRow, 4, table.text(Measurement::T_1));
        excel.setCell(sheetRow, 5, table.text(Measurement::T_2));
        excel.setCell(sheetRow, 6, table.text(Measurement::COMMENT));
        ++sheetRow;
        table.next();
    }

    try {
        excel.saveCopyAs(copyName);
    } catch (...) {
        excel.quit();
        throw;
    }
    excel.quit();
}

void Excel1Click(bool tableOpen, DbfTable *dbf1, ExcelAutomation &excel)
{
    if (tableOpen && dbf1 && dbf1->isOpen())
        exp2excel(*dbf1, excel);
}
