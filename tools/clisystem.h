#pragma once
// What qpx-cli does differently on each system (clisystem_posix.cpp, clisystem_win.cpp).
//
// Output: everything qpx-cli prints is UTF-8 text. A file or a pipe gets those bytes as they are
// (scripts and tests read them); a Windows console gets the text in its own characters, whatever
// code page it is set to (WriteConsoleW). POSIX terminals take UTF-8, so there the bytes always
// go out as they are.
//
// Drawing: the report and chart commands need a Qt GUI application and the fonts of the system.
#include <QByteArray>
#include <cstdio>

namespace cli {

// Puts stdout and stderr into the mode writeText needs: on Windows binary, so that an LF stays
// an LF and the dump's CR LF is not turned into CR CR LF.
void prepareStreams();

// Writes UTF-8 text to stdout or stderr and flushes it; false when the write failed.
bool writeText(FILE *stream, const QByteArray &utf8);

// The Qt platform plugin the drawing commands use unless QT_QPA_PLATFORM names one, or nullptr
// for the system's own. On Linux "offscreen": no display is needed, and its font database is
// fontconfig's, the fonts of the system. On Windows the system's own plugin ("windows"): it opens
// no window for drawing into a PDF or an image, and it reads the fonts Windows has installed
// (Arial for the report), where the offscreen plugin of Windows would look in Qt's own folder
// only and find none.
const char *drawingPlatform();

} // namespace cli
