// qpx-cli report TABLE.db OUT.pdf: the measurement report of a table, written as PDF.
#include "cli.h"

#include "data/measurementtable.h"
#include "dbase/dbftable.h"
#include "output/draw/reportpages.h"

#include <QFileInfo>

int cmdReport(const QStringList &args)
{
    if (args.size() != 2)
        return cli::usage(QStringLiteral("report needs a table file and a PDF file name"));
    return cli::guarded([&] {
        DbfTable table(Measurement::schema());
        table.setFileName(QFileInfo(args.at(0)).absoluteFilePath());
        table.open(DbfTable::Access::ReadOnly);
        if (const QString damaged = damagedRecordsText(table); !damaged.isEmpty())
            cli::err(damaged);
        const Report::PreparedReport report = *MeasurementReportPages::prepare(table);
        MeasurementReportPages::writePdf(report, args.at(1));
        table.close();
        cli::out(QStringLiteral("%1: %2 pages").arg(args.at(1)).arg(report.pageCount()));
        return int(cli::Ok);
    });
}
