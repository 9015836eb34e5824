#pragma once
// The serial ports of this machine as the operator chooses among them, and why one of them
// cannot be used: no such device, no permission (with the group that owns the device), held by
// another program (named when the system tells), or some other refusal of the system.
//
// Headless: the ports dialog, `qpx-cli ports` and the download's not-found report all read
// from here. On POSIX systems listing never opens a device (opening a tty may toggle its modem
// lines); only probe() does, after an open has already failed or when asked for one path. On
// Windows the only way to learn whether a COM port is held is to open it, so the quick check
// opens and closes it at once (no line settings are applied); the system does not name the
// program that holds a port.
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace SerialPorts {

enum class Access {
    Available,    // this user may open it, and nobody holds it
    Missing,      // no such device
    NoPermission, // the device exists but this user may not read and write it
    Busy,         // another program holds it
    Failed,       // the system refused for another reason (detail)
};

struct Holder
{
    qint64 pid = 0;
    QString name; // the program's name (comm)
};

struct PortCheck
{
    QString path;   // as asked
    QString device; // the device the path stands for (symbolic links followed)
    Access access = Access::Missing;
    QString group;         // the device's owner group (NoPermission)
    QList<Holder> holders; // programs that have it open (Busy), when the system can tell
    QString detail;        // the system's error text (Failed)
};

struct PortEntry
{
    QString path;   // the path offered: the stable /dev/serial/by-id name when there is one
    QString device; // the kernel's device path, such as /dev/ttyUSB0
    QString description;
    QString manufacturer;
    QString serialNumber;
    PortCheck check;
};

// The device a path stands for: symbolic links followed (POSIX); "COM<n>" written as
// "\\.\COM<n>" (Windows).
QString devicePath(const QString &path);

// The stable names of byIdDir (symbolic links) by the device each stands for (none on Windows).
QMap<QString, QString> stableNames(const QString &byIdDir = QStringLiteral("/dev/serial/by-id"));

// Quick check without opening: existence, permission for this user, another program's lock file.
PortCheck checkAccess(const QString &path);
// Full check: checkAccess, then an open (non-blocking, no controlling terminal), the exclusive
// mode another program set and its advisory lock; holders named from procDir.
PortCheck probe(const QString &path, const QString &procDir = QStringLiteral("/proc"));

// The processes other than this one that have device open.
QList<Holder> holdersOf(const QString &device, const QString &procDir = QStringLiteral("/proc"));

// The ports present (Qt's enumeration), then each of extraPaths that is not among them (the
// assigned ports, for one), in that order; each with its quick check.
QList<PortEntry> listPorts(const QStringList &extraPaths = {});

// What "\\.\COM<com>" is assigned in the settings ("Ports/COM<com>"), empty for its default.
QString assignedPort(int com);
// Assigns a device path; an empty path removes the assignment (the default device again).
void assignPort(int com, const QString &path);

// The operator's text for a check: "доступен", "нет такого устройства", the permission remedy,
// the program holding it.
QString accessText(const PortCheck &check);
// What the operator may type in the ports dialog's fields, for this system.
QString entryHint();
// Short form for a list column: "доступен", "нет устройства", "нет доступа", "занят", "ошибка".
QString accessWord(Access access);

} // namespace SerialPorts
