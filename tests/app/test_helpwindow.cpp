// The help window and the help command: the manual found by the help rule opens in the program's
// own window (contents, links, back / forward, find); a missing manual shows and reports nothing.
#include "app/helpwindow.h"
#include "app/main.h"
#include "support/besideexecutable.h"
#include "support/scriptedprompts.h"
#include "support/windowwaits.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

// A small manual in the form of the real one: headings with anchors, a contents list of links,
// a picture that is present and one that is not.
const char *const Manual = R"(<!DOCTYPE html>
<html lang="ru"><head><meta charset="utf-8"><title>Справка Лкт-ДН7</title></head><body>
<h1>Руководство оператора</h1>
<p><a href="#connect">Подключение прибора</a></p>
<p><a href="#grid">Таблица</a></p>
<h2 id="connect"><a name="connect">Подключение прибора</a></h2>
<p>Кабель прибора подключается к порту. Скорость порта 9600.</p>
<p><img src="qpx-help/ports-dialog.png" alt="нет картинки"></p>
<h3 id="dialout"><a name="dialout">Права на порт</a></h3>
<p>Группа dialout даёт доступ к порту.</p>
<h2 id="grid"><a name="grid">Таблица</a></h2>
<p><img src="qpx-help/grid.png" alt="таблица"></p>
<p>Сортировка по массе идёт как по тексту.</p>
</body></html>
)";

// What Qt writes to its message log while one of these lives, except the offscreen platform's
// notes about window operations it cannot do.
class MessageLog
{
public:
    MessageLog()
    {
        s_messages.clear();
        s_previous = qInstallMessageHandler(&MessageLog::record);
    }
    ~MessageLog() { qInstallMessageHandler(s_previous); }
    QStringList messages() const { return s_messages; }

private:
    static void record(QtMsgType, const QMessageLogContext &, const QString &text)
    {
        // The platform's own notes are not the help window's: a plugin without some feature, and
        // the windows plugin's report of a DPI call the system lacks (Wine has no
        // EnableNonClientDpiScaling).
        if (!text.startsWith(QLatin1String("This plugin does not support")) &&
            !text.startsWith(QLatin1String("EnableNonClientDpiScaling()")))
            s_messages << text;
    }
    static inline QtMessageHandler s_previous = nullptr;
    static inline QStringList s_messages;
};

void writeManual(const QString &path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(Manual);
    file.close();
    QDir(QFileInfo(path).absolutePath()).mkpath(QStringLiteral("qpx-help"));
    QImage picture(40, 20, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(QFileInfo(path).absolutePath() + QStringLiteral("/qpx-help/grid.png")));
}

// Clicks the link whose text is `text` in the browser's page.
void clickLink(QTextBrowser *browser, const QString &text)
{
    QTextCursor at = browser->document()->find(text);
    ASSERT_FALSE(at.isNull()) << text.toStdString();
    at.setPosition(at.selectionStart() + 1);
    browser->setTextCursor(at);
    browser->ensureCursorVisible();
    const QPoint spot = browser->cursorRect(at).center();
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, spot);
}

class HelpWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        writeManual(file);
        ASSERT_TRUE(window.showFile(file));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, WindowWaitMs));
    }
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("qpx.html"));
    HelpWindow window;
};

} // namespace

TEST_F(HelpWindowTest, ShowsTheManualWithItsHeadingsAsContents)
{
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Справка Лкт-ДН7"));
    EXPECT_TRUE(window.browser()->toPlainText().contains(QStringLiteral("Скорость порта 9600")));

    // Second-level headings at the top, third-level ones under them; the page title stays out.
    QTreeWidget *contents = window.contents();
    ASSERT_EQ(contents->topLevelItemCount(), 2);
    EXPECT_EQ(contents->topLevelItem(0)->text(0), QStringLiteral("Подключение прибора"));
    ASSERT_EQ(contents->topLevelItem(0)->childCount(), 1);
    EXPECT_EQ(contents->topLevelItem(0)->child(0)->text(0), QStringLiteral("Права на порт"));
    EXPECT_EQ(contents->topLevelItem(1)->text(0), QStringLiteral("Таблица"));

    // Choosing a heading in the contents goes to it and can be gone back from.
    QTreeWidgetItem *grid = contents->topLevelItem(1);
    emit contents->itemClicked(grid, 0);
    EXPECT_EQ(window.browser()->source().fragment(), QStringLiteral("grid"));
    EXPECT_TRUE(window.backButton()->isEnabled());
}

TEST_F(HelpWindowTest, LinksNavigateAndBackForwardRetraceThem)
{
    QTextBrowser *browser = window.browser();
    EXPECT_FALSE(window.backButton()->isEnabled());
    EXPECT_FALSE(window.forwardButton()->isEnabled());

    clickLink(browser, QStringLiteral("Таблица"));
    EXPECT_EQ(browser->source().fragment(), QStringLiteral("grid"));
    EXPECT_EQ(browser->source().toLocalFile(), file);
    EXPECT_TRUE(window.backButton()->isEnabled());

    window.backButton()->click();
    EXPECT_TRUE(browser->source().fragment().isEmpty());
    EXPECT_TRUE(window.forwardButton()->isEnabled());
    window.forwardButton()->click();
    EXPECT_EQ(browser->source().fragment(), QStringLiteral("grid"));
    EXPECT_FALSE(window.forwardButton()->isEnabled());
}

TEST_F(HelpWindowTest, FindHighlightsEveryMatchAndStepsRoundThePage)
{
    QLineEdit *find = window.findField();
    find->setText(QStringLiteral("ПОРТ")); // letter case does not matter
    ASSERT_TRUE(window.findNext());
    // "порту", "порта", "Права на порт", "к порту" in the page text: every occurrence counts.
    const int matches = window.matchCount();
    EXPECT_EQ(matches,
              int(window.browser()->toPlainText().count(QStringLiteral("порт"), Qt::CaseInsensitive)));
    EXPECT_GE(matches, 3);
    EXPECT_EQ(window.browser()->extraSelections().size(), matches);
    EXPECT_EQ(window.browser()->textCursor().selectedText().toLower(), QStringLiteral("порт"));

    // Next walks forward through all matches and then wraps to the first one; previous goes back.
    const int first = window.browser()->textCursor().selectionStart();
    QList<int> seen{first};
    for (int k = 1; k < matches; ++k) {
        ASSERT_TRUE(window.findNext());
        seen << window.browser()->textCursor().selectionStart();
    }
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    ASSERT_TRUE(window.findNext());
    EXPECT_EQ(window.browser()->textCursor().selectionStart(), first);
    ASSERT_TRUE(window.findPrevious());
    EXPECT_EQ(window.browser()->textCursor().selectionStart(), seen.last());

    find->setText(QStringLiteral("осциллограф"));
    EXPECT_FALSE(window.findNext());
    EXPECT_EQ(window.matchCount(), 0);
    EXPECT_TRUE(window.browser()->extraSelections().isEmpty());
}

TEST(HelpWindow, AMissingManualOrPictureShowsNothingAndWritesNothing)
{
    QTemporaryDir dir;
    MessageLog log;
    HelpWindow window;
    EXPECT_FALSE(window.showFile(dir.filePath(QStringLiteral("qpx.html"))));
    EXPECT_FALSE(window.isVisible());

    // The manual without one of its pictures still opens, silently.
    const QString file = dir.filePath(QStringLiteral("qpx.html"));
    writeManual(file);
    EXPECT_TRUE(window.showFile(file));
    EXPECT_TRUE(log.messages().isEmpty()) << log.messages().join(QLatin1Char('\n')).toStdString();
    // In the missing picture's place: a low strip, not a page-wide broken-image icon.
    const QImage stand =
        window.browser()
            ->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("qpx-help/ports-dialog.png")))
            .value<QImage>();
    EXPECT_FALSE(stand.isNull());
    EXPECT_LT(stand.height() * 4, stand.width());
    const QVariant found = window.browser()->loadResource(QTextDocument::ImageResource,
                                                          QUrl(QStringLiteral("qpx-help/grid.png")));
    EXPECT_EQ(QImage::fromData(found.toByteArray()).size(), QSize(40, 20));
}

TEST(HelpCommand, OpensTheManualBesideTheExecutableInOneHelpWindow)
{
    TemporarySettings settings;
    ScriptedPrompts prompts;
    const HelpFileBesideExecutable lock;
    const QString beside = HelpFileBesideExecutable::path();
    writeManual(beside);
    TForm1 form;
    QFile::remove(beside);
    QFile::remove(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("qpx-help/grid.png")));
    ASSERT_EQ(form.helpFile(), beside);
    writeManual(beside); // the file is read when help is asked for, not at start-up

    EXPECT_EQ(form.helpWindow(), nullptr);
    form.N24->trigger();
    HelpWindow *help = form.helpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->file(), beside);
    EXPECT_TRUE(help->browser()->toPlainText().contains(QStringLiteral("Руководство оператора")));
    EXPECT_FALSE(help->isModal());

    // The toolbar's help button raises the same window and keeps the operator's place.
    help->findField()->setText(QStringLiteral("dialout"));
    ASSERT_TRUE(help->findNext());
    const int place = help->browser()->textCursor().position();
    help->hide();
    form.ToolButton6->click();
    EXPECT_EQ(form.helpWindow(), help);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->browser()->textCursor().position(), place);
    EXPECT_TRUE(prompts.messages.empty());
    QFile::remove(beside);
    QFile::remove(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("qpx-help/grid.png")));
}

TEST(HelpCommand, WithoutAManualNothingIsShownOrReported)
{
    TemporarySettings settings;
    ScriptedPrompts prompts;
    const HelpFileBesideExecutable lock;
    QFile::remove(HelpFileBesideExecutable::path());
    TForm1 form;
    if (QFileInfo::exists(form.helpFile()))
        GTEST_SKIP() << "the manual is installed on this machine: " << form.helpFile().toStdString();
    MessageLog log;
    form.N24->trigger();
    form.ToolButton6->click();
    EXPECT_TRUE(form.helpWindow() == nullptr || !form.helpWindow()->isVisible());
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(log.messages().isEmpty()) << log.messages().join(QLatin1Char('\n')).toStdString();
}

TEST(Manual, EveryLinkAndPictureOfTheShippedManualResolves)
{
    // The manual as it is shipped: its own links must land on an anchor of the page, and its
    // pictures must be in qpx-help/ (the port settings dialog's picture comes separately).
    const QString file = QStringLiteral(QPX_SOURCE_DIR "/docs/manual/qpx.html");
    HelpWindow window;
    ASSERT_TRUE(window.showFile(file));
    QStringList anchors, links, pictures;
    for (QTextBlock b = window.browser()->document()->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            anchors << f.anchorNames();
            if (f.isAnchor() && !f.anchorHref().isEmpty())
                links << f.anchorHref();
            if (f.isImageFormat())
                pictures << f.toImageFormat().name();
        }
    }
    EXPECT_GE(window.contents()->topLevelItemCount(), 10);
    ASSERT_FALSE(links.isEmpty());
    for (const QString &link : links) {
        ASSERT_TRUE(link.startsWith(QLatin1Char('#'))) << link.toStdString();
        EXPECT_TRUE(anchors.contains(link.mid(1))) << link.toStdString();
    }
    ASSERT_FALSE(pictures.isEmpty());
    const QDir folder = QFileInfo(file).absoluteDir();
    for (const QString &picture : pictures) {
        EXPECT_TRUE(picture.startsWith(QLatin1String("qpx-help/"))) << picture.toStdString();
        if (!picture.endsWith(QLatin1String("/ports-dialog.png"))) {
            EXPECT_TRUE(QFileInfo::exists(folder.filePath(picture))) << picture.toStdString();
        }
    }
    // Every contents entry leads somewhere.
    for (int i = 0; i < window.contents()->topLevelItemCount(); ++i)
        EXPECT_FALSE(window.contents()->topLevelItem(i)->data(0, Qt::UserRole).toString().isEmpty())
            << window.contents()->topLevelItem(i)->text(0).toStdString();
}
