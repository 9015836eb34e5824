#pragma once
// Helpers of the grid and table view tests: a scratch folder holding the settings and a
// measurement table, scripted prompts, and rows written straight through the table layer.
#include "base/regional.h"
#include "data/measurementtable.h"
#include "dbase/dbftable.h"
#include "support/scriptedprompts.h"
#include "support/windowwaits.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

struct Reading
{
    int n;
    const char *t1;
    const char *t2; // "" for an operative reading
    const char *date = "07.11.2005";
    const char *time = "09:05:30";
};

class ViewFixture : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    RegionalScope pin{Regional::russian()};
    ScriptedPrompts prompts;
    DbfTable table{Measurement::schema()};
    QWidget window;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           dir.filePath(QStringLiteral("settings")));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           dir.filePath(QStringLiteral("settings")));
        Prompts::setInstance(&prompts);
        table.setFileName(dir.filePath(QStringLiteral("t.db")));
        table.create();
        table.open();
        window.resize(1000, 500);
        new QVBoxLayout(&window);
        window.layout()->setContentsMargins(0, 0, 0, 0);
    }
    void TearDown() override
    {
        Prompts::setInstance(nullptr);
        table.close();
    }

    void place(QWidget *grid)
    {
        window.layout()->addWidget(grid);
        window.show();
        // The grid's widths follow the window's final size, which a desktop gives it in its
        // own time.
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, WindowWaitMs));
        QApplication::processEvents();
    }

    void addReadings(const QList<Reading> &readings)
    {
        for (const Reading &r : readings) {
            table.append();
            table.setInteger(Measurement::N, r.n);
            const QString t2 = QString::fromUtf8(r.t2);
            table.setText(Measurement::MODE,
                          t2.isEmpty() ? Measurement::Operative : Measurement::Observation);
            table.setText(Measurement::DATE, QString::fromUtf8(r.date));
            table.setText(Measurement::TIME, QString::fromUtf8(r.time));
            table.setText(Measurement::T_1, QString::fromUtf8(r.t1));
            table.setText(Measurement::T_2, t2);
            table.post();
        }
    }

    // n observation rows: N = 1..n (after 9999 from 1 again), T_1 = 10,5 + i, series 1 + i % 5.
    void addSeries(int n)
    {
        for (int i = 0; i < n; ++i) {
            table.append();
            table.setInteger(Measurement::N, i % 9999 + 1);
            table.setText(Measurement::MODE, Measurement::Observation);
            table.setText(Measurement::DATE, QStringLiteral("07.11.2005"));
            table.setText(Measurement::TIME, QStringLiteral("09:05:30"));
            table.setNumber(Measurement::T_1, 10.5 + i);
            table.setInteger(Measurement::T_2, 1 + i % 5);
            table.post();
        }
    }

    QStringList column(const QString &field) const
    {
        QStringList values;
        const int f = table.fieldIndex(field);
        for (int row = 0; row < table.rowCount(); ++row)
            values.append(table.text(table.recordAt(row), f));
        return values;
    }

    static QStringList strings(std::initializer_list<const char *> items)
    {
        QStringList list;
        for (const char *item : items)
            list.append(QString::fromUtf8(item));
        return list;
    }
};
