#include "main.h"

#include "base/settingsstore.h"
#include "data/measurementtable.h"
#include "data/memoryimage.h"
#include "data/memoryimport.h"
#include "device/widgets/portsdialog.h"
#include "helpwindow.h"
#include "output/excelexport.h"
#include "output/widgets/measurementreport.h"
#include "ui/apptitle.h"
#include "ui/errorguard.h"
#include "ui/prompts.h"
#include "view/widgets/tablecontroller.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#ifndef QPX_HELP_FILE
#define QPX_HELP_FILE "/usr/share/qpx/qpx.html"
#endif

void initShellResources()
{
    Q_INIT_RESOURCE(qpx);
}

namespace {

const QString DefaultDirValue = QStringLiteral("Default_dir");
const QString LayoutValue = QStringLiteral("Table_1");

QIcon picture(int index)
{
    return QIcon(QStringLiteral(":/qpx/%1.png").arg(index));
}

} // namespace

QString programTitle()
{
    return QStringLiteral("Лкт-ДН7");
}

TForm1::TForm1(QWidget *parent) : QMainWindow(parent), m_helpFile(QStringLiteral(QPX_HELP_FILE))
{
    initShellResources();
    setWindowTitle(QStringLiteral("ЛКТ-ДН7"));
    setWindowIcon(QIcon(QStringLiteral(":/qpx/qpx.png")));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setPixelSize(11);
    setFont(font);

    m_client = new QWidget(this);
    m_client->setAutoFillBackground(true);
    setCentralWidget(m_client);
    m_document.addListener(this);
    m_view = new TableController(&Dbf1(), m_client);
    buildToolBar();
    // The toolbar spans the client area's top, 29 pixels high; the grid starts 32 pixels from the
    // top and fills the rest.
    auto *layout = new QVBoxLayout(m_client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);
    layout->addWidget(ToolBar1, 0, Qt::AlignTop);
    layout->addWidget(m_view->grid(), 1);
    // The document learns of the operator's edits from the table's view.
    connect(m_view, &TableController::editStarted, this, [this] { m_document.cellEditStarted(); });
    connect(m_view, &TableController::rowsDeleted, this, [this] { m_document.rowsDeleted(); });
    m_report = new MeasurementReport(&Dbf1(), this);

    buildMenus();
    buildPopupMenu();
    // As designed: a client area of 695 x 447 below the menu, centred on the desktop (FormCreate
    // then maximises the window).
    resize(695, 447 + menuBar()->sizeHint().height());
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Prompts::instance().setParentWidget(this);

    FormCreate();
}

TForm1::~TForm1()
{
    // Leaving without the close steps (Exit): a row edit that was never posted is dropped, not
    // written by the table's close.
    if (Dbf1().isEditing()) {
        try {
            Dbf1().cancel();
        } catch (const std::exception &) {
        }
    }
    if (Prompts::instance().parentWidget() == this)
        Prompts::instance().setParentWidget(nullptr);
    // The view and the report refer to Dbf1, which is destroyed before the window's children.
    QPointer<QWidget> gridWidget = grid();
    delete m_report;
    delete m_view;
    delete gridWidget;
}

QAction *TForm1::command(QMenu *menu, const QString &caption, void (TForm1::*handler)(), int picture_,
                         const QKeySequence &shortcut)
{
    QAction *action = menu->addAction(caption);
    if (picture_ >= 0)
        action->setIcon(picture(picture_));
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this,
            [this, handler] { runGuarded([this, handler] { (this->*handler)(); }); });
    return action;
}

void TForm1::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&Файл"));
    N2 = command(file, QStringLiteral("&Создать"), &TForm1::N2Click, 0,
                 QKeySequence(QStringLiteral("Ctrl+N")));
    N3 = command(file, QStringLiteral("&Открыть"), &TForm1::N3Click, 1,
                 QKeySequence(QStringLiteral("Ctrl+O")));
    N4 = command(file, QStringLiteral("&Дополнить"), &TForm1::N4Click);
    N5 = command(file, QStringLiteral("Со&хранить"), &TForm1::N5Click, 2,
                 QKeySequence(QStringLiteral("Ctrl+S")));
    N7 = command(file, QStringLiteral("&Закрыть"), &TForm1::N7Click);
    file->addSeparator();
    N8 = command(file, QStringLiteral("Предварительный п&росмотр"), &TForm1::N8Click, 3);
    N9 =
        command(file, QStringLiteral("&Печать"), &TForm1::N9Click, 4, QKeySequence(QStringLiteral("Ctrl+P")));
    file->addSeparator();
    N11 = command(file, QStringLiteral("&Выход"), &TForm1::N11Click);

    QMenu *view = menuBar()->addMenu(QStringLiteral("&Вид"));
    N23 = command(view, QStringLiteral("&Выровнять столбцы"), &TForm1::N23Click);
    view->addSeparator();
    N17 = command(view, QStringLiteral("&Задать цвет"), &TForm1::N17Click);
    N18 = command(view, QStringLiteral("&Убрать цвет"), &TForm1::N18Click);
    N19 = command(view, QStringLiteral("Убрать вс&е цвета"), &TForm1::N19Click);
    view->addSeparator();
    N33 = command(view, QStringLiteral("Убрать &сортировку"), &TForm1::N33Click);

    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Правка"));
    N21 = command(edit, QStringLiteral("&Удалить строки"), &TForm1::N21Click, 6);

    QMenu *service = menuBar()->addMenu(QStringLiteral("С&ервис"));
    Excel1 = command(service, QStringLiteral("&Экспорт в Excel"), &TForm1::Excel1Click);
    N37 = command(service, QStringLiteral("&Перенумеровать строки"), &TForm1::N37Click);
    N15 = command(service, QStringLiteral("Построить &график"), &TForm1::N15Click);
    // Not a table command: the ports can be set up with or without a table open.
    Ports1 = command(service, QStringLiteral("&Настройка портов"), &TForm1::Ports1Click);

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Справка"));
    N24 = command(help, QStringLiteral("&Помощь"), &TForm1::N24Click, 5, QKeySequence(Qt::Key_F1));
    help->addSeparator();
    N26 = command(help, QStringLiteral("&О программе"), &TForm1::N26Click);
}

void TForm1::buildToolBar()
{
    ToolBar1 = new QToolBar(m_client);
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setContentsMargins(0, 0, 0, 0);
    ToolBar1->layout()->setSpacing(0);
    ToolBar1->layout()->setContentsMargins(0, 0, 0, 0);
    // The toolbar keeps the button-face colour in both window states.
    ToolBar1->setAutoFillBackground(true);
    QPalette palette = ToolBar1->palette();
    palette.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    ToolBar1->setPalette(palette);

    // Pictures only; the tool tip and the accessible name carry the caption of the menu item
    // that the button stands for.
    auto button = [this](int picture_, void (TForm1::*handler)(), const QString &caption) {
        auto *b = new QToolButton(ToolBar1);
        b->setIcon(picture(picture_));
        b->setIconSize(QSize(16, 16));
        b->setFixedSize(23, 22);
        b->setAutoRaise(true);
        b->setToolTip(caption);
        b->setAccessibleName(caption);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QToolButton::clicked, this,
                [this, handler] { runGuarded([this, handler] { (this->*handler)(); }); });
        ToolBar1->addWidget(b);
        return b;
    };
    ToolButton1 = button(0, &TForm1::N2Click, QStringLiteral("Создать"));
    ToolButton2 = button(1, &TForm1::N3Click, QStringLiteral("Открыть"));
    ToolButton3 = button(2, &TForm1::N5Click, QStringLiteral("Сохранить"));
    ToolButton4 = button(3, &TForm1::N8Click, QStringLiteral("Предварительный просмотр"));
    ToolButton5 = button(4, &TForm1::N9Click, QStringLiteral("Печать"));
    ToolButton6 = button(5, &TForm1::ToolButton6Click, QStringLiteral("Помощь"));
    ToolBar1->setAccessibleName(QStringLiteral("Панель инструментов"));
    ToolBar1->setFixedHeight(29);
}

void TForm1::buildPopupMenu()
{
    PopupMenu1 = new QMenu(this);
    command(PopupMenu1, QStringLiteral("&График"), &TForm1::N15Click);
    command(PopupMenu1, QStringLiteral("&Печать"), &TForm1::N22Click);
    PopupMenu1->addSeparator();
    command(PopupMenu1, QStringLiteral("&Задать цвет"), &TForm1::N17Click);
    command(PopupMenu1, QStringLiteral("&Убрать цвет"), &TForm1::N18Click);
    command(PopupMenu1, QStringLiteral("Убрать вс&е цвета"), &TForm1::N19Click);
    PopupMenu1->addSeparator();
    command(PopupMenu1, QStringLiteral("&Выровнять столбцы"), &TForm1::N23Click);
    PopupMenu1->addSeparator();
    command(PopupMenu1, QStringLiteral("У&далить"), &TForm1::N21Click);

    QWidget *g = grid();
    g->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(g, &QWidget::customContextMenuRequested, this, [this] { PopupMenu1->exec(QCursor::pos()); });
}

QWidget *TForm1::grid() const
{
    return m_view->grid();
}

// ---- start-up and close ----

void TForm1::FormCreate()
{
    setWindowState(Qt::WindowMaximized);
    setBackground(false);
    grid()->hide();

    // The manual "qpx.html" beside the executable (a build-tree run) wins over the build-time path.
    const QString besideExecutable =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("qpx.html"));
    if (QFileInfo::exists(besideExecutable))
        m_helpFile = besideExecutable;

    m_settings = SettingsStore::open();
    if (m_settings->contains(DefaultDirValue)) {
        m_defaultFolder = m_settings->value(DefaultDirValue).toString();
    } else {
        m_defaultFolder = QDir::toNativeSeparators(QDir::currentPath());
        m_settings->setValue(DefaultDirValue, m_defaultFolder);
        m_settings->sync();
    }
    // The dialogs take the default folder only here; a later Open changes it for the next start.
    m_dialogFolder = m_defaultFolder;

    // The document starts without a table (TableOpen false, Dbf1 closed).
    m_view->sortReset(Measurement::SortIndex);
    disable_button();
    tab_vis_dis();
}

bool TForm1::FormClose()
{
    bool closed = false;
    runGuarded([this, &closed] {
        m_settings->setValue(DefaultDirValue, m_defaultFolder);
        m_settings->sync();
        Close_DB();
        closed = true;
    });
    return closed;
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // A failure of the close steps has been shown to the operator; the window stays open.
    if (FormClose())
        event->accept();
    else
        event->ignore();
}

// ---- window states ----

void TForm1::setBackground(bool tableOpen)
{
    QPalette palette = m_client->palette();
    palette.setColor(QPalette::Window,
                     QApplication::palette().color(tableOpen ? QPalette::Button : QPalette::Dark));
    m_client->setPalette(palette);
}

QColor TForm1::backgroundColour() const
{
    return m_client->palette().color(QPalette::Window);
}

void TForm1::setTitle(const QString &title)
{
    setApplicationTitle(title);
    setWindowTitle(title);
}

// The commands that act on an open table, enabled with the table and disabled without one; New,
// Open, Exit and the commands of the other menus stay enabled.
void TForm1::setTableCommandsEnabled(bool enabled)
{
    for (QAction *a : {N4, N5, N7, N8, N9, N23, N17, N18, N19, N33, N21, N15, N37, Excel1})
        a->setEnabled(enabled);
    for (QToolButton *b : {ToolButton3, ToolButton4, ToolButton5})
        b->setEnabled(enabled);
}

void TForm1::enable_button()
{
    setTableCommandsEnabled(true);
}

void TForm1::disable_button()
{
    setTableCommandsEnabled(false);
}

void TForm1::tab_vis_en()
{
    if (!Dbf1().isOpen())
        return;
    Dbf1().first();
    grid()->show();
}

void TForm1::tab_vis_dis()
{
    grid()->hide();
}

// ---- the table document ----

int TForm1::runDownload()
{
    if (m_downloadStep)
        return m_downloadStep();
    return m_form2 ? m_form2->exec() : 2;
}

void TForm1::N2Click()
{
    if (TableOpen())
        Close_DB();
    FileDialogRequest request;
    request.filter = QStringLiteral("Файлы данных (*.db)");
    request.defaultSuffix = QStringLiteral("db");
    request.initialDirectory = m_dialogFolder;
    const QString name = Prompts::instance().saveFileName(request);
    if (name.isEmpty())
        return;
    m_saveFileName = name;
    if (runDownload() != 1)
        return;
    Create_DB();
}

void TForm1::Create_DB()
{
    m_document.create(m_saveFileName, Prompts::instance());
}

void TForm1::N3Click()
{
    FileDialogRequest request;
    request.filter = QStringLiteral("Базы данных (*.db)");
    request.defaultSuffix = QStringLiteral("db");
    request.initialDirectory = m_dialogFolder;
    const QString name = Prompts::instance().openFileName(request);
    if (name.isEmpty())
        return;
    if (TableOpen())
        Close_DB();
    m_defaultFolder = QDir::toNativeSeparators(QFileInfo(name).absolutePath());
    Open_DB(name);
}

void TForm1::Open_DB(const QString &fileName)
{
    m_document.open(fileName, Prompts::instance());
}

void TForm1::N4Click()
{
    // The command is enabled only with a table open; without one there is nothing to add to.
    if (!TableOpen() || !Dbf1().isOpen())
        return;
    if (runDownload() != 1)
        return;
    m_document.append(Prompts::instance());
}

void TForm1::N5Click()
{
    Save_DB();
}

void TForm1::Save_DB()
{
    m_document.save();
}

void TForm1::N7Click()
{
    Close_DB();
}

void TForm1::Close_DB()
{
    m_document.close(Prompts::instance());
}

// The table-open state comes in two steps: the background as soon as the table is open (before
// New imports into it), the commands and the grid once the table is ready. Leaving it is one step.
void TForm1::openChanged(bool open)
{
    if (open) {
        setBackground(true);
        return;
    }
    disable_button();
    tab_vis_dis();
    setBackground(false);
}

void TForm1::tableReady(bool newlyOpened)
{
    enable_button();
    tab_vis_en();
    if (newlyOpened)
        m_view->layoutRestore(LayoutValue);
}

void TForm1::titleChanged(const QString &title)
{
    setTitle(title);
}

void TForm1::aboutToAppend()
{
    m_view->sortReset(Measurement::SortIndex);
}

void TForm1::aboutToSave()
{
    m_view->commitEdit();
}

void TForm1::aboutToClose()
{
    m_view->layoutSave(LayoutValue);
}

// ---- commands of the other subsystems ----

void TForm1::N8Click()
{
    if (TableOpen() && Dbf1().isOpen())
        m_report->preview(this);
}

void TForm1::N9Click()
{
    if (TableOpen() && Dbf1().isOpen())
        m_report->print(this);
}

void TForm1::N22Click()
{
    if (TableOpen() && Dbf1().isOpen())
        m_report->printLast(this);
}

void TForm1::Excel1Click()
{
    if (TableOpen() && Dbf1().isOpen())
        exp2excel(Dbf1());
}

void TForm1::N17Click()
{
    if (Dbf1().isOpen())
        m_view->setColumnColour();
}

void TForm1::N18Click()
{
    if (Dbf1().isOpen())
        m_view->clearColumnColour();
}

void TForm1::N19Click()
{
    if (Dbf1().isOpen())
        m_view->clearAllColours();
}

void TForm1::N21Click()
{
    if (Dbf1().isOpen())
        m_view->deleteSelectedRows();
}

void TForm1::N23Click()
{
    if (Dbf1().isOpen())
        m_view->fitColumns();
}

void TForm1::N33Click()
{
    m_view->sortReset(Measurement::SortIndex);
}

void TForm1::N37Click()
{
    if (TableOpen())
        m_view->renumberRows();
}

void TForm1::Ports1Click()
{
    TPortsDialog dialog(this);
    dialog.exec();
}

void TForm1::N15Click()
{
    if (m_form4 && m_form4->exec() == QDialog::Accepted && m_form3)
        m_form3->exec();
}

// ---- the shell's own commands ----

void TForm1::N11Click()
{
    // Ends the message loop at once: no close steps, no save question, no layout save.
    QCoreApplication::exit(0);
}

void TForm1::N24Click()
{
    // The manual opens at its contents in the help window; a missing file shows nothing and is
    // not reported.
    if (m_helpViewer) {
        m_helpViewer(m_helpFile);
        return;
    }
    if (!m_helpWindow)
        m_helpWindow = new HelpWindow(this);
    m_helpWindow->showFile(m_helpFile);
}

void TForm1::ToolButton6Click()
{
    N24Click();
}

void TForm1::N26Click()
{
    if (m_form6)
        m_form6->exec();
}
