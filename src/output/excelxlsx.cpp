#include "excelxlsx.h"

#include "data/clocalescope.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdio>
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
    m_cells[{row, column}] = value;
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

void XlsxAutomation::write(const QString &path) const
{
    const QString failed =
        QStringLiteral("Не удалось сохранить копию книги \"%1\"").arg(QDir::toNativeSeparators(path));
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
    lxw_workbook *book = workbook_new(QFile::encodeName(partName).constData());
    if (!book) {
        QFile::remove(partName);
        throw AutomationError(failed);
    }
    lxw_worksheet *sheet = workbook_add_worksheet(book, m_sheetName.toUtf8().constData());

    // One format per combination of number format and row font.
    QMap<QString, lxw_format *> formats;
    auto formatFor = [&](const QString *numberFormat, const RowFont *font) -> lxw_format * {
        if (!numberFormat && !font)
            return nullptr;
        const QString key =
            (numberFormat ? *numberFormat : QString()) + QLatin1Char('|') +
            (font ? QStringLiteral("%1,%2,%3").arg(font->bold).arg(font->color).arg(font->size) : QString());
        auto it = formats.find(key);
        if (it != formats.end())
            return *it;
        lxw_format *f = workbook_add_format(book);
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
        formats.insert(key, f);
        return f;
    };

    lxw_error error = LXW_NO_ERROR;
    auto check = [&](lxw_error e) {
        if (error == LXW_NO_ERROR)
            error = e;
    };
    if (!sheet)
        error = LXW_ERROR_SHEETNAME_ALREADY_USED;
    if (sheet) {
        QList<qint32> formattedColumns = m_widths.keys();
        for (qint32 c : m_columnFormats.keys())
            if (!formattedColumns.contains(c))
                formattedColumns << c;
        for (qint32 c : formattedColumns) {
            const auto fmt = m_columnFormats.find(c);
            const double width = m_widths.value(c, LXW_DEF_COL_WIDTH);
            check(worksheet_set_column(sheet, lxw_col_t(c - 1), lxw_col_t(c - 1), width,
                                       formatFor(fmt == m_columnFormats.end() ? nullptr : &*fmt, nullptr)));
        }
        for (auto it = m_rowFonts.cbegin(); it != m_rowFonts.cend(); ++it)
            check(worksheet_set_row(sheet, lxw_row_t(it.key() - 1), LXW_DEF_ROW_HEIGHT,
                                    formatFor(nullptr, &*it)));
        // Formatting a whole row also formats its cells in formatted columns.
        for (auto r = m_rowFonts.cbegin(); r != m_rowFonts.cend(); ++r)
            for (auto c = m_columnFormats.cbegin(); c != m_columnFormats.cend(); ++c)
                if (!m_cells.contains({r.key(), c.key()}))
                    check(worksheet_write_blank(sheet, lxw_row_t(r.key() - 1), lxw_col_t(c.key() - 1),
                                                formatFor(&*c, &*r)));

        for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it) {
            const auto row = lxw_row_t(it.key().first - 1);
            const auto col = lxw_col_t(it.key().second - 1);
            const auto nf = m_columnFormats.find(it.key().second);
            const auto rf = m_rowFonts.find(it.key().first);
            lxw_format *f = formatFor(nf == m_columnFormats.end() ? nullptr : &*nf,
                                      rf == m_rowFonts.end() ? nullptr : &*rf);
            const QVariant &v = *it;
            switch (v.typeId()) {
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::Double:
                check(worksheet_write_number(sheet, row, col, v.toDouble(), f));
                break;
            case QMetaType::QDateTime:
                check(worksheet_write_number(sheet, row, col, automationDate(v.toDateTime()), f));
                break;
            default: {
                // An empty text leaves the cell empty, as it does in the spreadsheet program.
                const QString text = v.toString();
                if (text.isEmpty())
                    check(f ? worksheet_write_blank(sheet, row, col, f) : LXW_NO_ERROR);
                else
                    check(worksheet_write_string(sheet, row, col, text.toUtf8().constData(), f));
            }
            }
        }
    }
    const lxw_error closed = workbook_close(book);
    check(closed);
    if (error != LXW_NO_ERROR) {
        QFile::remove(partName);
        throw AutomationError(failed + QStringLiteral(": ") + QString::fromUtf8(lxw_strerror(error)));
    }
    giveUsualPermissions(partName, path);
    if (!replaceFile(partName, path)) {
        QFile::remove(partName);
        throw AutomationError(failed + QLatin1Char('.'));
    }
}
