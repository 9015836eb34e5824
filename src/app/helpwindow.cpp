#include "helpwindow.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QShortcut>
#include <QSplitter>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// Headings down to this level are listed in the contents.
constexpr int ContentsDepth = 3;

// The first anchor name inside a block: where a link to the heading points.
QString anchorOf(const QTextBlock &block)
{
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QStringList names = it.fragment().charFormat().anchorNames();
        if (!names.isEmpty())
            return names.first();
    }
    return {};
}

} // namespace

QVariant HelpBrowser::loadResource(int type, const QUrl &name)
{
    // QTextBrowser warns on stderr about every file it cannot open. A missing page is simply
    // empty; a missing picture becomes a low strip that names it, instead of Qt's broken-image
    // icon blown up to the picture's width.
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    if (url.isLocalFile() || url.scheme().isEmpty()) {
        const QString path = url.isLocalFile() ? url.toLocalFile() : url.path();
        if (!path.isEmpty() && !QFileInfo(path).isFile())
            return type == QTextDocument::ImageResource ? QVariant(missingPicture(QFileInfo(path).fileName()))
                                                        : QVariant();
    }
    return QTextBrowser::loadResource(type, name);
}

QImage HelpBrowser::missingPicture(const QString &fileName)
{
    QImage strip(480, 28, QImage::Format_ARGB32);
    strip.fill(QColor(240, 240, 240));
    QPainter p(&strip);
    p.setPen(QColor(160, 160, 160));
    p.drawRect(strip.rect().adjusted(0, 0, -1, -1));
    p.setPen(QColor(110, 110, 110));
    p.drawText(strip.rect(), Qt::AlignCenter, QStringLiteral("нет картинки «%1»").arg(fileName));
    return strip;
}

HelpWindow::HelpWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Справка"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(1000, 700);

    auto *bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto button = [this, bar](const QString &caption, QStyle::StandardPixmap icon, const QString &tip) {
        auto *b = new QToolButton(bar);
        b->setText(caption);
        b->setIcon(style()->standardIcon(icon));
        b->setToolTip(tip);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        bar->addWidget(b);
        return b;
    };
    m_back = button(QStringLiteral("Назад"), QStyle::SP_ArrowBack, QStringLiteral("Назад (Alt+Влево)"));
    m_forward =
        button(QStringLiteral("Вперёд"), QStyle::SP_ArrowForward, QStringLiteral("Вперёд (Alt+Вправо)"));
    m_home = button(QStringLiteral("Содержание"), QStyle::SP_DirHomeIcon, QStringLiteral("В начало справки"));
    bar->addSeparator();
    bar->addWidget(new QLabel(QStringLiteral("Найти: "), bar));
    m_find = new QLineEdit(bar);
    m_find->setPlaceholderText(QStringLiteral("слово или фраза"));
    m_find->setClearButtonEnabled(true);
    m_find->setMaximumWidth(260);
    bar->addWidget(m_find);
    QToolButton *next =
        button(QStringLiteral("Далее"), QStyle::SP_ArrowDown, QStringLiteral("Следующее совпадение (F3)"));
    QToolButton *previous = button(QStringLiteral("Ранее"), QStyle::SP_ArrowUp,
                                   QStringLiteral("Предыдущее совпадение (Shift+F3)"));
    m_findState = new QLabel(bar);
    m_findState->setContentsMargins(8, 0, 0, 0);
    bar->addWidget(m_findState);

    m_contents = new QTreeWidget(this);
    m_contents->setHeaderLabel(QStringLiteral("Содержание"));
    m_contents->header()->setStretchLastSection(true);
    m_browser = new HelpBrowser(this);
    m_browser->setOpenExternalLinks(true);

    auto *split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(m_contents);
    split->addWidget(m_browser);
    split->setStretchFactor(1, 1);
    split->setSizes({260, 740});

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(split, 1);

    m_back->setEnabled(false);
    m_forward->setEnabled(false);
    connect(m_back, &QToolButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QToolButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_home, &QToolButton::clicked, m_browser, &QTextBrowser::home);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QToolButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QToolButton::setEnabled);
    connect(m_contents, &QTreeWidget::itemActivated, this, &HelpWindow::followContents);
    connect(m_contents, &QTreeWidget::itemClicked, this, &HelpWindow::followContents);

    connect(m_find, &QLineEdit::textEdited, this, [this] {
        // A new text is searched from the top of the page.
        QTextCursor top(m_browser->document());
        m_browser->setTextCursor(top);
        findNext();
    });
    connect(m_find, &QLineEdit::returnPressed, this, &HelpWindow::findNext);
    connect(next, &QToolButton::clicked, this, &HelpWindow::findNext);
    connect(previous, &QToolButton::clicked, this, &HelpWindow::findPrevious);
    auto shortcut = [this](const QKeySequence &keys, auto slot) {
        auto *s = new QShortcut(keys, this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence(Qt::Key_F3), [this] { findNext(); });
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { findPrevious(); });
    shortcut(QKeySequence::Find, [this] {
        m_find->setFocus();
        m_find->selectAll();
    });
    shortcut(QKeySequence(Qt::ALT | Qt::Key_Left), [this] { m_browser->backward(); });
    shortcut(QKeySequence(Qt::ALT | Qt::Key_Right), [this] { m_browser->forward(); });
    shortcut(QKeySequence(Qt::Key_Escape), [this] { close(); });
}

bool HelpWindow::showFile(const QString &file)
{
    if (!QFileInfo(file).isFile())
        return false;
    const QString path = QFileInfo(file).absoluteFilePath();
    if (path != m_file || m_browser->document()->isEmpty()) {
        m_file = path;
        m_browser->clearHistory();
        m_browser->setSource(QUrl::fromLocalFile(path));
        const QString title = m_browser->documentTitle();
        setWindowTitle(title.isEmpty() ? QStringLiteral("Справка") : title);
        buildContents();
        highlightMatches();
    }
    show();
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    return true;
}

void HelpWindow::buildContents()
{
    m_contents->clear();
    QList<QTreeWidgetItem *> parents;
    for (QTextBlock b = m_browser->document()->begin(); b.isValid(); b = b.next()) {
        const int level = b.blockFormat().headingLevel();
        if (level < 2 || level > ContentsDepth) // the page's own title (h1) stays out
            continue;
        const QString text = b.text().simplified();
        if (text.isEmpty())
            continue;
        while (parents.size() >= level - 1)
            parents.removeLast();
        auto *item =
            parents.isEmpty() ? new QTreeWidgetItem(m_contents) : new QTreeWidgetItem(parents.last());
        item->setText(0, text);
        item->setToolTip(0, text);
        item->setData(0, Qt::UserRole, anchorOf(b));
        item->setData(0, Qt::UserRole + 1, b.position());
        parents.append(item);
    }
    m_contents->expandToDepth(0);
}

void HelpWindow::followContents(QTreeWidgetItem *item)
{
    if (!item)
        return;
    const QString anchor = item->data(0, Qt::UserRole).toString();
    if (!anchor.isEmpty()) {
        QUrl target = QUrl::fromLocalFile(m_file);
        target.setFragment(anchor);
        m_browser->setSource(target);
        return;
    }
    QTextCursor at(m_browser->document());
    at.setPosition(item->data(0, Qt::UserRole + 1).toInt());
    m_browser->setTextCursor(at);
    m_browser->ensureCursorVisible();
}

bool HelpWindow::findNext()
{
    return find(false);
}

bool HelpWindow::findPrevious()
{
    return find(true);
}

bool HelpWindow::find(bool backward)
{
    highlightMatches();
    const QString text = m_find->text();
    if (text.isEmpty())
        return false;
    const QTextDocument::FindFlags flags =
        backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    bool found = m_browser->find(text, flags);
    if (!found) {
        // Round the end of the page (or its start) and try once more.
        QTextCursor wrap(m_browser->document());
        wrap.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
        m_browser->setTextCursor(wrap);
        found = m_browser->find(text, flags);
    }
    return found;
}

void HelpWindow::highlightMatches()
{
    QList<QTextEdit::ExtraSelection> marks;
    const QString text = m_find->text();
    if (!text.isEmpty()) {
        QTextCharFormat mark;
        mark.setBackground(QColor(255, 230, 80));
        QTextCursor at = m_browser->document()->find(text, 0);
        while (!at.isNull()) {
            marks.append({at, mark});
            at = m_browser->document()->find(text, at);
        }
    }
    m_browser->setExtraSelections(marks);
    m_matches = int(marks.size());
    if (text.isEmpty()) {
        m_findState->clear();
    } else if (m_matches == 0) {
        m_findState->setText(QStringLiteral("<span style=\"color:#b00000\">Не найдено</span>"));
    } else {
        m_findState->setText(QStringLiteral("Совпадений: %1").arg(m_matches));
    }
}
