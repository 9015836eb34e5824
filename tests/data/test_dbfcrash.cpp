// Power cuts at every moment of the table operations: the table runs over files in memory that
// remember what was synced, and before every change of the files the test takes images of what a
// power cut at that moment could leave (synced data plus any subset of the later sector writes,
// some torn, and the names of some prefix of the name changes). Every image must open and hold
// every row that was reported durable, intact and in order, and nothing that was never written.
#include "data/memoryimport.h"
#include "dbftesting.h"
#include "support/imagetesting.h"

#include <map>
#include <random>

using namespace Measurement;

namespace {

const QString TablePath = QStringLiteral("/data/t.db");

// The visible rows by reading time (unique and increasing in file order), with their bytes.
using Rows = std::map<QByteArray, QByteArray>;

// "yyyymmddhh:mm:ss" from the DATE and TIME bytes of a record: sorts as the reading times do.
QByteArray readingTime(const QByteArray &record)
{
    const QByteArray date = record.mid(20, 10); // dd.mm.yyyy
    return date.mid(6, 4) + date.mid(3, 2) + date.mid(0, 2) + record.mid(30, 8);
}

Rows rowsOf(const DbfTable &table)
{
    Rows rows;
    for (int row = 0; row < table.rowCount(); ++row) {
        const QByteArray record = table.recordBytes(table.recordAt(row));
        rows[readingTime(record)] = record;
    }
    return rows;
}

struct Image
{
    std::unique_ptr<DbfIo::MemoryFileSystem> fs;
    std::shared_ptr<const Rows> reported; // what was reported durable when the power went
    bool tableReported = false;           // whether the table's creation was reported
};

class CrashRun
{
public:
    CrashRun(unsigned seed, int imagesPerCut) : m_random(seed), m_imagesPerCut(imagesPerCut)
    {
        m_fs.beforeChange = [this] { cut(); };
    }

    DbfIo::MemoryFileSystem &fs() { return m_fs; }
    int cutPoints() const { return m_cutPoints; }

    // Runs one step that ends in a report of success; then checks every image taken during it
    // against the rows before and after, and one image taken right after the report strictly.
    template <typename Step> void step(const char *name, DbfTable &table, Step &&run)
    {
        SCOPED_TRACE(name);
        run();
        // A step that ends with the table closed left the rows as they were.
        const auto after = std::make_shared<const Rows>(table.isOpen() ? rowsOf(table) : *m_reported);
        const Rows before = *m_reported;
        m_reported = after;
        m_tableReported = true;
        cut();
        for (Image &image : m_images)
            check(image, image.reported.get() == after.get() ? *after : before, *after);
        m_images.clear();
    }

private:
    void cut()
    {
        ++m_cutPoints;
        for (int i = 0; i < m_imagesPerCut; ++i)
            m_images.push_back({m_fs.powerCut(m_random), m_reported, m_tableReported});
    }

    // A row is allowed with its bytes from before or after the step; a row kept by the step must
    // be there; ids ascend in file order.
    static void check(Image &image, const Rows &before, const Rows &after)
    {
        DbfIo::ScopedFileSystem scope(image.fs.get());
        DbfTable table(Measurement::schema());
        table.setFileName(TablePath);
        if (!image.fs->exists(TablePath)) {
            ASSERT_FALSE(image.tableReported) << "a reported table is gone";
            return;
        }
        try {
            table.open();
        } catch (const QpxError &e) {
            FAIL() << "the table does not open after a power cut: " << e.what();
        }
        const Rows seen = rowsOf(table);
        ASSERT_EQ(seen.size(), size_t(table.rowCount())) << "reading times repeat";
        QByteArray previous;
        for (int row = 0; row < table.rowCount(); ++row) {
            const QByteArray bytes = table.recordBytes(table.recordAt(row));
            const QByteArray id = readingTime(bytes);
            ASSERT_GT(id, previous) << "rows out of order";
            previous = id;
            const auto b = before.find(id);
            const auto a = after.find(id);
            bool known =
                (b != before.end() && b->second == bytes) || (a != after.end() && a->second == bytes);
            // An edit not yet reported may have reached the disk in part (sector by sector): each
            // byte is the old or the new one, so the bytes the edit did not change stay intact.
            if (!known && b != before.end() && a != after.end()) {
                known = true;
                for (qsizetype i = 0; i < bytes.size() && known; ++i)
                    known = bytes[i] == b->second[i] || bytes[i] == a->second[i];
            }
            ASSERT_TRUE(known) << "row " << id.toStdString()
                               << " is not one that was written: " << bytes.toHex().toStdString();
        }
        for (const auto &[id, bytes] : before) {
            if (after.count(id)) {
                ASSERT_TRUE(seen.count(id)) << "reported row " << id.toStdString() << " lost";
            }
        }
        table.close();
    }

    DbfIo::MemoryFileSystem m_fs;
    std::mt19937 m_random;
    int m_imagesPerCut;
    int m_cutPoints = 0;
    std::shared_ptr<const Rows> m_reported = std::make_shared<const Rows>();
    bool m_tableReported = false;
    std::vector<Image> m_images;
};

QList<ImageRecord> readings(int count, int firstMinute)
{
    QList<ImageRecord> records;
    for (int k = 0; k < count; ++k) {
        ImageRecord r;
        const int minute = firstMinute + k;
        r.mass = quint32(1000 + 37 * minute);
        r.series = k % 3 == 0 ? 2 : 0;
        r.minutes = quint8(minute % 60);
        r.hours = quint8(minute / 60);
        records.append(r);
    }
    return records;
}

// The table document's Save and the grid's reopen after delete and renumber: close and open.
void reopen(DbfTable &table)
{
    table.close();
    table.open();
    table.first();
}

// One whole session: New, Close, Append, comment edits with Save, delete + pack, renumbering.
// Returns the number of moments at which power-cut images were taken (imagesPerCut each).
int runSession(unsigned seed, int imagesPerCut, int firstRows, int newerRows)
{
    CrashRun run(seed, imagesPerCut);
    DbfIo::ScopedFileSystem scope(&run.fs());
    DeviceInfo device;
    device.ModelIndex = 1;
    MemoryImage image;
    DbfTable table(Measurement::schema());
    table.setFileName(TablePath);

    run.step("new", table, [&] {
        fillImage(image, readings(firstRows, 0));
        table.create();
        table.open();
        importImage(table, image, device, false, nullptr);
    });
    run.step("close", table, [&] { table.close(); });
    run.step("append", table, [&] {
        table.open();
        fillImage(image, readings(firstRows + newerRows, 0));
        importImage(table, image, device, true, nullptr);
        reopen(table);
    });
    run.step("comments", table, [&] {
        for (int i = 0; i < 3 && !table.eof(); ++i) {
            table.edit();
            table.setText(COMMENT, QStringLiteral("проба %1").arg(i));
            table.post();
            table.next();
            table.next();
        }
        reopen(table);
    });
    run.step("delete and pack", table, [&] {
        const QList<int> doomed = {2, 3, 7, table.rowCount() - 1};
        for (qsizetype i = doomed.size() - 1; i >= 0; --i) {
            if (table.gotoRecord(table.recordAt(doomed[i])))
                table.deleteRecord();
        }
        table.pack();
        reopen(table);
    });
    run.step("renumber", table, [&] {
        QList<int> order;
        for (int row = 0; row < table.rowCount(); ++row)
            order.append(table.recordAt(row));
        for (qsizetype i = 0; i < order.size(); ++i) {
            table.gotoRecord(order[i]);
            table.edit();
            table.setInteger(N, i + 1);
            table.post();
        }
        reopen(table);
    });
    run.step("close at the end", table, [&] { table.close(); });
    return run.cutPoints();
}

} // namespace

TEST(PowerCut, EveryReportedRowSurvivesAtEveryCutPoint)
{
    RegionalScope pin{Regional::russian()};
    int cutPoints = 0;
    // Small tables that end inside a sector and larger ones that cross many, several seeds.
    for (unsigned seed = 1; seed <= 36; ++seed) {
        cutPoints += runSession(seed, 3, 3 + int(seed % 7), 2 + int(seed % 3));
        cutPoints += runSession(100 + seed, 2, 40 + int(seed), 20 + int(seed % 11));
        if (::testing::Test::HasFatalFailure() || ::testing::Test::HasNonfatalFailure())
            break;
    }
    EXPECT_GE(cutPoints, 10000);
    std::printf("power-cut moments tried: %d\n", cutPoints);
}

// What the images are made of: synced bytes always stay, unsynced ones may go, whole or in part,
// and a rename that no folder sync followed may be undone.
TEST(PowerCut, ImagesKeepWhatWasSyncedOnly)
{
    DbfIo::MemoryFileSystem fs;
    std::unique_ptr<DbfIo::File> file;
    QString error;
    ASSERT_EQ(fs.open(QStringLiteral("/a"), DbfIo::OpenMode::CreateNew, true, &file, &error),
              DbfIo::OpenResult::Ok);
    const QByteArray synced(1000, 'S');
    ASSERT_EQ(file->write(synced.constData(), synced.size(), 0), synced.size());
    ASSERT_TRUE(file->sync());
    ASSERT_TRUE(fs.syncDirectory(QStringLiteral("/")));
    const QByteArray later(2000, 'L');
    ASSERT_EQ(file->write(later.constData(), later.size(), 500), later.size());
    ASSERT_TRUE(fs.rename(QStringLiteral("/a"), QStringLiteral("/b")));

    std::mt19937 random(7);
    bool sawOld = false, sawNew = false, sawNul = false, sawRenamed = false, sawOriginalName = false;
    for (int i = 0; i < 200; ++i) {
        const auto image = fs.powerCut(random);
        const bool renamed = image->exists(QStringLiteral("/b"));
        (renamed ? sawRenamed : sawOriginalName) = true;
        const QByteArray bytes = image->contents(renamed ? QStringLiteral("/b") : QStringLiteral("/a"));
        ASSERT_GE(bytes.size(), 500);
        EXPECT_EQ(bytes.left(500), synced.left(500)); // never touched again
        for (qsizetype k = 500; k < bytes.size(); ++k) {
            const char c = bytes[k];
            ASSERT_TRUE(c == 'S' || c == 'L' || c == '\0') << k;
            sawOld |= c == 'S';
            sawNew |= c == 'L';
            sawNul |= c == '\0';
        }
    }
    EXPECT_TRUE(sawOld && sawNew && sawNul && sawRenamed && sawOriginalName);
}
