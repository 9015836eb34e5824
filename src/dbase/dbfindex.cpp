#include "dbfindex.h"

#include "dbffile.h"

#include <QByteArrayView>
#include <QStringEncoder>
#include <cstring>

namespace {

const QByteArray &magicLine()
{
    static const QByteArray line = QByteArrayLiteral("QPX production index 1\n");
    return line;
}

// A regular file (no link) of at most MaxFileSize bytes that starts with our first line.
bool isOurs(const QString &path)
{
    const DbfIo::Entry entry = DbfIo::fileSystem().lookup(path, false);
    QByteArray head;
    return entry.exists && entry.regular &&
           DbfFile::readSmallFile(path, &head, DbfIndex::MaxFileSize, magicLine().size()) &&
           head == magicLine();
}

// Refuses a name that is a link or not an index file of this program.
void checkName(const QString &index)
{
    const DbfIo::Entry entry = DbfIo::fileSystem().lookup(index, false);
    if (!entry.exists)
        return;
    if (entry.symlink || !entry.regular)
        throw DbfError(QStringLiteral("Индексный файл «%1» — ссылка или не обычный файл; он не будет "
                                      "перезаписан. Удалите или переименуйте его.")
                           .arg(DbfFile::native(index)));
    if (!isOurs(index))
        throw DbfError(QStringLiteral("Файл «%1» не является индексным файлом этой программы; он не будет "
                                      "перезаписан. Удалите или переименуйте его.")
                           .arg(DbfFile::native(index)));
    // Another program that holds the index file (with any kind of lock) keeps it: it is not
    // replaced under that program.
    std::unique_ptr<DbfIo::File> held;
    QString error;
    if (DbfIo::fileSystem().open(index, DbfIo::OpenMode::Existing, true, &held, &error) ==
        DbfIo::OpenResult::InUse)
        throw DbfFile::inUse(index);
}

} // namespace

QByteArray DbfIndex::text(const Tags &tags, const QList<DbfFormat::Field> &fields)
{
    // Written whole at every selection, whatever number of tags a file brought: sized once and
    // encoded in place, with no text made per tag.
    QStringEncoder utf8(QStringEncoder::Utf8, QStringConverter::Flag::Stateless);
    qsizetype room = magicLine().size() + 16 + utf8.requiredSpace(tags.selected.size());
    for (const Tag &t : tags.tags)
        room += 16 + utf8.requiredSpace(t.name.size()) + utf8.requiredSpace(fields[t.field].def.name.size());
    QByteArray text(room, Qt::Uninitialized);
    char *out = text.data();
    const auto put = [&out](QByteArrayView bytes) {
        std::memcpy(out, bytes.data(), size_t(bytes.size()));
        out += bytes.size();
    };
    put(magicLine());
    put("selected\t");
    out = utf8.appendToBuffer(out, tags.selected);
    put("\n");
    for (const Tag &t : tags.tags) {
        put("tag\t");
        out = utf8.appendToBuffer(out, t.name);
        put("\t");
        out = utf8.appendToBuffer(out, fields[t.field].def.name);
        put(t.descending ? "\tD\n" : "\tA\n");
    }
    text.truncate(out - text.constData());
    return text;
}

bool DbfIndex::parse(const QByteArray &text, const QHash<QString, int> &fieldByName, Tags *tags)
{
    // Line by line and field by field (tab-separated) over views of the text: a file of
    // thousands of lines costs no allocation per line.
    const QByteArrayView magic = QByteArrayView(magicLine()).chopped(1);
    QByteArrayView rest(text);
    bool last = false;
    auto nextLine = [&](QByteArrayView *line) {
        if (last)
            return false;
        const qsizetype end = rest.indexOf('\n');
        if (end < 0) {
            *line = rest;
            last = true;
        } else {
            *line = rest.first(end);
            rest = rest.sliced(end + 1);
        }
        return true;
    };
    QByteArrayView line;
    if (!nextLine(&line) || line != magic)
        return false;
    Tags read;
    read.tags.reserve(qMin<qsizetype>(rest.count('\n'), 4096));
    QString selected;
    while (nextLine(&line)) {
        QByteArrayView parts[4];
        int n = 0; // fields of the line; 5 stands for more than 4
        for (qsizetype start = 0;;) {
            const qsizetype tab = line.indexOf('\t', start);
            if (n == 4) {
                n = 5;
                break;
            }
            parts[n++] = tab < 0 ? line.sliced(start) : line.sliced(start, tab - start);
            if (tab < 0)
                break;
            start = tab + 1;
        }
        if (n == 2 && parts[0] == "selected") {
            selected = QString::fromUtf8(parts[1]).toUpper();
        } else if (n == 4 && parts[0] == "tag") {
            const int f = fieldByName.value(QString::fromUtf8(parts[2]).toUpper(), -1);
            if (f < 0 || parts[1].isEmpty())
                continue;
            read.tags.append({QString::fromUtf8(parts[1]).toUpper(), f, parts[3] == "D"});
        }
    }
    for (const Tag &t : read.tags) {
        if (t.name == selected)
            read.selected = selected;
    }
    *tags = read;
    return true;
}

bool DbfIndex::read(const QString &path, const QHash<QString, int> &fieldByName, Tags *tags)
{
    QByteArray text;
    return DbfFile::readSmallFile(path, &text, MaxFileSize) && parse(text, fieldByName, tags);
}

void DbfIndex::write(const QString &path, const QByteArray &text)
{
    checkName(path);
    const DbfFile::Replaced written =
        DbfFile::replaceFile(path, QStringLiteral("tmp"), text, nullptr, DbfFile::ReplaceMode::Replace);
    // A folder sync that fails leaves the new index file under its name for now: the table is
    // right either way, the index file is only rebuilt from it.
    if (written.failure != DbfFile::ReplaceFailure::None &&
        written.failure != DbfFile::ReplaceFailure::FolderSync)
        throw DbfFile::writeFailed(true);
}

void DbfIndex::remove(const QString &path)
{
    if (isOurs(path))
        DbfIo::fileSystem().remove(path);
}
