// The port list's parts every system shares: the list itself (Qt's enumeration plus the paths
// asked for), the role assignments in the settings, and the operator's texts.
#include "serialports.h"
#include "serialports_platform.h"

#include "base/settingsstore.h"

#include <QSerialPortInfo>
#include <algorithm>

namespace SerialPorts {

QList<PortEntry> listPorts(const QStringList &extraPaths)
{
    QList<PortEntry> entries;
    const QMap<QString, QString> stable = stableNames();
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        PortEntry entry;
        entry.device = devicePath(info.systemLocation());
        entry.path = stable.value(entry.device, info.systemLocation());
        entry.description = info.description();
        entry.manufacturer = info.manufacturer();
        entry.serialNumber = info.serialNumber();
        entry.check = checkAccess(entry.path);
        entries.append(entry);
    }
    for (const QString &path : extraPaths) {
        const QString device = devicePath(path);
        const bool listed = std::any_of(entries.begin(), entries.end(), [&](const PortEntry &e) {
            return e.path == path || e.device == device;
        });
        if (listed || path.isEmpty())
            continue;
        PortEntry entry;
        entry.path = path;
        entry.device = device;
        entry.check = checkAccess(path);
        entries.append(entry);
    }
    return entries;
}

QString assignedPort(int com)
{
    return SettingsStore::open()->value(QStringLiteral("Ports/COM%1").arg(com)).toString().trimmed();
}

void assignPort(int com, const QString &path)
{
    const std::unique_ptr<QSettings> settings = SettingsStore::open();
    const QString key = QStringLiteral("Ports/COM%1").arg(com);
    if (path.trimmed().isEmpty())
        settings->remove(key);
    else
        settings->setValue(key, path.trimmed());
    settings->sync();
}

QString accessWord(Access access)
{
    switch (access) {
    case Access::Available:
        return QStringLiteral("доступен");
    case Access::Missing:
        return QStringLiteral("нет устройства");
    case Access::NoPermission:
        return QStringLiteral("нет доступа");
    case Access::Busy:
        return QStringLiteral("занят");
    case Access::Failed:
        break;
    }
    return QStringLiteral("ошибка");
}

QString accessText(const PortCheck &check)
{
    switch (check.access) {
    case Access::Available:
        return QStringLiteral("доступен");
    case Access::Missing:
        return Platform::missingText();
    case Access::NoPermission:
        return Platform::noPermissionText(check);
    case Access::Busy: {
        if (check.holders.isEmpty())
            return Platform::busyText();
        QStringList names;
        for (const Holder &h : check.holders)
            names << QStringLiteral("%1 (PID %2)")
                         .arg(h.name.isEmpty() ? QStringLiteral("?") : h.name)
                         .arg(h.pid);
        return QStringLiteral("занят другой программой: ") + names.join(QStringLiteral(", "));
    }
    case Access::Failed:
        break;
    }
    return QStringLiteral("не открывается: ") + check.detail;
}

QString entryHint()
{
    return Platform::entryHint();
}

} // namespace SerialPorts
