#include "memoryimport.h"

#include "dbase/dbfio.h"
#include "measurementtable.h"

#include <QDate>
#include <QDir>
#include <QRegularExpression>
#include <iterator>

int imageWord(const MemoryImage &image, int position)
{
    return image.at(position) | (image.at(position + 1) << 8);
}

qint32 imageLong(const MemoryImage &image, int position)
{
    const quint32 value = quint32(image.at(position)) | (quint32(image.at(position + 1)) << 8) |
                          (quint32(image.at(position + 2)) << 16) | (quint32(image.at(position + 3)) << 24);
    if (value & 0x80000000u)
        throw OverflowError();
    return qint32(value);
}

namespace {
// A record's time and date bytes as the import reads them: values out of range fall back to
// 00 (time) and 01 (day and month); the year byte counts from 2000.
struct ImageClock
{
    int hours, minutes, seconds;
};
struct ImageDay
{
    int day, month, year;
};
ImageClock imageClock(const MemoryImage &image, int position)
{
    const int seconds = image.at(position);
    const int minutes = image.at(position + 1);
    const int hours = image.at(position + 2);
    return {hours <= 23 ? hours : 0, minutes <= 59 ? minutes : 0, seconds <= 59 ? seconds : 0};
}
ImageDay imageDay(const MemoryImage &image, int position)
{
    const int day = image.at(position);
    const int month = image.at(position + 1);
    const int year = image.at(position + 2) + 2000;
    return {day >= 1 && day <= 31 ? day : 1, month >= 1 && month <= 12 ? month : 1, year};
}

// Whole seconds since 1 January of year 1 (day 1).
qint64 momentSeconds(const QDate &day, int hours, int minutes, int seconds)
{
    const qint64 days = day.toJulianDay() - QDate(1, 1, 1).toJulianDay() + 1;
    return days * 86400 + hours * 3600 + minutes * 60 + seconds;
}

// The two digits of 0..99 at `out`. The texts are built in place: an import makes two per
// record.
void putTwoDigits(char16_t *out, int value)
{
    out[0] = char16_t(u'0' + value / 10);
    out[1] = char16_t(u'0' + value % 10);
}
} // namespace

QString imageTimeText(const MemoryImage &image, int position)
{
    const ImageClock clock = imageClock(image, position);
    char16_t text[] = {u'0', u'0', u':', u'0', u'0', u':', u'0', u'0'};
    putTwoDigits(text, clock.hours);
    putTwoDigits(text + 3, clock.minutes);
    putTwoDigits(text + 6, clock.seconds);
    return QString(reinterpret_cast<const QChar *>(text), std::size(text));
}

QString imageDateText(const MemoryImage &image, int position)
{
    const ImageDay day = imageDay(image, position); // years 2000..2255: always four digits
    char16_t text[] = {u'0', u'1', u'.', u'0', u'1', u'.', u'2', u'0', u'0', u'0'};
    putTwoDigits(text, day.day);
    putTwoDigits(text + 3, day.month);
    putTwoDigits(text + 6, day.year / 100);
    putTwoDigits(text + 8, day.year % 100);
    return QString(reinterpret_cast<const QChar *>(text), std::size(text));
}

qint64 dateTimeSeconds(const QString &date, const QString &time)
{
    // The DATE and TIME fields have one fixed form whatever the regional settings, so they are
    // read in that form: day.month.year hours:minutes[:seconds].
    const QString joined = date + QLatin1Char(' ') + time;
    static const QRegularExpression form(QStringLiteral(
        "^\\s*(\\d{1,2})\\.(\\d{1,2})\\.(\\d{1,4})\\s+(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?\\s*$"));
    const QRegularExpressionMatch m = form.match(joined);
    if (!m.hasMatch())
        throw ConvertError::notDateTime(joined);
    const QDate day(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
    const int hours = m.captured(4).toInt();
    const int minutes = m.captured(5).toInt();
    const int seconds = m.captured(6).isEmpty() ? 0 : m.captured(6).toInt();
    if (!day.isValid() || day.year() < 1 || hours > 23 || minutes > 59 || seconds > 59)
        throw ConvertError::notDateTime(joined);
    return momentSeconds(day, hours, minutes, seconds);
}

qint64 imageRecordSeconds(const MemoryImage &image, int p)
{
    // Without making the texts: the Append check asks this of every record it passes over. A
    // date that does not exist raises through the texts, with their message.
    const ImageClock clock = imageClock(image, p + 6);
    const ImageDay day = imageDay(image, p + 9);
    const QDate date(day.year, day.month, day.day);
    if (!date.isValid())
        return dateTimeSeconds(imageDateText(image, p + 9), imageTimeText(image, p + 6));
    return momentSeconds(date, clock.hours, clock.minutes, clock.seconds);
}

namespace {
double massOf(qint32 raw, int modelIndex)
{
    if (modelIndex <= 3)
        return raw / 100.0;
    if (modelIndex <= 7)
        return raw / 10.0;
    return double(raw);
}
} // namespace

void requireWholeImage(const MemoryImage &image)
{
    const int count = image.recordCount();
    if (count > MemoryImage::MaxRecords)
        throw QpxError(QStringLiteral("Образ памяти прибора повреждён: в нём указано записей %1, а в память "
                                      "прибора помещается не больше %2. Ничего не импортировано.")
                           .arg(count)
                           .arg(MemoryImage::MaxRecords));
    if (count > image.deliveredRecords())
        throw QpxError(QStringLiteral("Образ памяти прибора неполон: в нём указано записей %1, а получено "
                                      "байт %2 (целых записей: %3). Ничего не импортировано.")
                           .arg(count)
                           .arg(image.length)
                           .arg(image.deliveredRecords()));
}

void readImageFile(const QString &path, MemoryImage &image)
{
    DbfIo::FileSystem &fs = DbfIo::fileSystem();
    const QString shown = QDir::toNativeSeparators(path);
    const DbfIo::Entry entry = fs.lookup(path, true);
    if (entry.exists && !entry.regular)
        throw QpxError(QStringLiteral("«%1» — не файл образа памяти: это не обычный файл.").arg(shown));
    std::unique_ptr<DbfIo::File> file;
    QString error;
    if (fs.open(path, DbfIo::OpenMode::ReadOnly, false, &file, &error) != DbfIo::OpenResult::Ok)
        throw QpxError(QStringLiteral("Не удаётся открыть файл «%1»: %2").arg(shown, error));
    const qint64 size = file->size();
    if (size > MemoryImage::Size)
        throw QpxError(
            QStringLiteral("Файл «%1» больше памяти прибора (%2 байт).").arg(shown).arg(MemoryImage::Size));
    image.clear();
    if (size < 0 || !file->read(reinterpret_cast<char *>(image.bytes.data()), size, 0)) {
        image.clear();
        throw QpxError(QStringLiteral("Не удаётся прочитать файл «%1».").arg(shown));
    }
    image.length = int(size);
}

void importImage(DbfTable &table, const MemoryImage &image, const DeviceInfo &device, bool append,
                 MessageSink *messages)
{
    if (!table.isOpen())
        return;
    requireWholeImage(image);
    table.refresh();
    table.last();

    int count = imageWord(image, 0);
    int start = 2;
    int skipped = 0;
    if (append) {
        qint64 last = 0;
        if (table.exactRecordCount() > 0)
            last = dateTimeSeconds(table.text(Measurement::DATE), table.text(Measurement::TIME));
        for (int k = 0; k < count; ++k) {
            const int p = 2 + 12 * k;
            const qint64 key = imageRecordSeconds(image, p);
            if (key > last)
                break;
            skipped = k + 1;
        }
        start = 2 + 12 * skipped;
        count -= skipped;
    }

    for (int i = 0; i < count; ++i) {
        const int p = start + 12 * i;
        table.append();
        try {
            table.setInteger(Measurement::N, skipped + 1 + i);
            double mass = massOf(imageLong(image, p), device.ModelIndex);
            if (image.at(p + 4) == 1)
                mass = -mass;
            table.setNumber(Measurement::T_1, mass);
            const int series = image.at(p + 5);
            if (series == 0) {
                table.setText(Measurement::MODE, Measurement::Operative);
            } else {
                table.setText(Measurement::MODE, Measurement::Observation);
                table.setNumber(Measurement::T_2, series);
            }
            table.setText(Measurement::TIME, imageTimeText(image, p + 6));
            table.setText(Measurement::DATE, imageDateText(image, p + 9));
            table.setText(Measurement::COMMENT, QString());
            table.post();
        } catch (...) {
            // The half-built row must not be posted by a later move of the current row.
            table.cancel();
            throw;
        }
    }

    // The rows are durable before the import reports success; one sync for the whole import.
    table.sync();
    if (append && messages)
        messages->showMessage(QStringLiteral("Добавлено записей: %1").arg(count),
                              QStringLiteral("Дополнение"), MessageIcon::Information);
}
