// The system's files on POSIX systems: positioned reads and writes, fsync, flock and open file
// description locks, hard links, and fsync of the folder after a name changes.
#include "dbfio.h"
#include "dbfiosystem.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

qint64 DbfIo::systemWrite(qintptr handle, const char *data, qint64 size, qint64 offset)
{
    for (;;) {
        System::countWriteCall();
        const ssize_t n = ::pwrite(int(handle), data, size_t(size), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        return n;
    }
}

namespace {

using namespace DbfIo;

Entry entryOf(const struct stat &st)
{
    Entry e;
    e.exists = true;
    e.regular = S_ISREG(st.st_mode);
    e.symlink = S_ISLNK(st.st_mode);
    e.id = {quint64(st.st_dev), quint64(st.st_ino)};
    e.mode = uint(st.st_mode & 07777);
    e.owner = uint(st.st_uid);
    e.group = uint(st.st_gid);
    return e;
}

class SystemFile : public File
{
public:
    explicit SystemFile(int fd) : m_fd(fd) {}
    ~SystemFile() override { ::close(m_fd); }

    qint64 size() override
    {
        struct stat st
        {};
        return ::fstat(m_fd, &st) == 0 ? qint64(st.st_size) : -1;
    }
    bool read(char *data, qint64 size, qint64 offset) override
    {
        while (size > 0) {
            const ssize_t n = ::pread(m_fd, data, size_t(size), off_t(offset));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            data += n;
            size -= n;
            offset += n;
        }
        return true;
    }
    qint64 write(const char *data, qint64 size, qint64 offset) override
    {
        return System::writeFunction()(m_fd, data, size, offset);
    }
    bool truncate(qint64 size) override { return ::ftruncate(m_fd, off_t(size)) == 0; }
    bool sync() override { return ::fsync(m_fd) == 0; }
    Entry info() override
    {
        struct stat st
        {};
        return ::fstat(m_fd, &st) == 0 ? entryOf(st) : Entry();
    }
    bool copyAttributes(const Entry &from) override
    {
        // The owner can only be given by a privileged process; the group by a member of it. What
        // cannot be kept stays as created, the permission bits are set in any case.
        if (::fchown(m_fd, uid_t(from.owner), gid_t(from.group)) != 0 &&
            ::fchown(m_fd, uid_t(-1), gid_t(from.group)) != 0) {
            // Neither could be kept: the file keeps its creator's owner and group.
        }
        return ::fchmod(m_fd, mode_t(from.mode)) == 0;
    }

private:
    int m_fd;
};

// Other programs lock files in one of two ways that do not see each other on Linux: flock (as
// this program always did) or POSIX record locks (fcntl, lockf: office suites, database tools,
// Samba). The table is held with both, so that a program using either one keeps QPX out and is
// kept out. The record lock is an open file description lock: like flock it belongs to this open,
// so a second open of the same file in this process is refused too, and closing another
// descriptor of the file does not drop it.
// Read-only, both locks are shared: readers go side by side, a writer is refused, and so is a
// reader while a writer holds the file.
bool lockFile(int fd, bool shared)
{
    if (::flock(fd, (shared ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0)
        return false;
    struct flock whole
    {};
    whole.l_type = shared ? F_RDLCK : F_WRLCK;
    whole.l_whence = SEEK_SET;
    whole.l_start = 0;
    whole.l_len = 0; // to the end, however the file grows
    if (::fcntl(fd, F_OFD_SETLK, &whole) != 0) {
        const int code = errno;
        ::flock(fd, LOCK_UN);
        errno = code;
        return false;
    }
    return true;
}

class SystemFileSystem : public FileSystem
{
public:
    OpenResult open(const QString &path, OpenMode mode, bool lock, std::unique_ptr<File> *file,
                    QString *error) override
    {
        // A new file is never made through a link: O_EXCL refuses any existing name, a dangling
        // link included.
        // Reading never waits: O_NONBLOCK keeps a FIFO without a writer from blocking the open (it
        // is refused below as no regular file).
        const int flags = O_CLOEXEC | (mode == OpenMode::ReadOnly ? O_RDONLY | O_NONBLOCK : O_RDWR) |
                          (mode == OpenMode::CreateNew ? O_CREAT | O_EXCL | O_NOFOLLOW : 0);
        const int fd = ::open(QFile::encodeName(path).constData(), flags, 0666);
        if (fd < 0) {
            *error = qt_error_string(errno);
            return OpenResult::Failed;
        }
        struct stat st
        {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            *error = qt_error_string(EINVAL);
            return OpenResult::Failed;
        }
        // flock locks belong to the open file description: a second open of the same file, in
        // this process or another one, is refused as well, whatever the user's privileges.
        if (lock && !lockFile(fd, mode == OpenMode::ReadOnly)) {
            const int code = errno;
            ::close(fd);
            if (code == EWOULDBLOCK || code == EAGAIN || code == EACCES)
                return OpenResult::InUse;
            *error = qt_error_string(code);
            return OpenResult::Failed;
        }
        *file = std::make_unique<SystemFile>(fd);
        return OpenResult::Ok;
    }
    Entry lookup(const QString &path, bool followLinks) override
    {
        struct stat st
        {};
        const QByteArray name = QFile::encodeName(path);
        const int rc = followLinks ? ::stat(name.constData(), &st) : ::lstat(name.constData(), &st);
        return rc == 0 ? entryOf(st) : Entry();
    }
    QString resolve(const QString &path) override
    {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        return canonical.isEmpty() ? QFileInfo(path).absoluteFilePath() : canonical;
    }
    bool rename(const QString &from, const QString &to) override
    {
        return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
    }
    bool link(const QString &from, const QString &to) override
    {
        return ::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
    }
    bool remove(const QString &path) override { return ::unlink(QFile::encodeName(path).constData()) == 0; }
    bool syncDirectory(const QString &directory) override
    {
        const int fd = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_CLOEXEC | O_DIRECTORY);
        if (fd < 0)
            return false;
        const bool ok = ::fsync(fd) == 0;
        ::close(fd);
        return ok;
    }
};

} // namespace

DbfIo::FileSystem &DbfIo::systemFileSystem()
{
    // Never destroyed: tables closed by static destructors still reach it.
    static SystemFileSystem *fs = new SystemFileSystem;
    return *fs;
}
