#pragma once
// What the fuzz targets share: the table layer runs over files in memory (no system calls, so
// many thousands of executions a second), and the checks that every open of a table must pass.
#include "data/dbfio.h"
#include "data/dbftable.h"

#include <cstdlib>

namespace fuzzing {

// One in-memory file system per input, installed for the table layer.
class MemoryFiles
{
public:
    MemoryFiles() : m_scope(&m_fs) { m_fs.setKeepChanges(false); }
    DbfIo::MemoryFileSystem &fs() { return m_fs; }

private:
    DbfIo::MemoryFileSystem m_fs;
    DbfIo::ScopedFileSystem m_scope;
};

// What an open table guarantees whatever the file held: the order and the row lookups agree,
// counts fit, every visible record is live, the values of the first and last `endRows` rows can
// be read (the middle is more of the same).
inline void checkOpenTable(const DbfTable &table, int endRows = 64)
{
    if (!table.isOpen())
        return;
    const int rows = table.rowCount();
    if (rows < 0 || rows > table.physicalRecordCount() || table.exactRecordCount() != rows)
        std::abort();
    if (table.damagedRecordCount() > table.physicalRecordCount() - rows)
        std::abort();
    for (int row = 0; row < rows; ++row) {
        const int r = table.recordAt(row);
        if (r < 1 || r > table.physicalRecordCount() || table.rowOf(r) != row)
            std::abort();
        if (!table.isLiveRecord(r))
            std::abort();
        if (row >= endRows && row < rows - endRows)
            continue;
        for (int f = 0; f < table.fieldCount(); ++f) {
            (void)table.text(r, f);
            (void)table.isNull(r, f);
        }
    }
}

} // namespace fuzzing
