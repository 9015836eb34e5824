#pragma once
// The values the Win32 serial line hands to the system and the meaning it reads from the
// system's error codes, computed apart from any handle so that tests check them without a
// device.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include "serialline.h"
#include "serialports.h"

#include <QString>
#include <windows.h>

namespace Win32Comm {

// The device control block for the settings: binary mode, the given speed and framing, DTR
// and RTS as the flow control says, XON/XOFF limits a quarter of the input queue, every other
// flag clear (no parity check, no DSR handshake, no error replacement, no abort on error).
DCB deviceControlBlock(const SerialLineSettings &settings);
// Reads return at once with what is waiting; a write gives up after writeTimeoutMs.
COMMTIMEOUTS timeouts(quint16 writeTimeoutMs);
// True when a call on an open handle failed because the device went away (an adapter
// unplugged, a line hung up): nothing more will pass through that handle.
bool deviceGone(DWORD error);
// The name CreateFileA is given: "COM5" becomes "\\.\COM5" (the short form reaches only COM1
// to COM9); any other name stands as it is.
QString deviceName(const QString &name);
// What an open that failed with error says about the port: no such port, held by another
// program (the system refuses a second open of a COM port), or another refusal.
SerialPorts::Access accessOf(DWORD error);
// The system's text for error, without the trailing line break.
QString errorText(DWORD error);

} // namespace Win32Comm
