// The part of the file layer every platform shares: the installed write function and file
// system, and the files in memory. The system's own files are in dbfio_posix.cpp and
// dbfio_win.cpp.
#include "dbfio.h"
#include "dbfiosystem.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace {
quint64 g_writeCalls = 0;
DbfIo::WriteFunction g_write = &DbfIo::systemWrite;
DbfIo::FileSystem *g_fileSystem = nullptr;
} // namespace

DbfIo::WriteFunction DbfIo::System::writeFunction()
{
    return g_write;
}

void DbfIo::System::countWriteCall()
{
    ++g_writeCalls;
}

DbfIo::WriteFunction DbfIo::setWriteFunction(WriteFunction f)
{
    const WriteFunction previous = g_write;
    g_write = f ? f : &DbfIo::systemWrite;
    return previous;
}

quint64 DbfIo::writeCalls()
{
    return g_writeCalls;
}

DbfIo::FileSystem &DbfIo::fileSystem()
{
    return g_fileSystem ? *g_fileSystem : systemFileSystem();
}

DbfIo::FileSystem *DbfIo::setFileSystem(FileSystem *fs)
{
    FileSystem *previous = g_fileSystem;
    g_fileSystem = fs;
    return previous;
}

// ---------------------------------------------------------------------------------------------
// Files in memory

struct DbfIo::MemoryFileSystem::Node
{
    struct Change
    {
        qint64 offset = 0;
        QByteArray bytes;
        qint64 size = -1; // the size after the change
    };
    quint64 inode = 0;
    QByteArray data;    // as the program sees it
    QByteArray durable; // as it survives a power cut
    std::vector<Change> pending;
    bool locked = false;
    Entry attributes;
};

namespace DbfIo {

class MemoryFile : public File
{
public:
    MemoryFile(MemoryFileSystem *fs, std::shared_ptr<MemoryFileSystem::Node> node, bool locked, bool readOnly)
        : m_fs(fs), m_node(std::move(node)), m_locked(locked), m_readOnly(readOnly)
    {}
    ~MemoryFile() override
    {
        if (m_locked)
            m_node->locked = false;
    }
    qint64 size() override { return m_node->data.size(); }
    bool read(char *data, qint64 size, qint64 offset) override
    {
        if (offset < 0 || size < 0 || offset + size > m_node->data.size())
            return false;
        std::memcpy(data, m_node->data.constData() + offset, size_t(size));
        return true;
    }
    qint64 write(const char *data, qint64 size, qint64 offset) override
    {
        if (m_readOnly) {
            errno = EBADF;
            return -1;
        }
        if (offset < 0 || size < 0 || offset + size > (qint64(1) << 30)) {
            errno = EFBIG;
            return -1;
        }
        m_fs->changing();
        QByteArray &d = m_node->data;
        if (d.size() < offset + size) {
            if (d.capacity() < offset + size)
                d.reserve(std::max(offset + size, 2 * d.capacity()));
            d.resize(offset + size, '\0');
        }
        std::memcpy(d.data() + offset, data, size_t(size));
        if (m_fs->m_keepChanges)
            m_node->pending.push_back({offset, QByteArray(data, size), d.size()});
        return size;
    }
    bool truncate(qint64 size) override
    {
        if (m_readOnly || size < 0 || size > (qint64(1) << 30))
            return false;
        m_fs->changing();
        m_node->data.resize(size, '\0');
        if (m_fs->m_keepChanges)
            m_node->pending.push_back({0, QByteArray(), size});
        return true;
    }
    bool sync() override
    {
        m_fs->changing();
        if (m_fs->m_keepChanges)
            m_node->durable = m_node->data;
        m_node->pending.clear();
        return true;
    }
    Entry info() override { return m_node->attributes; }
    bool copyAttributes(const Entry &from) override
    {
        if (m_readOnly)
            return false;
        m_node->attributes.mode = from.mode;
        m_node->attributes.owner = from.owner;
        m_node->attributes.group = from.group;
        return true;
    }

private:
    MemoryFileSystem *m_fs;
    std::shared_ptr<MemoryFileSystem::Node> m_node;
    bool m_locked;
    bool m_readOnly;
};

namespace {
std::atomic<int> g_memorySerial{0};
}

MemoryFileSystem::MemoryFileSystem() : m_nameHistory(1), m_serial(++g_memorySerial) {}
MemoryFileSystem::~MemoryFileSystem() = default;

void MemoryFileSystem::changing()
{
    ++m_changes;
    if (beforeChange)
        beforeChange();
}

void MemoryFileSystem::namesChanged()
{
    if (m_keepChanges)
        m_nameHistory.push_back(m_names);
}

quint64 MemoryFileSystem::changes() const
{
    return m_changes;
}

OpenResult MemoryFileSystem::open(const QString &path, OpenMode mode, bool lock, std::unique_ptr<File> *file,
                                  QString *error)
{
    auto it = m_names.find(path);
    if (mode == OpenMode::CreateNew) {
        if (it != m_names.end()) {
            *error = qt_error_string(EEXIST);
            return OpenResult::Failed;
        }
        changing();
        auto node = std::make_shared<Node>();
        node->inode = m_nextInode++;
        node->attributes.exists = node->attributes.regular = true;
        node->attributes.id = {quint64(m_serial), node->inode};
        it = m_names.insert(path, node);
        namesChanged();
    } else if (it == m_names.end()) {
        *error = qt_error_string(ENOENT);
        return OpenResult::Failed;
    }
    const std::shared_ptr<Node> node = it.value();
    if (lock) {
        if (node->locked)
            return OpenResult::InUse;
        node->locked = true;
    }
    // Locks here are all exclusive, read-only opens included: tests hold a table by one open.
    *file = std::make_unique<MemoryFile>(this, node, lock, mode == OpenMode::ReadOnly);
    return OpenResult::Ok;
}

Entry MemoryFileSystem::lookup(const QString &path, bool)
{
    const auto it = m_names.constFind(path);
    return it == m_names.cend() ? Entry() : it.value()->attributes;
}

QString MemoryFileSystem::resolve(const QString &path)
{
    return path;
}

QString MemoryFileSystem::identity() const
{
    return QStringLiteral("memory%1:").arg(m_serial);
}

bool MemoryFileSystem::rename(const QString &from, const QString &to)
{
    const auto it = m_names.find(from);
    if (it == m_names.end())
        return false;
    changing();
    const std::shared_ptr<Node> node = it.value();
    m_names.erase(it);
    m_names.insert(to, node);
    namesChanged();
    return true;
}

bool MemoryFileSystem::link(const QString &from, const QString &to)
{
    const auto it = m_names.constFind(from);
    if (it == m_names.cend() || m_names.contains(to))
        return false;
    changing();
    m_names.insert(to, it.value());
    namesChanged();
    return true;
}

bool MemoryFileSystem::remove(const QString &path)
{
    if (!m_names.contains(path))
        return false;
    changing();
    m_names.remove(path);
    namesChanged();
    return true;
}

bool MemoryFileSystem::syncDirectory(const QString &)
{
    // The model has one folder: a folder sync makes every name durable.
    changing();
    if (m_keepChanges)
        m_nameHistory.assign(1, m_names);
    return true;
}

QByteArray MemoryFileSystem::contents(const QString &path) const
{
    const auto it = m_names.constFind(path);
    return it == m_names.cend() ? QByteArray() : it.value()->data;
}

bool MemoryFileSystem::exists(const QString &path) const
{
    return m_names.contains(path);
}

void MemoryFileSystem::setContents(const QString &path, const QByteArray &bytes)
{
    auto it = m_names.find(path);
    if (it == m_names.end()) {
        auto node = std::make_shared<Node>();
        node->inode = m_nextInode++;
        node->attributes.exists = node->attributes.regular = true;
        node->attributes.id = {quint64(m_serial), node->inode};
        it = m_names.insert(path, node);
        for (auto &names : m_nameHistory)
            names.insert(path, node);
    }
    it.value()->data = bytes;
    it.value()->durable = bytes;
    it.value()->pending.clear();
}

std::unique_ptr<MemoryFileSystem> MemoryFileSystem::powerCut(std::mt19937 &random) const
{
    auto image = std::make_unique<MemoryFileSystem>();
    image->m_nextInode = m_nextInode;
    // The names: those of some prefix of the name changes since the last folder sync.
    const auto &names =
        m_nameHistory[std::uniform_int_distribution<size_t>(0, m_nameHistory.size() - 1)(random)];
    QMap<const Node *, std::shared_ptr<Node>> copies;
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        const Node *from = it.value().get();
        std::shared_ptr<Node> &copy = copies[from];
        if (!copy) {
            copy = std::make_shared<Node>();
            copy->inode = from->inode;
            copy->attributes = from->attributes;
            copy->attributes.id = {quint64(image->m_serial), from->inode};
            QByteArray bytes = from->durable;
            if (!from->pending.empty()) {
                // The size the metadata reached: after some prefix of the changes.
                const size_t sized = std::uniform_int_distribution<size_t>(0, from->pending.size())(random);
                const qint64 size = sized == 0 ? bytes.size() : from->pending[sized - 1].size;
                // Each sector of each later write reached the disk, or not, or in part.
                std::uniform_int_distribution<int> fate(0, 7);
                for (const Node::Change &c : from->pending) {
                    if (c.bytes.isEmpty()) {
                        if (c.size < bytes.size())
                            bytes.truncate(c.size); // a size change cuts what lies behind it
                        continue;
                    }
                    qint64 at = c.offset;
                    const qint64 end = c.offset + c.bytes.size();
                    while (at < end) {
                        const qint64 sectorEnd = std::min(end, (at / SectorSize + 1) * SectorSize);
                        const int f = fate(random);
                        qint64 take = f < 4 ? sectorEnd - at : 0; // written whole
                        if (f == 4)                               // torn
                            take = std::uniform_int_distribution<qint64>(0, sectorEnd - at)(random);
                        if (take > 0) {
                            if (bytes.size() < at + take)
                                bytes.resize(at + take, '\0');
                            std::memcpy(bytes.data() + at, c.bytes.constData() + (at - c.offset),
                                        size_t(take));
                        }
                        at = sectorEnd;
                    }
                }
                bytes.resize(size, '\0'); // space the metadata gave but no data reached reads as NUL
            }
            copy->data = copy->durable = bytes;
        }
        image->m_names.insert(it.key(), copy);
    }
    image->m_nameHistory.assign(1, image->m_names);
    return image;
}

} // namespace DbfIo
