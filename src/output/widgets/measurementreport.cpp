#include "measurementreport.h"

#include "components/widgets/reportpreview.h"
#include "components/widgets/reportprint.h"
#include "dbase/dbftable.h"
#include "output/draw/reportpages.h"
#include "ui/errorguard.h"
#include "ui/prompts.h"

#include <QPrinter>
#include <QPrinterInfo>
#include <QTimer>

namespace {

// Reports of more rows than this show the progress window (it still appears only when slow).
constexpr int ProgressRows = 500;

bool printerInstalled()
{
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}

} // namespace

MeasurementReport::MeasurementReport(DbfTable *table, QObject *parent)
    : QObject(parent), m_table(table), m_printerCheck(printerInstalled)
{}

MeasurementReport::~MeasurementReport() = default;

bool MeasurementReport::tableReady() const
{
    return m_table && m_table->isOpen();
}

bool MeasurementReport::prepare(QWidget *progressParent)
{
    std::unique_ptr<Report::PreparationProgress> progress;
    const int rows = m_table->rowCount();
    if (progressParent && rows > ProgressRows)
        progress = std::make_unique<Report::PreparationProgress>(progressParent, rows);
    std::optional<Report::PreparedReport> prepared =
        MeasurementReportPages::prepare(*m_table, progress ? progress->callback() : Report::Progress());
    if (!prepared)
        return false;
    m_prepared = std::move(*prepared);
    return true;
}

void MeasurementReport::preview(QWidget *parent)
{
    if (!tableReady() || !prepare(parent))
        return;
    Report::PreviewWindow window(m_prepared, parent);
    // The buttons run inside the preview's event loop: their errors end there, in the message box.
    window.setSaveHandler([this] { runGuarded([this] { savePreparedAsPdf(); }); });
    window.setPrintHandler([this, &window] { runGuarded([this, &window] { printPrepared(&window); }); });
    if (m_previewHook)
        QTimer::singleShot(0, &window, [this, &window] { m_previewHook(&window); });
    window.exec();
}

void MeasurementReport::print(QWidget *parent)
{
    if (!tableReady() || !prepare(parent))
        return;
    printPrepared(parent);
}

void MeasurementReport::printLast(QWidget *parent)
{
    if (!tableReady())
        return;
    if (!hasPages() && !prepare(parent))
        return;
    printPrepared(parent);
}

void MeasurementReport::writePdf(const QString &path)
{
    prepare(nullptr);
    MeasurementReportPages::writePdf(m_prepared, path);
}

void MeasurementReport::printPrepared(QWidget *parent)
{
    // With no printer in the system there is nothing to choose: no dialog, nothing printed.
    if (!hasPages() || (m_printerCheck && !m_printerCheck()))
        return;
    QPrinter printer(QPrinter::HighResolution);
    Report::setUpPrinter(printer, m_prepared.layout->page);
    printer.setDocName(MeasurementReportPages::Title);
    printer.setCopyCount(1);
    printer.setCollateCopies(true);
    Prompts &prompts = Prompts::instance();
    QWidget *savedParent = prompts.parentWidget();
    if (parent)
        prompts.setParentWidget(parent);
    const bool accepted = prompts.printDialog(&printer, m_prepared.pageCount());
    prompts.setParentWidget(savedParent);
    if (accepted)
        Report::printReport(m_prepared, printer);
}

void MeasurementReport::savePreparedAsPdf()
{
    FileDialogRequest request;
    request.title = QStringLiteral("Сохранить отчёт");
    request.filter = QStringLiteral("Документы PDF (*.pdf)");
    request.defaultSuffix = QStringLiteral("pdf");
    const QString path = Prompts::instance().saveFileName(request);
    if (path.isEmpty())
        return;
    MeasurementReportPages::writePdf(m_prepared, path);
}
