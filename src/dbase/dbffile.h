#pragma once
// The table layer's own use of the files under it (internal to src/dbase): a table file held
// exclusively (refused when this process or another program holds it), and whole files put in
// place safely: written beside their name, synced, then given the name.
#include "base/errors.h"
#include "dbfio.h"

#include <QByteArray>
#include <QString>
#include <memory>

namespace DbfFile {

// Texts of the errors the file layer raises.
QString native(const QString &path);
DbfWriteError writeFailed(bool indexToo = false);
DbfError inUse(const QString &path);

// Writes all bytes (short counts are retried).
bool writeAll(DbfIo::File *file, const char *data, qint64 size, qint64 offset);
// Reads a whole file of at most `limit` bytes (its first `head` bytes, or fewer when it is
// shorter, for head >= 0); false when it is missing, larger or unreadable.
bool readSmallFile(const QString &path, QByteArray *bytes, qint64 limit, qint64 head = -1);
// The folder a file is in (absolute).
QString folderOf(const QString &path);

// The files this process holds open, by file system and resolved path: one file is never opened
// twice. A Claim holds its file's place in that set until it is released or destroyed.
class Claim
{
public:
    Claim() = default;
    ~Claim() { release(); }
    Claim(const Claim &) = delete;
    Claim &operator=(const Claim &) = delete;
    void take(const QString &path);
    void release();

private:
    QString m_key;
};

// Opens an existing file exclusively; a file this process or another program holds is refused.
// `name` is the table's file name (empty: no name was given). Raises the operator's error.
// Read-only, the file is opened for reading and shared with other readers only.
std::unique_ptr<DbfIo::File> openExclusive(const QString &file, const QString &name, bool readOnly = false);

// What replaceFile did not manage.
enum class ReplaceFailure {
    None,
    Scratch,    // the scratch file could not be made (its error text is given)
    Write,      // writing or syncing the scratch file; nothing was renamed
    Name,       // giving it the name; the old file (or no file) stays under the name
    FolderSync, // the new file has the name, but the folder sync failed
};
enum class ReplaceMode {
    Replace,  // over whatever regular file has the name (rename)
    FreeName, // only if the name is still free (link): somebody making it meanwhile wins
};
struct Replaced
{
    std::unique_ptr<DbfIo::File> file; // the new file, open and locked (FolderSync and None)
    ReplaceFailure failure = ReplaceFailure::None;
    QString error; // the system's text for Scratch
};

// Puts `bytes` under the name `target` as a file built whole: written to a scratch file beside
// it (".NAME.suffix", a leftover of an operation cut off goes first), given the permission bits,
// owner and group of `attributes` when there are any, synced, then named and the folder synced.
// A file is under the name complete or not at all; no scratch file is left behind.
Replaced replaceFile(const QString &target, const QString &suffix, const QByteArray &bytes,
                     const DbfIo::Entry *attributes, ReplaceMode mode);

// Removes the scratch files that replaceFile makes beside `target` when an operation that was
// cut off (a kill, a power cut) left them behind. Call only while holding the target.
void removeStaleScratch(const QString &target);

// Copies `bytes` into a new file beside `table` (a resolved path) ("NAME.partial", numbered when taken by
// other bytes) and returns its path; an existing one of the same bytes is reused. Raises when no such file
// can be written: the bytes are not to be overwritten before they are safe.
QString keepAside(const QString &table, const QByteArray &bytes);

} // namespace DbfFile
