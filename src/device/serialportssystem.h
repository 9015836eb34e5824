#pragma once
// What the shared part of the port list asks of each system's part (serialports_posix.cpp,
// serialports_win.cpp). Not for use outside the port list.
#include "serialports.h"

namespace SerialPorts {

// The device a path stands for (links followed); the path itself when it names nothing.
QString deviceOf(const QString &path);
// The operator's text for a port this user may not open, with the system's remedy.
QString noPermissionText(const PortCheck &check);

} // namespace SerialPorts
