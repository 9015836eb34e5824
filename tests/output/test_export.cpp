// The export's call sequence, recorded: what is called, in which order, with which values, and
// where it stops when something fails.
#include "chart_fixture.h"
#include "output/excelexport.h"
#include "output/excelrecorder.h"

namespace {
const QStringList &headerCalls()
{
    static const QStringList calls = {
        QStringLiteral("CreateOleObject(\"Excel.Application\":BSTR)"),
        QStringLiteral("Visible := true:BOOL"),
        QStringLiteral("Workbooks()"),
        QStringLiteral("Workbooks.Add(-4167:I2)"),
        QStringLiteral("Workbooks[1:I4]"),
        QStringLiteral("Workbooks[1:I4].WorkSheets[1:I4]"),
        QStringLiteral("Workbooks[1:I4].WorkSheets[1:I4].Name := \"Лкт-ДН7\":BSTR"),
        QStringLiteral("Workbooks[1:I4].WorkSheets[1:I4].Name"),
        QStringLiteral("Workbooks[1:I4].WorkSheets[\"Лкт-ДН7\":BSTR].Columns()"),
        QStringLiteral("Columns[1:I4].ColumnWidth := 20:I4"),
        QStringLiteral("Columns[2:I4].ColumnWidth := 20:I4"),
        QStringLiteral("Columns[3:I4].ColumnWidth := 20:I4"),
        QStringLiteral("Columns[4:I4].ColumnWidth := 20:I4"),
        QStringLiteral("Columns[5:I4].ColumnWidth := 20:I4"),
        QStringLiteral("Columns[6:I4].ColumnWidth := 20:I4"),
        QStringLiteral("Columns[2:I4].NumberFormat := \"ДД/ММ/ГГГГ Ч:ММ\":BSTR"),
        QStringLiteral("Workbooks[1:I4].WorkSheets[\"Лкт-ДН7\":BSTR].Rows()"),
        QStringLiteral("Rows[2:I4].Font.Bold := true:BOOL"),
        QStringLiteral("Rows[1:I4].Font.Bold := true:BOOL"),
        QStringLiteral("Rows[1:I4].Font.Color := 16711680:I4"),
        QStringLiteral("Rows[1:I4].Font.Size := 14:I4"),
        QStringLiteral("Workbooks[1:I4].WorkSheets[\"Лкт-ДН7\":BSTR]"),
        QStringLiteral("Cells[2:I4, 1:I4] := \"N\":BSTR"),
        QStringLiteral("Cells[2:I4, 2:I4] := \"Дата\":BSTR"),
        QStringLiteral("Cells[2:I4, 3:I4] := \"Режим\":BSTR"),
        QStringLiteral("Cells[2:I4, 4:I4] := \"Масса, г\":BSTR"),
        QStringLiteral("Cells[2:I4, 5:I4] := \"№ Серии\":BSTR"),
        QStringLiteral("Cells[2:I4, 6:I4] := \"Примечание\":BSTR"),
    };
    return calls;
}
const QString SaveCall = QStringLiteral("ActiveWorkbook.SaveCopyAs(FileName := \"Лкт-ДН7\":BSTR)");
const QString QuitCall = QStringLiteral("Application.Quit()");
} // namespace

using ExportSequence = OutputTableTest;

TEST_F(ExportSequence, EmptyTableStillFormatsSavesAndQuits)
{
    ExcelRecorder excel;
    exp2excel(table, excel);
    EXPECT_EQ(excel.calls, (headerCalls() + QStringList{SaveCall, QuitCall}));
}

TEST_F(ExportSequence, RowsFollowTheSortOrderWithDatesCutToTheMinute)
{
    add({1, QStringLiteral("05.10.2003"), QStringLiteral("18:07:59"), QStringLiteral("12,5"), QString(),
         QStringLiteral("первая")});
    add({2, QStringLiteral("05.10.2003"), QStringLiteral("18:08:01"), QStringLiteral("100"),
         QStringLiteral("7")});
    add({3, QStringLiteral("31.12.2004"), QStringLiteral("23:59:59"), QStringLiteral("-3,5"),
         QStringLiteral("7")});
    table.addIndex(QStringLiteral("BYN"), Measurement::N, true);
    table.selectIndex(QStringLiteral("BYN"));
    const QByteArray before = fileBytes();

    ExcelRecorder excel;
    exp2excel(table, excel);

    const QStringList expectedRows = {
        QStringLiteral("Cells[3:I4, 1:I4] := 3:I4"),
        QStringLiteral("Cells[3:I4, 2:I4] := 2004-12-31 23:59:00:DATE"),
        QStringLiteral("Cells[3:I4, 3:I4] := \"Наблюдение\":BSTR"),
        QStringLiteral("Cells[3:I4, 4:I4] := \"-3,5\":BSTR"),
        QStringLiteral("Cells[3:I4, 5:I4] := \"7\":BSTR"),
        QStringLiteral("Cells[3:I4, 6:I4] := \"\":BSTR"),
        QStringLiteral("Cells[4:I4, 1:I4] := 2:I4"),
        QStringLiteral("Cells[4:I4, 2:I4] := 2003-10-05 18:08:00:DATE"),
        QStringLiteral("Cells[4:I4, 3:I4] := \"Наблюдение\":BSTR"),
        QStringLiteral("Cells[4:I4, 4:I4] := \"100\":BSTR"),
        QStringLiteral("Cells[4:I4, 5:I4] := \"7\":BSTR"),
        QStringLiteral("Cells[4:I4, 6:I4] := \"\":BSTR"),
        QStringLiteral("Cells[5:I4, 1:I4] := 1:I4"),
        QStringLiteral("Cells[5:I4, 2:I4] := 2003-10-05 18:07:00:DATE"),
        QStringLiteral("Cells[5:I4, 3:I4] := \"Оперативный\":BSTR"),
        QStringLiteral("Cells[5:I4, 4:I4] := \"12,5\":BSTR"),
        QStringLiteral("Cells[5:I4, 5:I4] := \"\":BSTR"),
        QStringLiteral("Cells[5:I4, 6:I4] := \"первая\":BSTR"),
    };
    EXPECT_EQ(excel.calls, (headerCalls() + expectedRows + QStringList{SaveCall, QuitCall}));

    // The walk leaves the table on its last row in the sort order and changes nothing in it.
    EXPECT_EQ(table.recNo(), table.recordAt(table.rowCount() - 1));
    EXPECT_EQ(table.recNo(), 1);
    table.close();
    if (heldTableReadable()) {
        EXPECT_EQ(fileBytes(), before);
    }
}

TEST_F(ExportSequence, DeletedAndFilteredRowsAreNotExported)
{
    addSeries(QStringLiteral("1"), 3, 10, 1);
    addSeries(QStringLiteral("2"), 2, 20, 1, 4);
    table.gotoRecord(2);
    table.deleteRecord();
    table.setFilter(QStringLiteral("T_2 ='1'"));
    table.setFiltered(true);
    ExcelRecorder excel;
    exp2excel(table, excel);
    QStringList numbers;
    for (const QString &call : excel.calls)
        if (call.contains(QStringLiteral(", 1:I4] := ")) && !call.startsWith(QStringLiteral("Cells[2:")))
            numbers << call.section(QStringLiteral(":= "), 1);
    EXPECT_EQ(numbers, (QStringList{QStringLiteral("1:I4"), QStringLiteral("3:I4")}));
}

TEST_F(ExportSequence, UnconvertibleDateStopsAfterTheRowNumber)
{
    add({1, QStringLiteral("05.10.2003"), QStringLiteral("18:07:59"), QStringLiteral("1"), QString()});
    add({2, QStringLiteral("32.10.2003"), QStringLiteral("18:08:00"), QStringLiteral("2"), QString()});
    add({3, QStringLiteral("05.10.2003"), QStringLiteral("18:09:00"), QStringLiteral("3"), QString()});
    const QByteArray before = fileBytes();
    ExcelRecorder excel;
    try {
        exp2excel(table, excel);
        FAIL() << "no error";
    } catch (const ConvertError &e) {
        EXPECT_EQ(e.text(), QStringLiteral("'32.10.2003 18:08' is not a valid date and time"));
    }
    // Row 3 complete, row 4 has its number only; no save and no quit request.
    EXPECT_EQ(excel.calls.constLast(), QStringLiteral("Cells[4:I4, 1:I4] := 2:I4"));
    EXPECT_EQ(excel.calls.size(), headerCalls().size() + 7);
    table.close();
    if (heldTableReadable()) {
        EXPECT_EQ(fileBytes(), before);
    }
}

TEST_F(ExportSequence, FailedSaveStillQuitsThenReports)
{
    add({1, QStringLiteral("05.10.2003"), QStringLiteral("18:07:59"), QStringLiteral("1"), QString()});
    ExcelRecorder excel;
    excel.failAtCall = int(headerCalls().size()) + 6;
    EXPECT_THROW(exp2excel(table, excel), AutomationError);
    EXPECT_EQ(excel.calls.mid(excel.calls.size() - 2), (QStringList{SaveCall, QuitCall}));
}

TEST_F(ExportSequence, RefusedCallStopsWithoutQuit)
{
    ExcelRecorder excel;
    excel.failAtCall = 10; // a column width
    EXPECT_THROW(exp2excel(table, excel), AutomationError);
    EXPECT_EQ(excel.calls.size(), 11);
    EXPECT_FALSE(excel.calls.contains(QuitCall));
}

TEST_F(ExportSequence, CommandNeedsAnOpenDocumentAndAnOpenTable)
{
    ExcelRecorder excel;
    Excel1Click(false, &table, excel);
    Excel1Click(true, nullptr, excel);
    table.close();
    Excel1Click(true, &table, excel);
    EXPECT_TRUE(excel.calls.isEmpty());
    table.open();
    Excel1Click(true, &table, excel);
    EXPECT_EQ(excel.calls.constLast(), QuitCall);
}
