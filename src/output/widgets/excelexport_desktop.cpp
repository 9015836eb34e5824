// The export with the default back end: the workbook is saved beside the table and handed to the
// desktop's spreadsheet program.
#include "dbase/dbftable.h"
#include "output/excelexport.h"
#include "output/excelxlsx.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

void exp2excel(DbfTable &table)
{
    XlsxAutomation excel(table.filePath());
    excel.setHandOff([](const QString &file) {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
            throw AutomationError(QStringLiteral("Книга сохранена в файле \"%1\", но открыть её программой "
                                                 "электронных таблиц не удалось")
                                      .arg(QDir::toNativeSeparators(file)));
    });
    exp2excel(table, excel);
}

void Excel1Click(bool tableOpen, DbfTable *dbf1)
{
    if (tableOpen && dbf1 && dbf1->isOpen())
        exp2excel(*dbf1);
}
