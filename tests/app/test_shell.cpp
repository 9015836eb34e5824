// Start-up and close of the main window against a temporary settings store, the command map's
// enabling rules, help, the about box and the splash window.
#include "app/about.h"
#include "app/logo.h"
#include "app/main.h"
#include "dbase/dbftable.h"
#include "device/widgets/receive.h"
#include "output/widgets/graf.h"
#include "output/widgets/param_graf.h"
#include "support/besideexecutable.h"
#include "support/scriptedprompts.h"
#include "support/windowwaits.h"
#include "view/widgets/tablecontroller.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

class ShellTest : public ::testing::Test
{
protected:
    TemporarySettings settings;
    ScriptedPrompts prompts;
};

QList<QAction *> tableActions(const TForm1 &f)
{
    return {f.N4, f.N5, f.N7, f.N8, f.N9, f.N23, f.N17, f.N18, f.N19, f.N33, f.N21, f.N15, f.N37, f.Excel1};
}

QList<QToolButton *> tableButtons(const TForm1 &f)
{
    return {f.ToolButton3, f.ToolButton4, f.ToolButton5};
}

} // namespace

TEST_F(ShellTest, FirstStartWritesTheCurrentDirectoryAtOnce)
{
    ASSERT_FALSE(settings.value(QStringLiteral("Default_dir")).isValid());
    TForm1 form;
    const QString cwd = QDir::toNativeSeparators(QDir::currentPath());
    EXPECT_EQ(settings.value(QStringLiteral("Default_dir")).toString(), cwd);
    EXPECT_EQ(form.defaultFolder(), cwd);
    EXPECT_EQ(form.dialogFolder(), cwd);

    // The no-table state, maximised but not yet shown, designed caption.
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.windowState() & Qt::WindowMaximized);
    EXPECT_FALSE(form.TableOpen());
    EXPECT_FALSE(form.grid()->isVisibleTo(&form));
    EXPECT_EQ(form.backgroundColour(), QApplication::palette().color(QPalette::Dark));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("ЛКТ-ДН7"));

    // The open dialog starts in that folder.
    form.N3->trigger();
    ASSERT_EQ(prompts.openRequests.size(), 1u);
    EXPECT_EQ(prompts.openRequests[0].initialDirectory, cwd);
    EXPECT_EQ(prompts.openRequests[0].filter, QStringLiteral("Базы данных (*.db)"));
    EXPECT_EQ(prompts.openRequests[0].defaultSuffix, QStringLiteral("db"));
}

TEST_F(ShellTest, AnExistingDefaultFolderIsUsedUnchangedAndWrittenBackAtClose)
{
    const QString missing = QStringLiteral("/no/such/folder");
    settings.setValue(QStringLiteral("Default_dir"), missing);
    TForm1 form;
    EXPECT_EQ(form.defaultFolder(), missing);
    form.N2->trigger(); // the save dialog is cancelled by the script
    ASSERT_EQ(prompts.saveRequests.size(), 1u);
    EXPECT_EQ(prompts.saveRequests[0].initialDirectory, missing);
    EXPECT_EQ(prompts.saveRequests[0].filter, QStringLiteral("Файлы данных (*.db)"));
    EXPECT_EQ(prompts.saveRequests[0].defaultSuffix, QStringLiteral("db"));

    // Someone else changes the value meanwhile; closing the window writes the program's own back.
    settings.setValue(QStringLiteral("Default_dir"), QStringLiteral("/elsewhere"));
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_EQ(settings.value(QStringLiteral("Default_dir")).toString(), missing);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(prompts.questions.empty());
}

TEST_F(ShellTest, ExitSkipsTheCloseSteps)
{
    settings.setValue(QStringLiteral("Default_dir"), QStringLiteral("/before"));
    TForm1 form;
    form.show();
    settings.setValue(QStringLiteral("Default_dir"), QStringLiteral("/changed"));
    emit form.tableController()->editStarted(); // a close would ask the save question
    // "Выход" ends the message loop itself; the window is never closed.
    QTimer::singleShot(0, &form, [&form] { form.N11->trigger(); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_EQ(settings.value(QStringLiteral("Default_dir")).toString(), QStringLiteral("/changed"));
    emit form.tableController()->rowsDeleted(); // the flag back to false
}

TEST_F(ShellTest, HelpFileBesideTheExecutableWinsOverTheBuildTimePath)
{
    const HelpFileBesideExecutable lock;
    const QString beside = HelpFileBesideExecutable::path();
    QFile::remove(beside);
    {
        TForm1 form;
        EXPECT_TRUE(QDir::isAbsolutePath(form.helpFile()));
        EXPECT_NE(form.helpFile(), beside);
        EXPECT_TRUE(form.helpFile().endsWith(QStringLiteral("/qpx/qpx.html")))
            << form.helpFile().toStdString();
    }
    {
        QFile file(beside);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString elsewhere = QDir::currentPath();
    QDir::setCurrent(QDir::tempPath()); // the rule does not depend on the working directory
    TForm1 form;
    QDir::setCurrent(elsewhere);
    QFile::remove(beside);
    EXPECT_EQ(form.helpFile(), beside);

    // Help from the menu, F1's item and toolbar button 6 hands the file to the viewer and reports
    // nothing, whether or not the file exists.
    QStringList shown;
    form.setHelpViewer([&shown](const QString &file) { shown << file; });
    form.N24->trigger();
    form.ToolButton6->click();
    EXPECT_EQ(shown, QStringList({beside, beside}));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ShellTest, TableCommandsFollowTheWindowState)
{
    TForm1 form;
    for (QAction *a : tableActions(form))
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
    for (QToolButton *b : tableButtons(form))
        EXPECT_FALSE(b->isEnabled());
    for (QAction *a : {form.N2, form.N3, form.N11, form.N24, form.N26})
        EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
    for (QToolButton *b : {form.ToolButton1, form.ToolButton2, form.ToolButton6})
        EXPECT_TRUE(b->isEnabled());

    form.enable_button();
    for (QAction *a : tableActions(form))
        EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
    for (QToolButton *b : tableButtons(form))
        EXPECT_TRUE(b->isEnabled());
    form.disable_button();
    for (QAction *a : tableActions(form))
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
    for (QToolButton *b : tableButtons(form))
        EXPECT_FALSE(b->isEnabled());

    // The grid's pop-up items are never disabled.
    for (QAction *a : form.PopupMenu1->actions())
        EXPECT_TRUE(a->isEnabled());
}

TEST_F(ShellTest, ShortcutsOfDisabledItemsDoNothing)
{
    TForm1 form;
    QStringList helped;
    form.setHelpViewer([&helped](const QString &file) { helped << file; });
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form, WindowWaitMs));

    QSignalSpy save(form.N5, &QAction::triggered);
    QSignalSpy print(form.N9, &QAction::triggered);
    QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(&form, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(save.count(), 0);
    EXPECT_EQ(print.count(), 0);
    for (QToolButton *b : tableButtons(form)) {
        QSignalSpy clicked(b, &QToolButton::clicked);
        QTest::mouseClick(b, Qt::LeftButton);
        EXPECT_EQ(clicked.count(), 0);
    }

    QTest::keyClick(&form, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(&form, Qt::Key_F1);
    EXPECT_EQ(prompts.saveRequests.size(), 1u);
    EXPECT_EQ(prompts.openRequests.size(), 1u);
    EXPECT_EQ(helped.size(), 1);

    // With a table open, Ctrl+S reaches Save.
    form.enable_button();
    QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(save.count(), 1);
}

TEST_F(ShellTest, ToolbarHoldsSixPictureButtons23PixelsApart)
{
    TForm1 form;
    form.show();
    const QList<QToolButton *> buttons = {form.ToolButton1, form.ToolButton2, form.ToolButton3,
                                          form.ToolButton4, form.ToolButton5, form.ToolButton6};
    for (int i = 0; i < buttons.size(); ++i) {
        EXPECT_FALSE(buttons[i]->icon().isNull());
        EXPECT_TRUE(buttons[i]->text().isEmpty() || buttons[i]->toolButtonStyle() == Qt::ToolButtonIconOnly);
        if (i > 0) {
            EXPECT_EQ(buttons[i]->x() - buttons[i - 1]->x(), 23);
        }
    }
    EXPECT_EQ(form.ToolBar1->height(), 29);
    // The tool tip names the command, as the menu item's caption does.
    QStringList tips;
    for (QToolButton *b : buttons)
        tips << b->toolTip() + QLatin1Char('=') + b->accessibleName();
    EXPECT_EQ(
        tips.join(QLatin1Char('|')),
        QStringLiteral("Создать=Создать|Открыть=Открыть|Сохранить=Сохранить|"
                       "Предварительный просмотр=Предварительный просмотр|Печать=Печать|Помощь=Помощь"));
    // Pictures shared with the menu items.
    for (QAction *a : {form.N2, form.N3, form.N5, form.N8, form.N9, form.N24, form.N21})
        EXPECT_FALSE(a->icon().isNull()) << a->text().toStdString();
}

namespace {
// Captions as shown, with the access key in brackets: "&Файл" -> "[Ф]айл".
QString shownCaption(const QString &text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&') && i + 1 < text.size()) {
            ++i;
            out += text.at(i) == QLatin1Char('&') ? QStringLiteral("&")
                                                  : QLatin1Char('[') + text.at(i) + QLatin1Char(']');
        } else {
            out += text.at(i);
        }
    }
    return out;
}

QStringList menuCaptions(const QList<QAction *> &actions)
{
    QStringList out;
    for (QAction *a : actions)
        if (!a->isSeparator())
            out << shownCaption(a->text());
    return out;
}

// Access keys must differ within one menu, or Alt with the letter only cycles between items.
void expectDistinctKeys(const QStringList &captions)
{
    QSet<QChar> keys;
    for (const QString &c : captions) {
        const qsizetype open = c.indexOf(QLatin1Char('['));
        ASSERT_GE(open, 0) << c.toStdString();
        EXPECT_EQ(c.count(QLatin1Char('[')), 1) << c.toStdString();
        const QChar key = c.at(open + 1).toLower();
        EXPECT_FALSE(keys.contains(key)) << c.toStdString();
        keys.insert(key);
    }
}
} // namespace

TEST_F(ShellTest, MenusHaveOneAccessKeyEachAndTheSpecifiedCaptions)
{
    TForm1 form;
    QStringList bar;
    QStringList items;
    for (QAction *m : form.menuBar()->actions()) {
        bar << shownCaption(m->text());
        const QStringList captions = menuCaptions(m->menu()->actions());
        expectDistinctKeys(captions);
        items << captions.join(QLatin1Char(','));
    }
    expectDistinctKeys(bar);
    EXPECT_EQ(bar.join(QLatin1Char('|')), QStringLiteral("[Ф]айл|[В]ид|[П]равка|С[е]рвис|[С]правка"));
    EXPECT_EQ(
        items.join(QLatin1Char('|')),
        QStringLiteral("[С]оздать,[О]ткрыть,[Д]ополнить,Со[х]ранить,[З]акрыть,Предварительный "
                       "п[р]осмотр,[П]ечать,[В]ыход|"
                       "[В]ыровнять столбцы,[З]адать цвет,[У]брать цвет,Убрать вс[е] цвета,Убрать "
                       "[с]ортировку|"
                       "[У]далить строки|"
                       "[Э]кспорт в Excel,[П]еренумеровать строки,Построить [г]рафик,[Н]астройка портов|"
                       "[П]омощь,[О] программе"));
    expectDistinctKeys(menuCaptions(form.PopupMenu1->actions()));

    // Alt with the underlined letter opens the menu: Alt+Ф opens "Файл", Alt+Е "Сервис".
    for (const auto &[key, index] : {std::pair{0x0424, 0}, std::pair{0x0415, 3}}) {
        TForm1 shown;
        shown.show();
        shown.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&shown, WindowWaitMs));
        QMenu *menu = shown.menuBar()->actions().at(index)->menu();
        QTest::sendKeyEvent(QTest::Click, &shown, Qt::Key(key), QString(QChar(char16_t(key)).toLower()),
                            Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, WindowWaitMs)) << index;
        menu->close();
    }
}

namespace {
// The controls of a window that a screen reader announces without a name of their own.
QStringList unnamedControls(QWidget *window)
{
    QStringList unnamed;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!qobject_cast<QAbstractButton *>(w) && !qobject_cast<QLineEdit *>(w) &&
            !qobject_cast<QAbstractItemView *>(w) && !qobject_cast<QProgressBar *>(w) &&
            !qobject_cast<QComboBox *>(w) && !qobject_cast<QAbstractSpinBox *>(w) &&
            !qobject_cast<QToolBar *>(w))
            continue;
        if (qobject_cast<QComboBox *>(w->parentWidget()) ||
            qobject_cast<QAbstractSpinBox *>(w->parentWidget()))
            continue; // the parts of a combined control speak through it
        if (!w->isVisibleTo(window))
            continue; // Qt's helpers that are not shown (toolbar and menu extensions, table corner)
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
        if (!a || a->text(QAccessible::Name).trimmed().isEmpty())
            unnamed << QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->objectName();
    }
    return unnamed;
}
} // namespace

TEST_F(ShellTest, EveryControlHasAnAccessibleName)
{
    TForm1 form;
    form.show();
    EXPECT_EQ(unnamedControls(&form).join(QLatin1Char('|')), QString());
    TForm4 params(&form.Dbf1(), &form);
    EXPECT_EQ(unnamedControls(&params).join(QLatin1Char('|')), QString());
    TForm3 chart(&form.Dbf1(), &form);
    EXPECT_EQ(unnamedControls(&chart).join(QLatin1Char('|')), QString());
    TForm2 download(&form);
    EXPECT_EQ(unnamedControls(&download).join(QLatin1Char('|')), QString());
    Tform6 about(&form);
    EXPECT_EQ(unnamedControls(&about).join(QLatin1Char('|')), QString());
}

namespace {
// A dialog whose modal display ends at once with a given result, counting its showings.
class FakeDialog : public QDialog
{
public:
    explicit FakeDialog(int result) : m_result(result) {}
    int exec() override
    {
        ++shown;
        return m_result;
    }
    int shown = 0;

private:
    int m_result;
};
} // namespace

TEST_F(ShellTest, ChartOpensOnlyAfterTheParametersDialogIsAccepted)
{
    TForm1 form;
    FakeDialog chart(QDialog::Accepted), cancelled(QDialog::Rejected), accepted(QDialog::Accepted);
    form.setChartWindows(&chart, &cancelled);
    form.N15Click();
    EXPECT_EQ(cancelled.shown, 1);
    EXPECT_EQ(chart.shown, 0);
    form.setChartWindows(&chart, &accepted);
    form.PopupMenu1->actions().constFirst()->trigger(); // "График"
    EXPECT_EQ(accepted.shown, 1);
    EXPECT_EQ(chart.shown, 1);
}

TEST(AboutBox, OnWindowsTheVersionIsTheOneOfQpxExesVersionResource)
{
#ifndef Q_OS_WIN
    GTEST_SKIP() << "version resources belong to Windows executables";
#else
    EXPECT_EQ(resourceFileVersion(QStringLiteral(QPX_BINARY_DIR "/src/qpx.exe")), QStringLiteral("1.0.1.20"));
    // A program without the resource (this test) and a file that is no program have none: the
    // about box then shows the version compiled in.
    EXPECT_EQ(resourceFileVersion(QCoreApplication::applicationFilePath()), QString());
    EXPECT_EQ(resourceFileVersion(QStringLiteral(QPX_SOURCE_DIR "/README.md")), QString());
    EXPECT_EQ(resourceFileVersion(QStringLiteral(QPX_BINARY_DIR "/нет такого файла.exe")), QString());
#endif
}

TEST(AboutBox, ShowsTheCompiledInFileVersion)
{
    EXPECT_EQ(fileVersionText(), QStringLiteral("1.0.1.20"));
    EXPECT_EQ(fileVersionText(nullptr), QStringLiteral("0.0.0.0"));
    EXPECT_EQ(fileVersionText(""), QStringLiteral("0.0.0.0"));
    EXPECT_EQ(fileVersionText("1"), QStringLiteral("0.0.0.0"));
    EXPECT_EQ(fileVersionText("1."), QStringLiteral("1."));

    Tform6 about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("О программе"));
    EXPECT_EQ(about.size(), QSize(515, 151));
    about.show();
    EXPECT_EQ(about.StaticText3->text(), QStringLiteral("Версия 1.0.1.20"));
    EXPECT_EQ(about.StaticText3->pos(), QPoint(12, 44));
    about.Button1->click();
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST(Splash, TimerStartsWhenShownAndEndsTheDisplay)
{
    TForm5 splash;
    EXPECT_EQ(splash.size(), QSize(400, 77));
    EXPECT_FALSE(splash.Image1->pixmap().isNull());
    EXPECT_EQ(splash.Image1->pixmap().size(), QSize(400, 78));
    EXPECT_FALSE(splash.Timer1.isActive());
    splash.show();
    EXPECT_TRUE(splash.Timer1.isActive());
    EXPECT_EQ(splash.Timer1.interval(), 3000);
    splash.Timer1Timer();
    EXPECT_FALSE(splash.Timer1.isActive());
    EXPECT_EQ(splash.result(), QDialog::Accepted);
    EXPECT_FALSE(splash.isVisible());
}
