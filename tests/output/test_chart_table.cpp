// The chart windows on a real measurement table: selecting a series, building the chart from it
// and giving the table back unfiltered; the main window's chart command over both windows.
#include "app/main.h"
#include "chart_fixture.h"
#include "output/widgets/graf.h"
#include "output/widgets/param_graf.h"
#include "support/scriptedprompts.h"
#include "support/windowwaits.h"
#include "ui/prompts.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

const QString NoSeries = QStringLiteral("Данной серии измерений не существует");
} // namespace

class ChartOnTable : public OutputTableTest
{
protected:
    ScriptedPrompts prompts;
    void SetUp() override
    {
        OutputTableTest::SetUp();
        Prompts::setInstance(&prompts);
        addSeries(QStringLiteral("5"), 4, 100.2, 0.2, 1); // 100,2 .. 100,8
        add({5, QStringLiteral("05.10.2003"), QStringLiteral("19:00:00"), QStringLiteral("55"), QString()});
        add({6, QStringLiteral("05.10.2003"), QStringLiteral("19:01:00"), QStringLiteral("56"), QString()});
        addSeries(QStringLiteral("6"), 1, 300, 0, 7); // a single reading
        addSeries(QStringLiteral("7"), 3, 200.1, 0.1, 8);
    }
    void TearDown() override { Prompts::setInstance(nullptr); }

    // Runs the parameters dialog's button with an entry; the dialog's result.
    int choose(TForm4 &form, const QString &entry)
    {
        form.setResult(-1);
        form.Edit1->setText(entry);
        form.Button1Click();
        return form.result();
    }
};

TEST_F(ChartOnTable, TwoReadingsOrMoreOpenTheChartFewerWarn)
{
    TForm4 form(&table);
    EXPECT_EQ(choose(form, QStringLiteral("5")), QDialog::Accepted);
    EXPECT_TRUE(table.filtered());
    EXPECT_EQ(table.rowCount(), 4);
    EXPECT_EQ(table.recNo(), 1);
    EXPECT_TRUE(prompts.messages.isEmpty());

    for (const QString &entry : {QStringLiteral("6"), QStringLiteral("8"), QStringLiteral(" 5"),
                                 QStringLiteral("5 "), QStringLiteral("'")}) {
        prompts.messages.clear();
        EXPECT_EQ(choose(form, entry), QDialog::Rejected) << entry.toStdString();
        ASSERT_EQ(prompts.messages.size(), 1);
        EXPECT_EQ(prompts.messages[0].text, NoSeries);
        EXPECT_EQ(prompts.messages[0].icon, MessageIcon::Warning);
        EXPECT_FALSE(table.filtered());
        EXPECT_EQ(table.rowCount(), 10);
    }

    // An empty entry selects the operative readings, whose series field is empty.
    EXPECT_EQ(choose(form, QString()), QDialog::Accepted);
    EXPECT_EQ(table.rowCount(), 2);
    // The entry is kept for the next use.
    EXPECT_TRUE(form.Edit1->text().isEmpty());
}

TEST_F(ChartOnTable, DialogTakesTheTypedNumberAndEnterBuilds)
{
    TForm4 form(&table);
    // Typed into the dialog as the operator does it: digits, then Enter; twice, the second time
    // over the text kept from the first.
    for (const char *typed : {"5", "7"}) {
        int result = -2;
        QTimer::singleShot(0, &form, [&] {
            // The window's focus goes to the field (offscreen, the window itself may not be
            // active, so the keys go to the field that has the window's focus).
            QWidget *focus = form.focusWidget();
            EXPECT_EQ(focus, form.Edit1);
            EXPECT_EQ(form.Edit1->selectedText(), form.Edit1->text());
            QTest::keyClicks(focus ? focus : &form, QString::fromLatin1(typed));
            QTest::keyClick(focus ? focus : &form, Qt::Key_Return);
            if (form.isVisible())
                form.reject(); // Enter pressed nothing
        });
        result = form.exec();
        EXPECT_EQ(result, QDialog::Accepted) << typed;
        EXPECT_EQ(form.Edit1->text(), QString::fromLatin1(typed));
        EXPECT_TRUE(prompts.messages.isEmpty());
        EXPECT_EQ(table.rowCount(), typed[0] == '5' ? 4 : 3);
        table.setFiltered(false);
    }
    EXPECT_TRUE(form.Button1->isDefault());
    EXPECT_FALSE(form.Edit1->accessibleName().isEmpty());
}

TEST_F(ChartOnTable, NoOpenTableMeansNoSeries)
{
    table.close();
    TForm4 form(&table);
    EXPECT_EQ(choose(form, QStringLiteral("5")), QDialog::Rejected);
    ASSERT_EQ(prompts.messages.size(), 1);
    TForm4 orphan(nullptr);
    EXPECT_EQ(choose(orphan, QStringLiteral("5")), QDialog::Rejected);
}

TEST_F(ChartOnTable, PointsRunInTimeOrderUnderASortByMassAndTheFilterIsLifted)
{
    // Series 9: masses falling over time, so a sort by mass reverses the time order.
    for (int i = 0; i < 4; ++i)
        add({20 + i, QStringLiteral("06.10.2003"), QStringLiteral("10:0%1:00").arg(i),
             QString::number(50 - i), QStringLiteral("9")});
    // Two readings in the same second: both points stay.
    add({24, QStringLiteral("06.10.2003"), QStringLiteral("10:03:00"), QStringLiteral("45"),
         QStringLiteral("9")});
    table.addIndex(QStringLiteral("MASS"), Measurement::T_1, false);
    table.selectIndex(QStringLiteral("MASS"));

    ASSERT_TRUE(selectSeries(table, QStringLiteral("9")));
    Chart chart;
    configureMassChart(chart);
    buildMassChart(chart, table);
    const auto &pts = chart.series.points();
    ASSERT_EQ(pts.size(), 5);
    for (int i = 1; i < pts.size(); ++i)
        EXPECT_LE(pts[i - 1].x, pts[i].x);
    EXPECT_EQ(pts.constFirst().y, 50);
    EXPECT_DOUBLE_EQ(pts[3].x, pts[4].x);
    EXPECT_EQ(fromChartDays(pts.constFirst().x), QDateTime(QDate(2003, 10, 6), QTime(10, 0), Qt::UTC));

    EXPECT_FALSE(table.filtered());
    EXPECT_EQ(table.rowCount(), 15);
    EXPECT_EQ(table.selectedIndex(), QStringLiteral("MASS"));
}

TEST_F(ChartOnTable, WindowShowsItsOwnRangeAfterAnotherSeries)
{
    TForm3 form(&table);
    double from = 0, to = 0;
    ASSERT_TRUE(selectSeries(table, QStringLiteral("7")));
    form.FormShow();
    EXPECT_TRUE(form.Chart1->isVisibleTo(&form));
    form.Chart1->chart().verticalRange(&from, &to);
    EXPECT_NEAR(from, 195.2, 1e-9);
    EXPECT_NEAR(to, 205.2, 1e-9);

    ASSERT_TRUE(selectSeries(table, QStringLiteral("5")));
    form.FormShow();
    form.Chart1->chart().verticalRange(&from, &to);
    EXPECT_NEAR(from, 95.5, 1e-9);
    EXPECT_NEAR(to, 105.5, 1e-9);
    EXPECT_EQ(form.Chart1->chart().series.points().size(), 4);
    EXPECT_FALSE(table.filtered());
}

TEST_F(ChartOnTable, UnreadableMassStopsTheChartAndGivesTheTableBack)
{
    add({30, QStringLiteral("07.10.2003"), QStringLiteral("10:00:00"), QStringLiteral("1"),
         QStringLiteral("11")});
    add({31, QStringLiteral("07.10.2003"), QStringLiteral("10:01:00"), QStringLiteral("1.5"),
         QStringLiteral("11")});
    TForm4 params(&table);
    ASSERT_EQ(choose(params, QStringLiteral("11")), QDialog::Accepted);
    TForm3 form(&table);
    form.show();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0].text, QStringLiteral("'1.5' is not a valid floating point value."));
    EXPECT_EQ(prompts.messages[0].icon, MessageIcon::Error);
    EXPECT_FALSE(form.Chart1->isVisible());
    EXPECT_FALSE(table.filtered());
    form.hide();
}

// The command of the main window ("Построить график"), on the table the window has opened: the
// parameters dialog, then the chart window only when the dialog was accepted.
TEST_F(ChartOnTable, ChartCommandOpensTheChartOnlyAfterOk)
{
    table.close();
    TemporarySettings settings;
    TForm1 form;
    prompts.fileNames.push_back(path());
    form.N3->trigger();
    ASSERT_TRUE(form.TableOpen());
    TForm4 form4(&form.Dbf1(), &form);
    TForm3 form3(&form.Dbf1(), &form);
    form.setChartWindows(&form3, &form4);

    int chartsShown = 0;
    qsizetype pointsShown = 0;
    auto closeChartWhenShown = [&] {
        whenShown(&form3, [&] {
            ++chartsShown;
            pointsShown = form3.Chart1->chart().series.points().size();
            form3.reject();
        });
    };

    whenShown(&form4, [&] {
        form4.Edit1->setText(QStringLiteral("7"));
        closeChartWhenShown();
        form4.Button1->click();
    });
    form.N15->trigger();
    EXPECT_EQ(chartsShown, 1);
    EXPECT_EQ(pointsShown, 3);
    EXPECT_FALSE(form.Dbf1().filtered());

    whenShown(&form4, [&] {
        form4.Edit1->setText(QStringLiteral("6"));
        form4.Button1->click();
    });
    form.N15->trigger();
    EXPECT_EQ(chartsShown, 1);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0].text, NoSeries);
    EXPECT_FALSE(form.Dbf1().filtered());
    form.setChartWindows(nullptr, nullptr);
}
