// The Win32 serial line: the device control block and time-outs it hands the system, how it
// reads the system's error codes, and opening ports that are missing or held. Runs under Wine
// without a device; the held-port case needs a COM port that opens (QPX_TEST_COM names one,
// else "\\.\COM1" is tried) and skips without one.
#include "device/CPDrv.h"
#include "device/serialports.h"
#include "device/win32comm.h"
#include "support/temporarysettings.h"

#include <QString>
#include <gtest/gtest.h>

using SerialPorts::Access;

namespace {

// Wine lets a second handle open a COM port that is already open (real Windows refuses it with
// ERROR_ACCESS_DENIED), so the refusal itself can only be checked on Windows.
bool underWine()
{
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

} // namespace

TEST(Win32SerialLine, DeviceControlBlockOfTheDownloadLine)
{
    // The download dialog's line: 9600 8N1, RTS raised, DTR low, queues of 4096.
    SerialLineSettings s;
    s.dtr = false;
    s.inQueue = 4096;
    s.outQueue = 4096;
    const DCB dcb = Win32Comm::deviceControlBlock(s);
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fParity, 0u);
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
    EXPECT_EQ(dcb.fDtrControl, unsigned(DTR_CONTROL_DISABLE));
    EXPECT_EQ(dcb.fDsrSensitivity, 0u);
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fInX, 0u);
    EXPECT_EQ(dcb.fErrorChar, 0u);
    EXPECT_EQ(dcb.fNull, 0u);
    EXPECT_EQ(dcb.fRtsControl, unsigned(RTS_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fAbortOnError, 0u); // a line error must not abort the reads that follow
    EXPECT_EQ(dcb.XonLim, 1024);
    EXPECT_EQ(dcb.XoffLim, 1024);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.EofChar, 0);
    EXPECT_EQ(dcb.EvtChar, 0);
}

TEST(Win32SerialLine, DeviceControlBlockFollowsEveryProperty)
{
    SerialLineSettings s;
    s.baudRate = 115200;
    s.dataBits = db7BITS;
    s.parity = ptEVEN;
    s.stopBits = sb2BITS;
    s.hwFlow = hfRTSCTS;
    s.swFlow = sfXONXOFF;
    s.dtr = true;
    s.inQueue = 128;
    DCB dcb = Win32Comm::deviceControlBlock(s);
    EXPECT_EQ(dcb.BaudRate, 115200u);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_EQ(dcb.fRtsControl, unsigned(RTS_CONTROL_HANDSHAKE));
    EXPECT_EQ(dcb.fOutxCtsFlow, 1u);
    EXPECT_EQ(dcb.fOutX, 1u);
    EXPECT_EQ(dcb.fInX, 1u);
    EXPECT_EQ(dcb.fDtrControl, unsigned(DTR_CONTROL_ENABLE));
    EXPECT_EQ(dcb.XonLim, 32);
    EXPECT_EQ(dcb.fParity, 0u); // parity is sent and received, but errors are not checked

    s.dataBits = db5BITS;
    s.parity = ptSPACE;
    s.stopBits = sb1HALFBITS;
    s.hwFlow = hfNONE;
    dcb = Win32Comm::deviceControlBlock(s);
    EXPECT_EQ(dcb.ByteSize, 5);
    EXPECT_EQ(dcb.Parity, SPACEPARITY);
    EXPECT_EQ(dcb.StopBits, ONE5STOPBITS);
    EXPECT_EQ(dcb.fRtsControl, unsigned(RTS_CONTROL_DISABLE));
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
}

TEST(Win32SerialLine, ReadsNeverWaitAndWritesGiveUpAfterTheOutputTimeout)
{
    const COMMTIMEOUTS t = Win32Comm::timeouts(500);
    EXPECT_EQ(t.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 500u);
}

TEST(Win32SerialLine, NamesAndErrorCodes)
{
    EXPECT_EQ(Win32Comm::deviceName(QStringLiteral("COM5")), QStringLiteral("\\\\.\\COM5"));
    EXPECT_EQ(Win32Comm::deviceName(QStringLiteral(" com12 ")), QStringLiteral("\\\\.\\COM12"));
    EXPECT_EQ(Win32Comm::deviceName(QStringLiteral("\\\\.\\COM3")), QStringLiteral("\\\\.\\COM3"));
    EXPECT_EQ(Win32Comm::deviceName(QStringLiteral("COM")), QStringLiteral("COM"));
    EXPECT_EQ(Win32Comm::deviceName(QStringLiteral("COM1x")), QStringLiteral("COM1x"));
    EXPECT_EQ(Win32Comm::deviceName(QString()), QString());

    // Why an open failed.
    EXPECT_EQ(Win32Comm::accessOf(ERROR_FILE_NOT_FOUND), Access::Missing);
    EXPECT_EQ(Win32Comm::accessOf(ERROR_PATH_NOT_FOUND), Access::Missing);
    EXPECT_EQ(Win32Comm::accessOf(ERROR_ACCESS_DENIED), Access::Busy);
    EXPECT_EQ(Win32Comm::accessOf(ERROR_SHARING_VIOLATION), Access::Busy);
    EXPECT_EQ(Win32Comm::accessOf(ERROR_GEN_FAILURE), Access::Failed);

    // A lost device ends the connection; a passing fault or success does not.
    for (const DWORD gone :
         {DWORD(ERROR_ACCESS_DENIED), DWORD(ERROR_BAD_COMMAND), DWORD(ERROR_DEVICE_REMOVED),
          DWORD(ERROR_OPERATION_ABORTED), DWORD(ERROR_NOT_READY), DWORD(ERROR_GEN_FAILURE)})
        EXPECT_TRUE(Win32Comm::deviceGone(gone)) << gone;
    for (const DWORD passing :
         {DWORD(ERROR_SUCCESS), DWORD(ERROR_IO_PENDING), DWORD(ERROR_INVALID_PARAMETER)})
        EXPECT_FALSE(Win32Comm::deviceGone(passing)) << passing;
    EXPECT_FALSE(Win32Comm::errorText(ERROR_FILE_NOT_FOUND).isEmpty());

    // The operator's words for the causes Windows gives.
    SerialPorts::PortCheck check;
    check.access = Win32Comm::accessOf(ERROR_ACCESS_DENIED);
    EXPECT_EQ(SerialPorts::accessText(check),
              QStringLiteral("занят другой программой (доступ к порту запрещён)"));
    check.access = Win32Comm::accessOf(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SerialPorts::accessText(check), QStringLiteral("нет такого порта"));
}

TEST(Win32SerialLine, MissingPortGivesTheNoSuchPortCause)
{
    const QString missing = QStringLiteral("\\\\.\\COM199");
    TCommPortDriver d;
    d.setPortName(missing);
    EXPECT_FALSE(d.OpenPort());
    EXPECT_FALSE(d.IsOpen());
    EXPECT_FALSE(d.WriteByte('I'));
    EXPECT_FALSE(d.openErrorText().isEmpty());
    const SerialPorts::PortCheck check = SerialPorts::probe(missing);
    EXPECT_EQ(check.access, Access::Missing);
    EXPECT_EQ(SerialPorts::accessText(check), QStringLiteral("нет такого порта"));
    EXPECT_EQ(SerialPorts::checkAccess(QStringLiteral("COM199")).device, missing);
}

TEST(Win32SerialLine, RoleAssignmentNamesAnotherComPort)
{
    const TemporarySettings settings; // the program's registry key, empty before and after
    const QString com1 = QStringLiteral("\\\\.\\COM1");
    EXPECT_EQ(TCommPortDriver::defaultDevice(1), com1);
    EXPECT_EQ(TCommPortDriver::resolvePortName(com1), com1);
    SerialPorts::assignPort(1, QStringLiteral("\\\\.\\COM198"));
    EXPECT_EQ(TCommPortDriver::resolvePortName(com1), QStringLiteral("\\\\.\\COM198"));
    TCommPortDriver d;
    d.setPortName(com1);
    EXPECT_FALSE(d.OpenPort()); // the assigned port, not the one named COM1
    EXPECT_EQ(SerialPorts::probe(TCommPortDriver::resolvePortName(com1)).access, Access::Missing);
    SerialPorts::assignPort(1, QString());
    EXPECT_EQ(TCommPortDriver::resolvePortName(com1), com1);
}

TEST(Win32SerialLine, HeldPortIsBusyAndFreeAgainAfterClose)
{
    const QString named = qEnvironmentVariable("QPX_TEST_COM");
    const QString port = named.isEmpty() ? QStringLiteral("\\\\.\\COM1") : named;
    TCommPortDriver first;
    first.setPortName(port);
    if (!first.OpenPort()) {
        if (!named.isEmpty())
            FAIL() << "QPX_TEST_COM " << port.toStdString() << " does not open";
        GTEST_SKIP() << port.toStdString() << " does not open here: " << first.openErrorText().toStdString();
    }
    EXPECT_TRUE(first.OpenPort()); // already open: true, nothing reopened
    EXPECT_TRUE(first.WriteByte('I'));
    TCommPortDriver second;
    second.setPortName(port);
    if (!underWine()) {
        EXPECT_FALSE(second.OpenPort());
        const SerialPorts::PortCheck held = SerialPorts::probe(port);
        EXPECT_EQ(held.access, Access::Busy);
        EXPECT_EQ(SerialPorts::accessText(held),
                  QStringLiteral("занят другой программой (доступ к порту запрещён)"));
    }
    first.ClosePort();
    EXPECT_FALSE(first.IsOpen());
    EXPECT_EQ(SerialPorts::probe(port).access, Access::Available);
    EXPECT_TRUE(second.OpenPort());
}
