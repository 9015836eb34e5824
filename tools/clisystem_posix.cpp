#include "clisystem.h"

namespace cli {

void prepareStreams() {}

bool writeText(FILE *stream, const QByteArray &utf8)
{
    const size_t size = size_t(utf8.size());
    const bool written = std::fwrite(utf8.constData(), 1, size, stream) == size;
    return std::fflush(stream) == 0 && written;
}

const char *drawingPlatform()
{
    return "offscreen";
}

} // namespace cli
