#pragma once
// Whether another open may read a file that a table holds. On POSIX systems the table's locks
// keep out only those who lock too; Windows' exclusive open refuses every other open, reading
// included. Checks of the bytes on disk while the table still holds its file run where they can.
inline bool heldTableReadable()
{
#ifdef Q_OS_WIN
    return false;
#else
    return true;
#endif
}
