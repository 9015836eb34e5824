#pragma once
// The production index file beside a table (internal to src/dbase): the table's sort index
// tags and the one selected, as a text of this program's own. The file is only ever written as
// a file of its own: never through a link and never over a file that is not an index file of
// this program.
#include "dbfformat.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace DbfIndex {

struct Tag
{
    QString name; // upper case
    int field = -1;
    bool descending = false;
};

struct Tags
{
    QList<Tag> tags;
    QString selected; // upper-case tag name, empty for physical order
};

// The largest index file that is read.
constexpr qint64 MaxFileSize = 65536;

QByteArray text(const Tags &tags, const QList<DbfFormat::Field> &fields);
// The tags of an index text whose fields the table has (others are left out); false for a
// text that is no index file of this program.
bool parse(const QByteArray &text, const QHash<QString, int> &fieldByName, Tags *tags);
// Reads the index file; false when it is missing, too large, unreadable or not ours.
bool read(const QString &path, const QHash<QString, int> &fieldByName, Tags *tags);
// Writes the file whole; raises when the name is a link, a foreign file, or the write fails.
void write(const QString &path, const QByteArray &text);
// Removes the file when it is one of ours (a link or a foreign file stays).
void remove(const QString &path);

} // namespace DbfIndex
