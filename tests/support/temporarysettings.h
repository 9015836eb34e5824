#pragma once
// A settings store of the test's own, and the serial port assignment in it.
#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

// Points Qt's per-user settings at a folder of its own for the life of the object.
class TemporarySettings
{
public:
    TemporarySettings()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
        clearRegistry();
    }
    ~TemporarySettings() { clearRegistry(); }
    TemporarySettings(const TemporarySettings &) = delete;
    TemporarySettings &operator=(const TemporarySettings &) = delete;
    // The settings key as the program sees it, read afresh from the file.
    QVariant value(const QString &name) const
    {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, Organization, Application);
        return s.value(QStringLiteral("1.0/") + name);
    }
    void setValue(const QString &name, const QVariant &value) const
    {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, Organization, Application);
        s.setValue(QStringLiteral("1.0/") + name, value);
    }
    // "\\.\COM1" and "\\.\COM2" stand for these devices (an empty name: the default device).
    void pointPorts(const QString &com1, const QString &com2) const
    {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, Organization, Application);
        s.setValue(QStringLiteral("1.0/Ports/COM1"), com1);
        s.setValue(QStringLiteral("1.0/Ports/COM2"), com2);
        s.sync();
    }
    // A device path in the settings folder that does not exist.
    QString missing(const char *name) const { return dir.filePath(QLatin1String(name)); }

    QTemporaryDir dir;

    // The native settings of Windows are the registry, which no folder stands in for: the key
    // starts and ends empty instead (the Windows build's tests that use it run one at a time, and
    // each of them starts with it empty: test_main.cpp).
    static void clearRegistry()
    {
#ifdef Q_OS_WIN
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, Organization, Application);
        s.clear();
        s.sync();
#endif
    }

private:
    static inline const QString Organization = QStringLiteral("Norvelt");
    static inline const QString Application = QStringLiteral("QPX");
};
