// The table document without a window: what it asks of the window and of the operator, and what
// it leaves on disk.
#include "data/memoryimage.h"
#include "data/tabledocument.h"
#include "dbftesting.h"
#include "support/imagetesting.h"

#include <deque>

namespace {

class RecordingWindow : public TableDocument::Window
{
public:
    QStringList calls;
    void setBackground(bool open) override
    {
        calls << (open ? QStringLiteral("background:table") : QStringLiteral("background:none"));
    }
    void setTableCommandsEnabled(bool on) override
    {
        calls << (on ? QStringLiteral("commands:on") : QStringLiteral("commands:off"));
    }
    void showGrid(bool shown) override
    {
        calls << (shown ? QStringLiteral("grid:shown") : QStringLiteral("grid:hidden"));
    }
    void restoreLayout() override { calls << QStringLiteral("layout:restore"); }
    void saveLayout() override { calls << QStringLiteral("layout:save"); }
    void resetSort() override { calls << QStringLiteral("sort:reset"); }
    void commitEdit() override { calls << QStringLiteral("commit"); }
    void setTitle(const QString &title) override { calls << QStringLiteral("title:") + title; }
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
    RecordingWindow window;
    AnsweringPrompts prompts;
    TableDocument document{window, QStringLiteral("Программа")};

    void SetUp() override
    {
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
    ASSERT_TRUE(document.tableOpen);
    EXPECT_EQ(document.table.rowCount(), 5);
    EXPECT_FALSE(document.modified);
    EXPECT_EQ(window.calls, QStringList({QStringLiteral("background:table"), QStringLiteral("commands:on"),
                                         QStringLiteral("grid:shown"), QStringLiteral("layout:restore")}));

    // An edit not yet posted, then Close answered "No": the edit is dropped, the rows stay.
    window.calls.clear();
    document.table.first();
    document.table.edit();
    document.table.setText(Measurement::COMMENT, QStringLiteral("не сохранять"));
    document.modified = true;
    document.close(prompts);
    EXPECT_EQ(prompts.questions, QStringList{QStringLiteral("Сохранить изменения в таблицах ?")});
    EXPECT_FALSE(document.tableOpen);
    EXPECT_EQ(window.calls, QStringList({QStringLiteral("layout:save"), QStringLiteral("commands:off"),
                                         QStringLiteral("grid:hidden"), QStringLiteral("title:Программа"),
                                         QStringLiteral("background:none")}));

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
    EXPECT_FALSE(document.tableOpen);
    EXPECT_TRUE(window.calls.isEmpty());
    EXPECT_EQ(prompts.messages, QStringList{QStringLiteral("База данных повреждена !")});

    // An empty archive: reported, and no table file is made.
    memoryImage().clear();
    document.create(path(QStringLiteral("new.db")), prompts);
    EXPECT_FALSE(document.tableOpen);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("new.db"))));
    EXPECT_EQ(prompts.messages.last(), QStringLiteral("Архив прибора пуст!"));
}

} // namespace
