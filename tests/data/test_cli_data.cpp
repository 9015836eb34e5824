// qpx-cli import and dump, run as the operator's scripts run them.
#include "dbftesting.h"
#include "support/imagetesting.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace {

struct Result
{
    int exitCode = -1;
    QString out;
    QString err;
};

Result qpxCli(const QStringList &args, const QString &lang = QStringLiteral("ru_RU.UTF-8"))
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("LC_NUMERIC"));
    env.insert(QStringLiteral("LANG"), lang);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QPX_CLI), args);
    EXPECT_TRUE(p.waitForFinished(120000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QByteArray imageBytes(const QList<ImageRecord> &records, int count = -1)
{
    MemoryImage image;
    fillImage(image, records, count);
    return QByteArray(reinterpret_cast<const char *>(image.bytes.data()), 2 + 12 * int(records.size()));
}

ImageRecord reading(int day, int hours, quint32 mass, quint8 series = 0)
{
    ImageRecord r;
    r.day = quint8(day);
    r.month = 11;
    r.hours = quint8(hours);
    r.mass = mass;
    r.series = series;
    return r;
}

} // namespace

using Cli = TableFixture;

TEST_F(Cli, ImportThenDump)
{
    writeAll(path(QStringLiteral("img.bin")), imageBytes({reading(7, 9, 12345), reading(7, 10, 500, 7)}));
    Result r =
        qpxCli({QStringLiteral("import"), path(QStringLiteral("img.bin")), QStringLiteral("2"), path()});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, QString());
    r = qpxCli({QStringLiteral("dump"), path()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringLiteral("N,MODE,EN_CH,DATE,TIME,T_1,T_2,COMMENT\r\n"
                                    "1,Оперативный,,07.11.2005,09:00:00,\"123,45\",,\r\n"
                                    "2,Наблюдение,,07.11.2005,10:00:00,5,7,\r\n"));

    // Append: only the newer readings, and the count on stderr.
    writeAll(path(QStringLiteral("img.bin")),
             imageBytes({reading(7, 9, 12345), reading(7, 10, 500, 7), reading(8, 0, 1), reading(8, 1, 2)}));
    r = qpxCli({QStringLiteral("import"), path(QStringLiteral("img.bin")), QStringLiteral("2"), path(),
                QStringLiteral("--append")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, QStringLiteral("Добавлено записей: 2\n"));
    r = qpxCli({QStringLiteral("dump"), path()});
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("4,Оперативный,,08.11.2005,01:00:00,\"0,02\",,\r\n")))
        << r.out.toStdString();

#ifdef Q_OS_WIN
    return; // Windows takes the regional settings from the user's profile, not from LANG
#endif
    // Under an English locale the separator is a point, and needs no quoting.
    r = qpxCli({QStringLiteral("import"), path(QStringLiteral("img.bin")), QStringLiteral("2"), path(),
                QStringLiteral("--append")},
               QStringLiteral("en_US.UTF-8"));
    EXPECT_EQ(r.err, QStringLiteral("Добавлено записей: 0\n"));
    writeAll(path(QStringLiteral("en.bin")), imageBytes({reading(7, 9, 12345)}));
    r = qpxCli({QStringLiteral("import"), path(QStringLiteral("en.bin")), QStringLiteral("2"),
                path(QStringLiteral("en.db"))},
               QStringLiteral("en_US.UTF-8"));
    r = qpxCli({QStringLiteral("dump"), path(QStringLiteral("en.db"))});
    EXPECT_TRUE(r.out.endsWith(QStringLiteral(",123.45,,\r\n"))) << r.out.toStdString();
}

TEST_F(Cli, EmptyImageCreatesNoFile)
{
    writeAll(path(QStringLiteral("empty.bin")), QByteArray(2, '\0'));
    const Result r =
        qpxCli({QStringLiteral("import"), path(QStringLiteral("empty.bin")), QStringLiteral("5"), path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, QStringLiteral("Архив прибора пуст!\n"));
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(Cli, FailuresAndUsage)
{
    writeAll(path(QStringLiteral("img.bin")), imageBytes({reading(7, 9, 0x80000000u)}));
    Result r =
        qpxCli({QStringLiteral("import"), path(QStringLiteral("img.bin")), QStringLiteral("2"), path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, QStringLiteral("Integer overflow\n"));
    EXPECT_EQ(readAll(path()).size(), 290); // created, nothing imported

    writeAll(path(QStringLiteral("big.bin")), QByteArray(65537, '\0'));
    r = qpxCli({QStringLiteral("import"), path(QStringLiteral("big.bin")), QStringLiteral("2"), path()});
    EXPECT_EQ(r.exitCode, 1);

    r = qpxCli({QStringLiteral("dump"), path(QStringLiteral("missing.db"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.err.isEmpty());
    writeAll(path(QStringLiteral("bad.db")), QByteArray(400, 'x'));
    r = qpxCli({QStringLiteral("dump"), path(QStringLiteral("bad.db"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, QStringLiteral("Invalid DBF file.\n"));

    EXPECT_EQ(qpxCli({QStringLiteral("dump")}).exitCode, 2);
    EXPECT_EQ(
        qpxCli({QStringLiteral("import"), QStringLiteral("a"), QStringLiteral("11"), QStringLiteral("b")})
            .exitCode,
        2);
    EXPECT_EQ(qpxCli({QStringLiteral("import"), QStringLiteral("a"), QStringLiteral("2")}).exitCode, 2);
    EXPECT_EQ(qpxCli({QStringLiteral("import"), QStringLiteral("a"), QStringLiteral("2"), QStringLiteral("b"),
                      QStringLiteral("--apend")})
                  .exitCode,
              2);
}

// Damaged records (a power cut's NUL blocks) are no rows of the dump, and stderr says so.
TEST_F(Cli, DamagedRecordsAreNamedAndLeftOut)
{
    writeAll(path(QStringLiteral("img.bin")),
             imageBytes({reading(7, 9, 100), reading(7, 10, 200), reading(7, 11, 300)}));
    ASSERT_EQ(qpxCli({QStringLiteral("import"), path(QStringLiteral("img.bin")), QStringLiteral("2"), path()})
                  .exitCode,
              0);
    QByteArray bytes = readAll(path());
    bytes.replace(289 + 100, 100, QByteArray(100, '\0'));
    writeAll(path(), bytes);
    const Result r = qpxCli({QStringLiteral("dump"), path()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_FALSE(r.out.contains(QStringLiteral(",,,,,,,")));
    EXPECT_EQ(r.out.count(QStringLiteral("\r\n")), 3); // the titles and two rows
    EXPECT_TRUE(r.err.contains(QStringLiteral("Повреждённых записей"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral(": 1 "))) << r.err.toStdString();
}

// A file size limit (ulimit -f) is reported like a full disk, not a silent death by SIGXFSZ.
TEST_F(Cli, FileSizeLimitIsReportedLikeADiskFull)
{
    QList<ImageRecord> records;
    for (int h = 0; h < 20; ++h)
        records.append(reading(7, h, 100 + h));
    writeAll(path(QStringLiteral("img.bin")), imageBytes(records));
#ifdef Q_OS_WIN
    GTEST_SKIP() << "Windows has no file size limit (ulimit -f)";
#endif
    QProcess p;
    // dash counts ulimit -f in 512-byte blocks: two blocks hold the header and seven rows.
    p.start(QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"), QStringLiteral("ulimit -f 2; exec \"$0\" import \"$1\" 2 \"$2\""),
             QStringLiteral(QPX_CLI), path(QStringLiteral("img.bin")), path()});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("Disk full?")));
    DbfTable table(Measurement::schema());
    table.setFileName(path());
    table.open();
    EXPECT_EQ(table.rowCount(), 7);
}

// A damaged table or image costs no byte: commands that read leave the table as it was, an image
// that promises more records than it holds is refused before anything is made, and the exit
// status tells the truth.
TEST_F(Cli, DamagedInputIsRefusedAndNothingIsWritten)
{
    writeAll(path(QStringLiteral("img.bin")), imageBytes({reading(7, 9, 100), reading(7, 10, 200)}));
    ASSERT_EQ(qpxCli({QStringLiteral("import"), path(QStringLiteral("img.bin")), QStringLiteral("2"), path()})
                  .exitCode,
              0);
    // A header whose count disagrees with the size: read as computed, never written back.
    QByteArray table = readAll(path());
    table[4] = char(9);
    writeAll(path(), table);
    for (const QStringList &args :
         {QStringList{QStringLiteral("dump"), path()},
          QStringList{QStringLiteral("export"), path(), path(QStringLiteral("t.xlsx"))}}) {
        const Result r = qpxCli(args);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(readAll(path()), table) << args.first().toStdString();
    }
    // A record length that no longer fits the fields: refused, not "repaired".
    QByteArray bad = table;
    bad[10] = char(0xFF);
    bad[11] = char(0xFF);
    writeAll(path(), bad);
    for (const QStringList &args :
         {QStringList{QStringLiteral("dump"), path()},
          QStringList{QStringLiteral("export"), path(), path(QStringLiteral("t.xlsx"))}}) {
        const Result r = qpxCli(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, QStringLiteral("Invalid DBF file.\n"));
        EXPECT_EQ(readAll(path()), bad);
    }
    writeAll(path(QStringLiteral("short.bin")), imageBytes({reading(8, 9, 300)}, 5461).left(14));
    Result r = qpxCli({QStringLiteral("import"), path(QStringLiteral("short.bin")), QStringLiteral("2"),
                       path(), QStringLiteral("--append")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(readAll(path()), bad);

    // 14 bytes whose count says 5461: no table, no rows, a message naming both.
    r = qpxCli({QStringLiteral("import"), path(QStringLiteral("short.bin")), QStringLiteral("2"),
                path(QStringLiteral("new.db"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("5461")) && r.err.contains(QStringLiteral("14")))
        << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("new.db"))));
    // An append from such an image changes nothing either.
    writeAll(path(), table);
    r = qpxCli({QStringLiteral("import"), path(QStringLiteral("short.bin")), QStringLiteral("2"), path(),
                QStringLiteral("--append")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(readAll(path()).mid(8), table.mid(8));
    // Inputs without an end: refused at once.
    r = qpxCli({QStringLiteral("import"), QStringLiteral("/dev/zero"), QStringLiteral("2"),
                path(QStringLiteral("zero.db"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("zero.db"))));
}

// "--" ends the options: a table whose name starts with "--" is a table.
TEST_F(Cli, DoubleDashEndsTheOptions)
{
    writeAll(path(QStringLiteral("img.bin")), imageBytes({reading(7, 9, 12345)}));
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral(QPX_CLI),
            {QStringLiteral("import"), QStringLiteral("--append"), QStringLiteral("--"),
             QStringLiteral("img.bin"), QStringLiteral("2"), QStringLiteral("--help.db")});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 1) << "an append to a table that does not exist fails";
    p.start(QStringLiteral(QPX_CLI),
            {QStringLiteral("import"), QStringLiteral("--"), QStringLiteral("img.bin"), QStringLiteral("2"),
             QStringLiteral("--help.db")});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("--help.db"))));
    p.start(QStringLiteral(QPX_CLI),
            {QStringLiteral("dump"), QStringLiteral("--"), QStringLiteral("--help.db")});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(p.readAllStandardOutput().contains("123"));
}
