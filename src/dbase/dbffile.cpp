#include "dbffile.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <algorithm>

using DbfIo::File;
using DbfIo::OpenMode;
using DbfIo::OpenResult;

namespace {

// Never destroyed, so that a table closed by a static destructor still finds them.
QMutex &openMutex()
{
    static QMutex *mutex = new QMutex;
    return *mutex;
}
QSet<QString> &openFiles()
{
    static QSet<QString> *files = new QSet<QString>;
    return *files;
}

QString openKey(const QString &path)
{
    DbfIo::FileSystem &fs = DbfIo::fileSystem();
    return fs.identity() + fs.resolve(path);
}

bool isOpenInProcess(const QString &path)
{
    QMutexLocker lock(&openMutex());
    return openFiles().contains(openKey(path));
}

QString scratchName(const QString &target, const QString &suffix)
{
    const QFileInfo info(target);
    return QDir(info.path()).filePath(QStringLiteral(".%1.%2").arg(info.fileName(), suffix));
}

// A scratch file under a fixed name beside its target: while the table (or its creation) holds
// the target, nobody else uses that name, so a file of that name is left over from an operation
// that was cut off and goes first. Never follows a link.
std::unique_ptr<File> createScratch(const QString &scratch, QString *error)
{
    DbfIo::FileSystem &fs = DbfIo::fileSystem();
    if (fs.lookup(scratch, false).exists)
        fs.remove(scratch);
    std::unique_ptr<File> out;
    if (fs.open(scratch, OpenMode::CreateNew, true, &out, error) != OpenResult::Ok)
        return nullptr;
    return out;
}

} // namespace

QString DbfFile::native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

DbfWriteError DbfFile::writeFailed(bool indexToo)
{
    return DbfWriteError(
        indexToo ? QStringLiteral("Error while writing occurred; indexes probably corrupted. (Disk full?)")
                 : QStringLiteral("Error while writing occurred. (Disk full?)"));
}

DbfError DbfFile::inUse(const QString &path)
{
    return DbfError(QStringLiteral("Файл «%1» занят другой программой.").arg(native(path)));
}

bool DbfFile::writeAll(File *file, const char *data, qint64 size, qint64 offset)
{
    while (size > 0) {
        const qint64 n = file->write(data, size, offset);
        if (n <= 0)
            return false;
        data += n;
        size -= n;
        offset += n;
    }
    return true;
}

bool DbfFile::readSmallFile(const QString &path, QByteArray *bytes, qint64 limit, qint64 head)
{
    std::unique_ptr<File> in;
    QString error;
    if (DbfIo::fileSystem().open(path, OpenMode::ReadOnly, false, &in, &error) != OpenResult::Ok)
        return false;
    const qint64 size = in->size();
    if (size < 0 || size > limit)
        return false;
    const qint64 wanted = head < 0 ? size : std::min(size, head);
    bytes->resize(wanted);
    return in->read(bytes->data(), wanted, 0);
}

QString DbfFile::folderOf(const QString &path)
{
    return QFileInfo(path).absolutePath();
}

void DbfFile::Claim::take(const QString &path)
{
    release();
    m_key = openKey(path);
    QMutexLocker lock(&openMutex());
    openFiles().insert(m_key);
}

void DbfFile::Claim::release()
{
    if (m_key.isEmpty())
        return;
    QMutexLocker lock(&openMutex());
    openFiles().remove(m_key);
    m_key.clear();
}

std::unique_ptr<File> DbfFile::openExclusive(const QString &file, const QString &name, bool readOnly)
{
    if (name.isEmpty())
        throw DbfError(QStringLiteral("Не задано имя файла таблицы."));
    if (isOpenInProcess(file))
        throw inUse(file);
    std::unique_ptr<File> opened;
    QString error;
    switch (DbfIo::fileSystem().open(file, readOnly ? OpenMode::ReadOnly : OpenMode::Existing, true, &opened,
                                     &error)) {
    case OpenResult::Ok:
        break;
    case OpenResult::InUse:
        throw inUse(file);
    case OpenResult::Failed:
        throw DbfError(QStringLiteral("Не удаётся открыть файл «%1»: %2").arg(native(file), error));
    }
    return opened;
}

DbfFile::Replaced DbfFile::replaceFile(const QString &target, const QString &suffix, const QByteArray &bytes,
                                       const DbfIo::Entry *attributes, ReplaceMode mode)
{
    DbfIo::FileSystem &fs = DbfIo::fileSystem();
    const QString scratch = scratchName(target, suffix);
    Replaced result;
    std::unique_ptr<File> out = createScratch(scratch, &result.error);
    if (!out) {
        result.failure = ReplaceFailure::Scratch;
        return result;
    }
    const bool written = writeAll(out.get(), bytes.constData(), bytes.size(), 0) &&
                         (!attributes || out->copyAttributes(*attributes)) && out->sync();
    const bool named =
        written && (mode == ReplaceMode::Replace ? fs.rename(scratch, target) : fs.link(scratch, target));
    if (!named) {
        out.reset();
        fs.remove(scratch);
        result.failure = written ? ReplaceFailure::Name : ReplaceFailure::Write;
        return result;
    }
    if (mode == ReplaceMode::FreeName)
        fs.remove(scratch); // the link made a second name; the rename of Replace left none
    result.file = std::move(out);
    if (!fs.syncDirectory(folderOf(target)))
        result.failure = ReplaceFailure::FolderSync;
    return result;
}

void DbfFile::removeStaleScratch(const QString &target)
{
    DbfIo::FileSystem &fs = DbfIo::fileSystem();
    for (const QString &suffix : {QStringLiteral("new"), QStringLiteral("pack")}) {
        const QString scratch = scratchName(target, suffix);
        const DbfIo::Entry e = fs.lookup(scratch, false);
        if (e.exists && e.regular && !e.symlink)
            fs.remove(scratch);
    }
}

QString DbfFile::keepAside(const QString &table, const QByteArray &bytes)
{
    DbfIo::FileSystem &fs = DbfIo::fileSystem();
    for (int n = 1; n <= 99; ++n) {
        const QString aside =
            table + (n == 1 ? QStringLiteral(".partial") : QStringLiteral(".partial%1").arg(n));
        if (fs.lookup(aside, false).exists) {
            QByteArray kept;
            if (readSmallFile(aside, &kept, bytes.size()) && kept == bytes)
                return aside;
            continue;
        }
        const Replaced made =
            replaceFile(aside, QStringLiteral("aside"), bytes, nullptr, ReplaceMode::FreeName);
        if (made.failure == ReplaceFailure::None)
            return aside;
        if (made.failure != ReplaceFailure::Name)
            break;
    }
    throw DbfError(
        QStringLiteral("Не удаётся сохранить неполную запись в конце файла «%1» в файл рядом с ним.")
            .arg(native(table)));
}
