#pragma once
// The measurement report of the open table: prepared from the fixed template against the table in
// its current order, previewed, printed or written as PDF. The pages of the last preparation are
// kept for the pop-up "Печать".
#include "components/reportengine.h"

#include <QObject>
#include <functional>

class DbfTable;
class QWidget;

class MeasurementReport : public QObject
{
    Q_OBJECT
public:
    explicit MeasurementReport(DbfTable *table, QObject *parent = nullptr);
    ~MeasurementReport() override;

    void setTable(DbfTable *table) { m_table = table; }
    DbfTable *table() const { return m_table; }

    // N8Click: prepares the report (a progress window on long reports), then shows the modal
    // preview window.
    void preview(QWidget *parent);
    // N9Click: prepares the report; if that succeeded, the print dialog for the prepared pages.
    void print(QWidget *parent);
    // N22Click: the print dialog for the pages of the last preparation, without preparing again.
    // When nothing has been prepared yet it prepares first, as "Печать" does.
    void printLast(QWidget *parent);
    // Prepares the report and writes it as a PDF file. Throws QpxError on failure.
    void writePdf(const QString &path);

    // Builds the pages; false when the operator cancelled (the previous pages then stay).
    // With a parent a progress window shows on long reports.
    bool prepare(QWidget *progressParent = nullptr);
    const Report::PreparedReport &pages() const { return m_prepared; }
    bool hasPages() const { return !m_prepared.isEmpty(); }

    // Whether a printer is installed; tests replace the check.
    void setPrinterCheck(std::function<bool()> check) { m_printerCheck = std::move(check); }
    // Opened by the preview window (modal); tests observe it here.
    void setPreviewHook(std::function<void(QWidget *window)> hook) { m_previewHook = std::move(hook); }

private:
    bool tableReady() const;
    void printPrepared(QWidget *parent);
    void savePreparedAsPdf();

    DbfTable *m_table = nullptr;
    Report::PreparedReport m_prepared;
    std::function<bool()> m_printerCheck;
    std::function<void(QWidget *)> m_previewHook;
};
