#pragma once
// The measurement report's pages from the open table, measured with the real fonts, and its PDF
// file; no windows. The report commands of the main window (measurementreport.h) and qpx-cli
// both prepare and write through these.
#include "components/reportengine.h"

#include <optional>

class DbfTable;

namespace MeasurementReportPages {

// The document's title in the PDF file and in the printer's queue.
inline const QString Title = QStringLiteral("ЛКТ-ДН7");

// Prepares the report from the fixed template against the table in its current order; the
// table's views hear once, at the end, where the walk left it. Nothing when cancelled through
// progress; errors of the table propagate.
std::optional<Report::PreparedReport> prepare(DbfTable &table, const Report::Progress &progress = {});

// Writes prepared pages as the report's PDF file. Throws QpxError when it cannot be written.
void writePdf(const Report::PreparedReport &report, const QString &path);

} // namespace MeasurementReportPages
