#pragma once
// The texts of the port list that differ between systems; each platform's serialports file
// defines them (serialports.cpp keeps the rest).
#include "serialports.h"

namespace SerialPorts::Platform {

// No such port (Access::Missing).
QString missingText();
// Held by another program that the system does not name (Access::Busy).
QString busyText();
// The remedy for a port this user may not open (Access::NoPermission).
QString noPermissionText(const PortCheck &check);
// What the operator may type in the ports dialog's fields.
QString entryHint();

} // namespace SerialPorts::Platform
