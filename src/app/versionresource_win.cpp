// The version resource of a Windows executable, read as the system's file properties read it:
// GetFileVersionInfoW, then VerQueryValueW for the string in the Russian, code page 1251 block.
#include "about.h"

#include <QDir>
#include <vector>

#include <windows.h>

QString resourceFileVersion(const QString &executable)
{
    const std::wstring name = QDir::toNativeSeparators(executable).toStdWString();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(name.c_str(), &ignored);
    if (size == 0)
        return QString();
    std::vector<char> data(size);
    if (!::GetFileVersionInfoW(name.c_str(), 0, size, data.data()))
        return QString();
    void *value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), L"\\StringFileInfo\\041904E3\\FileVersion", &value, &length) ||
        !value || length == 0)
        return QString();
    // length counts characters, the closing NUL included.
    QString version = QString::fromWCharArray(static_cast<const wchar_t *>(value), int(length));
    while (version.endsWith(QChar(0)))
        version.chop(1);
    return version;
}
