// What the table file survives: failed writes, a full disk, an interrupted pack and a process
// killed in the middle of an import.
#include "data/memoryimport.h"
#include "dbftesting.h"
#include "support/imagetesting.h"

#include <QDir>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Measurement;

namespace {

// A write function that lets a number of calls through, then fails once (optionally after
// writing part of the bytes first) and lets the calls after that through again.
int g_allowed = 0;
bool g_partial = false;
bool g_killInstead = false;
bool g_failed = false;

qint64 failingWrite(qintptr handle, const char *data, qint64 size, qint64 offset)
{
    if (g_allowed > 0 || g_failed) {
        g_allowed = std::max(0, g_allowed - 1);
        return DbfIo::systemWrite(handle, data, size, offset);
    }
    if (g_partial && size > 1) {
        g_partial = false;
        return DbfIo::systemWrite(handle, data, size / 2, offset);
    }
    if (g_killInstead)
        ::raise(SIGKILL);
    g_failed = true;
    errno = ENOSPC;
    return -1;
}

class FailingWrites
{
public:
    FailingWrites(int allowed, bool partial = false)
    {
        g_allowed = allowed;
        g_partial = partial;
        g_failed = false;
        g_killInstead = false;
        m_previous = DbfIo::setWriteFunction(&failingWrite);
    }
    ~FailingWrites() { DbfIo::setWriteFunction(m_previous); }

private:
    DbfIo::WriteFunction m_previous;
};

const QString DiskFull = QStringLiteral("Error while writing occurred. (Disk full?)");

} // namespace

using WriteFailure = TableFixture;

TEST_F(WriteFailure, AppendTakesTheCountBack)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    addRows(table, {1, 2, 3});
    const QByteArray before = readAll(path());

    // 0: the record write fails; 1: the header write after it; partial: half a record written.
    for (const auto &[allowed, partial] : QList<std::pair<int, bool>>{{0, false}, {1, false}, {0, true}}) {
        {
            FailingWrites failing(allowed, partial);
            table.append();
            table.setNumber(T_1, 99);
            try {
                table.post();
                FAIL() << allowed;
            } catch (const DbfWriteError &e) {
                EXPECT_EQ(e.text(), DiskFull);
            }
        }
        EXPECT_EQ(table.physicalRecordCount(), 3);
        EXPECT_EQ(table.rowCount(), 3);
        const QByteArray after = readAll(path());
        EXPECT_EQ(after.mid(4), before.mid(4)) << allowed << partial; // bytes 1..3 are today's date
        table.cancel();
    }
    // The table goes on working, and reopens with every row.
    addRows(table, {4});
    table.close();
    table.open();
    EXPECT_EQ(column(table, T_1), strings({"1", "2", "3", "4"}));
}

TEST_F(WriteFailure, EditAndDeleteLeaveTheRow)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    addRows(table, {1, 2});
    table.first();
    {
        FailingWrites failing(0);
        table.edit();
        table.setText(COMMENT, QStringLiteral("новый"));
        EXPECT_THROW(table.post(), DbfWriteError);
        EXPECT_EQ(table.state(), DbfTable::State::Edit); // the operator may try again or cancel
        table.cancel();
    }
    {
        FailingWrites failing(0);
        EXPECT_THROW(table.deleteRecord(), DbfWriteError);
    }
    EXPECT_EQ(readAll(path()).mid(289, 100), table.recordBytes(1));
    EXPECT_EQ(table.text(COMMENT), QStringLiteral("row 1"));
    EXPECT_EQ(table.rowCount(), 2);
}

TEST_F(WriteFailure, InterruptedPackLeavesTheOldFileWhole)
{
    DbfTable table(Measurement::schema());
    createTable(table);
    table.open();
    addRows(table, {1, 2, 3});
    table.first();
    table.deleteRecord();
    const QByteArray before = readAll(path());
    {
        FailingWrites failing(0, true);
        EXPECT_THROW(table.pack(), DbfWriteError);
    }
    EXPECT_EQ(readAll(path()), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("t.db")});
    EXPECT_EQ(column(table, T_1), strings({"2", "3"}));
    addRows(table, {4}); // the old file is still the open one
    table.pack();
    table.close();
    table.open();
    EXPECT_EQ(column(table, T_1), strings({"2", "3", "4"}));
}

// A child process that runs body and exits with its result; the parent gets the exit status.
template <typename Body> int inChild(Body body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        int code = 99;
        try {
            code = body();
        } catch (const QpxError &e) {
            code = e.text() == DiskFull ? 10 : 11;
        } catch (...) {
            code = 12;
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

TEST_F(WriteFailure, RealFileSizeLimit)
{
    {
        DbfTable table(Measurement::schema());
        createTable(table);
    }
    // The kernel refuses writes past 290 + 250 bytes: the third row cannot be written.
    const int status = inChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{540, 540};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        DbfTable table(Measurement::schema());
        table.setFileName(path());
        table.open();
        addRows(table, {1, 2, 3, 4});
        return 0;
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 10);
    DbfTable table(Measurement::schema());
    table.setFileName(path());
    table.open();
    EXPECT_EQ(column(table, T_1), strings({"1", "2"}));
    EXPECT_EQ(le32(readAll(path()), 4), 2u);
    EXPECT_EQ(readAll(path()).size(), 289 + 200 + 1);
}

using CrashSafety = TableFixture;

TEST_F(CrashSafety, KilledInTheMiddleOfAnImport)
{
    MemoryImage image;
    fillImage(image, fullImageRecords());
    // Killed before the write number n: 2 writes per row, so odd numbers stop between the
    // record and the header, even ones before a record; partial ones in the middle of a record.
    for (const auto &[writes, partial] :
         QList<std::pair<int, bool>>{{0, false}, {2 * 100, false}, {2 * 100 + 1, false}, {2 * 57, true}}) {
        DbfTable created(Measurement::schema());
        createTable(created);
        const int allowedWrites = writes;
        const bool tornWrite = partial;
        const int status = inChild([&] {
            DbfTable table(Measurement::schema());
            table.setFileName(path());
            table.open();
            g_allowed = allowedWrites;
            g_partial = tornWrite;
            g_failed = false;
            g_killInstead = true;
            DbfIo::setWriteFunction(&failingWrite);
            DeviceInfo device;
            device.ModelIndex = 5;
            importImage(table, image, device, false, nullptr);
            return 0;
        });
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), SIGKILL);
        const int expected = (writes + 1) / 2; // a record written before the header counts
        DbfTable table(Measurement::schema());
        table.setFileName(path());
        table.open();
        EXPECT_EQ(table.physicalRecordCount(), expected) << writes;
        for (int r = 1; r <= table.physicalRecordCount(); ++r)
            ASSERT_EQ(table.text(r, 0).toInt(), r);
        const QByteArray bytes = readAll(path());
        EXPECT_EQ(le32(bytes, 4), quint32(expected));
        const qsizetype end = 289 + 100 * expected;
        if (partial) {
            // The half-written record is no row; its bytes stay in place and are copied aside.
            EXPECT_GT(bytes.size(), end + 1);
            EXPECT_EQ(readAll(table.keptAsideFile()), bytes.mid(end));
        } else {
            EXPECT_EQ(bytes.size(), end + 1);
            EXPECT_EQ(bytes.back(), '\x1A');
            EXPECT_TRUE(table.keptAsideFile().isEmpty());
        }
    }
}

TEST_F(CrashSafety, KilledFromOutside)
{
    {
        DbfTable created(Measurement::schema());
        createTable(created);
    }
    MemoryImage image;
    fillImage(image, fullImageRecords());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        DbfTable table(Measurement::schema());
        table.setFileName(path());
        table.open();
        DeviceInfo device;
        device.ModelIndex = 9;
        for (int round = 0;; ++round) {
            importImage(table, image, device, false, nullptr);
            if (round == 0)
                (void)!::write(ready[1], "x", 1);
        }
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1); // at least one whole image is in, more is going on
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    DbfTable table(Measurement::schema());
    table.setFileName(path());
    table.open();
    ASSERT_GE(table.physicalRecordCount(), 5461);
    const QByteArray bytes = readAll(path());
    EXPECT_EQ(le32(bytes, 4), quint32(table.physicalRecordCount()));
    EXPECT_EQ(bytes.size(), 289 + 100 * table.physicalRecordCount() + 1);
    for (int r = 1; r <= table.physicalRecordCount(); ++r)
        ASSERT_EQ(table.text(r, 0).toInt(), (r - 1) % 5461 + 1);
}

TEST_F(CrashSafety, KilledInTheMiddleOfAPack)
{
    {
        DbfTable table(Measurement::schema());
        createTable(table);
        table.open();
        addRows(table, {1, 2, 3, 4});
    }
    const QByteArray before = readAll(path());
    const int status = inChild([&] {
        DbfTable table(Measurement::schema());
        table.setFileName(path());
        table.open();
        table.first();
        table.deleteRecord();
        g_allowed = 0;
        g_partial = true; // half of the packed file, then the kill
        g_failed = false;
        g_killInstead = true;
        DbfIo::setWriteFunction(&failingWrite);
        table.pack();
        return 0;
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    QByteArray expected = before;
    expected[289] = '*'; // the delete flag was written before the pack began
    EXPECT_EQ(readAll(path()), expected);
    // The next open clears what the cut-off pack left behind.
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral(".t.db.pack"))));
    DbfTable table(Measurement::schema());
    table.setFileName(path());
    table.open();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("t.db")});
    EXPECT_EQ(column(table, T_1), strings({"2", "3", "4"}));
    table.pack();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("t.db")});
    EXPECT_EQ(readAll(path()).size(), 289 + 300 + 1);
}
