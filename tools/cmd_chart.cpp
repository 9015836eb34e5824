// qpx-cli chart TABLE.db SERIES OUT.png|OUT.pdf: the mass-over-time chart of one observation
// series, as the chart window shows it (PNG, 698 x 482) or prints it (PDF, landscape).
#include "cli.h"

#include "data/measurementtable.h"
#include "dbase/dbftable.h"
#include "output/draw/masschart.h"

#include <QFileInfo>
#include <QImage>
#include <QPainter>

int cmdChart(const QStringList &args)
{
    if (args.size() != 3)
        return cli::usage(QStringLiteral("chart needs a table file, a series number and an output file"));
    const QString suffix = QFileInfo(args.at(2)).suffix().toLower();
    if (suffix != QLatin1String("png") && suffix != QLatin1String("pdf"))
        return cli::usage(QStringLiteral("the output file must end in .png or .pdf"));
    return cli::guarded([&] {
        DbfTable table(Measurement::schema());
        table.setFileName(QFileInfo(args.at(0)).absoluteFilePath());
        table.open(DbfTable::Access::ReadOnly);
        if (const QString damaged = damagedRecordsText(table); !damaged.isEmpty())
            cli::err(damaged);
        if (!selectSeries(table, args.at(1))) {
            cli::err(QStringLiteral("Данной серии измерений не существует"));
            return int(cli::Failed);
        }
        Chart chart;
        configureMassChart(chart);
        buildMassChart(chart, table);
        table.close();

        const QString out = QFileInfo(args.at(2)).absoluteFilePath();
        if (suffix == QLatin1String("png")) {
            QImage image(698, 482, QImage::Format_RGB32);
            QPainter painter(&image);
            chart.draw(painter, QRectF(image.rect()));
            painter.end();
            if (!image.save(out, "PNG"))
                throw QpxError(QStringLiteral("Не удалось записать файл \"%1\"").arg(out));
        } else {
            writeChartPdf(chart, out);
        }
        cli::out(out);
        return int(cli::Ok);
    });
}
