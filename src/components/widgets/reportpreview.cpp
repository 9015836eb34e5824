#include "reportpreview.h"

#include "components/draw/reportrender.h"
#include "ui/prompts.h"

#include <QApplication>
#include <QComboBox>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressDialog>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace Report {

namespace {
constexpr int PageGap = 12; // pixels of grey round the sheet
}

// Draws the current page at the window's scale on a grey desk.
class PageView : public QWidget
{
public:
    explicit PageView(const PreparedReport &report, QWidget *parent) : QWidget(parent), m_report(report)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void setPage(int page)
    {
        m_page = page;
        update();
    }
    int page() const { return m_page; }
    void setHighlight(int item)
    {
        m_highlight = item;
        update();
    }
    void setScale(double pixelsPerMm)
    {
        m_scale = pixelsPerMm;
        resize(sizeHint());
        update();
    }
    double scale() const { return m_scale; }
    QRectF sheetRect() const
    {
        const PageSetup &p = m_report.layout->page;
        return QRectF(PageGap, PageGap, p.width * m_scale, p.height * m_scale);
    }
    QSize sizeHint() const override
    {
        if (!m_report.layout)
            return QSize(200, 200);
        const QRectF sheet = sheetRect();
        return QSize(int(sheet.width()) + 2 * PageGap, int(sheet.height()) + 2 * PageGap);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(128, 128, 128));
        if (!m_report.layout || m_report.isEmpty())
            return;
        const QRectF sheet = sheetRect();
        painter.fillRect(sheet.translated(3, 3), QColor(60, 60, 60));
        drawPage(painter, m_report, m_page, sheet, m_highlight);
    }

private:
    const PreparedReport &m_report;
    int m_page = 0;
    int m_highlight = -1;
    double m_scale = 1.0;
};

PreviewWindow::PreviewWindow(const PreparedReport &report, QWidget *parent)
    : QDialog(parent), m_report(report)
{
    setWindowTitle(QStringLiteral("Предварительный просмотр"));
    setModal(true);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *bar = new QToolBar(this);
    m_zoomBox = new QComboBox(bar);
    m_zoomBox->addItem(QStringLiteral("Страница целиком"));
    m_zoomBox->addItem(QStringLiteral("По ширине"));
    for (int percent : {50, 75, 100, 150, 200})
        m_zoomBox->addItem(QStringLiteral("%1%").arg(percent), percent);
    m_zoomBox->setCurrentIndex(1);
    m_zoomBox->setToolTip(QStringLiteral("Масштаб"));
    m_zoomBox->setAccessibleName(QStringLiteral("Масштаб"));
    bar->addWidget(m_zoomBox);
    connect(m_zoomBox, &QComboBox::activated, this, [this](int index) {
        if (index == 0)
            setZoom(Zoom::WholePage);
        else if (index == 1)
            setZoom(Zoom::PageWidth);
        else
            setZoom(Zoom::Percent, m_zoomBox->itemData(index).toInt());
    });
    bar->addSeparator();
    // The page buttons show arrows; the tool tip and the accessible name say what they do.
    auto pageButton = [this, bar](const QString &arrows, const QString &name, auto go) {
        QAction *action = bar->addAction(arrows, this, go);
        action->setToolTip(name);
        bar->widgetForAction(action)->setAccessibleName(name);
    };
    pageButton(QStringLiteral("|<"), QStringLiteral("Первая страница"), [this] { showPage(0); });
    pageButton(QStringLiteral("<"), QStringLiteral("Предыдущая страница"),
               [this] { showPage(currentPage() - 1); });
    m_pageLabel = new QLabel(bar);
    m_pageLabel->setMinimumWidth(110);
    m_pageLabel->setAlignment(Qt::AlignCenter);
    bar->addWidget(m_pageLabel);
    pageButton(QStringLiteral(">"), QStringLiteral("Следующая страница"),
               [this] { showPage(currentPage() + 1); });
    pageButton(QStringLiteral(">|"), QStringLiteral("Последняя страница"),
               [this] { showPage(m_report.pageCount() - 1); });
    bar->addSeparator();
    bar->addAction(QStringLiteral("Найти..."), this, [this] { askAndFind(); });
    bar->addAction(QStringLiteral("Сохранить..."), this, [this] {
        if (m_save)
            m_save();
    });
    bar->addAction(QStringLiteral("Печать..."), this, [this] {
        if (m_print)
            m_print();
    });
    bar->addSeparator();
    bar->addAction(QStringLiteral("Закрыть"), this, &QDialog::accept);

    m_view = new PageView(m_report, this);
    m_scroll = new QScrollArea(this);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_scroll->setAlignment(Qt::AlignHCenter);
    m_scroll->setWidget(m_view);
    m_scroll->setAccessibleName(QStringLiteral("Страницы отчёта"));
    m_scroll->viewport()->installEventFilter(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_scroll, 1);

    const QRect screen = parent && parent->screen() ? parent->screen()->availableGeometry()
                                                    : QGuiApplication::primaryScreen()->availableGeometry();
    resize(screen.width() * 4 / 5, screen.height() * 4 / 5);
    applyZoom();
    updatePageLabel();
}

PreviewWindow::~PreviewWindow() = default;

int PreviewWindow::currentPage() const
{
    return m_view->page();
}

void PreviewWindow::showPage(int page)
{
    if (m_report.isEmpty())
        return;
    page = std::clamp(page, 0, m_report.pageCount() - 1);
    if (page != m_view->page()) {
        m_foundItem = -1;
        m_view->setHighlight(-1);
    }
    m_view->setPage(page);
    m_scroll->verticalScrollBar()->setValue(0);
    updatePageLabel();
}

void PreviewWindow::setZoom(Zoom mode, int percent)
{
    m_zoom = mode;
    m_percent = percent;
    applyZoom();
}

double PreviewWindow::scale() const
{
    return m_view->scale();
}

void PreviewWindow::applyZoom()
{
    if (!m_report.layout)
        return;
    const PageSetup &p = m_report.layout->page;
    const QSize area = m_scroll->viewport()->size() - QSize(2 * PageGap + 4, 2 * PageGap + 4);
    const double screenPixelsPerMm = logicalDpiX() / 25.4;
    double scale = screenPixelsPerMm * m_percent / 100.0;
    if (m_zoom == Zoom::PageWidth)
        scale = area.width() / p.width;
    else if (m_zoom == Zoom::WholePage)
        scale = std::min(area.width() / p.width, area.height() / p.height);
    m_view->setScale(std::max(scale, 0.5));
}

void PreviewWindow::updatePageLabel()
{
    m_pageLabel->setText(QStringLiteral("Стр. %1 из %2").arg(currentPage() + 1).arg(m_report.pageCount()));
}

bool PreviewWindow::findNext(const QString &text)
{
    if (text.isEmpty() || m_report.isEmpty())
        return false;
    m_lastFind = text;
    const int pages = m_report.pageCount();
    const int startPage = currentPage();
    int item = m_foundItem + 1;
    for (int step = 0; step <= pages; ++step) {
        const int page = (startPage + step) % pages;
        if (!m_report.mayContain(page, text)) {
            item = 0;
            continue;
        }
        const PreparedPage laidOut = m_report.page(page);
        const QList<PlacedText> &items = laidOut.items;
        for (; item < items.size(); ++item) {
            if (items.at(item).text().contains(text, Qt::CaseInsensitive)) {
                showPage(page);
                m_foundItem = item;
                m_view->setHighlight(item);
                const QRectF box = items.at(item).rect;
                const double s = m_view->scale();
                m_scroll->ensureVisible(int(PageGap + box.center().x() * s),
                                        int(PageGap + box.center().y() * s), int(box.width() * s),
                                        int(box.height() * s) + 40);
                return true;
            }
        }
        item = 0;
    }
    return false;
}

void PreviewWindow::askAndFind()
{
    bool ok = false;
    const QString text = QInputDialog::getText(this, QStringLiteral("Найти"), QStringLiteral("Текст:"),
                                               QLineEdit::Normal, m_lastFind, &ok);
    if (!ok || text.isEmpty())
        return;
    if (!findNext(text))
        Prompts::instance().showMessage(QStringLiteral("Текст \"%1\" не найден").arg(text),
                                        QStringLiteral("Найти"), MessageIcon::Information);
}

bool PreviewWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The fitted zooms follow the visible area, which the layout sizes after the window.
    if (watched == m_scroll->viewport() && event->type() == QEvent::Resize && m_zoom != Zoom::Percent)
        applyZoom();
    return QDialog::eventFilter(watched, event);
}

void PreviewWindow::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_PageDown:
        showPage(currentPage() + 1);
        return;
    case Qt::Key_PageUp:
        showPage(currentPage() - 1);
        return;
    case Qt::Key_Home:
        showPage(0);
        return;
    case Qt::Key_End:
        showPage(m_report.pageCount() - 1);
        return;
    case Qt::Key_F3:
        if (!m_lastFind.isEmpty())
            findNext(m_lastFind);
        return;
    default:
        break;
    }
    if (event->matches(QKeySequence::Find)) {
        askAndFind();
        return;
    }
    QDialog::keyPressEvent(event);
}

PreparationProgress::PreparationProgress(QWidget *parent, qint64 rows)
    : m_total(std::max<qint64>(1, rows) * 2)
{
    m_dialog =
        std::make_unique<QProgressDialog>(QStringLiteral("Подготовка отчёта..."), QStringLiteral("Отмена"), 0,
                                          int(std::min<qint64>(m_total, INT_MAX)), parent);
    m_dialog->setWindowTitle(QStringLiteral("Отчёт"));
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumDuration(400);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
}

PreparationProgress::~PreparationProgress() = default;

Progress PreparationProgress::callback()
{
    return [this](qint64 done) {
        // The window and its Cancel button are served every few rows only: cheap and responsive.
        if ((done & 63) != 0)
            return true;
        m_dialog->setValue(int(std::min(done, m_total)));
        QCoreApplication::processEvents();
        m_cancelled = m_dialog->wasCanceled();
        return !m_cancelled;
    };
}

} // namespace Report
