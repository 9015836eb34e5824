#include "reportpages.h"

#include "components/draw/reportrender.h"
#include "dbase/dbftable.h"
#include "output/reportlayout.h"
#include "output/reportsource.h"

#include <QSignalBlocker>

namespace MeasurementReportPages {

std::optional<Report::PreparedReport> prepare(DbfTable &table, const Report::Progress &progress)
{
    // The table's views are not told about every step of the walk (like a data-bound grid
    // with its controls disabled); they hear once, at the end, where the table stands.
    QSignalBlocker quiet(&table);
    const auto tellViews = [&] {
        quiet.unblock();
        emit table.currentChanged();
    };
    DbfRowSource source(table);
    std::optional<Report::PreparedReport> prepared;
    try {
        prepared = Report::prepare(MeasurementReportLayout::create(), source,
                                   std::make_shared<Report::FontMeasurer>(), progress);
    } catch (...) {
        tellViews();
        throw;
    }
    tellViews();
    return prepared;
}

void writePdf(const Report::PreparedReport &report, const QString &path)
{
    Report::writePdf(report, path, Title);
}

} // namespace MeasurementReportPages
