// What the main window adds to the table document (tests/data/test_tabledocument.cpp): the file
// dialogs and the download step of New, Open and Append, the window's states and title, the save
// question at the close box and none at Exit, the grid's part, with scripted prompts and a
// prepared instrument memory in place of the download.
#include "app/main.h"
#include "base/regional.h"
#include "data/measurementtable.h"
#include "data/memoryimage.h"
#include "support/scriptedprompts.h"
#include "ui/apptitle.h"
#include "view/widgets/tablecontroller.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

struct Reading
{
    quint32 raw;
    int series;
    int day, month, year; // year as 2000 + byte
    int hour, minute, second;
};

// Writes readings into the program-wide memory image as a download leaves it.
void fillImage(const QList<Reading> &readings, int modelIndex = 9)
{
    MemoryImage &image = memoryImage();
    image.clear();
    image.set(0, quint8(readings.size() & 0xFF));
    image.set(1, quint8(readings.size() >> 8));
    int p = 2;
    for (const Reading &r : readings) {
        for (int i = 0; i < 4; ++i)
            image.set(p + i, quint8(r.raw >> (8 * i)));
        image.set(p + 4, 0);
        image.set(p + 5, quint8(r.series));
        image.set(p + 6, quint8(r.second));
        image.set(p + 7, quint8(r.minute));
        image.set(p + 8, quint8(r.hour));
        image.set(p + 9, quint8(r.day));
        image.set(p + 10, quint8(r.month));
        image.set(p + 11, quint8(r.year - 2000));
        p += MemoryImage::RecordSize;
    }
    deviceInfo().ModelIndex = modelIndex;
    deviceInfo().TypeCode = 3;
}

const QList<Reading> ThreeReadings = {
    {1200, 0, 7, 11, 2005, 9, 0, 0},
    {1300, 4, 7, 11, 2005, 9, 30, 0},
    {1400, 4, 7, 11, 2005, 10, 0, 0},
};

QStringList columnOf(DbfTable &table, const QString &field)
{
    QStringList values;
    const int f = table.fieldIndex(field);
    for (int row = 0; row < table.rowCount(); ++row)
        values << table.text(table.recordAt(row), f);
    return values;
}

class DocumentTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setApplicationTitle(programTitle());
        form = std::make_unique<TForm1>();
        form->setDownloadStep([this] {
            ++downloads;
            prompts.log << QStringLiteral("download");
            return downloadResult;
        });
        fillImage(ThreeReadings);
    }
    void TearDown() override
    {
        form.reset();
        setApplicationTitle(QString());
    }

    QString path(const QString &name) const { return work.filePath(name); }

    // New through the menu, with the save dialog answered by name.
    void newTable(const QString &name)
    {
        prompts.fileNames.push_back(path(name));
        form->N2->trigger();
    }
    void openTable(const QString &file)
    {
        prompts.fileNames.push_back(file);
        form->N3->trigger();
    }

    void expectTableOpenState()
    {
        EXPECT_TRUE(form->TableOpen());
        EXPECT_TRUE(form->Dbf1().isOpen());
        EXPECT_FALSE(form->TableModified());
        EXPECT_TRUE(form->N4->isEnabled());
        EXPECT_TRUE(form->N7->isEnabled());
        EXPECT_TRUE(form->ToolButton3->isEnabled());
        EXPECT_TRUE(form->grid()->isVisibleTo(form.get()));
        EXPECT_EQ(form->backgroundColour(), QApplication::palette().color(QPalette::Button));
    }
    void expectNoTableState()
    {
        EXPECT_FALSE(form->TableOpen());
        EXPECT_FALSE(form->Dbf1().isOpen());
        EXPECT_FALSE(form->N4->isEnabled());
        EXPECT_FALSE(form->N7->isEnabled());
        EXPECT_FALSE(form->ToolButton3->isEnabled());
        EXPECT_FALSE(form->grid()->isVisibleTo(form.get()));
        EXPECT_EQ(form->backgroundColour(), QApplication::palette().color(QPalette::Dark));
    }

    TemporarySettings settings;
    ScriptedPrompts prompts;
    QTemporaryDir work;
    RegionalScope pin{Regional::russian()};
    std::unique_ptr<TForm1> form;
    int downloadResult = 1;
    int downloads = 0;
};

} // namespace

TEST_F(DocumentTest, NewDownloadsIntoANewTableAndKeepsTheTitle)
{
    newTable(QStringLiteral("new.db"));
    EXPECT_TRUE(prompts.messages.empty());
    expectTableOpenState();
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("new.db"))));
    EXPECT_EQ(columnOf(form->Dbf1(), Measurement::N),
              QStringList({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    EXPECT_EQ(form->Dbf1().recNo(), 1);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("ЛКТ-ДН7"));
    EXPECT_EQ(applicationTitle(), QStringLiteral("Лкт-ДН7"));
}

TEST_F(DocumentTest, NewStopsWhenTheDialogIsCancelledOrTheDownloadFails)
{
    form->N2->trigger(); // save dialog cancelled
    EXPECT_EQ(downloads, 0);
    downloadResult = 2;
    newTable(QStringLiteral("never.db"));
    EXPECT_EQ(downloads, 1);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("never.db"))));
    EXPECT_TRUE(prompts.messages.empty());
    expectNoTableState();
}

TEST_F(DocumentTest, NewAsksTheSaveQuestionBeforeTheFileDialogAndReplacesAnExistingFile)
{
    newTable(QStringLiteral("a.db"));
    emit form->tableController()->editStarted();
    prompts.answers.push_back(Prompts::Answer::No);
    form->N2->trigger(); // dialog cancelled after the question
    EXPECT_EQ(prompts.log, QStringList({QStringLiteral("save dialog"), QStringLiteral("download"),
                                        QStringLiteral("question:Сохранить изменения в таблицах ?"),
                                        QStringLiteral("save dialog")}));
    expectNoTableState();

    fillImage({ThreeReadings[0]});
    newTable(QStringLiteral("a.db"));
    EXPECT_EQ(form->Dbf1().rowCount(), 1);
}

TEST_F(DocumentTest, OpenSetsTheTitleAndTheDefaultFolder)
{
    newTable(QStringLiteral("made.db"));
    form->N7->trigger();
    QDir(work.path()).mkdir(QStringLiteral("year"));
    const QString file = path(QStringLiteral("year/2005.db"));
    ASSERT_TRUE(QFile::copy(path(QStringLiteral("made.db")), file));

    const QString dialogFolder = form->dialogFolder();
    openTable(file);
    EXPECT_TRUE(prompts.messages.empty());
    expectTableOpenState();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("2005 - Лкт-ДН7"));
    EXPECT_EQ(applicationTitle(), QStringLiteral("2005 - Лкт-ДН7"));
    EXPECT_EQ(form->defaultFolder(), QDir::toNativeSeparators(work.filePath(QStringLiteral("year"))));
    EXPECT_EQ(form->dialogFolder(), dialogFolder); // dialogs follow only from the next start
    EXPECT_EQ(form->Dbf1().rowCount(), 3);
    EXPECT_EQ(form->Dbf1().recNo(), 1);

    // Closing the window writes the folder; the next start opens the dialogs there.
    form->show();
    EXPECT_TRUE(form->close());
    EXPECT_EQ(settings.value(QStringLiteral("Default_dir")).toString(), form->defaultFolder());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Лкт-ДН7"));
    TForm1 next;
    EXPECT_EQ(next.dialogFolder(), QDir::toNativeSeparators(work.filePath(QStringLiteral("year"))));
}

TEST_F(DocumentTest, CancellingTheOpenDialogKeepsTheCurrentTable)
{
    newTable(QStringLiteral("keep.db"));
    emit form->tableController()->editStarted();
    form->N3->trigger();
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_TRUE(form->TableOpen());
    EXPECT_TRUE(form->TableModified());
}

TEST_F(DocumentTest, AppendDownloadsFirstAndKeepsTheTableShown)
{
    newTable(QStringLiteral("append.db"));

    // Nothing newer: 0 reported to the operator, the table saved and still shown.
    emit form->tableController()->editStarted();
    form->N4->trigger();
    EXPECT_EQ(downloads, 2);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, QStringLiteral("Добавлено записей: 0"));
    EXPECT_FALSE(form->TableModified());
    EXPECT_EQ(form->Dbf1().recNo(), 1);
    expectTableOpenState();

    // A failed download leaves the table as it was.
    QList<Reading> more = ThreeReadings;
    more << Reading{1500, 0, 7, 11, 2005, 10, 0, 1};
    fillImage(more);
    downloadResult = 2;
    form->N4->trigger();
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(form->Dbf1().rowCount(), 3);
    expectTableOpenState();
}

TEST_F(DocumentTest, CloseAsksUnderTheProgramTitleAndLeavesTheNoTableState)
{
    newTable(QStringLiteral("close.db"));
    form->N7->trigger();
    EXPECT_TRUE(prompts.questions.empty());
    expectNoTableState();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Лкт-ДН7"));

    openTable(path(QStringLiteral("close.db")));
    form->Dbf1().edit();
    form->Dbf1().setText(Measurement::COMMENT, QStringLiteral("lost"));
    emit form->tableController()->editStarted();
    prompts.answers.push_back(Prompts::Answer::No);
    form->N7->trigger();
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0].text, QStringLiteral("Сохранить изменения в таблицах ?"));
    EXPECT_EQ(prompts.questions[0].caption, QStringLiteral("Лкт-ДН7"));
    EXPECT_EQ(prompts.questions[0].icon, MessageIcon::Question);
    expectNoTableState();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Лкт-ДН7"));
    EXPECT_EQ(applicationTitle(), QStringLiteral("Лкт-ДН7"));
}

TEST_F(DocumentTest, AFailedImportLeavesTheRowsPostedSoFarInAnOpenTable)
{
    QList<Reading> broken = ThreeReadings;
    broken[1].raw = 0x80000000u; // not a valid mass: the import stops at this record
    fillImage(broken);
    newTable(QStringLiteral("broken.db"));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, QStringLiteral("Integer overflow."));
    EXPECT_EQ(prompts.messages[0].caption, QStringLiteral("Лкт-ДН7"));
    EXPECT_EQ(prompts.messages[0].icon, MessageIcon::Error);
    expectTableOpenState();
    EXPECT_EQ(form->Dbf1().rowCount(), 1);
    EXPECT_EQ(form->Dbf1().state(), DbfTable::State::Browse);

    // The same for Append: the table stays open with every command working.
    fillImage(ThreeReadings);
    form->N4->trigger(); // nothing newer than row 1? row 1 is 09:00:00, so two rows follow
    fillImage({ThreeReadings[0], ThreeReadings[1], ThreeReadings[2],
               Reading{0x80000000u, 0, 9, 11, 2005, 0, 0, 0}});
    form->N4->trigger();
    EXPECT_EQ(prompts.messages.back().text, QStringLiteral("Integer overflow."));
    expectTableOpenState();
    form->N7->trigger();
    expectNoTableState();
}

TEST_F(DocumentTest, AFileThatCannotBeCreatedEndsNewWithoutATable)
{
    prompts.fileNames.push_back(path(QStringLiteral("no/such/folder/x.db")));
    form->N2->trigger();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(prompts.messages[0].caption, QStringLiteral("Лкт-ДН7"));
    expectNoTableState();
}

TEST_F(DocumentTest, ExitDropsAnUnpostedEditWithoutAskingWhileTheCloseBoxAsks)
{
    newTable(QStringLiteral("exit.db"));
    form->Dbf1().edit();
    form->Dbf1().setText(Measurement::COMMENT, QStringLiteral("half-edited"));
    emit form->tableController()->editStarted();
    // "Выход" ends the running message loop. Triggered outside one, Qt would keep the request and
    // end every later local loop (a pop-up menu's, a download's wait) of this test program at once.
    QTimer::singleShot(0, form.get(), [this] { form->N11->trigger(); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(prompts.questions.empty());
    form.reset(); // the program's objects are released at termination

    form = std::make_unique<TForm1>();
    openTable(path(QStringLiteral("exit.db")));
    EXPECT_EQ(columnOf(form->Dbf1(), Measurement::COMMENT).first(), QString());

    form->Dbf1().edit();
    form->Dbf1().setText(Measurement::COMMENT, QStringLiteral("half-edited"));
    emit form->tableController()->editStarted();
    prompts.answers.push_back(Prompts::Answer::Yes);
    form->show();
    EXPECT_TRUE(form->close());
    EXPECT_EQ(prompts.questions.size(), 1u);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("exit.mdx"))));
    DbfTable reread(Measurement::schema());
    reread.setFileName(path(QStringLiteral("exit.db")));
    reread.open();
    EXPECT_EQ(reread.text(Measurement::COMMENT), QStringLiteral("half-edited"));
}

TEST_F(DocumentTest, TheGridDrivesTheModifiedFlagAndTheLayoutIsSavedAtEveryClose)
{
    newTable(QStringLiteral("grid.db"));
    emit form->tableController()->editStarted();
    EXPECT_TRUE(form->TableModified());
    emit form->tableController()->rowsDeleted();
    EXPECT_FALSE(form->TableModified());
    form->N7->trigger();

    // Closing the window without ever opening a table still saves the grid layout.
    TemporarySettings fresh;
    TForm1 other;
    EXPECT_FALSE(fresh.value(QStringLiteral("Table_1")).isValid());
    other.show();
    EXPECT_TRUE(other.close());
    EXPECT_TRUE(fresh.value(QStringLiteral("Table_1")).isValid());
}

TEST_F(DocumentTest, ARightClickOnTheGridOpensThePopupMenu)
{
    newTable(QStringLiteral("popup.db"));
    form->show();
    auto *view = form->grid()->findChild<QAbstractScrollArea *>();
    ASSERT_NE(view, nullptr);
    bool shown = false;
    QTimer::singleShot(0, form.get(), [&] {
        shown = form->PopupMenu1->isVisible();
        form->PopupMenu1->close();
    });
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 20),
                            view->viewport()->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(view->viewport(), &click);
    EXPECT_TRUE(shown);
    QStringList captions;
    for (QAction *a : form->PopupMenu1->actions())
        captions << (a->isSeparator() ? QStringLiteral("—") : a->iconText()); // without the access key
    EXPECT_EQ(captions.join(QLatin1Char('|')),
              QStringLiteral(
                  "График|Печать|—|Задать цвет|Убрать цвет|Убрать все цвета|—|Выровнять столбцы|—|Удалить"));
}
