#pragma once
// Helpers of the table file tests: a scratch folder, whole-file reads and writes, a table
// holding a few measurement rows.
#include "base/regional.h"
#include "data/measurementtable.h"
#include "dbase/dbftable.h"
#include "support/heldfile.h"
#include "support/tablebuilder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <initializer_list>
#include <ostream>

// Readable failure messages for Qt strings.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << bytes.toHex(' ').toStdString();
}
QT_END_NAMESPACE

inline QStringList strings(std::initializer_list<const char *> items)
{
    QStringList list;
    for (const char *item : items)
        list.append(QString::fromUtf8(item));
    return list;
}

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

inline quint32 le32(const QByteArray &b, int at)
{
    if (at < 0 || b.size() < at + 4)
        return 0xFFFFFFFFu; // no such bytes: a value no check expects
    return quint8(b[at]) | (quint8(b[at + 1]) << 8) | (quint8(b[at + 2]) << 16) |
           (quint32(quint8(b[at + 3])) << 24);
}
inline int le16(const QByteArray &b, int at)
{
    if (at < 0 || b.size() < at + 2)
        return -1;
    return quint8(b[at]) | (quint8(b[at + 1]) << 8);
}

// A scratch folder with a fresh measurement table file "t.db" in it.
class TableFixture : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    RegionalScope pin{Regional::russian()};

    QString path(const QString &name = QStringLiteral("t.db")) const { return dir.filePath(name); }

    void createTable(DbfTable &table, const QString &name = QStringLiteral("t.db"))
    {
        table.setFileName(path(name));
        table.create();
    }

    // Appends rows with N = 1.., the given masses as T_1 and a comment naming the row.
    static void addRows(DbfTable &table, const QList<double> &masses)
    {
        for (const double m : masses) {
            const int n = table.physicalRecordCount() + 1;
            appendRow(table, {n, false, QString(), QString(), m, 0, QStringLiteral("row %1").arg(n)});
        }
    }

    // The values of one field over the visible rows in the current order.
    static QStringList column(const DbfTable &table, const QString &fieldName)
    {
        QStringList values;
        const int f = table.fieldIndex(fieldName);
        for (int row = 0; row < table.rowCount(); ++row)
            values.append(table.text(table.recordAt(row), f));
        return values;
    }
};
