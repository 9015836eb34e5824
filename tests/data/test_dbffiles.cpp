// The files beside the table: the index file is never written through a link or over a file that
// is not ours; pack keeps the file's identity where it can; a created table is whole or absent;
// rows are never reported saved into a file that lost its name; damaged records are no readings.
#include "data/memoryimport.h"
#include "dbftesting.h"
#include "support/imagetesting.h"

#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Measurement;

namespace {

struct stat statOf(const QString &path)
{
    struct stat st
    {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

qint64 failAll(qintptr, const char *, qint64, qint64)
{
    errno = ENOSPC;
    return -1;
}

// Constructed before main, so before the table layer's process-wide state is first used: it is
// destroyed after that state would have been, had the state been an ordinary static.
DbfTable g_tableAtExit;

} // namespace

using BesideTheTable = TableFixture;

TEST_F(BesideTheTable, IndexFileIsNeverWrittenThroughALinkOrOverAForeignFile)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    addRows(table, {3, 1, 2});
    const QString victim = path(QStringLiteral("victim.txt"));
    writeAll(victim, "precious");
    const QString index = path(QStringLiteral("t.mdx"));

    struct Case
    {
        const char *what;
        std::function<void()> make;
        const char *says;
    };
    const QList<Case> cases = {
        {"link to a file", [&] { QFile::link(victim, index); }, "ссылка"},
        {"dangling link", [&] { QFile::link(path(QStringLiteral("nowhere")), index); }, "ссылка"},
        {"foreign file", [&] { writeAll(index, "not an index of ours"); }, "не является индексным файлом"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(index);
        c.make();
        try {
            table.addIndex(SortIndex, T_1, false);
            ADD_FAILURE() << "written";
        } catch (const DbfWriteError &e) {
            ADD_FAILURE() << "misleading: " << e.what();
        } catch (const DbfError &e) {
            EXPECT_TRUE(e.text().contains(QString::fromUtf8(c.says))) << e.what();
        }
        EXPECT_EQ(readAll(victim), QByteArray("precious"));
        EXPECT_FALSE(table.hasIndex(SortIndex));
        EXPECT_FALSE(QFile::exists(path(QStringLiteral(".t.mdx.tmp"))));
    }
    EXPECT_EQ(readAll(index), QByteArray("not an index of ours"));

    // With the name free the index works, and our own index file may be rewritten.
    QFile::remove(index);
    table.addIndex(SortIndex, T_1, false);
    table.selectIndex(SortIndex);
    EXPECT_EQ(column(table, T_1), strings({"1", "2", "3"}));
    EXPECT_TRUE(table.hasIndex(QStringLiteral(" TAB1 "))); // compared as tags are
    table.addIndex(SortIndex, T_1, true);
    EXPECT_EQ(column(table, T_1), strings({"3", "2", "1"}));
    EXPECT_EQ(QFileInfo(index).isSymLink(), false);
}

TEST_F(BesideTheTable, PackKeepsModeGroupAndTheLinkTheTableWasOpenedThrough)
{
    {
        DbfTable table(Measurement::schema());
        createTable(table);
        table.open();
        addRows(table, {1, 2, 3, 4});
    }
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(QFile::encodeName(path()).constData(), 4321, 8765), 0);
    }
    const QString link = path(QStringLiteral("link.db"));
    ASSERT_TRUE(QFile::link(path(), link));
    const QString hard = path(QStringLiteral("hard.db"));
    ASSERT_EQ(::link(QFile::encodeName(path()).constData(), QFile::encodeName(hard).constData()), 0);

    DbfTable table(Measurement::schema());
    table.setFileName(link);
    table.open();
    table.first();
    table.deleteRecord();
    table.pack();
    table.close();

    EXPECT_TRUE(QFileInfo(link).isSymLink());
    const struct stat st = statOf(path());
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 8765u);
    }
    table.setFileName(path());
    table.open();
    EXPECT_EQ(column(table, T_1), strings({"2", "3", "4"}));
    EXPECT_EQ(table.physicalRecordCount(), 3);
    addRows(table, {5});
    table.close();
    // Pack writes a new file: another hard link keeps the file from before the pack (the delete
    // flag written in place included) and sees nothing done after it.
    table.setFileName(hard);
    table.open();
    EXPECT_EQ(column(table, T_1), strings({"2", "3", "4"}));
    EXPECT_EQ(table.physicalRecordCount(), 4);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).size(), 3);
}

TEST_F(BesideTheTable, CreatedTableIsWholeOrAbsent)
{
    DbfTable table(Measurement::schema());
    table.setFileName(path());
    {
        const DbfIo::WriteFunction previous = DbfIo::setWriteFunction(&failAll);
        EXPECT_THROW(table.create(), DbfWriteError);
        DbfIo::setWriteFunction(previous);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files), QStringList());

    // Over an existing table: a failed create leaves it as it was, a good one replaces it.
    table.create();
    table.open();
    addRows(table, {1, 2});
    table.close();
    const QByteArray before = readAll(path());
    {
        const DbfIo::WriteFunction previous = DbfIo::setWriteFunction(&failAll);
        EXPECT_THROW(table.create(), DbfWriteError);
        DbfIo::setWriteFunction(previous);
    }
    EXPECT_EQ(readAll(path()), before);
    table.create();
    EXPECT_EQ(readAll(path()).size(), 290);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files), QStringList{QStringLiteral("t.db")});

    // A table another program holds is not replaced.
    DbfTable holder(Measurement::schema());
    holder.setFileName(path());
    holder.open();
    EXPECT_THROW(table.create(), DbfError);
}

TEST_F(BesideTheTable, RowsAreNotReportedSavedIntoAFileThatLostItsName)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    const QString file = path(QStringLiteral("sub/t.db"));
    MemoryImage image;
    fillImage(image, fullImageRecords().mid(0, 20));
    DeviceInfo device;
    device.ModelIndex = 1;

    for (const bool replaced : {false, true}) {
        SCOPED_TRACE(replaced ? "replaced" : "folder removed");
        QDir(path(QStringLiteral("sub"))).mkpath(QStringLiteral("."));
        DbfTable table(Measurement::schema());
        table.setFileName(file);
        table.create();
        table.open();
        if (replaced) {
            writeAll(path(QStringLiteral("other.db")), "x");
            ASSERT_EQ(::rename(QFile::encodeName(path(QStringLiteral("other.db"))).constData(),
                               QFile::encodeName(file).constData()),
                      0);
        } else {
            ASSERT_TRUE(QDir(path(QStringLiteral("sub"))).removeRecursively());
        }
        struct Sink : MessageSink
        {
            QStringList texts;
            void showMessage(const QString &text, const QString &, MessageIcon) override
            {
                texts.append(text);
            }
        } sink;
        try {
            importImage(table, image, device, true, &sink);
            ADD_FAILURE() << "reported success";
        } catch (const DbfError &e) {
            EXPECT_TRUE(e.text().contains(QStringLiteral("удалён или заменён"))) << e.what();
        }
        EXPECT_EQ(sink.texts, QStringList());
        EXPECT_THROW(table.close(), DbfError);
        EXPECT_FALSE(table.isOpen());
        QDir(path(QStringLiteral("sub"))).removeRecursively();
    }
}

TEST_F(BesideTheTable, DamagedRecordsAreNoReadings)
{
    {
        DbfTable table(Measurement::schema());
        createTable(table);
        table.open();
        addRows(table, {1, 2, 3, 4});
        table.first();
        table.next();
        table.next();
        table.deleteRecord(); // 3
    }
    // Record 2 as a power cut leaves it: all NUL bytes; record 4 with an unknown flag.
    QByteArray bytes = readAll(path());
    bytes.replace(289 + 100, 100, QByteArray(100, '\0'));
    bytes[289 + 300] = '#';
    writeAll(path(), bytes);

    DbfTable table(Measurement::schema());
    table.setFileName(path());
    table.open();
    EXPECT_EQ(column(table, T_1), strings({"1"}));
    EXPECT_EQ(table.exactRecordCount(), 1);
    EXPECT_EQ(table.physicalRecordCount(), 4);
    EXPECT_EQ(table.damagedRecordCount(), 2);
    EXPECT_TRUE(damagedRecordsText(table).contains(QStringLiteral(": 2 ")));
    table.last();
    EXPECT_EQ(table.recNo(), 1);
    table.close();
    EXPECT_EQ(readAll(path()), bytes) << "opening destroyed them";

    // The operator's pack removes them with the deleted rows.
    table.open();
    table.pack();
    EXPECT_EQ(table.physicalRecordCount(), 1);
    EXPECT_EQ(table.damagedRecordCount(), 0);
    EXPECT_EQ(damagedRecordsText(table), QString());
}

TEST_F(BesideTheTable, TableOpenAtProcessExit)
{
    g_tableAtExit.setSchema(Measurement::schema());
    createTable(g_tableAtExit);
    const pid_t pid = ::fork();
    if (pid == 0) {
        g_tableAtExit.open();
        std::exit(0); // static destructors run, the table's among them
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
