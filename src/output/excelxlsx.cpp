#include "excelxlsx.h"

#include "base/clocalescope.h"
#include "excelxlsxspool.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryFile>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>
#include <xlsxwriter.h>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {
constexpr qint32 MaxRows = 1048576;
constexpr qint32 MaxColumns = 16384;

QString badIndex()
{
    return QStringLiteral("Недопустимый индекс.");
}

// Days since 30 December 1899, the fraction being the time of day.
double automationDate(const QDateTime &when)
{
    static const QDate epoch(1899, 12, 30);
    const double days = double(epoch.daysTo(when.date()));
    return days + when.time().msecsSinceStartOfDay() / 86400000.0;
}

// The access rights the workbook gets: those of the copy it replaces, otherwise those of any new
// file (the scratch file is private to its owner, which the saved copy must not stay).
void giveUsualPermissions(const QString &part, const QString &to)
{
    QFileDevice::Permissions rights;
    if (QFileInfo::exists(to)) {
        rights = QFile::permissions(to);
    } else {
        rights = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                 QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                 QFileDevice::ReadOther | QFileDevice::WriteOther;
#ifdef Q_OS_UNIX
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (mask & S_IWGRP)
            rights &= ~QFileDevice::WriteGroup;
        if (mask & S_IRGRP)
            rights &= ~QFileDevice::ReadGroup;
        if (mask & S_IWOTH)
            rights &= ~QFileDevice::WriteOther;
        if (mask & S_IROTH)
            rights &= ~QFileDevice::ReadOther;
#endif
    }
    QFile::setPermissions(part, rights);
}

// Moves the finished file over its destination (atomically where the system allows it).
bool replaceFile(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    QFile::remove(to);
    return QFile::rename(from, to);
#else
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}

lxw_color_t rgbOf(qint32 excelColor)
{
    const quint32 v = quint32(excelColor);
    const quint32 red = v & 0xFF, green = (v >> 8) & 0xFF, blue = (v >> 16) & 0xFF;
    return (red << 16) | (green << 8) | blue;
}
} // namespace

QString translateNumberFormat(const QString &localised)
{
    QString out;
    out.reserve(localised.size());
    bool quoted = false;
    for (qsizetype i = 0; i < localised.size(); ++i) {
        const QChar c = localised.at(i);
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            out += c;
            continue;
        }
        if (quoted) {
            out += c;
            continue;
        }
        if (c == QLatin1Char('\\') && i + 1 < localised.size()) {
            out += c;
            out += localised.at(++i);
            continue;
        }
        switch (c.toUpper().unicode()) {
        case 0x0414: // Д day
            out += QLatin1Char('d');
            break;
        case 0x041C: // М month, or minute after an hour
            out += QLatin1Char('m');
            break;
        case 0x0413: // Г year
            out += QLatin1Char('y');
            break;
        case 0x0427: // Ч hour
            out += QLatin1Char('h');
            break;
        case 0x0421: // С second
            out += QLatin1Char('s');
            break;
        default:
            out += c;
        }
    }
    return out;
}

XlsxAutomation::XlsxAutomation(const QString &folder) : m_folder(folder) {}

XlsxAutomation::~XlsxAutomation() = default;

XlsxAutomation::Cell XlsxAutomation::cellOf(const QVariant &value)
{
    Cell cell;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
        cell.kind = Cell::Number;
        cell.number = value.toDouble();
        break;
    case QMetaType::QDateTime:
        cell.kind = Cell::Number;
        cell.number = automationDate(value.toDateTime());
        break;
    default: {
        // An empty text leaves the cell empty, as it does in the spreadsheet program.
        const QString text = value.toString();
        if (!text.isEmpty()) {
            cell.kind = Cell::Text;
            cell.text = text.toUtf8();
        }
    }
    }
    return cell;
}

void XlsxAutomation::requireApplication() const
{
    if (!m_created || m_quit)
        throw AutomationError(QStringLiteral("Сервер автоматизации недоступен."));
}

void XlsxAutomation::requireWorkbook(qint32 book) const
{
    requireApplication();
    if (book < 1 || book > m_workbooks)
        throw AutomationError(badIndex());
}

void XlsxAutomation::requireSheet(qint32 book, const QString &sheetName) const
{
    requireWorkbook(book);
    if (sheetName.compare(m_sheetName, Qt::CaseInsensitive) != 0)
        throw AutomationError(badIndex());
}

void XlsxAutomation::requireColumn(qint32 column) const
{
    requireWorkbook(1);
    if (column < 1 || column > MaxColumns)
        throw AutomationError(badIndex());
}

void XlsxAutomation::requireRow(qint32 row) const
{
    requireWorkbook(1);
    if (row < 1 || row > MaxRows)
        throw AutomationError(badIndex());
}

void XlsxAutomation::createObject(const QString &progId)
{
    if (progId != QLatin1String("Excel.Application"))
        throw AutomationError(QStringLiteral("Недопустимая строка с указанием класса"));
    m_created = true;
}

void XlsxAutomation::setVisible(bool)
{
    // The workbook is shown by the desktop's spreadsheet program once the copy is saved.
    requireApplication();
}

void XlsxAutomation::workbooks()
{
    requireApplication();
}

void XlsxAutomation::workbooksAdd(qint16)
{
    requireApplication();
    if (m_workbooks > 0)
        throw AutomationError(QStringLiteral("Эта программа создаёт только одну книгу."));
    m_workbooks = 1;
}

void XlsxAutomation::workbook(qint32 index)
{
    requireWorkbook(index);
}

void XlsxAutomation::worksheet(qint32 book, qint32 sheet)
{
    requireWorkbook(book);
    if (sheet != 1)
        throw AutomationError(badIndex());
}

void XlsxAutomation::setWorksheetName(qint32 book, qint32 sheet, const QString &name)
{
    worksheet(book, sheet);
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    bool bad = name.isEmpty() || name.size() > 31 || name.startsWith(QLatin1Char('\'')) ||
               name.endsWith(QLatin1Char('\''));
    for (const QChar c : name)
        bad = bad || forbidden.contains(c);
    if (bad)
        throw AutomationError(QStringLiteral("Недопустимое имя листа: %1").arg(name));
    m_sheetName = name;
}

QString XlsxAutomation::worksheetName(qint32 book, qint32 sheet)
{
    worksheet(book, sheet);
    return m_sheetName;
}

void XlsxAutomation::columns(qint32 book, const QString &sheetName)
{
    requireSheet(book, sheetName);
}

void XlsxAutomation::setColumnWidth(qint32 column, qint32 width)
{
    requireColumn(column);
    if (width < 0 || width > 255)
        throw AutomationError(QStringLiteral("Недопустимая ширина столбца."));
    m_widths[column] = width;
}

void XlsxAutomation::setColumnNumberFormat(qint32 column, const QString &format)
{
    requireColumn(column);
    m_columnFormats[column] = translateNumberFormat(format);
}

void XlsxAutomation::rows(qint32 book, const QString &sheetName)
{
    requireSheet(book, sheetName);
}

void XlsxAutomation::setRowFontBold(qint32 row, bool bold)
{
    requireRow(row);
    m_rowFonts[row].bold = bold;
}

void XlsxAutomation::setRowFontColor(qint32 row, qint32 color)
{
    requireRow(row);
    m_rowFonts[row].color = color & 0xFFFFFF;
}

void XlsxAutomation::setRowFontSize(qint32 row, qint32 size)
{
    requireRow(row);
    if (size < 1 || size > 409)
        throw AutomationError(QStringLiteral("Недопустимый размер шрифта."));
    m_rowFonts[row].size = size;
}

void XlsxAutomation::worksheetByName(qint32 book, const QString &sheetName)
{
    requireSheet(book, sheetName);
}

void XlsxAutomation::setCell(qint32 row, qint32 column, const QVariant &value)
{
    requireRow(row);
    requireColumn(column);
    Cell cell = cellOf(value);
    if (!m_spool && m_spooledRow == 0) {
        auto spool = std::make_unique<Spool>();
        if (spool->open())
            m_spool = std::move(spool);
        else
            m_spooledRow = std::numeric_limits<qint32>::max(); // no scratch file: cells kept in memory
    }
    if (m_spool && row >= m_spooledRow) {
        m_spool->append(row, column, cell);
        m_spooledRow = row;
    } else {
        m_late[{row, column}] = std::move(cell);
    }
}

void XlsxAutomation::saveCopyAs(const QString &fileName)
{
    requireWorkbook(1);
    QString path = m_targetFile;
    if (path.isEmpty()) {
        QString name = fileName;
        if (QFileInfo(name).suffix().isEmpty())
            name += QStringLiteral(".xlsx");
        path = QDir(m_folder).filePath(name);
    }
    write(path);
    m_savedFile = path;
}

void XlsxAutomation::quit()
{
    requireApplication();
    m_quit = true;
    if (m_handOff && !m_savedFile.isEmpty())
        m_handOff(m_savedFile);
}

// Writes the rows in ascending order into a worksheet of the writer's constant-memory mode: per
// row its font, the blank cells its font gives the formatted columns, then its cells, each with the
// format its column and row make together.
class XlsxAutomation::SheetWriter
{
public:
    SheetWriter(const XlsxAutomation &sheet, lxw_workbook *book, lxw_worksheet *worksheet)
        : m_sheet(sheet), m_book(book), m_worksheet(worksheet)
    {
        for (auto it = sheet.m_columnFormats.cbegin(); it != sheet.m_columnFormats.cend(); ++it)
            m_columnOnly.insert(it.key(), formatFor(&*it, nullptr));
    }

    lxw_error error() const { return m_error; }
    void check(lxw_error e)
    {
        if (m_error == LXW_NO_ERROR)
            m_error = e;
    }

    // One format per combination of number format and row font.
    lxw_format *formatFor(const QString *numberFormat, const RowFont *font)
    {
        if (!numberFormat && !font)
            return nullptr;
        const QString key =
            (numberFormat ? *numberFormat : QString()) + QLatin1Char('|') +
            (font ? QStringLiteral("%1,%2,%3").arg(font->bold).arg(font->color).arg(font->size) : QString());
        auto it = m_formats.find(key);
        if (it != m_formats.end())
            return *it;
        lxw_format *f = workbook_add_format(m_book);
        if (numberFormat)
            format_set_num_format(f, numberFormat->toUtf8().constData());
        if (font) {
            if (font->bold)
                format_set_bold(f);
            if (font->color >= 0)
                format_set_font_color(f, rgbOf(font->color));
            if (font->size > 0)
                format_set_font_size(f, font->size);
        }
        m_formats.insert(key, f);
        return f;
    }

    void setColumns()
    {
        QList<qint32> formattedColumns = m_sheet.m_widths.keys();
        for (qint32 c : m_sheet.m_columnFormats.keys())
            if (!formattedColumns.contains(c))
                formattedColumns << c;
        for (qint32 c : formattedColumns) {
            const double width = m_sheet.m_widths.value(c, LXW_DEF_COL_WIDTH);
            check(worksheet_set_column(m_worksheet, lxw_col_t(c - 1), lxw_col_t(c - 1), width,
                                       m_columnOnly.value(c, nullptr)));
        }
    }

    // The row being collected: later cells of a column replace earlier ones.
    void add(qint32 column, Cell::Kind kind, double number, const char *text, qsizetype textSize)
    {
        RowCell cell{column, kind, number, m_text.size()};
        if (kind == Cell::Text) {
            m_text.append(text, size_t(textSize));
            m_text.push_back('\0');
        }
        if (!m_cells.empty() && m_cells.back().column >= column)
            m_ordered = false;
        m_cells.push_back(cell);
    }

    void writeRow(qint32 row, const RowFont *font)
    {
        if (!m_ordered) {
            // In column order, the last of each column's cells kept.
            std::stable_sort(m_cells.begin(), m_cells.end(),
                             [](const RowCell &a, const RowCell &b) { return a.column < b.column; });
            std::vector<RowCell> kept;
            kept.reserve(m_cells.size());
            for (const RowCell &c : m_cells) {
                if (!kept.empty() && kept.back().column == c.column)
                    kept.back() = c;
                else
                    kept.push_back(c);
            }
            m_cells.swap(kept);
        }
        const auto r = lxw_row_t(row - 1);
        if (font) {
            check(worksheet_set_row(m_worksheet, r, LXW_DEF_ROW_HEIGHT, formatFor(nullptr, font)));
            // Formatting a whole row also formats its cells in formatted columns.
            for (auto c = m_sheet.m_columnFormats.cbegin(); c != m_sheet.m_columnFormats.cend(); ++c) {
                const bool hasCell = std::binary_search(
                    m_cells.begin(), m_cells.end(), RowCell{c.key()},
                    [](const RowCell &a, const RowCell &b) { return a.column < b.column; });
                if (!hasCell)
                    check(
                        worksheet_write_blank(m_worksheet, r, lxw_col_t(c.key() - 1), formatFor(&*c, font)));
            }
        }
        for (const RowCell &cell : m_cells) {
            const auto col = lxw_col_t(cell.column - 1);
            lxw_format *f = nullptr;
            if (font) {
                const auto nf = m_sheet.m_columnFormats.find(cell.column);
                f = formatFor(nf == m_sheet.m_columnFormats.end() ? nullptr : &*nf, font);
            } else if (!m_columnOnly.isEmpty()) {
                f = m_columnOnly.value(cell.column, nullptr);
            }
            switch (cell.kind) {
            case Cell::Number:
                check(worksheet_write_number(m_worksheet, r, col, cell.number, f));
                break;
            case Cell::Text:
                check(worksheet_write_string(m_worksheet, r, col, m_text.data() + cell.text, f));
                break;
            case Cell::Empty:
                if (f)
                    check(worksheet_write_blank(m_worksheet, r, col, f));
                break;
            }
        }
        m_cells.clear();
        m_text.clear();
        m_ordered = true;
    }

private:
    struct RowCell
    {
        qint32 column = 0;
        Cell::Kind kind = Cell::Empty;
        double number = 0;
        size_t text = 0; // offset of the text in m_text
    };

    const XlsxAutomation &m_sheet;
    lxw_workbook *m_book;
    lxw_worksheet *m_worksheet;
    QHash<QString, lxw_format *> m_formats;
    QHash<qint32, lxw_format *> m_columnOnly; // the formats of cells in rows without a font
    lxw_error m_error = LXW_NO_ERROR;
    std::vector<RowCell> m_cells;
    std::string m_text; // the row's texts, each ended by a zero byte
    bool m_ordered = true;
};

void XlsxAutomation::write(const QString &path)
{
    const QString failed =
        QStringLiteral("Не удалось сохранить копию книги \"%1\"").arg(QDir::toNativeSeparators(path));
    if (m_spool && !m_spool->startReading()) {
        const QString reason = m_spool->error();
        m_spool->finishReading();
        throw AutomationError(failed + QStringLiteral(": ") + reason);
    }
    struct FinishReading
    {
        Spool *spool;
        ~FinishReading()
        {
            if (spool)
                spool->finishReading();
        }
    } finishReading{m_spool.get()};

    // The workbook is written beside its destination and replaces it only when complete.
    QString partName;
    {
        QTemporaryFile part(path + QStringLiteral(".XXXXXX"));
        if (!part.open())
            throw AutomationError(failed + QStringLiteral(": ") + part.errorString());
        partName = part.fileName();
        part.setAutoRemove(false);
    }
    // The writer formats every number of the file (cell values, column widths, margins) with the
    // C library's printf family, which follows the process locale: under Russian settings it
    // would write "20,7" where the file format wants "20.7".
    const CLocaleScope cNumbers;
    // Constant memory: each row is written out when the next one starts, so the rows must come
    // in ascending order; texts go into the cells themselves instead of a shared table.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook *book = workbook_new_opt(QFile::encodeName(partName).constData(), &options);
    if (!book) {
        QFile::remove(partName);
        throw AutomationError(failed);
    }
    lxw_worksheet *worksheet = workbook_add_worksheet(book, m_sheetName.toUtf8().constData());

    lxw_error error = LXW_NO_ERROR;
    QString reason;
    if (!worksheet) {
        // The name was checked when it was given: what failed is the writer's scratch file.
        error = LXW_ERROR_CREATING_TMPFILE;
    } else {
        SheetWriter writer(*this, book, worksheet);
        writer.setColumns();
        // Three sources in ascending row order: the spool, the late cells, the row fonts.
        Spool::Record record;
        bool haveRecord = m_spool && m_spool->next(&record);
        auto late = m_late.cbegin();
        auto font = m_rowFonts.cbegin();
        for (;;) {
            qint32 row = std::numeric_limits<qint32>::max();
            if (haveRecord)
                row = std::min(row, record.row);
            if (late != m_late.cend())
                row = std::min(row, late.key().first);
            if (font != m_rowFonts.cend())
                row = std::min(row, font.key());
            if (row == std::numeric_limits<qint32>::max())
                break;
            while (haveRecord && record.row == row) {
                writer.add(record.column, record.kind, record.number, record.text, record.textSize);
                haveRecord = m_spool->next(&record);
            }
            for (; late != m_late.cend() && late.key().first == row; ++late)
                writer.add(late.key().second, late->kind, late->number, late->text.constData(),
                           late->text.size());
            const RowFont *rowFont = nullptr;
            if (font != m_rowFonts.cend() && font.key() == row)
                rowFont = &*font++;
            writer.writeRow(row, rowFont);
        }
        error = writer.error();
        if (m_spool && !m_spool->error().isEmpty())
            reason = m_spool->error();
    }
    const lxw_error closed = workbook_close(book);
    if (error == LXW_NO_ERROR)
        error = closed;
    if (error != LXW_NO_ERROR || !reason.isEmpty()) {
        QFile::remove(partName);
        throw AutomationError(failed + QStringLiteral(": ") +
                              (reason.isEmpty() ? QString::fromUtf8(lxw_strerror(error)) : reason));
    }
    giveUsualPermissions(partName, path);
    if (!replaceFile(partName, path)) {
        QFile::remove(partName);
        throw AutomationError(failed + QLatin1Char('.'));
    }
}
