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
#include <QRegularExpression>
#include <QTemporaryDir>
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

// Every cell that has a value or a format, with its row's and column's settings, one per line.
const char *const CellLister = R"(
import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
def font(f):
    return "%r/%r/%r" % (bool(f.b), f.sz, f.color.rgb if f.color is not None and isinstance(f.color.rgb, str) else None)
print(ws.title, ws.max_row, ws.max_column)
for k in sorted(ws.column_dimensions):
    print("column", k, ws.column_dimensions[k].width)
for k in sorted(ws.row_dimensions):
    print("row", k, font(ws.row_dimensions[k].font))
for row in ws.iter_rows():
    for c in row:
        if c.value is not None or c.has_style:
            print(c.coordinate, type(c.value).__name__, repr(c.value), c.number_format, font(c.font))
)";

QStringList listCells(const QString &file)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(CellLister), file});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        ADD_FAILURE() << python.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(python.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// "" when the listings are alike, otherwise their first differing line.
std::string firstDifference(const QStringList &got, const QStringList &wanted)
{
    for (qsizetype i = 0; i < std::max(got.size(), wanted.size()); ++i) {
        if (got.value(i) != wanted.value(i))
            return QStringLiteral("line %1: \"%2\", wanted \"%3\"")
                .arg(i + 1)
                .arg(got.value(i), wanted.value(i))
                .toStdString();
    }
    return {};
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

// The sheet of an export built twice: once with every call in row order, as the export makes
// them, and once scrambled: rows written backwards and out of turn, widths and formats after the
// data, a font given to a row that later rows had passed, cells replaced in passed rows and within
// a row. The rows' texts are long enough that the cells fill several reads of the spool. Both
// workbooks read back alike; a second save also has what came after the first.
TEST(XlsxCallOrder, AnyOrderOfCallsGivesTheSameWorkbook)
{
    QTemporaryDir dir;
    const QString sheet = QStringLiteral("Лист");
    constexpr int Rows = 400;
    const auto text = [](int r) { return QStringLiteral("строка %1;").arg(r).repeated(1 + r % 37); };
    const auto start = [&](XlsxAutomation &x) {
        x.createObject(QStringLiteral("Excel.Application"));
        x.workbooks();
        x.workbooksAdd(ExcelExport::SingleSheetTemplate);
        x.setWorksheetName(1, 1, sheet);
    };
    const auto format = [&](XlsxAutomation &x) {
        x.columns(1, sheet);
        x.setColumnWidth(1, 12);
        x.setColumnNumberFormat(2, QStringLiteral("ДД.ММ.ГГГГ Ч:ММ"));
        x.rows(1, sheet);
        x.setRowFontBold(1, true);
        x.setRowFontSize(5, 16);
        x.setRowFontColor(Rows + 3, 255); // a formatted row below the data
    };
    const auto fill = [&](XlsxAutomation &x, int r) {
        x.setCell(r, 3, r == 7 ? QString() : text(r));
        x.setCell(r, 2, QDateTime(QDate(2003, 10, 5).addDays(r), QTime(18, 7)));
        x.setCell(r, 1, qint32(r));
    };

    XlsxAutomation ordered(dir.path());
    start(ordered);
    format(ordered);
    ordered.worksheetByName(1, sheet);
    for (int r = 1; r <= Rows; ++r)
        fill(ordered, r);
    ordered.saveCopyAs(dir.filePath(QStringLiteral("ordered.xlsx")));

    XlsxAutomation scrambled(dir.path());
    start(scrambled);
    scrambled.worksheetByName(1, sheet);
    scrambled.setCell(250, 1, QStringLiteral("заменят")); // replaced within its row
    for (int r = 200; r <= Rows; ++r)
        fill(scrambled, r);
    for (int r = 199; r >= 1; --r)
        fill(scrambled, r);
    scrambled.setCell(7, 3, QStringLiteral("заменят")); // a passed row, replaced again below
    scrambled.setCell(300, 2, QStringLiteral("заменят"));
    scrambled.setCell(300, 2, QDateTime(QDate(2003, 10, 5).addDays(300), QTime(18, 7)));
    scrambled.setCell(7, 3, QString());
    format(scrambled);
    scrambled.saveCopyAs(dir.filePath(QStringLiteral("scrambled.xlsx")));

    const QStringList expected = listCells(dir.filePath(QStringLiteral("ordered.xlsx")));
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(firstDifference(listCells(dir.filePath(QStringLiteral("scrambled.xlsx"))), expected), "");
    // The ordered workbook is the sheet as built.
    EXPECT_EQ(expected.first(), QStringLiteral("Лист %1 3").arg(Rows + 3));
    EXPECT_TRUE(expected.contains(QStringLiteral("row 5 False/16.0/None")));
    EXPECT_TRUE(expected.contains(QStringLiteral("A5 int 5 General False/16.0/None")));
    EXPECT_TRUE(
        expected.contains(QStringLiteral("B1 datetime datetime.datetime(2003, 10, 6, 18, 7) dd.mm.yyyy h:mm "
                                         "True/11.0/None")));
    EXPECT_TRUE(expected.contains(
        QStringLiteral("B%1 NoneType None dd.mm.yyyy h:mm False/11.0/'FFFF0000'").arg(Rows + 3)));
    EXPECT_TRUE(
        expected.contains(QStringLiteral("C%1 str '%2' General False/11.0/None").arg(Rows).arg(text(Rows))));
    EXPECT_FALSE(expected.filter(QRegularExpression(QStringLiteral("^C7 "))).size());

    // Saved again after more cells: one below the data, one in a passed row.
    scrambled.setCell(Rows + 1, 1, QStringLiteral("после"));
    scrambled.setCell(3, 3, QStringLiteral("поздно"));
    scrambled.saveCopyAs(dir.filePath(QStringLiteral("again.xlsx")));
    QStringList wanted = expected;
    const qsizetype c3 = wanted.indexOf(QStringLiteral("C3 str '%1' General False/11.0/None").arg(text(3)));
    ASSERT_GE(c3, 0);
    wanted[c3] = QStringLiteral("C3 str 'поздно' General False/11.0/None");
    const qsizetype below = wanted.indexOf(QRegularExpression(QStringLiteral("B%1 .*").arg(Rows + 3)));
    ASSERT_GE(below, 0);
    wanted.insert(below, QStringLiteral("A%1 str 'после' General False/11.0/None").arg(Rows + 1));
    EXPECT_EQ(firstDifference(listCells(dir.filePath(QStringLiteral("again.xlsx"))), wanted), "");
}
