// qpx-cli export TABLE.db OUT.xlsx: the spreadsheet export of the table, saved to OUT.xlsx.
#include "cli.h"

#include "data/measurementtable.h"
#include "dbase/dbftable.h"
#include "output/excelexport.h"
#include "output/excelxlsx.h"

#include <QDir>
#include <QFileInfo>

int cmdExport(const QStringList &args)
{
    if (args.size() != 2)
        return cli::usage(QStringLiteral("export needs a table file and an output file"));
    return cli::guarded([&] {
        DbfTable table(Measurement::schema());
        table.setFileName(QFileInfo(args.at(0)).absoluteFilePath());
        table.open(DbfTable::Access::ReadOnly);
        if (const QString damaged = damagedRecordsText(table); !damaged.isEmpty())
            cli::err(damaged);
        const QFileInfo out(args.at(1));
        XlsxAutomation excel(out.absolutePath());
        excel.setTargetFile(out.absoluteFilePath());
        exp2excel(table, excel);
        table.close();
        cli::out(QDir::toNativeSeparators(excel.savedFile()));
        return int(cli::Ok);
    });
}
