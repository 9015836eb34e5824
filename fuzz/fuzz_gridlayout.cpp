// The grid layout text parser: any text either fails with LayoutParseError or gives columns that
// are written and read back unchanged.
#include "view/gridlayout.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<GridColumnLayout> columns;
    try {
        columns = parseGridLayout(text);
    } catch (const LayoutParseError &) {
        return 0;
    }
    if (parseGridLayout(writeGridLayout(columns)) != columns)
        std::abort();
    return 0;
}
