// The workbook that the default back end writes, read back by an independent reader (openpyxl).
#include "chart_fixture.h"
#include "output/excelexport.h"
#include "output/excelxlsx.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {
// Everything the test looks at, as JSON.
const char *const Reader = R"(
import json, sys, datetime, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.worksheets[0]
def font(cell):
    f = cell.font
    return {"bold": bool(f.b), "size": f.sz, "color": (f.color.rgb if f.color is not None and isinstance(f.color.rgb, str) else None)}
def value(v):
    if isinstance(v, datetime.datetime): return "date:" + v.isoformat(sep=" ")
    if v is None: return None
    if isinstance(v, str): return "text:" + v
    return "number:" + repr(v)
out = {"sheets": wb.sheetnames,
       "widths": [ws.column_dimensions[c].width for c in "ABCDEF"],
       "maxRow": ws.max_row,
       "rows": [[value(ws.cell(r, c).value) for c in range(1, 7)] for r in range(1, ws.max_row + 1)],
       "formatB3": ws["B3"].number_format, "formatB4": ws["B4"].number_format,
       "fontRow1": font(ws.row_dimensions[1]), "fontRow2": font(ws.row_dimensions[2]),
       "fontB2": font(ws["B2"]), "fontA3": font(ws["A3"]),
       "formatB2": ws["B2"].number_format}
print(json.dumps(out))
)";

QJsonObject readWorkbook(const QString &file)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(Reader), file});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        ADD_FAILURE() << python.readAllStandardError().toStdString();
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

QStringList row(const QJsonObject &book, int r)
{
    QStringList cells;
    for (const QJsonValue &v : book[QStringLiteral("rows")].toArray().at(r - 1).toArray())
        cells << (v.isNull() ? QStringLiteral("<empty>") : v.toString());
    return cells;
}
} // namespace

TEST(NumberFormat, RussianLettersBecomeFileFormatCodes)
{
    EXPECT_EQ(translateNumberFormat(QStringLiteral("ДД/ММ/ГГГГ Ч:ММ")), QStringLiteral("dd/mm/yyyy h:mm"));
    EXPECT_EQ(translateNumberFormat(QStringLiteral("дд.мм.гг чч:мм:сс")),
              QStringLiteral("dd.mm.yy hh:mm:ss"));
    EXPECT_EQ(translateNumberFormat(QStringLiteral("ДД \"День\" \\Д")), QStringLiteral("dd \"День\" \\Д"));
    EXPECT_EQ(translateNumberFormat(QStringLiteral("0,00")), QStringLiteral("0,00"));
}

using Workbook = OutputTableTest;

TEST_F(Workbook, ReadBackByAnIndependentReader)
{
    add({1, QStringLiteral("05.10.2003"), QStringLiteral("18:07:59"), QStringLiteral("12,5"), QString(),
         QStringLiteral("взвешивание")});
    add({2, QStringLiteral("06.10.2003"), QStringLiteral("09:05:30"), QStringLiteral("-123,4"),
         QStringLiteral("255")});
    const QString out = dir.filePath(QStringLiteral("out.xlsx"));
    XlsxAutomation excel(dir.path());
    excel.setTargetFile(out);
    exp2excel(table, excel);

    const QJsonObject book = readWorkbook(out);
    ASSERT_FALSE(book.isEmpty());
    EXPECT_EQ(book[QStringLiteral("sheets")].toArray(), QJsonArray{QStringLiteral("Лкт-ДН7")});
    for (const QJsonValue &w : book[QStringLiteral("widths")].toArray())
        EXPECT_NEAR(w.toDouble(), 20.71, 0.01); // width 20 plus the cell padding, as the file stores it
    EXPECT_EQ(book[QStringLiteral("maxRow")].toInt(), 4);
    EXPECT_EQ(row(book, 1), QStringList(6, QStringLiteral("<empty>")));
    EXPECT_EQ(row(book, 2), (QStringList{QStringLiteral("text:N"), QStringLiteral("text:Дата"),
                                         QStringLiteral("text:Режим"), QStringLiteral("text:Масса, г"),
                                         QStringLiteral("text:№ Серии"), QStringLiteral("text:Примечание")}));
    EXPECT_EQ(row(book, 3),
              (QStringList{QStringLiteral("number:1"), QStringLiteral("date:2003-10-05 18:07:00"),
                           QStringLiteral("text:Оперативный"), QStringLiteral("text:12,5"),
                           QStringLiteral("<empty>"), QStringLiteral("text:взвешивание")}));
    EXPECT_EQ(row(book, 4),
              (QStringList{QStringLiteral("number:2"), QStringLiteral("date:2003-10-06 09:05:00"),
                           QStringLiteral("text:Наблюдение"), QStringLiteral("text:-123,4"),
                           QStringLiteral("text:255"), QStringLiteral("<empty>")}));
    EXPECT_EQ(book[QStringLiteral("formatB3")].toString(), QStringLiteral("dd/mm/yyyy h:mm"));
    EXPECT_EQ(book[QStringLiteral("formatB4")].toString(), QStringLiteral("dd/mm/yyyy h:mm"));
    EXPECT_EQ(book[QStringLiteral("formatB2")].toString(), QStringLiteral("dd/mm/yyyy h:mm"));

    // Rows 1 and 2 are formatted as whole rows; the caption cells carry the row's font.
    const QJsonObject a1 = book[QStringLiteral("fontRow1")].toObject();
    EXPECT_TRUE(a1[QStringLiteral("bold")].toBool());
    EXPECT_EQ(a1[QStringLiteral("size")].toDouble(), 14);
    EXPECT_TRUE(a1[QStringLiteral("color")].toString().endsWith(QStringLiteral("0000FF")))
        << a1[QStringLiteral("color")].toString().toStdString();
    EXPECT_TRUE(book[QStringLiteral("fontRow2")].toObject()[QStringLiteral("bold")].toBool());
    EXPECT_TRUE(book[QStringLiteral("fontB2")].toObject()[QStringLiteral("bold")].toBool());
    EXPECT_FALSE(book[QStringLiteral("fontA3")].toObject()[QStringLiteral("bold")].toBool());
}

TEST_F(Workbook, CopyIsSavedBesideTheTableThenHandedOn)
{
    addSeries(QStringLiteral("3"), 2, 10, 0.5);
    XlsxAutomation excel(dir.path());
    QString handedOn;
    excel.setHandOff([&](const QString &file) { handedOn = file; });
    exp2excel(table, excel);
    const QString expected = QDir(dir.path()).filePath(QStringLiteral("Лкт-ДН7.xlsx"));
    EXPECT_EQ(handedOn, expected);
    EXPECT_TRUE(QFileInfo::exists(expected));
    // A second export (a new application object, as every run) replaces the copy and leaves no
    // partial files behind.
    XlsxAutomation again(dir.path());
    exp2excel(table, again);
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.xlsx*")}, QDir::Files),
              QStringList{QStringLiteral("Лкт-ДН7.xlsx")});
}

#ifdef Q_OS_UNIX
// The copy is written through a private scratch file; the saved workbook must still be readable by
// the others the folder's usual rights allow (here a umask of 022).
TEST_F(Workbook, SavedCopyGetsTheUsualAccessRights)
{
    const mode_t old = ::umask(022);
    addSeries(QStringLiteral("3"), 2, 10, 0.5);
    XlsxAutomation excel(dir.path());
    exp2excel(table, excel);
    ::umask(old);
    const QString file = QDir(dir.path()).filePath(QStringLiteral("Лкт-ДН7.xlsx"));
    const QFileDevice::Permissions rights = QFile::permissions(file);
    EXPECT_TRUE(rights & QFileDevice::ReadGroup);
    EXPECT_TRUE(rights & QFileDevice::ReadOther);
    EXPECT_FALSE(rights & QFileDevice::WriteOther);

    // A copy that replaces an earlier one keeps that one's rights.
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    XlsxAutomation again(dir.path());
    exp2excel(table, again);
    EXPECT_EQ(QFile::permissions(file) & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
              QFileDevice::Permissions());
}
#endif

TEST_F(Workbook, UnwritableFolderIsReportedAfterTheQuitAndTheTableIsUnchanged)
{
    addSeries(QStringLiteral("3"), 2, 10, 0.5);
    const QByteArray before = fileBytes();
    XlsxAutomation excel(dir.filePath(QStringLiteral("missing/folder")));
    bool handedOn = false;
    excel.setHandOff([&](const QString &) { handedOn = true; });
    try {
        exp2excel(table, excel);
        FAIL() << "no error";
    } catch (const AutomationError &e) {
        EXPECT_TRUE(e.text().startsWith(QStringLiteral("Не удалось сохранить копию книги"))) << e.what();
    }
    EXPECT_FALSE(handedOn);
    EXPECT_TRUE(excel.savedFile().isEmpty());
    table.close();
    EXPECT_EQ(fileBytes(), before);
}
