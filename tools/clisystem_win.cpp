#include "clisystem.h"

#include <QString>
#include <algorithm>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace cli {

namespace {

// The console behind the stream, or nullptr when it goes to a file or a pipe.
HANDLE consoleOf(FILE *stream)
{
    const int fd = _fileno(stream);
    if (fd < 0)
        return nullptr;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
        return nullptr;
    return handle;
}

// A console shows UTF-16 text whatever its code page (866 on a Russian Windows), which bytes
// written with WriteFile would be read in.
bool writeConsole(HANDLE console, const QByteArray &utf8)
{
    const QString text = QString::fromUtf8(utf8);
    const auto *chars = reinterpret_cast<const wchar_t *>(text.utf16());
    qsizetype left = text.size();
    while (left > 0) {
        // Old consoles refuse very long writes: a few thousand characters at a time, never
        // splitting a surrogate pair.
        DWORD chunk = DWORD(std::min<qsizetype>(left, 4096));
        if (qsizetype(chunk) < left && QChar::isHighSurrogate(chars[chunk - 1]))
            --chunk;
        DWORD written = 0;
        if (!WriteConsoleW(console, chars, chunk, &written, nullptr) || written == 0)
            return false;
        chars += written;
        left -= qsizetype(written);
    }
    return true;
}

} // namespace

void prepareStreams()
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

bool writeText(FILE *stream, const QByteArray &utf8)
{
    // What went through the C library before stays ahead of the console text.
    if (std::fflush(stream) != 0)
        return false;
    if (HANDLE console = consoleOf(stream))
        return writeConsole(console, utf8);
    const size_t size = size_t(utf8.size());
    const bool written = std::fwrite(utf8.constData(), 1, size, stream) == size;
    return std::fflush(stream) == 0 && written;
}

const char *drawingPlatform()
{
    return nullptr;
}

} // namespace cli
