// The port list's system side on Windows. The DOS device table says whether a COM port is
// there without opening it; whether it is free only an open tells: CreateFileA fails with
// ERROR_ACCESS_DENIED for a port another program holds (COM ports are always exclusive), and
// with ERROR_FILE_NOT_FOUND for one that went meanwhile. Windows does not say which program
// holds a port.
#include "serialports.h"
#include "serialports_platform.h"
#include "win32comm.h"

#include <iterator>

namespace SerialPorts {

namespace {

// False only when name is a COM port that the DOS device table does not hold.
bool mayExist(const QString &device)
{
    const QString prefix = QStringLiteral("\\\\.\\");
    if (!device.startsWith(prefix))
        return true;
    const QString dosName = device.mid(prefix.size());
    if (!dosName.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return true;
    wchar_t target[1024];
    return ::QueryDosDeviceW(reinterpret_cast<const wchar_t *>(dosName.utf16()), target,
                             DWORD(std::size(target))) != 0;
}

} // namespace

QString devicePath(const QString &path)
{
    return Win32Comm::deviceName(path);
}

QMap<QString, QString> stableNames(const QString &)
{
    return {};
}

PortCheck checkAccess(const QString &path)
{
    PortCheck check;
    check.path = path;
    check.device = devicePath(path);
    if (check.device.isEmpty() || !mayExist(check.device)) {
        check.access = Access::Missing;
        return check;
    }
    // Opened and closed at once; no line settings are applied, so the modem lines stay as the
    // driver keeps them between opens.
    const QByteArray name = check.device.toLocal8Bit();
    const HANDLE handle = ::CreateFileA(name.constData(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(handle);
        check.access = Access::Available;
        return check;
    }
    const DWORD error = ::GetLastError();
    check.access = Win32Comm::accessOf(error);
    if (check.access == Access::Failed)
        check.detail = Win32Comm::errorText(error);
    return check;
}

PortCheck probe(const QString &path, const QString &)
{
    return checkAccess(path);
}

QList<Holder> holdersOf(const QString &, const QString &)
{
    return {};
}

namespace Platform {

QString missingText()
{
    return QStringLiteral("нет такого порта");
}

QString busyText()
{
    return QStringLiteral("занят другой программой (доступ к порту запрещён)");
}

QString noPermissionText(const PortCheck &)
{
    return QStringLiteral("нет доступа к порту");
}

QString entryHint()
{
    return QStringLiteral("Имя порта можно ввести в поле вручную (например, \\\\.\\COM5 или COM5). "
                          "Пустое поле: порт по умолчанию.");
}

} // namespace Platform

} // namespace SerialPorts
