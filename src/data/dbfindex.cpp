#include "dbfindex.h"

#include "dbffile.h"

namespace {

const QByteArray &magicLine()
{
    static const QByteArray line = QByteArrayLiteral("QPX production index 1\n");
    return line;
}

bool isOurs(const QString &path)
{
    const DbfIo::Entry entry = DbfIo::fileSystem().lookup(path, false);
    QByteArray head;
    return entry.exists && entry.regular && DbfFile::readSmallFile(path, &head, DbfIndex::MaxFileSize) &&
           head.startsWith(magicLine());
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
}

} // namespace

QByteArray DbfIndex::text(const Tags &tags, const QList<DbfFormat::Field> &fields)
{
    QByteArray text = magicLine();
    text += "selected\t" + tags.selected.toUtf8() + '\n';
    for (const Tag &t : tags.tags)
        text += "tag\t" + t.name.toUtf8() + '\t' + fields[t.field].def.name.toUtf8() + '\t' +
                (t.descending ? "D" : "A") + '\n';
    return text;
}

bool DbfIndex::parse(const QByteArray &text, const QHash<QString, int> &fieldByName, Tags *tags)
{
    const QList<QByteArray> lines = text.split('\n');
    if (lines.isEmpty() || lines[0] + '\n' != magicLine())
        return false;
    Tags read;
    QString selected;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> parts = lines[i].split('\t');
        if (parts.size() == 2 && parts[0] == "selected") {
            selected = QString::fromUtf8(parts[1]).toUpper();
        } else if (parts.size() == 4 && parts[0] == "tag") {
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
