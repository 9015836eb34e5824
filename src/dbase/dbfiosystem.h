#pragma once
// Between the shared part of the file layer (dbfio.cpp) and the system's files of each platform
// (dbfio_posix.cpp, dbfio_win.cpp): the write function the system's files call, and the count of
// write system calls that systemWrite keeps. Not for use outside the file layer.
#include "dbfio.h"

namespace DbfIo::System {

// The function installed with setWriteFunction (systemWrite unless a test replaced it).
WriteFunction writeFunction();
// systemWrite counts each write system call it makes here.
void countWriteCall();

} // namespace DbfIo::System
