// The system's files on Windows, through the wide-character Win32 calls (names with Cyrillic
// letters whatever the ANSI code page): positioned ReadFile and WriteFile, FlushFileBuffers,
// share modes for the exclusive open, MoveFileExW and CreateHardLinkW for names.
//
// What Wine cannot show and was taken from the Windows documentation is said where it matters.
#include "dbfio.h"
#include "dbfiosystem.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <windows.h>

namespace {

using namespace DbfIo;

// Reads and writes go in pieces a DWORD can count.
constexpr qint64 MaxPiece = qint64(1) << 30;

std::wstring nativeName(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

// The system's text for an error code, in the language of the system, without the full stop and
// line break FormatMessage ends it with (the caller's sentence goes on after it).
QString errorText(DWORD code)
{
    wchar_t *buffer = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    QString text = n > 0 ? QString::fromWCharArray(buffer, int(n)).trimmed() : QString();
    if (buffer)
        ::LocalFree(buffer);
    while (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text.isEmpty() ? QStringLiteral("Windows error %1").arg(code) : text;
}

// errno for a failed write, so that callers see the same causes as on POSIX.
int errnoOf(DWORD code)
{
    switch (code) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_FILE_TOO_LARGE:
        return EFBIG;
    default:
        return EIO;
    }
}

OVERLAPPED at(qint64 offset)
{
    OVERLAPPED o{};
    o.Offset = DWORD(quint64(offset) & 0xFFFFFFFFu);
    o.OffsetHigh = DWORD(quint64(offset) >> 32);
    return o;
}

// A reparse point that stands for another name (a symbolic link or a junction).
bool isLink(HANDLE h, DWORD attributes)
{
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag))
        return true;
    return IsReparseTagNameSurrogate(tag.ReparseTag);
}

// Windows has no permission bits, owner or group in the POSIX sense: a file's access comes from
// the folder's inherited access list. The read-only attribute is shown as the write bits.
Entry entryOf(HANDLE h)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info))
        return Entry();
    Entry e;
    e.exists = true;
    e.regular = !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) &&
                ::GetFileType(h) == FILE_TYPE_DISK;
    e.symlink = isLink(h, info.dwFileAttributes);
    e.id = {quint64(info.dwVolumeSerialNumber),
            (quint64(info.nFileIndexHigh) << 32) | quint64(info.nFileIndexLow)};
    e.mode = info.dwFileAttributes & FILE_ATTRIBUTE_READONLY ? 0444 : 0644;
    return e;
}

class SystemFile : public File
{
public:
    explicit SystemFile(HANDLE h) : m_handle(h), m_volume(entryOf(h).id.device) {}
    ~SystemFile() override { ::CloseHandle(m_handle); }

    qint64 size() override
    {
        LARGE_INTEGER size{};
        return ::GetFileSizeEx(m_handle, &size) ? qint64(size.QuadPart) : -1;
    }
    bool read(char *data, qint64 size, qint64 offset) override
    {
        while (size > 0) {
            OVERLAPPED o = at(offset);
            DWORD n = 0;
            // A handle opened without FILE_FLAG_OVERLAPPED reads synchronously at o's offset.
            if (!::ReadFile(m_handle, data, DWORD(std::min(size, MaxPiece)), &n, &o) || n == 0)
                return false;
            data += n;
            size -= n;
            offset += n;
        }
        return true;
    }
    qint64 write(const char *data, qint64 size, qint64 offset) override
    {
        return System::writeFunction()(qintptr(m_handle), data, size, offset);
    }
    bool truncate(qint64 size) override
    {
        FILE_END_OF_FILE_INFO end{};
        end.EndOfFile.QuadPart = size;
        return ::SetFileInformationByHandle(m_handle, FileEndOfFileInfo, &end, sizeof end) != 0;
    }
    // FlushFileBuffers writes the file's data and its metadata (size, times) through the disk's
    // cache: what the program reports saved is on the medium.
    bool sync() override { return ::FlushFileBuffers(m_handle) != 0; }
    Entry info() override
    {
        // The volume of an open file never changes. Wine reports 0 for it once the file was
        // renamed (as every table file is, from its scratch name): the one seen at the open stands.
        Entry e = entryOf(m_handle);
        if (e.exists && e.id.device == 0)
            e.id.device = m_volume;
        return e;
    }
    bool copyAttributes(const Entry &from) override
    {
        // A rebuilt file inherits the folder's access list as the old one did; only the read-only
        // attribute is carried over.
        FILE_BASIC_INFO basic{};
        if (!::GetFileInformationByHandleEx(m_handle, FileBasicInfo, &basic, sizeof basic))
            return false;
        const bool readOnly = (from.mode & 0222) == 0;
        const DWORD attributes = readOnly ? basic.FileAttributes | FILE_ATTRIBUTE_READONLY
                                          : basic.FileAttributes & ~DWORD(FILE_ATTRIBUTE_READONLY);
        if (attributes == basic.FileAttributes)
            return true;
        basic.FileAttributes = attributes;
        return ::SetFileInformationByHandle(m_handle, FileBasicInfo, &basic, sizeof basic) != 0;
    }

private:
    HANDLE m_handle;
    quint64 m_volume;
};

// FileRenameInfoEx (Windows 10 1709): mingw-w64's headers name it only for newer targets.
constexpr auto RenameInfoEx = FILE_INFO_BY_HANDLE_CLASS(22);

// Renames from to to with POSIX semantics through a handle of from: the name to changes its file
// even while to is open. False where the system or the volume does not offer it.
bool renameOverOpenFile(const QString &from, const QString &to)
{
    const HANDLE h = ::CreateFileW(nativeName(from).c_str(), DELETE | SYNCHRONIZE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    // The new name as a full path in its long form.
    const std::wstring target =
        (QStringLiteral("\\??\\") + QDir::toNativeSeparators(QFileInfo(to).absoluteFilePath()))
            .toStdWString();
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
    auto *info = reinterpret_cast<FILE_RENAME_INFO *>(buffer.data());
    // Flags share their place with the older ReplaceIfExists, at the start of the structure.
    const DWORD flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
    std::memcpy(buffer.data(), &flags, sizeof flags);
    info->RootDirectory = nullptr;
    info->FileNameLength = DWORD(target.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, target.data(), info->FileNameLength);
    const bool renamed = ::SetFileInformationByHandle(h, RenameInfoEx, info, DWORD(buffer.size())) != 0;
    ::CloseHandle(h);
    return renamed;
}

class SystemFileSystem : public FileSystem
{
public:
    OpenResult open(const QString &path, OpenMode mode, bool lock, std::unique_ptr<File> *file,
                    QString *error) override
    {
        // The exclusive open shares neither reading nor writing: every other open of the file for
        // reading or writing, by any program or by this one, fails with a sharing violation while
        // the table holds it. Deleting is shared: the table layer replaces a file it holds by
        // renaming a new one over it (pack, create over an old table), and MoveFileExW needs
        // every open handle of both files to share delete access.
        // A read-only open that locks shares reading only: readers go side by side, a writer is
        // refused, and so is a reader while a writer holds the file.
        const bool reading = mode == OpenMode::ReadOnly;
        const DWORD share = !lock     ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                            : reading ? FILE_SHARE_READ | FILE_SHARE_DELETE
                                      : FILE_SHARE_DELETE;
        const DWORD access = reading ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
        // CREATE_NEW refuses any existing name, a link included (dangling or not), so a new file
        // is never made through a link.
        const DWORD disposition = mode == OpenMode::CreateNew ? CREATE_NEW : OPEN_EXISTING;
        const HANDLE h = ::CreateFileW(nativeName(path).c_str(), access, share, nullptr, disposition,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD code = ::GetLastError();
            if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION)
                return OpenResult::InUse;
            *error = errorText(code);
            return OpenResult::Failed;
        }
        // Only files on a disk: not a device ("COM1", "NUL", "CON"), not a pipe.
        if (::GetFileType(h) != FILE_TYPE_DISK || !entryOf(h).regular) {
            ::CloseHandle(h);
            *error = errorText(ERROR_INVALID_PARAMETER);
            return OpenResult::Failed;
        }
        *file = std::make_unique<SystemFile>(h);
        return OpenResult::Ok;
    }
    Entry lookup(const QString &path, bool followLinks) override
    {
        // Asking for the attributes only is not refused by another open's share mode, so the
        // name of a table this program (or another) holds is looked up like any other.
        const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
        const HANDLE h = ::CreateFileW(nativeName(path).c_str(), FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, flags, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            const Entry e = entryOf(h);
            ::CloseHandle(h);
            return e;
        }
        // Not even the attributes may be opened (an access list that denies them): the name
        // exists all the same when the folder lists it.
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!::GetFileAttributesExW(nativeName(path).c_str(), GetFileExInfoStandard, &data))
            return Entry();
        Entry e;
        e.exists = true;
        e.regular = !(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
        e.symlink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        e.mode = data.dwFileAttributes & FILE_ATTRIBUTE_READONLY ? 0444 : 0644;
        return e;
    }
    QString resolve(const QString &path) override
    {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        return canonical.isEmpty() ? QFileInfo(path).absoluteFilePath() : canonical;
    }
    bool rename(const QString &from, const QString &to) override
    {
        // The table layer renames a rebuilt file over the table it holds open. Windows refuses to
        // replace a file that has open handles, except with POSIX semantics (Windows 10 1709 and
        // later, NTFS), when every handle shares delete access as the table's does.
        if (renameOverOpenFile(from, to))
            return true;
        // Elsewhere the classic move: replaces the target in one step when nobody holds it;
        // WRITE_THROUGH returns only once the move is on the disk.
        const std::wstring source = nativeName(from), target = nativeName(to);
        if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        if (::GetLastError() != ERROR_ACCESS_DENIED)
            return false;
        return replaceHeldFile(source, target);
    }
    // The target is held open (by the table itself): an open file cannot be replaced, but it
    // can be renamed when its handles share delete access. It moves aside, the new file takes
    // its name, and the old one is deleted (for good once the table lets it go). A power cut
    // between the two moves leaves the old table under the name ".NAME.replaced" and the new
    // one under the scratch name, both whole; the two moves are written through, so that
    // window is as short as the disk allows.
    static bool replaceHeldFile(const std::wstring &source, const std::wstring &target)
    {
        const QFileInfo info(QString::fromStdWString(target));
        const std::wstring aside =
            nativeName(QDir(info.path()).filePath(QStringLiteral(".%1.replaced").arg(info.fileName())));
        if (!::MoveFileExW(target.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return false;
        if (!::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
            const DWORD code = ::GetLastError();
            ::MoveFileExW(aside.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH); // the old table back
            ::SetLastError(code);
            return false;
        }
        ::DeleteFileW(aside.c_str());
        return true;
    }
    bool link(const QString &from, const QString &to) override
    {
        if (::CreateHardLinkW(nativeName(to).c_str(), nativeName(from).c_str(), nullptr))
            return true;
        const DWORD code = ::GetLastError();
        if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)
            return false;
        // A volume without hard links (FAT32 on a memory stick, some network shares): the file
        // takes the new name instead of a second one. Without REPLACE_EXISTING the move fails as
        // the link would when the name exists meanwhile; the caller's removal of the old name
        // then finds nothing to remove.
        return ::MoveFileExW(nativeName(from).c_str(), nativeName(to).c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    }
    bool remove(const QString &path) override
    {
        // DeleteFileW removes a symbolic link itself, never what it points to.
        return ::DeleteFileW(nativeName(path).c_str()) != 0;
    }
    bool syncDirectory(const QString &) override
    {
        // Nothing to do on Windows. A folder cannot be synced there as on POSIX, and it need not
        // be: NTFS journals its metadata (names included), and every name change of this layer
        // goes through MoveFileExW with MOVEFILE_WRITE_THROUGH, which returns only once the
        // change is on the disk. The files themselves were flushed before they were named.
        return true;
    }
};

} // namespace

qint64 DbfIo::systemWrite(qintptr handle, const char *data, qint64 size, qint64 offset)
{
    System::countWriteCall();
    OVERLAPPED o = at(offset);
    DWORD n = 0;
    if (!::WriteFile(HANDLE(handle), data, DWORD(std::min(size, MaxPiece)), &n, &o)) {
        errno = errnoOf(::GetLastError());
        return -1;
    }
    return qint64(n);
}

DbfIo::FileSystem &DbfIo::systemFileSystem()
{
    // Never destroyed: tables closed by static destructors still reach it.
    static SystemFileSystem *fs = new SystemFileSystem;
    return *fs;
}
