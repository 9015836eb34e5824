// The table document without a window: what it tells its listeners, what it asks of the operator,
// and what it leaves on disk.
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

class AnsweringPrompts : public OperatorPrompts
{
public:
    QStringList messages;
    QStringList questions;
    std::deque<Answer> answers;
    void showMessage(const QString &text, const QString &, MessageIcon) override { messages << text; }
    Answer askYesNo(const QString &text, const QString &, MessageIcon) override
    {
        questions << text;
        const Answer a = answers.empty() ? Answer::No : answers.front();
        if (!answers.empty())
            answers.pop_front();
        return a;
    }
};

class TableDocumentTest : public TableFixture
{
protected:
    RecordingListener window;
    AnsweringPrompts prompts;
    TableDocument document{QStringLiteral("Программа")};

    void SetUp() override
    {
        document.addListener(&window);
        QList<ImageRecord> records(5);
        for (int i = 0; i < records.size(); ++i)
            records[i].mass = quint32(1000 * (i + 1));
        fillImage(memoryImage(), records);
    }
    void TearDown() override { memoryImage().clear(); }
};

TEST_F(TableDocumentTest, NewEditCloseWithoutSavingKeepsTheImportedRows)
{
    document.create(path(), prompts);
    ASSERT_TRUE(document.isOpen());
    EXPECT_EQ(document.table().rowCount(), 5);
    EXPECT_FALSE(document.isModified());
    EXPECT_EQ(window.calls, strings({"file:t.db", "open", "ready:new"}));

    // An edit not yet posted, then Close answered "No": the edit is dropped, the rows stay.
    window.calls.clear();
    document.table().first();
    document.table().edit();
    document.table().setText(Measurement::COMMENT, QStringLiteral("не сохранять"));
    document.cellEditStarted();
    document.close(prompts);
    EXPECT_EQ(prompts.questions, QStringList{QStringLiteral("Сохранить изменения в таблицах ?")});
    EXPECT_FALSE(document.isOpen());
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
    // A file that is no table: reported as damaged, the window is not touched.
    writeAll(path(QStringLiteral("junk.db")), QByteArray(300, 'x'));
    document.open(path(QStringLiteral("junk.db")), prompts);
    EXPECT_FALSE(document.isOpen());
    EXPECT_EQ(window.calls, strings({"file:junk.db"}));
    EXPECT_EQ(prompts.messages, QStringList{QStringLiteral("База данных повреждена !")});

    // An empty archive: reported, and no table file is made.
    memoryImage().clear();
    document.create(path(QStringLiteral("new.db")), prompts);
    EXPECT_FALSE(document.isOpen());
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("new.db"))));
    EXPECT_EQ(prompts.messages.last(), QStringLiteral("Архив прибора пуст!"));
}

} // namespace
