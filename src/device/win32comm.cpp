#include "win32comm.h"

#include <QtGlobal>
#include <algorithm>

namespace Win32Comm {

DCB deviceControlBlock(const SerialLineSettings &s)
{
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = s.baudRate;
    dcb.fBinary = TRUE;
    dcb.fDtrControl = s.dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    switch (s.hwFlow) {
    case hfNONE:
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        break;
    case hfNONERTSON:
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        break;
    case hfRTSCTS:
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
        dcb.fOutxCtsFlow = TRUE;
        break;
    }
    if (s.swFlow == sfXONXOFF) {
        dcb.fOutX = TRUE;
        dcb.fInX = TRUE;
    }
    dcb.XonLim = WORD(s.inQueue / 4);
    dcb.XoffLim = WORD(s.inQueue / 4);
    dcb.ByteSize = BYTE(int(s.dataBits) + 5);
    dcb.Parity = BYTE(s.parity);     // NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY
    dcb.StopBits = BYTE(s.stopBits); // ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

COMMTIMEOUTS timeouts(quint16 writeTimeoutMs)
{
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD; // with both totals 0: return at once with what is there
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 0;
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = writeTimeoutMs;
    return t;
}

bool deviceGone(DWORD error)
{
    switch (error) {
    case ERROR_ACCESS_DENIED:        // the handle of a removed USB adapter
    case ERROR_INVALID_HANDLE:       // the driver has dropped the handle
    case ERROR_BAD_COMMAND:          // the device no longer knows the request
    case ERROR_NOT_READY:            // the line beneath is gone (a hung-up terminal under Wine)
    case ERROR_GEN_FAILURE:          // the device stopped answering its driver
    case ERROR_OPERATION_ABORTED:    // the driver cancelled the request on removal
    case ERROR_DEVICE_REMOVED:       // said plainly
    case ERROR_DEVICE_NOT_CONNECTED: // likewise
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BAD_UNIT:
    case ERROR_FILE_NOT_FOUND:
        return true;
    default:
        return false;
    }
}

QString deviceName(const QString &name)
{
    const QString trimmed = name.trimmed();
    const bool shortCom =
        trimmed.size() > 3 && trimmed.left(3).compare(QLatin1String("COM"), Qt::CaseInsensitive) == 0 &&
        std::all_of(trimmed.begin() + 3, trimmed.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (shortCom)
        return QStringLiteral("\\\\.\\") + trimmed.toUpper();
    return trimmed;
}

SerialPorts::Access accessOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_BAD_NETPATH:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BAD_UNIT:
        return SerialPorts::Access::Missing;
    case ERROR_ACCESS_DENIED:     // a COM port open elsewhere (Windows)
    case ERROR_SHARING_VIOLATION: // the same under Wine
    case ERROR_BUSY:
        return SerialPorts::Access::Busy;
    default:
        return SerialPorts::Access::Failed;
    }
}

QString errorText(DWORD error)
{
    QString text = qt_error_string(int(error)).trimmed();
    if (text.isEmpty())
        text = QStringLiteral("ошибка %1").arg(error);
    return text;
}

} // namespace Win32Comm
