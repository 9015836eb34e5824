// Our table files read by independent dBase implementations, and theirs read by ours:
// shapelib's command-line tools and Python's dbfread and dbf modules.
#include "dbase/codepage.h"
#include "dbftesting.h"

#include "support/needtool.h"
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

using namespace Measurement;

namespace {

const QString Python = QStringLiteral("/usr/bin/python3");

bool pythonHas(const QString &module)
{
    if (!QFileInfo::exists(Python))
        return false;
    QProcess p;
    p.start(Python, {QStringLiteral("-c"), QStringLiteral("import ") + module});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QByteArray run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(60000)) << program.toStdString();
    EXPECT_EQ(p.exitCode(), 0) << program.toStdString() << ": " << p.readAllStandardError().toStdString();
    return p.readAllStandardOutput();
}

struct Row
{
    int n;
    const char *mode;
    const char *date;
    const char *time;
    const char *t1;
    const char *t2;
    const char *comment;
};

const QList<Row> Rows = {
    {1, "Оперативный", "07.11.2005", "09:05:07", "123,45", "", ""},
    {2, "Наблюдение", "07.11.2005", "10:00:00", "-123,4", "7", "Ёлка, \"ёж\""},
    {12, "Наблюдение", "31.12.2255", "23:59:59", "0,07", "255",
     "Щука и жук — 50 символов ровно ............."},
};

class Interop : public TableFixture
{
protected:
    // Writes Rows (and a deleted row between the second and the third) through our layer.
    void writeOurs(const QString &file)
    {
        DbfTable table(Measurement::schema());
        table.setFileName(file);
        table.create();
        table.open();
        for (int i = 0; i < Rows.size(); ++i) {
            if (i == 2) {
                table.append();
                table.setText(COMMENT, QStringLiteral("deleted"));
                table.post();
                table.deleteRecord();
            }
            const Row &r = Rows[i];
            table.append();
            table.setInteger(N, r.n);
            table.setText(MODE, QString::fromUtf8(r.mode));
            table.setText(DATE, QString::fromUtf8(r.date));
            table.setText(TIME, QString::fromUtf8(r.time));
            table.setText(T_1, QString::fromUtf8(r.t1));
            table.setText(T_2, QString::fromUtf8(r.t2));
            table.setText(COMMENT, QString::fromUtf8(r.comment));
            table.post();
        }
    }
};

} // namespace

TEST_F(Interop, DbfreadReadsOurFile)
{
    QPX_SKIP_WITHOUT(!pythonHas(QStringLiteral("dbfread")), "python3-dbfread is not installed");
    const QString file = path(QStringLiteral("ours.dbf"));
    writeOurs(file);
    const QByteArray json = run(Python, {QStringLiteral("-c"), QStringLiteral(R"(
import dbfread, json, sys
t = dbfread.DBF(sys.argv[1])
out = {'encoding': t.encoding, 'fields': t.field_names, 'rows': [list(r.values()) for r in t]}
print(json.dumps(out, ensure_ascii=False))
)"),
                                         file});
    const QJsonObject doc = QJsonDocument::fromJson(json).object();
    EXPECT_EQ(doc.value(QStringLiteral("encoding")).toString(), QStringLiteral("cp1251"));
    EXPECT_EQ(doc.value(QStringLiteral("fields")).toVariant().toStringList(),
              strings({"N", "MODE", "EN_CH", "DATE", "TIME", "T_1", "T_2", "COMMENT"}));
    const QJsonArray rows = doc.value(QStringLiteral("rows")).toArray();
    ASSERT_EQ(rows.size(), Rows.size()); // the deleted row is skipped
    for (int i = 0; i < Rows.size(); ++i) {
        const QJsonArray v = rows[i].toArray();
        const Row &r = Rows[i];
        EXPECT_EQ(v[0].toInt(), r.n);
        EXPECT_EQ(v[1].toString(), QString::fromUtf8(r.mode));
        EXPECT_TRUE(v[2].isNull());
        EXPECT_EQ(v[3].toString(), QString::fromUtf8(r.date));
        EXPECT_EQ(v[4].toString(), QString::fromUtf8(r.time));
        EXPECT_EQ(v[5].toString(), QString::fromUtf8(r.t1));
        EXPECT_EQ(v[6].toString(), QString::fromUtf8(r.t2));
        EXPECT_EQ(v[7].toString(), QString::fromUtf8(r.comment));
    }
}

TEST_F(Interop, ShapelibReadsOurFile)
{
    const QString dbfdump = QStandardPaths::findExecutable(QStringLiteral("dbfdump"));
    QPX_SKIP_WITHOUT(dbfdump.isEmpty(), "shapelib's dbfdump is not installed");
    const QString file = path(QStringLiteral("ours.dbf"));
    writeOurs(file);
    {
        DbfTable table(Measurement::schema());
        table.setFileName(file);
        table.open();
        table.pack(); // shapelib shows deleted records too
    }
    const QList<QByteArray> lines = run(dbfdump, {QStringLiteral("-m"), file}).split('\n');
    QList<QStringList> records;
    for (const QByteArray &line : lines) {
        if (line.startsWith("Record:"))
            records.append(QStringList());
        else if (!records.isEmpty() && line.contains(':'))
            records.back().append(CodePage::windows1251().decode(line.constData(), line.size()).simplified());
    }
    ASSERT_EQ(records.size(), Rows.size());
    for (int i = 0; i < Rows.size(); ++i) {
        const Row &r = Rows[i];
        auto shown = [](const char *text) {
            return *text ? QString::fromUtf8(text) : QStringLiteral("(NULL)"); // shapelib: empty is NULL
        };
        EXPECT_EQ(records[i],
                  (QStringList{QStringLiteral("N: %1").arg(r.n), QStringLiteral("MODE: ") + shown(r.mode),
                               QStringLiteral("EN_CH: (NULL)"), QStringLiteral("DATE: ") + shown(r.date),
                               QStringLiteral("TIME: ") + shown(r.time),
                               QStringLiteral("T_1: ") + shown(r.t1), QStringLiteral("T_2: ") + shown(r.t2),
                               QStringLiteral("COMMENT: ") + shown(r.comment)}));
    }
}

TEST_F(Interop, WeOpenShapelibFiles)
{
    const QString dbfcreate = QStandardPaths::findExecutable(QStringLiteral("dbfcreate"));
    const QString dbfadd = QStandardPaths::findExecutable(QStringLiteral("dbfadd"));
    QPX_SKIP_WITHOUT(dbfcreate.isEmpty() || dbfadd.isEmpty(),
                     "shapelib's dbfcreate / dbfadd are not installed");
    const QString file = path(QStringLiteral("theirs.dbf"));
    run(dbfcreate, {file,
                    QStringLiteral("-s"),
                    QStringLiteral("EXTRA"),
                    QStringLiteral("3"),
                    QStringLiteral("-n"),
                    N,
                    QStringLiteral("4"),
                    QStringLiteral("0"),
                    QStringLiteral("-s"),
                    MODE,
                    QStringLiteral("11"),
                    QStringLiteral("-n"),
                    EN_CH,
                    QStringLiteral("4"),
                    QStringLiteral("0"),
                    QStringLiteral("-s"),
                    DATE,
                    QStringLiteral("10"),
                    QStringLiteral("-s"),
                    TIME,
                    QStringLiteral("8"),
                    QStringLiteral("-s"),
                    T_1,
                    QStringLiteral("6"),
                    QStringLiteral("-s"),
                    T_2,
                    QStringLiteral("6"),
                    QStringLiteral("-s"),
                    COMMENT,
                    QStringLiteral("50")});
    run(dbfadd, {file, QStringLiteral("x"), QStringLiteral("12"), QStringLiteral("Operative"), QString(),
                 QStringLiteral("07.11.2005"), QStringLiteral("09:05:07"), QStringLiteral("123,45"),
                 QString(), QStringLiteral("hello, world")});
    run(dbfadd, {file, QStringLiteral("y"), QStringLiteral("3"), QStringLiteral("Series"),
                 QStringLiteral("5"), QStringLiteral("08.11.2005"), QStringLiteral("00:00:00"),
                 QStringLiteral("-3,5"), QStringLiteral("7"), QString()});
    DbfTable table(Measurement::schema());
    table.setFileName(file);
    table.open();
    ASSERT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.integer(N), 12);
    EXPECT_TRUE(table.isNull(EN_CH)); // shapelib writes a null number as '*'
    EXPECT_EQ(table.text(COMMENT), QStringLiteral("hello, world"));
    EXPECT_DOUBLE_EQ(table.number(T_1), 123.45);
    table.next();
    EXPECT_EQ(table.integer(EN_CH), 5);
    EXPECT_EQ(table.text(T_2), QStringLiteral("7"));
    // Our appended row is read back by shapelib.
    table.append();
    table.setInteger(N, 44);
    table.setText(MODE, QStringLiteral("Ours"));
    table.post();
    table.close();
    const QByteArray dump =
        run(QStandardPaths::findExecutable(QStringLiteral("dbfdump")), {QStringLiteral("-m"), file});
    EXPECT_TRUE(dump.contains("Record: 2")) << dump.toStdString();
    EXPECT_TRUE(dump.contains("MODE: Ours")) << dump.toStdString();
}

TEST_F(Interop, WeOpenPythonDbfFiles)
{
    QPX_SKIP_WITHOUT(!pythonHas(QStringLiteral("dbf")), "python3-dbf is not installed");
    const QString file = path(QStringLiteral("python.dbf"));
    run(Python, {QStringLiteral("-c"), QStringLiteral(R"(
import dbf, sys
t = dbf.Table(sys.argv[1], 'N N(4,0); MODE C(11); EN_CH N(4,0); DATE C(10); TIME C(8); T_1 C(6); T_2 C(6); COMMENT C(50)',
              dbf_type='db3', codepage='cp1251')
t.open(dbf.READ_WRITE)
t.append((12, 'Наблюдение', None, '07.11.2005', '09:05:07', '123,45', '7', 'Ёлка'))
t.append((13, 'Оперативный', None, '07.11.2005', '09:05:08', '-3,5', '', ''))
t.close()
)"),
                 file});
    DbfTable table(Measurement::schema());
    table.setFileName(file);
    table.open();
    ASSERT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.codePage(), 1251);
    EXPECT_EQ(table.text(MODE), Observation);
    EXPECT_EQ(table.text(COMMENT), QStringLiteral("Ёлка"));
    EXPECT_EQ(table.integer(N), 12);
    EXPECT_TRUE(table.isNull(EN_CH));
    table.last();
    EXPECT_EQ(table.text(MODE), Operative);
    EXPECT_DOUBLE_EQ(table.number(T_1), -3.5);
}
