#pragma once
// The report component's windows: the modal preview window of prepared pages (zoom, pages,
// find, save, print, close) and the progress window shown while a long report is prepared.
#include "components/reportengine.h"

#include <QDialog>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QProgressDialog;
class QScrollArea;

namespace Report {

class PageView;

class PreviewWindow : public QDialog
{
    Q_OBJECT
public:
    enum class Zoom { WholePage, PageWidth, Percent };

    PreviewWindow(const PreparedReport &report, QWidget *parent = nullptr);
    ~PreviewWindow() override;

    // What the Save and Print buttons do (the owner knows the file dialog and the printer).
    void setSaveHandler(std::function<void()> handler) { m_save = std::move(handler); }
    void setPrintHandler(std::function<void()> handler) { m_print = std::move(handler); }

    int currentPage() const; // 0-based
    void showPage(int page);
    void setZoom(Zoom mode, int percent = 100);
    double scale() const; // screen pixels per mm
    // Finds text (case-insensitive) after the found item, going on over the following pages and
    // round to the start; marks and shows it. False when the report does not contain it.
    bool findNext(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void applyZoom();
    void updatePageLabel();
    void askAndFind();

    PreparedReport m_report;
    PageView *m_view = nullptr;
    QScrollArea *m_scroll = nullptr;
    QComboBox *m_zoomBox = nullptr;
    QLabel *m_pageLabel = nullptr;
    Zoom m_zoom = Zoom::PageWidth;
    int m_percent = 100;
    QString m_lastFind;
    int m_foundItem = -1;
    std::function<void()> m_save;
    std::function<void()> m_print;
};

// A progress window for preparing a report of about rows rows (both passes): appears only when
// the work takes longer than a moment; Cancel stops the preparation.
class PreparationProgress
{
public:
    PreparationProgress(QWidget *parent, qint64 rows);
    ~PreparationProgress();
    Progress callback();
    bool cancelled() const { return m_cancelled; }

private:
    std::unique_ptr<QProgressDialog> m_dialog;
    qint64 m_total = 0;
    bool m_cancelled = false;
};

} // namespace Report
