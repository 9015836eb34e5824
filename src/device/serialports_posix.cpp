// The port list's system side on POSIX systems: device nodes, their permissions and groups, the
// lock files and advisory locks other programs hold, and /proc for naming the holder.
#include "serialports.h"
#include "serialports_platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SerialPorts {

namespace {

QString groupName(gid_t gid)
{
    if (const group *g = ::getgrgid(gid))
        return QString::fromLocal8Bit(g->gr_name);
    return QString::number(gid);
}

QString userName()
{
    if (const passwd *p = ::getpwuid(::getuid()))
        return QString::fromLocal8Bit(p->pw_name);
    return QStringLiteral("$USER");
}

QString programName(qint64 pid, const QString &procDir)
{
    QFile comm(QStringLiteral("%1/%2/comm").arg(procDir).arg(pid));
    if (comm.open(QIODevice::ReadOnly))
        return QString::fromLocal8Bit(comm.readAll()).trimmed();
    return QString();
}

bool processAlive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

// The lock file a serial port library (Qt's among them) or a UUCP-style program leaves for the
// port: the first line holds the owner's process id. Returns that owner when it still runs.
qint64 lockOwner(const QString &path)
{
    const QString devPrefix = QStringLiteral("/dev/");
    if (!path.startsWith(devPrefix))
        return 0;
    QString name = path.mid(devPrefix.size());
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QStringList dirs{QStringLiteral("/var/lock"), QStringLiteral("/run/lock"), QStringLiteral("/tmp"),
                           QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
    for (const QString &dir : dirs) {
        QFile lock(dir + QStringLiteral("/LCK..") + name);
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        const qint64 pid = lock.readLine(64).trimmed().toLongLong();
        if (pid != ::getpid() && processAlive(pid))
            return pid;
    }
    return 0;
}

PortCheck busy(PortCheck check, const QString &procDir, qint64 lockPid = 0)
{
    check.access = Access::Busy;
    check.holders = holdersOf(check.device, procDir);
    if (lockPid > 0 && std::none_of(check.holders.begin(), check.holders.end(),
                                    [&](const Holder &h) { return h.pid == lockPid; }))
        check.holders.prepend({lockPid, programName(lockPid, procDir)});
    return check;
}

} // namespace

QString devicePath(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

QMap<QString, QString> stableNames(const QString &byIdDir)
{
    QMap<QString, QString> names;
    const QDir dir(byIdDir);
    const QFileInfoList links =
        dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : links) {
        if (!link.isSymLink())
            continue;
        const QString target = link.canonicalFilePath();
        // The first name (sorted) wins when an adapter offers several, so the choice is stable.
        if (!target.isEmpty() && !names.contains(target))
            names.insert(target, link.absoluteFilePath());
    }
    return names;
}

PortCheck checkAccess(const QString &path)
{
    PortCheck check;
    check.path = path;
    check.device = devicePath(path);
    const QByteArray device = QFile::encodeName(check.device);
    struct stat st
    {};
    if (path.isEmpty() || ::stat(device.constData(), &st) != 0) {
        check.access = Access::Missing;
        return check;
    }
    if (::access(device.constData(), R_OK | W_OK) != 0) {
        check.access = errno == EACCES || errno == EPERM ? Access::NoPermission : Access::Failed;
        check.group = groupName(st.st_gid);
        check.detail = QString::fromLocal8Bit(std::strerror(errno));
        return check;
    }
    check.access = Access::Available;
    qint64 pid = lockOwner(check.device);
    if (pid == 0 && check.device != path)
        pid = lockOwner(path);
    if (pid > 0) {
        check.access = Access::Busy;
        check.holders = {{pid, programName(pid, QStringLiteral("/proc"))}};
    }
    return check;
}

PortCheck probe(const QString &path, const QString &procDir)
{
    PortCheck check = checkAccess(path);
    if (check.access == Access::Busy)
        return busy(check, procDir, check.holders.isEmpty() ? 0 : check.holders.first().pid);
    if (check.access != Access::Available)
        return check;
    const QByteArray device = QFile::encodeName(check.device);
    const int fd = ::open(device.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            check.access = Access::Missing;
            return check;
        case EACCES:
        case EPERM: {
            check.access = Access::NoPermission;
            struct stat st
            {};
            if (::stat(device.constData(), &st) == 0)
                check.group = groupName(st.st_gid);
            return check;
        }
        case EBUSY:
            return busy(check, procDir);
        default:
            check.access = Access::Failed;
            check.detail = QString::fromLocal8Bit(std::strerror(error));
            return check;
        }
    }
    bool held = false;
#ifdef TIOCGEXCL
    // Exclusive mode set by another program: only the super-user could open it just now.
    int exclusive = 0;
    held = ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
#endif
    if (!held && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        held = true;
    ::close(fd); // closing also drops our lock
    return held ? busy(check, procDir) : check;
}

QList<Holder> holdersOf(const QString &device, const QString &procDir)
{
    QList<Holder> holders;
    const QString self = QString::number(::getpid());
    const QByteArray target = QFile::encodeName(device);
    const QStringList pids = QDir(procDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : pids) {
        bool number = false;
        const qint64 id = pid.toLongLong(&number);
        if (!number || pid == self)
            continue;
        const QString fdDir = procDir + QLatin1Char('/') + pid + QStringLiteral("/fd");
        const QStringList fds = QDir(fdDir).entryList(QDir::System | QDir::NoDotAndDotDot);
        for (const QString &fd : fds) {
            char link[4096];
            const QByteArray linkPath = QFile::encodeName(fdDir + QLatin1Char('/') + fd);
            const ssize_t n = ::readlink(linkPath.constData(), link, sizeof link);
            if (n > 0 && QByteArray(link, int(n)) == target) {
                holders.append({id, programName(id, procDir)});
                break;
            }
        }
    }
    return holders;
}

namespace Platform {

QString missingText()
{
    return QStringLiteral("нет такого устройства");
}

QString busyText()
{
    return QStringLiteral("занят другой программой");
}

QString noPermissionText(const PortCheck &check)
{
    return QStringLiteral("нет прав на чтение и запись; устройство принадлежит группе «%1»: "
                          "добавьте пользователя в эту группу (sudo usermod -aG %1 %2) "
                          "и войдите в систему заново")
        .arg(check.group, userName());
}

QString entryHint()
{
    return QStringLiteral("Любой путь к устройству можно ввести в поле вручную. "
                          "Пустое поле: устройство по умолчанию.");
}

} // namespace Platform

} // namespace SerialPorts
