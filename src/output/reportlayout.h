#pragma once
// The measurement report's template: A4 landscape, a title line with the instrument's name on the
// first page, a framed column header on every page, one framed row per reading (data set Dbf1)
// and the page line "Стр. N из M" at the foot of every page.
#include "components/reportengine.h"

namespace MeasurementReportLayout {

// Band and object names as the template carries them.
inline const QString DataSetName = QStringLiteral("Dbf1");

Report::Template create();

} // namespace MeasurementReportLayout
