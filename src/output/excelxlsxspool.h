#pragma once
// The .xlsx back end's spool: the cells of the export, in the order the calls give them, kept in
// a scratch file until the workbook is written row by row. Private to excelxlsx.cpp.
#include "excelxlsx.h"

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryFile>
#include <cstring>

// The cells in the order the calls give them, as records in a scratch file: row (4 bytes),
// column (2), kind (1), then a number (8) or a text's length (4) and its UTF-8 bytes. The file
// is private to this process and removed with it.
class XlsxAutomation::Spool
{
public:
    // One record as read back; text points into the read buffer until the next read.
    struct Record
    {
        qint32 row = 0;
        qint32 column = 0;
        Cell::Kind kind = Cell::Empty;
        double number = 0;
        const char *text = nullptr;
        qsizetype textSize = 0;
    };

    bool open()
    {
        m_file.setFileTemplate(QDir(QDir::tempPath()).filePath(QStringLiteral("qpx-cells.XXXXXX")));
        return m_file.open();
    }

    void append(qint32 row, qint32 column, const Cell &cell)
    {
        const quint32 r = quint32(row);
        const quint16 c = quint16(column);
        const quint8 kind = cell.kind;
        put(&r, sizeof r);
        put(&c, sizeof c);
        put(&kind, sizeof kind);
        if (cell.kind == Cell::Number) {
            put(&cell.number, sizeof cell.number);
        } else if (cell.kind == Cell::Text) {
            const quint32 size = quint32(cell.text.size());
            put(&size, sizeof size);
            put(cell.text.constData(), cell.text.size());
        }
    }

    // Writes what is pending; the first failure is kept and reported by error().
    void flush()
    {
        writeOut(m_pending.data(), m_used);
        m_used = 0;
    }
    QString error() const { return m_error; }

    // Reading from the first record; finishReading() makes the file ready for more records.
    bool startReading()
    {
        flush();
        m_chunk.clear();
        m_at = 0;
        if (!m_error.isEmpty())
            return false;
        if (!m_file.seek(0)) {
            m_error = m_file.errorString();
            return false;
        }
        return true;
    }
    // The next record; false at the end or on a read error (then error() says which).
    bool next(Record *record)
    {
        quint32 r = 0;
        quint16 c = 0;
        quint8 kind = 0;
        if (!ensure(sizeof r + sizeof c + sizeof kind))
            return m_chunk.size() > m_at ? corrupt() : false;
        take(&r, sizeof r);
        take(&c, sizeof c);
        take(&kind, sizeof kind);
        record->row = qint32(r);
        record->column = c;
        record->kind = Cell::Kind(kind);
        record->text = nullptr;
        record->textSize = 0;
        if (record->kind == Cell::Number) {
            if (!ensure(sizeof record->number))
                return corrupt();
            take(&record->number, sizeof record->number);
        } else if (record->kind == Cell::Text) {
            quint32 size = 0;
            if (!ensure(sizeof size))
                return corrupt();
            take(&size, sizeof size);
            if (!ensure(size))
                return corrupt();
            record->text = m_chunk.constData() + m_at;
            record->textSize = size;
            m_at += size;
        }
        return true;
    }
    void finishReading()
    {
        m_chunk = QByteArray();
        m_at = 0;
        if (m_error.isEmpty() && !m_file.seek(m_file.size()))
            m_error = m_file.errorString();
    }

private:
    static constexpr qsizetype BufferSize = 64 * 1024;

    void put(const void *data, qsizetype size)
    {
        if (m_used + size > BufferSize) {
            flush();
            if (size > BufferSize) {
                writeOut(static_cast<const char *>(data), size);
                return;
            }
        }
        if (m_pending.isEmpty())
            m_pending.resize(BufferSize);
        std::memcpy(m_pending.data() + m_used, data, size_t(size));
        m_used += size;
    }
    void writeOut(const char *data, qsizetype size)
    {
        if (size > 0 && m_error.isEmpty() && m_file.write(data, size) != size)
            m_error = m_file.errorString();
    }
    void take(void *data, qsizetype size)
    {
        std::memcpy(data, m_chunk.constData() + m_at, size_t(size));
        m_at += size;
    }
    // At least size unread bytes in the chunk, unless the file ends first.
    bool ensure(qsizetype size)
    {
        if (m_chunk.size() - m_at >= size)
            return true;
        m_chunk.remove(0, m_at);
        m_at = 0;
        while (m_chunk.size() < size) {
            const qsizetype have = m_chunk.size();
            const qsizetype want = std::max(BufferSize, size - have);
            m_chunk.resize(have + want);
            const qint64 got = m_file.read(m_chunk.data() + have, want);
            m_chunk.resize(have + std::max<qint64>(got, 0));
            if (got < 0) {
                m_error = m_file.errorString();
                return false;
            }
            if (got == 0)
                return false;
        }
        return true;
    }
    bool corrupt()
    {
        if (m_error.isEmpty())
            m_error = QStringLiteral("файл ячеек прочитан не полностью");
        return false;
    }

    QTemporaryFile m_file;
    QByteArray m_pending; // BufferSize bytes once used, m_used of them taken
    qsizetype m_used = 0;
    QString m_error;
    QByteArray m_chunk;
    qsizetype m_at = 0;
};
