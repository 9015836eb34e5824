#pragma once
// The files under the table layer: a small file interface with two implementations, the system's
// own files and an in-memory file system. The in-memory one keeps what is durable apart from what
// was only written, so that tests can ask for the file a power cut could leave behind.
#include <QByteArray>
#include <QMap>
#include <QString>
#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace DbfIo {

// Writes size bytes at offset; returns the number written (short counts are retried), -1 on error.
using WriteFunction = qint64 (*)(qintptr handle, const char *data, qint64 size, qint64 offset);
qint64 systemWrite(qintptr handle, const char *data, qint64 size, qint64 offset);
// Installs f (nullptr: the system write) for the system's files and returns the previous function.
// Tests and benchmarks replace it to inject failures or to count the system calls.
WriteFunction setWriteFunction(WriteFunction f);
// Write system calls made by systemWrite since the start of the program.
quint64 writeCalls();

// What identifies a file whatever names it has.
struct FileId
{
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileId &) const = default;
};

// A name looked up in a folder.
struct Entry
{
    bool exists = false;
    bool regular = false;
    bool symlink = false;
    FileId id;
    uint mode = 0644; // permission bits
    uint owner = 0;
    uint group = 0;
};

class File
{
public:
    virtual ~File() = default;
    virtual qint64 size() = 0; // -1 on error
    // Reads exactly size bytes; false on error or end of file.
    virtual bool read(char *data, qint64 size, qint64 offset) = 0;
    // Writes; the number of bytes written, -1 on error (errno set).
    virtual qint64 write(const char *data, qint64 size, qint64 offset) = 0;
    virtual bool truncate(qint64 size) = 0;
    // Everything written so far survives a power cut once this returns true.
    virtual bool sync() = 0;
    virtual Entry info() = 0;
    // Gives the file the permission bits, owner and group of another (best effort for the owner).
    virtual bool copyAttributes(const Entry &from) = 0;
};

enum class OpenMode {
    Existing,  // the file must exist
    CreateNew, // the name must not exist (not even as a dangling link); created empty
    ReadOnly,  // the file must exist; opened for reading only, never blocks (a FIFO, a device)
};
enum class OpenResult { Ok, InUse, Failed };

class FileSystem
{
public:
    virtual ~FileSystem() = default;
    // Opens for reading and writing (ReadOnly: reading); lock takes the file exclusively (another
    // open with lock is refused with InUse, in this process or another), or, read-only, shared
    // with other readers and refused while a writer holds it. Only regular files are opened.
    virtual OpenResult open(const QString &path, OpenMode mode, bool lock, std::unique_ptr<File> *file,
                            QString *error) = 0;
    // The name itself, links not followed (lstat), and what it names (stat).
    virtual Entry lookup(const QString &path, bool followLinks) = 0;
    // The file a path names, links followed; the absolute path when it does not exist.
    virtual QString resolve(const QString &path) = 0;
    // Distinguishes file systems in the process-wide set of open files.
    virtual QString identity() const { return QString(); }
    // Replaces to by from (atomically); the names survive a power cut only after syncDirectory.
    virtual bool rename(const QString &from, const QString &to) = 0;
    // A second name for from; fails when to exists.
    virtual bool link(const QString &from, const QString &to) = 0;
    virtual bool remove(const QString &path) = 0; // the name itself, never a link's target
    virtual bool syncDirectory(const QString &directory) = 0;
};

// The file system the table layer uses: the system's own unless a test installed another.
FileSystem &fileSystem();
FileSystem &systemFileSystem();
// Installs fs (nullptr: the system's) and returns the previous one.
FileSystem *setFileSystem(FileSystem *fs);

// Installs a file system for the lifetime of the object.
class ScopedFileSystem
{
public:
    explicit ScopedFileSystem(FileSystem *fs) : m_previous(setFileSystem(fs)) {}
    ~ScopedFileSystem() { setFileSystem(m_previous); }
    ScopedFileSystem(const ScopedFileSystem &) = delete;
    ScopedFileSystem &operator=(const ScopedFileSystem &) = delete;

private:
    FileSystem *m_previous;
};

// Files in memory, in the manner of a disk with a write cache: every write, size change and name
// change since the last sync is remembered, and powerCut() builds a file system as a power cut at
// this moment could leave it: everything synced, plus any subset of the later writes in whole
// 512-byte sectors, some of them torn (written only in part), and the names as they were after some
// prefix of the unsynced name changes. Paths are compared as given (no links, no folders to make).
class MemoryFileSystem : public FileSystem
{
public:
    static constexpr qint64 SectorSize = 512;

    MemoryFileSystem();
    ~MemoryFileSystem() override;

    OpenResult open(const QString &path, OpenMode mode, bool lock, std::unique_ptr<File> *file,
                    QString *error) override;
    Entry lookup(const QString &path, bool followLinks) override;
    QString resolve(const QString &path) override;
    QString identity() const override;
    bool rename(const QString &from, const QString &to) override;
    bool link(const QString &from, const QString &to) override;
    bool remove(const QString &path) override;
    bool syncDirectory(const QString &directory) override;

    // Test helpers: the current bytes of a file (empty when missing), and a file put in place as
    // synced.
    QByteArray contents(const QString &path) const;
    void setContents(const QString &path, const QByteArray &bytes);
    bool exists(const QString &path) const;

    // Called before every change (write, size change, sync, name change): the crash test takes its
    // power-cut images there. Not called for changes made by powerCut's own image.
    std::function<void()> beforeChange;
    // Number of changes so far.
    quint64 changes() const;
    // Off: no history is kept (powerCut() then only knows what was put in place); for fuzzing,
    // where only the speed of the files matters.
    void setKeepChanges(bool on) { m_keepChanges = on; }

    // A new file system holding what a power cut now could leave (see above).
    std::unique_ptr<MemoryFileSystem> powerCut(std::mt19937 &random) const;

    struct Node;

private:
    friend class MemoryFile;
    void changing();
    void namesChanged(); // keeps the names as they now stand, for powerCut()
    QMap<QString, std::shared_ptr<Node>> m_names;
    // The names as they stand after each name change since the last folder sync; [0] is durable.
    std::vector<QMap<QString, std::shared_ptr<Node>>> m_nameHistory;
    quint64 m_changes = 0;
    bool m_keepChanges = true;
    quint64 m_nextInode = 1;
    int m_serial;
};

} // namespace DbfIo
