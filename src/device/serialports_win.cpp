// The port list's system part on Windows. A port is a DOS device name ("COM1", "COM7" for a USB
// adapter); the system keeps the number an adapter gets, so the names are stable already. Windows
// opens a serial port for one program at a time: an open refused with "access denied" means that
// another program holds it, and the system does not say which one.
#include "serialports.h"
#include "serialportssystem.h"

#include <QRegularExpression>

#include <windows.h>

namespace SerialPorts {

namespace {

// "COM3", "com3", "\\.\COM3" → "COM3"; anything else stays as it is.
QString dosName(const QString &path)
{
    static const QRegularExpression com(QStringLiteral("^(?:\\\\\\\\\\.\\\\)?(COM[0-9]+)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = com.match(path.trimmed());
    return match.hasMatch() ? match.captured(1).toUpper() : path;
}

bool dosDeviceExists(const QString &name)
{
    wchar_t target[1024];
    return ::QueryDosDeviceW(reinterpret_cast<const wchar_t *>(name.utf16()), target,
                             DWORD(std::size(target))) != 0;
}

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

} // namespace

QString deviceOf(const QString &path)
{
    const QString name = dosName(path);
    return name == path && !name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)
               ? path
               : QStringLiteral("\\\\.\\") + name;
}

QString noPermissionText(const PortCheck &)
{
    return QStringLiteral("нет прав на чтение и запись");
}

QMap<QString, QString> stableNames(const QString &)
{
    return {};
}

PortCheck checkAccess(const QString &path)
{
    PortCheck check;
    check.path = path;
    check.device = deviceOf(path);
    const QString name = dosName(path);
    // The DOS device table answers without opening the port.
    check.access = !path.isEmpty() && dosDeviceExists(name) ? Access::Available : Access::Missing;
    return check;
}

PortCheck probe(const QString &path, const QString &)
{
    PortCheck check = checkAccess(path);
    if (check.access != Access::Available)
        return check;
    const HANDLE h = ::CreateFileW(reinterpret_cast<const wchar_t *>(check.device.utf16()),
                                   GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
        return check;
    }
    const DWORD code = ::GetLastError();
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
        check.access = Access::Missing;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        check.access = Access::Busy;
        break;
    default:
        check.access = Access::Failed;
        check.detail = errorText(code);
        break;
    }
    return check;
}

QList<Holder> holdersOf(const QString &, const QString &)
{
    // Windows names no process for an open device without a kernel debugger's view of handles.
    return {};
}

} // namespace SerialPorts
