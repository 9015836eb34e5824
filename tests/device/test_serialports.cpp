// The port list and the causes on pseudo-terminals: stable names, missing paths, a device held
// by another program (its lock), and the assignments in the settings.
#include "device/CPDrv.h"
#include "device/serialports.h"
#include "ptytestkit.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace SerialPorts;

namespace {

class SettingsFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
    }
    QString file(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

private:
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(SettingsFixture, StableNamesMapEachDeviceToItsFirstLink)
{
    Pty a, b;
    ASSERT_FALSE(a.path.isEmpty());
    const QString dir = file("by-id");
    ASSERT_TRUE(QDir().mkpath(dir));
    ASSERT_TRUE(QFile::link(a.path, dir + QStringLiteral("/usb-Maker_Adapter_A1-if00-port0")));
    ASSERT_TRUE(QFile::link(a.path, dir + QStringLiteral("/usb-Maker_Adapter_A1-if00-port9")));
    ASSERT_TRUE(QFile::link(b.path, dir + QStringLiteral("/usb-Other_B2-if00")));
    ASSERT_TRUE(QFile::link(file("gone"), dir + QStringLiteral("/usb-dangling"))); // unplugged since
    const QMap<QString, QString> names = stableNames(dir);
    EXPECT_EQ(names.size(), 2);
    EXPECT_EQ(names.value(a.path), dir + QStringLiteral("/usb-Maker_Adapter_A1-if00-port0"));
    EXPECT_EQ(names.value(b.path), dir + QStringLiteral("/usb-Other_B2-if00"));
    EXPECT_TRUE(stableNames(file("no-such-dir")).isEmpty());

    // A stable name checks as the device it stands for.
    const PortCheck viaLink = probe(names.value(a.path));
    EXPECT_EQ(viaLink.access, Access::Available);
    EXPECT_EQ(viaLink.device, a.path);
}

TEST_F(SettingsFixture, CausesOfAPseudoTerminalAndOfMissingPaths)
{
    Pty pty;
    ASSERT_FALSE(pty.path.isEmpty());
    EXPECT_EQ(checkAccess(pty.path).access, Access::Available);
    EXPECT_EQ(probe(pty.path).access, Access::Available);
    EXPECT_EQ(accessText(probe(pty.path)), QStringLiteral("доступен"));

    for (const QString &missing : {file("ttyUSB7"), QStringLiteral("/dev/ttyUSB-nonexistent"), QString()}) {
        const PortCheck check = probe(missing);
        EXPECT_EQ(check.access, Access::Missing) << missing.toStdString();
        EXPECT_EQ(accessText(check), QStringLiteral("нет такого устройства"));
    }
    // A pseudo-terminal whose other side has gone is no device any more.
    QString gone;
    {
        Pty closed;
        gone = closed.path;
    }
    EXPECT_EQ(probe(gone).access, Access::Missing);

    // The texts of the causes the other tests cannot produce here.
    PortCheck denied;
    denied.access = Access::NoPermission;
    denied.group = QStringLiteral("dialout");
    EXPECT_TRUE(accessText(denied).contains(QStringLiteral("группе «dialout»")));
    EXPECT_TRUE(accessText(denied).contains(QStringLiteral("usermod -aG dialout")));
    EXPECT_TRUE(accessText(denied).contains(QStringLiteral("войдите в систему заново")));
    PortCheck busy;
    busy.access = Access::Busy;
    EXPECT_EQ(accessText(busy), QStringLiteral("занят другой программой"));
    busy.holders = {{4242, QStringLiteral("minicom")}};
    EXPECT_EQ(accessText(busy), QStringLiteral("занят другой программой: minicom (PID 4242)"));
}

TEST_F(SettingsFixture, DeviceHeldByAnotherProgramIsBusyAndNamed)
{
    Pty pty;
    ASSERT_FALSE(pty.path.isEmpty());
    // Another program holds the device under its advisory lock.
    QProcess holder;
    holder.start(QStringLiteral("flock"), {QStringLiteral("--exclusive"), QStringLiteral("--no-fork"),
                                           pty.path, QStringLiteral("sleep"), QStringLiteral("30")});
    ASSERT_TRUE(holder.waitForStarted(5000));
    PortCheck check;
    for (int i = 0; i < 200 && check.access != Access::Busy; ++i) {
        QThread::msleep(10);
        check = probe(pty.path);
    }
    ASSERT_EQ(check.access, Access::Busy);
    ASSERT_FALSE(check.holders.isEmpty());
    bool named = false;
    for (const Holder &h : check.holders)
        named = named || h.pid == holder.processId() || h.name == QStringLiteral("sleep");
    EXPECT_TRUE(named);
    EXPECT_TRUE(accessText(check).startsWith(QStringLiteral("занят другой программой: ")));
    EXPECT_TRUE(accessText(check).contains(QStringLiteral("PID ")));

    // The driver does not take it either, and says so.
    TCommPortDriver driver;
    driver.setPortName(pty.path);
    EXPECT_FALSE(driver.OpenPort());

    holder.kill();
    holder.waitForFinished(5000);
    QThread::msleep(50);
    EXPECT_EQ(probe(pty.path).access, Access::Available);
    EXPECT_TRUE(holdersOf(pty.path).isEmpty());
}

TEST_F(SettingsFixture, ListHoldsTheExtraPathsOnceAndAssignmentsRoundTrip)
{
    Pty pty;
    ASSERT_FALSE(pty.path.isEmpty());
    const QList<PortEntry> ports = listPorts({pty.path, pty.path, file("missing"), QString()});
    int ptyRows = 0;
    bool missingListed = false;
    for (const PortEntry &p : ports) {
        if (p.device == pty.path) {
            ++ptyRows;
            EXPECT_EQ(p.check.access, Access::Available);
        }
        if (p.path == file("missing")) {
            missingListed = true;
            EXPECT_EQ(p.check.access, Access::Missing);
        }
    }
    EXPECT_EQ(ptyRows, 1);
    EXPECT_TRUE(missingListed);

    EXPECT_EQ(assignedPort(1), QString());
    EXPECT_EQ(TCommPortDriver::resolvePortName(QStringLiteral("\\\\.\\COM1")), QStringLiteral("/dev/ttyS0"));
    assignPort(1, QStringLiteral("  /dev/serial/by-id/usb-X  "));
    assignPort(2, pty.path);
    EXPECT_EQ(assignedPort(1), QStringLiteral("/dev/serial/by-id/usb-X"));
    EXPECT_EQ(TCommPortDriver::resolvePortName(QStringLiteral("\\\\.\\COM1")),
              QStringLiteral("/dev/serial/by-id/usb-X"));
    EXPECT_EQ(TCommPortDriver::resolvePortName(QStringLiteral("\\\\.\\COM2")), pty.path);
    assignPort(1, QStringLiteral(" "));
    EXPECT_EQ(assignedPort(1), QString());
    EXPECT_EQ(TCommPortDriver::resolvePortName(QStringLiteral("\\\\.\\COM1")), QStringLiteral("/dev/ttyS0"));
}
