// The real qpx-cli under the operator's locale (ru_RU.UTF-8) and under one that names no language
// (C.UTF-8): a table imported, then dumped, exported, reported and charted, every output read by
// an independent reader (dbfread, openpyxl, gnumeric's ssconvert, pdftotext). The command-line
// conventions (help, version, bad usage) are checked here too.
#include "support/imagetesting.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct CliRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs a program with LANG and LC_ALL naming the locale; the other LC_* variables and
// XDG_RUNTIME_DIR (whose absence makes Qt complain) are left out.
CliRun runIn(const QString &locale, const QString &program, const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &name : env.keys())
        if (name.startsWith(QLatin1String("LC_")) || name == QLatin1String("XDG_RUNTIME_DIR"))
            env.remove(name);
    env.insert(QStringLiteral("LANG"), locale);
    env.insert(QStringLiteral("LC_ALL"), locale);
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(120000))
        ADD_FAILURE() << program.toStdString() << " did not finish";
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

const QString Cli = QStringLiteral(QPX_CLI);

CliRun qpxCli(const QString &locale, const QStringList &args)
{
    return runIn(locale, Cli, args);
}

// A Python reader; its output is what it prints.
QString python(const char *script, const QStringList &args)
{
    const CliRun r = runIn(QStringLiteral("C.UTF-8"), QStringLiteral("/usr/bin/python3"),
                           QStringList{QStringLiteral("-c"), QString::fromUtf8(script)} + args);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return r.out;
}

// Cell values as openpyxl sees them, one row a line, and every number attribute or value in the
// sheet's XML that has a decimal comma.
const char *const XlsxReader = R"(
import sys, re, zipfile, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.worksheets[0]
for row in ws.iter_rows(min_row=3, values_only=True):
    print("|".join("" if v is None else (v.isoformat(sep=" ") if hasattr(v, "isoformat") else repr(v) if not isinstance(v, str) else v) for v in row))
with zipfile.ZipFile(sys.argv[1]) as z:
    for name in z.namelist():
        if name.endswith(".xml"):
            text = z.read(name).decode("utf-8")
            for m in re.findall(r'(?:="|<v>)-?[0-9]+,[0-9]+', text):
                print("comma in", name, m)
)";

const char *const DbfReader = R"(
import sys, dbfread
for r in dbfread.DBF(sys.argv[1], encoding="cp1251"):
    print(r["N"], r["MODE"], r["DATE"], r["TIME"], r["T_1"], r["T_2"], sep="|")
)";

ImageRecord reading(int hours, int minutes, quint32 mass, quint8 series = 0)
{
    ImageRecord r;
    r.day = 7;
    r.month = 11;
    r.hours = quint8(hours);
    r.minutes = quint8(minutes);
    r.mass = mass;
    r.series = series;
    return r;
}

class CliOutputs : public ::testing::TestWithParam<const char *>
{
protected:
    QTemporaryDir dir;
    QString locale() const { return QString::fromLatin1(GetParam()); }
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }

    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(Cli));
        MemoryImage image;
        const QList<ImageRecord> records{reading(9, 0, 12345), reading(10, 0, 500, 7),
                                         reading(10, 30, 510, 7), reading(11, 15, 525, 7)};
        fillImage(image, records);
        QFile file(path("image.bin"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char *>(image.bytes.data()), 2 + 12 * records.size());
        file.close();
        const CliRun r = qpxCli(
            locale(), {QStringLiteral("import"), path("image.bin"), QStringLiteral("2"), path("t.db")});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
};

} // namespace

// The runs below switch the locale through LANG and read the outputs with Linux programs (python3,
// pdftotext). A Windows program takes its regional settings from the user's profile, and those
// readers are not Windows programs: there the suite does not run.
#ifdef Q_OS_WIN
#define QPX_LINUX_LOCALES_AND_READERS()                                                                      \
    GTEST_SKIP() << "LANG and the Linux readers do not reach a Windows program"
#else
#define QPX_LINUX_LOCALES_AND_READERS() (void)0
#endif

TEST_P(CliOutputs, TableReadsBackTheSameInDumpAndDbfread)
{
    QPX_LINUX_LOCALES_AND_READERS();
    const CliRun dump = qpxCli(locale(), {QStringLiteral("dump"), path("t.db")});
    EXPECT_EQ(dump.exitCode, 0);
    EXPECT_EQ(dump.err, QString());
    // Both locales write the program's own forms: decimal comma, day.month.year.
    EXPECT_EQ(dump.out, QStringLiteral("N,MODE,EN_CH,DATE,TIME,T_1,T_2,COMMENT\r\n"
                                       "1,Оперативный,,07.11.2005,09:00:00,\"123,45\",,\r\n"
                                       "2,Наблюдение,,07.11.2005,10:00:00,5,7,\r\n"
                                       "3,Наблюдение,,07.11.2005,10:30:00,\"5,1\",7,\r\n"
                                       "4,Наблюдение,,07.11.2005,11:15:00,\"5,25\",7,\r\n"));
    EXPECT_EQ(python(DbfReader, {path("t.db")}), QStringLiteral("1|Оперативный|07.11.2005|09:00:00|123,45|\n"
                                                                "2|Наблюдение|07.11.2005|10:00:00|5|7\n"
                                                                "3|Наблюдение|07.11.2005|10:30:00|5,1|7\n"
                                                                "4|Наблюдение|07.11.2005|11:15:00|5,25|7\n"));
}

TEST_P(CliOutputs, WorkbookHasPointNumbersAndTheRightDates)
{
    QPX_LINUX_LOCALES_AND_READERS();
    const CliRun r = qpxCli(locale(), {QStringLiteral("export"), path("t.db"), path("t.xlsx")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, QString());
    EXPECT_EQ(r.out, path("t.xlsx") + QLatin1Char('\n'));

    // openpyxl refuses a sheet whose widths or values have a decimal comma.
    EXPECT_EQ(python(XlsxReader, {path("t.xlsx")}),
              QStringLiteral("1|2005-11-07 09:00:00|Оперативный|123,45||\n"
                             "2|2005-11-07 10:00:00|Наблюдение|5|7|\n"
                             "3|2005-11-07 10:30:00|Наблюдение|5,1|7|\n"
                             "4|2005-11-07 11:15:00|Наблюдение|5,25|7|\n"));

    // gnumeric reads the same date cells (its CSV writes them year first).
    const CliRun csv =
        runIn(QStringLiteral("C.UTF-8"), QStringLiteral("ssconvert"),
              {QStringLiteral("--export-type=Gnumeric_stf:stf_csv"), path("t.xlsx"), path("t.csv")});
    ASSERT_EQ(csv.exitCode, 0) << csv.err.toStdString();
    QFile file(path("t.csv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(lines.at(0), QStringLiteral("N,Дата,Режим,\"Масса, г\",\"№ Серии\",Примечание"));
    EXPECT_EQ(lines.at(1), QStringLiteral("1,\"2005/11/07 09:00:00\",Оперативный,\"123,45\",,"));
    EXPECT_EQ(lines.at(4), QStringLiteral("4,\"2005/11/07 11:15:00\",Наблюдение,\"5,25\",7,"));
}

TEST_P(CliOutputs, ReportAndChartSayOnlyTheirOwnMessages)
{
    QPX_LINUX_LOCALES_AND_READERS();
    CliRun r = qpxCli(locale(), {QStringLiteral("report"), path("t.db"), path("t.pdf")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, QString()); // no "QStandardPaths: XDG_RUNTIME_DIR not set" or the like
    EXPECT_EQ(r.out, path("t.pdf") + QStringLiteral(": 1 pages\n"));
    const CliRun text = runIn(QStringLiteral("C.UTF-8"), QStringLiteral("pdftotext"),
                              {QStringLiteral("-layout"), path("t.pdf"), QStringLiteral("-")});
    ASSERT_EQ(text.exitCode, 0) << text.err.toStdString();
    EXPECT_TRUE(text.out.contains(QStringLiteral("123,5"))) << text.out.toStdString(); // one decimal
    EXPECT_TRUE(text.out.contains(QStringLiteral("07.11.2005"))) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains(QStringLiteral("Стр. 1 из 1"))) << text.out.toStdString();

    for (const char *out : {"c.png", "c.pdf"}) {
        r = qpxCli(locale(), {QStringLiteral("chart"), path("t.db"), QStringLiteral("7"), path(out)});
        EXPECT_EQ(r.exitCode, 0) << out << r.err.toStdString();
        EXPECT_EQ(r.err, QString()) << out;
        EXPECT_GT(QFileInfo(path(out)).size(), 1000) << out;
    }
    r = qpxCli(locale(), {QStringLiteral("chart"), path("t.db"), QStringLiteral("8"), path("none.png")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, QStringLiteral("Данной серии измерений не существует\n"));

    // A file that cannot be written is a reported failure, in the program's words only.
    for (const char *command : {"report", "chart"}) {
        QStringList args{QString::fromLatin1(command), path("t.db")};
        if (QLatin1String(command) == QLatin1String("chart"))
            args << QStringLiteral("7");
        args << dir.filePath(QStringLiteral("missing/out.pdf"));
        r = qpxCli(locale(), args);
        EXPECT_EQ(r.exitCode, 1) << command;
        EXPECT_FALSE(r.err.contains(QLatin1String("QPainter"))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("out.pdf"))) << command << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("missing/out.pdf"))));
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, CliOutputs, ::testing::Values("ru_RU.UTF-8", "C.UTF-8"),
                         [](const auto &info) {
                             return std::string(info.param[0] == 'r' ? "Russian" : "C");
                         });

TEST(CliUsage, HelpVersionAndBadUsage)
{
    const QString ru = QStringLiteral("ru_RU.UTF-8");
    CliRun r = qpxCli(ru, {QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, QString());
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("usage: qpx-cli COMMAND [ARGS]\n"))) << r.out.toStdString();
    for (const char *command : {"dump", "import", "download", "simulate", "export", "report", "chart"})
        EXPECT_TRUE(r.out.contains(QStringLiteral("\n  %1 ").arg(QLatin1String(command)))) << command;

    r = qpxCli(ru, {QStringLiteral("--version")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringLiteral("qpx-cli " QPX_VERSION_TEXT "\n"));

    // scripts/run points to "qpx-cli simulate --help": every option, its text in one column.
    r = qpxCli(ru, {QStringLiteral("simulate"), QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("usage: qpx-cli simulate [OPTIONS]\n")));
    QSet<qsizetype> columns;
    int options = 0;
    for (const QString &line : r.out.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^  (--\\S+( \\S+)?) +(\\S)")).match(line);
        if (!m.hasMatch())
            continue;
        ++options;
        columns.insert(m.capturedStart(3));
    }
    EXPECT_EQ(options, 12); // eleven options and --help
    EXPECT_EQ(columns.size(), 1);
    for (const char *option :
         {"--model N", "--type-code C", "--firmware X.Y.Z", "--records N", "--image FILE", "--raw FILE",
          "--fast", "--z N", "--silent", "--link PATH", "--hangup-after N"})
        EXPECT_TRUE(r.out.contains(QStringLiteral("  ") + QLatin1String(option) + QLatin1Char(' ')))
            << option;
    // Help wins wherever it stands, before anything is done.
    r = qpxCli(ru, {QStringLiteral("export"), QStringLiteral("missing.db"), QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("usage: qpx-cli export TABLE.db OUT.xlsx\n")));

    // Bad usage: exit 2, the reason and the command's usage on stderr, nothing on stdout.
    r = qpxCli(ru, {QStringLiteral("dump")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, QString());
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("qpx-cli: dump takes one table file\n"
                                                "usage: qpx-cli dump TABLE.db\n")))
        << r.err.toStdString();
    for (const QStringList &args : {QStringList{}, QStringList{QStringLiteral("frobnicate")}}) {
        r = qpxCli(ru, args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, QString());
        EXPECT_TRUE(r.err.contains(QStringLiteral("usage: qpx-cli COMMAND [ARGS]\n")));
    }
}
