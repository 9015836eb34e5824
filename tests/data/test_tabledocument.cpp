// The table document without a window: New, Open, Append, Save and Close, what
// it tells its listeners, what it asks of the operator, and what it leaves on
// disk.
#include "data/memoryimage.h"
#include "data/tabledocument.h"
#include "dbftesting.h"
#include "support/imagetesting.h"

#include <QFileInfo>
#include <deque>

namespace {

// Everything the document tells, in order.
class RecordingListener : public TableDocument::Listener
{
public:
    QStringList calls;
    void openChanged(bool open) override
    {
        calls << (open ? QStringLiteral("open") : QStringLiteral("closed"));
    }
    void modifiedChanged(bool modified) override
    {
        calls << (modified ? QStringLiteral("modified") : QStringLiteral("unmodified"));
    }
    void fileNameChanged(const QString &name) override
    {
        calls << QStringLiteral("file:") + QFileInfo(name).fileName();
    }
    void titleChanged(const QString &title) override { calls << QStringLiteral("title:") + title; }
    void tableReady(bool newlyOpened) override
    {
        calls << (newlyOpened ? QStringLiteral("ready:new") : QStringLiteral("ready"));
    }
    void aboutToAppend() override { calls << QStringLiteral("about to append"); }
    void aboutToSave() override { calls << QStringLiteral("about to save"); }
    void aboutToClose() override { calls << QStringLiteral("about to close"); }
};

struct Shown
{
    QString text;
    QString caption;
    MessageIcon icon;
};

class AnsweringPrompts : public OperatorPrompts
{
public:
    QList<Shown> shown;
    QList<Shown> asked;
    std::deque<Answer> answers;
    QStringList messages() const
    {
        QStringList texts;
        for (const Shown &s : shown)
            texts << s.text;
        return texts;
    }
    void showMessage(const QString &text, const QString &caption, MessageIcon icon) override
    {
        shown.append({text, caption, icon});
    }
    Answer askYesNo(const QString &text, const QString &caption, MessageIcon icon) override
    {
        asked.append({text, caption, icon});
        const Answer a = answers.empty() ? Answer::No : answers.front();
        if (!answers.empty())
            answers.pop_front();
        return a;
    }
};

// Readings one minute apart from 07.11.2005 09:00:00 on, masses 1000, 2000, ...
QList<ImageRecord> readings(int count)
{
    QList<ImageRecord> records(count);
    for (int i = 0; i < count; ++i) {
        records[i].mass = quint32(1000 * (i + 1));
        records[i].hours = 9;
        records[i].minutes = quint8(i);
        records[i].day = 7;
        records[i].month = 11;
        records[i].year = 5;
    }
    return records;
}

class TableDocumentTest : public TableFixture
{
protected:
    RecordingListener window;
    AnsweringPrompts prompts;
    TableDocument document{QStringLiteral("Программа")};

    void SetUp() override
    {
        document.addListener(&window);
        fillImage(memoryImage(), readings(5));
        deviceInfo().ModelIndex = 9;
        deviceInfo().TypeCode = 3;
    }
    void TearDown() override { memoryImage().clear(); }

    // A table made by New and closed again, then reopened; the calls so far are
    // forgotten.
    void openFresh(const QString &name = QStringLiteral("t.db"))
    {
        document.create(path(name), prompts);
        document.close(prompts);
        document.open(path(name), prompts);
        ASSERT_TRUE(document.isOpen());
        window.calls.clear();
        prompts.shown.clear();
    }
};

TEST_F(TableDocumentTest, NewEditCloseWithoutSavingKeepsTheImportedRows)
{
    document.create(path(), prompts);
    ASSERT_TRUE(document.isOpen());
    EXPECT_EQ(document.table().rowCount(), 5);
    EXPECT_FALSE(document.isModified());
    EXPECT_EQ(document.fileName(), path());
    EXPECT_TRUE(prompts.shown.isEmpty());
    // New names the file, opens the table (before the import) and has it ready;
    // the title stays.
    EXPECT_EQ(window.calls, strings({"file:t.db", "open", "ready:new"}));
    EXPECT_EQ(document.title(), QString());

    // An edit not yet posted, then Close answered "No": the edit is dropped, the
    // rows stay.
    window.calls.clear();
    document.table().first();
    document.table().edit();
    document.table().setText(Measurement::COMMENT, QStringLiteral("не сохранять"));
    document.cellEditStarted();
    EXPECT_TRUE(document.isModified());
    document.close(prompts);
    ASSERT_EQ(prompts.asked.size(), 1);
    EXPECT_EQ(prompts.asked[0].text, QStringLiteral("Сохранить изменения в таблицах ?"));
    EXPECT_EQ(prompts.asked[0].caption, QStringLiteral("Программа"));
    EXPECT_EQ(prompts.asked[0].icon, MessageIcon::Question);
    EXPECT_FALSE(document.isOpen());
    EXPECT_FALSE(document.table().isOpen());
    EXPECT_EQ(window.calls,
              strings({"modified", "about to close", "unmodified", "closed", "title:Программа"}));

    DbfTable reread;
    reread.setFileName(path());
    reread.open();
    EXPECT_EQ(reread.rowCount(), 5);
    EXPECT_FALSE(column(reread, Measurement::COMMENT).contains(QStringLiteral("не сохранять")));
}

TEST_F(TableDocumentTest, OperatorIsToldAndNothingOpensOrIsCreated)
{
    // A file that is no table, one too short for a header, one that is not there:
    // reported as damaged, nothing opens and nothing is made.
    writeAll(path(QStringLiteral("junk.db")), QByteArray(300, 'x'));
    writeAll(path(QStringLiteral("short.db")), QByteArray(40, 'x'));
    for (const QString &name : strings({"junk.db", "short.db", "missing.db"})) {
        SCOPED_TRACE(name.toStdString());
        window.calls.clear();
        prompts.shown.clear();
        document.open(path(name), prompts);
        EXPECT_FALSE(document.isOpen());
        EXPECT_FALSE(document.table().isOpen());
        EXPECT_EQ(window.calls, QStringList{QStringLiteral("file:") + name});
        ASSERT_EQ(prompts.shown.size(), 1);
        EXPECT_EQ(prompts.shown[0].text, QStringLiteral("База данных повреждена !"));
        EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("Ошибка"));
        EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
    }
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("missing.db"))));

    // An empty archive: reported, and a file of that name is neither made nor
    // replaced.
    writeAll(path(QStringLiteral("old.db")), "keep");
    memoryImage().clear();
    window.calls.clear();
    prompts.shown.clear();
    document.create(path(QStringLiteral("new.db")), prompts);
    document.create(path(QStringLiteral("old.db")), prompts);
    EXPECT_FALSE(document.isOpen());
    EXPECT_TRUE(window.calls.isEmpty());
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("new.db"))));
    EXPECT_EQ(readAll(path(QStringLiteral("old.db"))), QByteArray("keep"));
    ASSERT_EQ(prompts.shown.size(), 2);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("Архив прибора пуст!"));
    EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Information);
}

TEST_F(TableDocumentTest, OpenGivesTheTitleAndWarnsOfDamagedRecordsLeftInTheFile)
{
    document.create(path(QStringLiteral("2005.db")), prompts);
    document.close(prompts);
    QByteArray bytes = readAll(path(QStringLiteral("2005.db")));
    ASSERT_EQ(bytes.size(), 289 + 5 * 100 + 1);
    bytes.replace(289 + 100, 100, QByteArray(100, '\0')); // what a power cut leaves
    writeAll(path(QStringLiteral("2005.db")), bytes);

    window.calls.clear();
    document.open(path(QStringLiteral("2005.db")), prompts);
    ASSERT_TRUE(document.isOpen());
    EXPECT_EQ(window.calls, strings({"open", "ready:new", "title:2005 - Программа"}));
    EXPECT_EQ(document.title(), QStringLiteral("2005 - Программа"));
    EXPECT_EQ(document.table().rowCount(), 4);
    EXPECT_EQ(document.table().recNo(), 1);
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_TRUE(prompts.shown[0].text.contains(QStringLiteral("Повреждённых записей")));
    EXPECT_TRUE(prompts.shown[0].text.contains(QStringLiteral(": 1 ")));
    EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("Предупреждение"));
    EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Warning);

    document.close(prompts);
    EXPECT_EQ(readAll(path(QStringLiteral("2005.db"))).mid(289),
              bytes.mid(289)); // left in the file
}

TEST_F(TableDocumentTest, AppendAddsOnlyNewerReadingsInFileOrderAndSaves)
{
    openFresh();
    // The operator had sorted by number, descending.
    document.table().addIndex(Measurement::SortIndex, Measurement::N, true);
    document.table().selectIndex(Measurement::SortIndex);
    document.cellEditStarted();

    // Nothing newer: no row added, 0 reported, and the table is still saved.
    document.append(prompts);
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("Добавлено записей: 0"));
    EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("Дополнение"));
    EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(window.calls, strings({"modified", "about to append", "about to save", "unmodified", "ready"}));
    EXPECT_FALSE(document.isModified());
    EXPECT_EQ(document.table().indexNames(), QStringList());
    EXPECT_FALSE(QFile::exists(document.table().indexFileName()));

    // Two newer readings: added after the last row of the file, numbered on from
    // it.
    fillImage(memoryImage(), readings(7));
    document.append(prompts);
    EXPECT_EQ(prompts.shown.last().text, QStringLiteral("Добавлено записей: 2"));
    EXPECT_EQ(column(document.table(), Measurement::N), strings({"1", "2", "3", "4", "5", "6", "7"}));
    EXPECT_EQ(document.table().recNo(), 1);
    EXPECT_TRUE(document.isOpen());
    document.close(prompts);
    EXPECT_TRUE(prompts.asked.isEmpty());
    DbfTable reread;
    reread.setFileName(path());
    reread.open();
    EXPECT_EQ(reread.rowCount(), 7);
}

TEST_F(TableDocumentTest, SavePostsAPendingEditAndReopensAtTheFirstRow)
{
    openFresh();
    // Save does nothing without a table.
    TableDocument none{QStringLiteral("Программа")};
    none.save();
    EXPECT_FALSE(none.table().isOpen());

    document.table().last();
    document.table().edit();
    document.table().setText(Measurement::COMMENT, QStringLiteral("проверка"));
    document.cellEditStarted();
    document.save();
    EXPECT_FALSE(document.isModified());
    EXPECT_TRUE(document.table().isOpen());
    EXPECT_FALSE(document.table().isEditing());
    EXPECT_EQ(document.table().recNo(), 1);
    EXPECT_EQ(window.calls, strings({"modified", "about to save", "unmodified"}));
    DbfTable reread;
    reread.setFileName(path());
    document.close(prompts);
    reread.open();
    EXPECT_EQ(column(reread, Measurement::COMMENT).last(), QStringLiteral("проверка"));
}

TEST_F(TableDocumentTest, CloseAsksOnlyWithChangesAndYesSavesThePendingEdit)
{
    openFresh();
    document.close(prompts);
    EXPECT_TRUE(prompts.asked.isEmpty());
    EXPECT_EQ(window.calls, strings({"about to close", "closed", "title:Программа"}));

    // A second Close has nothing left to tell but that it closes.
    window.calls.clear();
    document.close(prompts);
    EXPECT_EQ(window.calls, strings({"about to close"}));

    // Yes: the pending edit is saved before the table closes.
    document.open(path(), prompts);
    document.table().edit();
    document.table().setText(Measurement::COMMENT, QStringLiteral("kept"));
    document.cellEditStarted();
    prompts.answers.push_back(OperatorPrompts::Answer::Yes);
    window.calls.clear();
    document.close(prompts);
    EXPECT_EQ(prompts.asked.size(), 1);
    EXPECT_EQ(window.calls,
              strings({"about to save", "unmodified", "about to close", "closed", "title:Программа"}));
    document.open(path(), prompts);
    EXPECT_EQ(column(document.table(), Measurement::COMMENT).first(), QStringLiteral("kept"));

    // Rows deleted: packed and reopened, so nothing is left to ask about.
    document.cellEditStarted();
    document.rowsDeleted();
    EXPECT_FALSE(document.isModified());
    document.close(prompts);
    EXPECT_EQ(prompts.asked.size(), 1);
}

TEST_F(TableDocumentTest, CloseDeletesTheIndexFileOfTheTablesNameOnly)
{
    openFresh(QStringLiteral("data.db"));
    writeAll(path(QStringLiteral("data.mdx")), "someone else's");
    writeAll(path(QStringLiteral("other.mdx")), "someone else's");
    document.close(prompts);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("data.mdx"))));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("other.mdx"))));
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(TableDocumentTest, AFailedImportLeavesTheRowsPostedSoFarInAnOpenTable)
{
    QList<ImageRecord> broken = readings(3);
    broken[1].mass = 0x80000000u; // not a valid mass: the import stops at this record
    fillImage(memoryImage(), broken);
    EXPECT_THROW(document.create(path(), prompts), QpxError);
    ASSERT_TRUE(document.isOpen());
    EXPECT_EQ(window.calls, strings({"file:t.db", "open", "ready:new"}));
    EXPECT_EQ(document.table().rowCount(), 1);
    EXPECT_EQ(document.table().state(), DbfTable::State::Browse);
    EXPECT_FALSE(document.isModified());

    // The same for Append, without the saved layout and without the closing save.
    QList<ImageRecord> more = readings(4);
    more[3].mass = 0x80000000u;
    fillImage(memoryImage(), more);
    window.calls.clear();
    EXPECT_THROW(document.append(prompts), QpxError);
    EXPECT_EQ(window.calls, strings({"about to append", "ready"}));
    EXPECT_TRUE(document.isOpen());
    EXPECT_EQ(document.table().rowCount(), 3);
    EXPECT_EQ(document.table().state(), DbfTable::State::Browse);
}

TEST_F(TableDocumentTest, AListenerThatThrowsEndsTheStepWithItsError)
{
    // As a grid layout that cannot be read: the step stops there, and the error
    // reaches the caller.
    class Failing : public TableDocument::Listener
    {
    public:
        void tableReady(bool) override { throw QpxError(QStringLiteral("layout")); }
    } failing;
    openFresh();
    document.close(prompts);
    document.addListener(&failing);
    window.calls.clear();
    EXPECT_THROW(document.open(path(), prompts), QpxError);
    EXPECT_TRUE(document.isOpen());
    EXPECT_EQ(window.calls, strings({"open", "ready:new"}));
    EXPECT_EQ(document.title(),
              QStringLiteral("Программа")); // the steps after it did not run
    document.removeListener(&failing);
}

} // namespace
