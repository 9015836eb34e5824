// qpx-cli dump TABLE.db: the live rows of a table file as CSV (UTF-8, RFC 4180).
#include "cli.h"
#include "clisystem.h"

#include "dbase/dbftable.h"

#include <QFile>
#include <cstdio>

namespace {

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

int cmdDump(const QStringList &args)
{
    if (args.size() != 1)
        return cli::usage(QStringLiteral("dump takes one table file"));
    return cli::guarded([&] {
        DbfTable table;
        table.setSchema({}); // any table file: no fields are required
        table.setFileName(args[0]);
        table.open(DbfTable::Access::ReadOnly);
        if (const QString damaged = damagedRecordsText(table); !damaged.isEmpty())
            cli::err(damaged);

        QByteArray text;
        QStringList line;
        for (int f = 0; f < table.fieldCount(); ++f)
            line.append(csvField(table.field(f).name));
        text += line.join(QLatin1Char(',')).toUtf8() + "\r\n";
        // File order whatever index the table file remembers; rows marked deleted and damaged
        // records are left out.
        for (int recNo = 1; recNo <= table.physicalRecordCount(); ++recNo) {
            if (!table.isLiveRecord(recNo))
                continue;
            line.clear();
            for (int f = 0; f < table.fieldCount(); ++f)
                line.append(csvField(table.text(recNo, f)));
            text += line.join(QLatin1Char(',')).toUtf8() + "\r\n";
        }
        table.close();
        if (!cli::writeText(stdout, text)) {
            cli::err(QStringLiteral("qpx-cli: the output could not be written"));
            return int(cli::Failed);
        }
        return int(cli::Ok);
    });
}
