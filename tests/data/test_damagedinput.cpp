// Damaged tables and memory images, as disks, cables and other programs leave them: reading never
// writes, no open cuts or changes a record, an image yields only the records it holds, and a
// table another program holds (with any kind of lock) keeps QPX out.
#include "data/memoryimport.h"
#include "dbftesting.h"
#include "support/imagetesting.h"

#include <QProcess>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Measurement;

namespace {

class DamagedTable : public TableFixture
{
protected:
    // A sound table of `rows` readings, closed; its bytes.
    QByteArray soundTable(int rows)
    {
        DbfTable table;
        createMeasurementTable(table, path(), rows, [](int i) {
            MeasurementRow r;
            r.n = i + 1;
            r.mass = 100 + i;
            return r;
        });
        table.close();
        return readAll(path());
    }

    static void setU16(QByteArray &b, int at, int value)
    {
        b[at] = char(value & 0xFF);
        b[at + 1] = char(value >> 8);
    }
    static void setU32(QByteArray &b, int at, quint32 value)
    {
        for (int i = 0; i < 4; ++i)
            b[at + i] = char((value >> (8 * i)) & 0xFF);
    }

    // Opens the file as given, expecting the open to fail with `text`.
    void expectRefused(DbfTable::Access access, const QString &text)
    {
        DbfTable table(schema());
        table.setFileName(path());
        try {
            table.open(access);
            ADD_FAILURE() << "the open succeeded";
        } catch (const DbfError &e) {
            EXPECT_EQ(e.text(), text);
        }
    }
};

} // namespace

TEST_F(DamagedTable, LengthsThatDisagreeWithTheDescriptorsAreRefusedUntouched)
{
    const QByteArray sound = soundTable(30);
    struct Damage
    {
        const char *what;
        int offset;
        int value;
    };
    // Header length 40 (shorter than its descriptors), past the end of the file, one byte short;
    // record length 65535, one too many, one too few; a descriptor's width changed.
    const Damage damages[] = {{"header length 40", 8, 40},
                              {"header length past the end", 8, 60000},
                              {"header length one short", 8, 288},
                              {"record length 65535", 10, 65535},
                              {"record length one too many", 10, 101},
                              {"record length one too few", 10, 99},
                              {"width of N", 32 + 16, 9}};
    for (const Damage &d : damages) {
        SCOPED_TRACE(d.what);
        QByteArray bytes = sound;
        if (d.offset == 48)
            bytes[d.offset] = char(d.value);
        else
            setU16(bytes, d.offset, d.value);
        writeAll(path(), bytes);
        for (const auto access : {DbfTable::Access::ReadOnly, DbfTable::Access::ReadWrite})
            expectRefused(access, QStringLiteral("Invalid DBF file."));
        EXPECT_EQ(readAll(path()), bytes);
    }
}

TEST_F(DamagedTable, ReadingUsesAWrongCountWithoutWritingIt)
{
    const QByteArray sound = soundTable(20);
    for (const quint32 count : {5u, 40u, 0u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(count);
        QByteArray bytes = sound;
        setU32(bytes, 4, count);
        writeAll(path(), bytes);
        {
            DbfTable table(schema());
            table.setFileName(path());
            table.open(DbfTable::Access::ReadOnly);
            EXPECT_TRUE(table.isReadOnly());
            EXPECT_EQ(table.rowCount(), 20);
            EXPECT_EQ(column(table, T_1).last(), QStringLiteral("119"));
            // Nothing that writes is allowed.
            EXPECT_THROW(table.append(), DbfError);
            EXPECT_THROW(table.deleteRecord(), DbfError);
            EXPECT_THROW(table.addIndex(QStringLiteral("tab1"), T_1, false), DbfError);
            EXPECT_THROW(table.pack(), DbfError);
            table.close();
        }
        EXPECT_EQ(readAll(path()), bytes);
        EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("t.mdx"))));

        // The writing open corrects the count and keeps every record byte.
        DbfTable table(schema());
        table.setFileName(path());
        table.open();
        EXPECT_EQ(table.rowCount(), 20);
        table.close();
        const QByteArray after = readAll(path());
        EXPECT_EQ(le32(after, 4), 20u);
        EXPECT_EQ(after.mid(8), sound.mid(8));
    }
}

TEST_F(DamagedTable, APartialRecordAtTheEndIsKeptNotCut)
{
    const QByteArray sound = soundTable(3);
    // A fourth record cut off after 37 bytes, as a power cut or a short copy leaves it.
    QByteArray bytes = sound.left(sound.size() - 1) + QByteArray(" 4").leftJustified(37, 'x');
    writeAll(path(), bytes);

    DbfTable reader(schema());
    reader.setFileName(path());
    reader.open(DbfTable::Access::ReadOnly);
    EXPECT_EQ(reader.rowCount(), 3);
    EXPECT_TRUE(reader.keptAsideFile().isEmpty());
    reader.close();
    EXPECT_EQ(readAll(path()), bytes);

    DbfTable table(schema());
    table.setFileName(path());
    table.open();
    EXPECT_EQ(table.rowCount(), 3);
    const QString aside = table.keptAsideFile();
    ASSERT_FALSE(aside.isEmpty());
    EXPECT_EQ(readAll(aside), bytes.mid(289 + 3 * 100));
    EXPECT_EQ(readAll(path()).mid(8), bytes.mid(8)) << "left in place";
    EXPECT_TRUE(damagedRecordsText(table).contains(QDir::toNativeSeparators(aside)));
    // A row appended goes where the partial one stood: the file is whole again.
    addRows(table, {7.5});
    table.close();
    const QByteArray after = readAll(path());
    EXPECT_EQ(after.size(), 289 + 4 * 100 + 1);
    EXPECT_EQ(after.left(289 + 300).mid(8), sound.left(289 + 300).mid(8));

    // Opening the same damaged file again reuses the copy of the same bytes.
    writeAll(path(), bytes);
    table.open();
    EXPECT_EQ(table.keptAsideFile(), aside);
    table.close();
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.partial*")}, QDir::Files).size(), 1);
}

TEST_F(DamagedTable, ScratchFilesOfAnOperationCutOffGoAtTheNextOpen)
{
    soundTable(2);
    const QString pack = dir.filePath(QStringLiteral(".t.db.pack"));
    const QString made = dir.filePath(QStringLiteral(".t.db.new"));
    writeAll(pack, QByteArray(500, 'p'));
    writeAll(made, QByteArray(290, 'n'));

    DbfTable table(schema());
    table.setFileName(path());
    table.open(DbfTable::Access::ReadOnly);
    table.close();
    EXPECT_TRUE(QFileInfo::exists(pack)) << "a reading open removes nothing";

    table.open();
    EXPECT_FALSE(QFileInfo::exists(pack));
    EXPECT_FALSE(QFileInfo::exists(made));
    EXPECT_EQ(table.rowCount(), 2);
}

// ---------------------------------------------------------------------------------------------
// Locks other programs take

namespace {

// Another program holding a file with a POSIX record lock (lockf / fcntl, as office suites and
// database tools lock): a python process that locks, says so and waits for its input to close.
class OtherProgram
{
public:
    explicit OtherProgram(const QString &file, const char *how = "lockf")
    {
        const QString script = QStringLiteral("import fcntl, sys\n"
                                              "f = open(sys.argv[1], 'r+b')\n"
                                              "if sys.argv[2] == 'lockf': fcntl.lockf(f, fcntl.LOCK_EX | "
                                              "fcntl.LOCK_NB)\n"
                                              "else: fcntl.flock(f, fcntl.LOCK_EX | fcntl.LOCK_NB)\n"
                                              "print('locked', flush=True)\n"
                                              "sys.stdin.read()\n");
        m_process.start(QStringLiteral("python3"),
                        {QStringLiteral("-c"), script, file, QString::fromLatin1(how)});
        m_locked = m_process.waitForReadyRead(20000) && m_process.readAll().startsWith("locked");
    }
    ~OtherProgram()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(20000);
    }
    bool locked() const { return m_locked; }

private:
    QProcess m_process;
    bool m_locked = false;
};

// Whether a POSIX record lock on the whole file can be had now (asked in a child process: a
// process never conflicts with its own traditional record locks).
bool anotherProgramCouldLock(const QString &file)
{
    QProcess p;
    p.start(QStringLiteral("python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import fcntl, sys\nf = open(sys.argv[1], 'r+b')\n"
                            "try:\n  fcntl.lockf(f, fcntl.LOCK_EX | fcntl.LOCK_NB)\nexcept OSError:\n  "
                            "sys.exit(1)\n"),
             file});
    p.waitForFinished(20000);
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

TEST_F(DamagedTable, ATableHeldWithARecordLockIsBusy)
{
    const QByteArray sound = soundTable(2);
    const QString busy =
        QStringLiteral("Файл «%1» занят другой программой.").arg(QDir::toNativeSeparators(path()));
    for (const char *how : {"lockf", "flock"}) {
        SCOPED_TRACE(how);
        OtherProgram other(path(), how);
        ASSERT_TRUE(other.locked());
        expectRefused(DbfTable::Access::ReadWrite, busy);
        expectRefused(DbfTable::Access::ReadOnly, busy);
    }
    EXPECT_EQ(readAll(path()), sound);

    // And the other way round: while QPX holds the table, such a program is kept out.
    DbfTable table(schema());
    table.setFileName(path());
    table.open();
    EXPECT_FALSE(anotherProgramCouldLock(path()));
    table.close();
    EXPECT_TRUE(anotherProgramCouldLock(path()));
}

TEST_F(DamagedTable, AnIndexFileHeldByAnotherProgramIsNotReplaced)
{
    soundTable(3);
    DbfTable table(schema());
    table.setFileName(path());
    table.open();
    table.addIndex(QStringLiteral("tab1"), T_1, true);
    const QString index = table.indexFileName();
    const QByteArray before = readAll(index);
    {
        OtherProgram other(index);
        ASSERT_TRUE(other.locked());
        EXPECT_THROW(table.addIndex(QStringLiteral("tab2"), N, false), DbfError);
        EXPECT_EQ(readAll(index), before);
    }
    table.addIndex(QStringLiteral("tab2"), N, false);
    EXPECT_NE(readAll(index), before);
}

// ---------------------------------------------------------------------------------------------
// Memory images

namespace {

QList<ImageRecord> readings(int n)
{
    QList<ImageRecord> records;
    for (int k = 0; k < n; ++k) {
        ImageRecord r;
        r.mass = quint32(1000 + k);
        r.minutes = quint8(k % 60);
        r.hours = quint8(k / 60);
        records.append(r);
    }
    return records;
}

} // namespace

TEST_F(DamagedTable, AnImageYieldsOnlyTheRecordsItHolds)
{
    DeviceInfo device;
    device.ModelIndex = 1;
    // Images of 0 to 14 bytes whose count says 5461, or one more than they hold; images of counts
    // beyond what the memory holds.
    for (int length = 0; length <= 14; ++length) {
        SCOPED_TRACE(length);
        for (const int count : {MemoryImage::MaxRecords, length >= 2 ? (length - 2) / 12 + 1 : 1}) {
            MemoryImage image;
            fillImage(image, readings(1), count);
            image.length = length;
            EXPECT_THROW(requireWholeImage(image), QpxError);
        }
    }
    MemoryImage image;
    fillImage(image, readings(3), 4);
    try {
        requireWholeImage(image);
        ADD_FAILURE();
    } catch (const QpxError &e) {
        EXPECT_EQ(e.text(),
                  QStringLiteral("Образ памяти прибора неполон: в нём указано записей 4, а получено "
                                 "байт 38 (целых записей: 3). Ничего не импортировано."));
    }
    for (const int count : {MemoryImage::MaxRecords + 1, 65535}) {
        fillImage(image, readings(3), count);
        image.length = MemoryImage::Size;
        EXPECT_THROW(requireWholeImage(image), QpxError);
    }

    // An import of such an image posts nothing, as New and as Append.
    DbfTable table;
    createMeasurementTable(table, path(), 2, [](int i) {
        MeasurementRow r;
        r.n = i + 1;
        return r;
    });
    table.close();
    const QByteArray before = readAll(path());
    table.open();
    fillImage(image, readings(3), 200);
    EXPECT_THROW(importImage(table, image, device, true, nullptr), QpxError);
    EXPECT_THROW(importImage(table, image, device, false, nullptr), QpxError);
    EXPECT_EQ(table.physicalRecordCount(), 2);
    table.close();
    EXPECT_EQ(readAll(path()).mid(4), before.mid(4));

    // The whole image, exactly as long as its records, imports.
    fillImage(image, readings(3));
    table.open();
    importImage(table, image, device, false, nullptr);
    EXPECT_EQ(table.physicalRecordCount(), 5);
}

TEST_F(DamagedTable, AnImageFileIsARegularFileOfTheMemorysSize)
{
    MemoryImage image;
    const QString small = path(QStringLiteral("small.bin"));
    writeAll(small, QByteArray("\x02\x00", 2) + QByteArray(24, '\x01'));
    readImageFile(small, image);
    EXPECT_EQ(image.length, 26);
    EXPECT_EQ(image.recordCount(), 2);

    const QString big = path(QStringLiteral("big.bin"));
    writeAll(big, QByteArray(MemoryImage::Size + 1, '\0'));
    EXPECT_THROW(readImageFile(big, image), QpxError);

    // A device and a FIFO without a writer: refused at once, neither read without end nor waited
    // for.
    EXPECT_THROW(readImageFile(QStringLiteral("/dev/zero"), image), QpxError);
    const QString fifo = path(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_THROW(readImageFile(fifo, image), QpxError);
    EXPECT_THROW(readImageFile(path(QStringLiteral("missing.bin")), image), QpxError);
}
