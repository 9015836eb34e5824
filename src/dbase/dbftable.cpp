// DbfTable: the file (create, open, close, sync), writing its records (post, delete, pack).
#include "dbftable.h"

#include "dbftableprivate.h"

using DbfFile::native;
using DbfFile::writeFailed;
using DbfTableDetail::settle;
namespace Format = DbfFormat;

// ---------------------------------------------------------------------------------------------
// The file

// The header, and the end-of-file byte behind the last record unless it is already there.
bool DbfTable::Private::writeHeader(bool withEof)
{
    Format::setRecordCount(header.data(), quint32(count));
    Format::stampDate(header.data());
    const qint64 end = qint64(headerLength) + qint64(count) * recordLength;
    return put(header.constData(), Format::Header::Size, 0) && (!withEof || put(&Format::EndOfFile, 1, end));
}

// Makes what was written durable and checks that the table's name still leads to the file that
// was written (a folder removed or a file replaced meanwhile would lose the rows).
void DbfTable::Private::syncOrThrow()
{
    if (unsynced && !file->sync())
        throw writeFailed();
    unsynced = false;
    const DbfIo::Entry named = DbfIo::fileSystem().lookup(resolved, true);
    if (!named.exists || named.id != file->info().id)
        throw DbfError(QStringLiteral("Файл таблицы «%1» удалён или заменён другим файлом: записанные строки "
                                      "в нём не сохранены.")
                           .arg(native(path())));
}

void DbfTable::Private::release()
{
    file.reset();
    unsynced = false;
    claim.release();
    state = State::Closed;
    fields.clear();
    fieldByName.clear();
    records.clear();
    records.squeeze();
    order.clear();
    keys.clear();
    index = DbfIndex::Tags();
    buffer.clear();
    count = 0;
    cur = -1;
    atBof = atEof = true;
}

void DbfTable::Private::createFile()
{
    QByteArray bytes = Format::encodeHeader(schema);
    bytes.append(Format::EndOfFile);
    const QString file = path();
    if (name.isEmpty())
        throw DbfError(QStringLiteral("Не задано имя файла таблицы."));
    // A table that exists is replaced, unless a program holds it; a link keeps pointing at the
    // new table. The new file is built whole beside it and only then takes the name, so a created
    // table is either there complete or not at all.
    const QString target = DbfIo::fileSystem().resolve(file);
    std::unique_ptr<DbfIo::File> old;
    DbfIo::Entry attributes;
    if (DbfIo::fileSystem().lookup(target, false).exists) {
        old = DbfFile::openExclusive(target, name);
        attributes = old->info();
    }
    // Without a table before it, the name is taken only if nobody made it meanwhile.
    const DbfFile::Replaced made =
        DbfFile::replaceFile(target, QStringLiteral("new"), bytes, old ? &attributes : nullptr,
                             old ? DbfFile::ReplaceMode::Replace : DbfFile::ReplaceMode::FreeName);
    if (made.failure == DbfFile::ReplaceFailure::Scratch)
        throw DbfError(QStringLiteral("Не удаётся создать файл «%1»: %2").arg(native(file), made.error));
    if (made.failure != DbfFile::ReplaceFailure::None)
        throw writeFailed();
}

void DbfTable::Private::openFile(bool forReading)
{
    const QString file = path();
    this->file = DbfFile::openExclusive(file, name, forReading);
    readOnly = forReading;
    struct Guard
    {
        Private *d;
        bool done = false;
        ~Guard()
        {
            if (!done)
                d->release();
        }
    } guard{this};

    const qint64 size = this->file->size();
    if (size < Format::Header::Size || size > (qint64(1) << 31) - 1)
        throw Format::invalidFile();
    QByteArray data(size, Qt::Uninitialized);
    if (!this->file->read(data.data(), size, 0))
        throw DbfError(QStringLiteral("Не удаётся прочитать файл «%1».").arg(native(file)));
    const char *h = data.constData();
    Format::Layout layout = Format::decodeHeader(h, size);
    const int hl = layout.headerLength;
    const int rl = layout.recordLength;

    const qint64 actual = size > hl ? (size - hl) / rl : 0;
    // Bytes after the last whole record other than the end-of-file byte: a record whose write
    // was cut off, or the rest of a file cut short. They are readings in part and never dropped.
    const qint64 trailing = size > hl ? (size - hl) % rl : 0;
    const bool torn = trailing > 1 || (trailing == 1 && h[size - 1] != Format::EndOfFile);
    const qint64 recordsEnd = qint64(hl) + actual * rl;
    const bool corrected = actual != qint64(Format::recordCount(h));

    Format::bindSchema(layout, schema);
    fields = std::move(layout.fields);
    fieldByName = std::move(layout.fieldByName);
    header = data.left(Format::Header::Size);
    headerLength = hl;
    recordLength = rl;
    count = int(actual);
    codec = &CodePage::forLanguageDriver(quint8(h[Format::Header::LanguageDriver.offset]));
    records = data.mid(hl, qsizetype(actual) * rl);

    index = DbfIndex::Tags();
    char &hasIndex = header[Format::Header::ProductionIndex.offset];
    if (hasIndex != 0 && !DbfIndex::read(indexPath(), fieldByName, &index))
        hasIndex = 0; // index file gone: carry on without indexes; written with the next header write
    resolved = DbfIo::fileSystem().resolve(file);
    keptAside.clear();
    if (!readOnly) {
        // Only an open that may write repairs; a reading one uses the count as computed.
        DbfFile::removeStaleScratch(resolved);
        if (torn) {
            // The next row appended goes where the partial record stands: its bytes are copied
            // to a file beside the table first.
            keptAside = DbfFile::keepAside(resolved, data.mid(recordsEnd));
        }
        if (corrected) {
            // The count follows the whole records; the end-of-file byte goes behind them only
            // where it covers no partial record.
            unsynced = true;
            if (!writeHeader(!torn))
                throw writeFailed();
        }
    }

    data.clear();

    claim.take(file);
    state = State::Browse;
    filterValid = false;
    if (filterOn) {
        try {
            parseFilter();
        } catch (const DbfError &) {
            filterValid = false;
        }
    }
    cur = -1;
    buildOrder();
    placeOn(0);
    guard.done = true;
}

void DbfTable::Private::postInsert()
{
    const qint64 end = qint64(headerLength) + qint64(count) * recordLength;
    // The record and the end-of-file byte in one write, then the header: a crash between the two
    // leaves a whole record that the next open counts from the file size.
    QByteArray bytes = buffer;
    bytes.append(Format::EndOfFile);
    // Taking a failed row back: cut the file behind the old end-of-file position and put the
    // end-of-file byte back over whatever part of the record got there (no new space needed).
    auto takeBack = [&] {
        file->truncate(end + 1);
        put(&Format::EndOfFile, 1, end);
    };
    if (!put(bytes.constData(), bytes.size(), end)) {
        takeBack();
        throw writeFailed();
    }
    ++count;
    if (!writeHeader(false)) {
        --count;
        takeBack();
        writeHeader(false);
        throw writeFailed();
    }
    records.append(buffer);
    order.grow(count);
    keys.update(count, rec(count));
    state = State::Browse;
    const int keep = currentRec();
    if (visible(count)) {
        insertRow(count);
        cur = order.rowOf(count);
    } else {
        cur = keep > 0 ? order.rowOf(keep) : (order.empty() ? -1 : 0);
    }
    atBof = atEof = order.empty();
    emit q->rowsReset();
    emit q->currentChanged();
}

void DbfTable::Private::postEdit()
{
    const int recNo = editRec;
    const qint64 at = qint64(headerLength) + qint64(recNo - 1) * recordLength;
    if (!put(buffer.constData(), buffer.size(), at))
        throw writeFailed();
    std::memcpy(records.data() + qint64(recNo - 1) * recordLength, buffer.constData(), size_t(recordLength));
    state = State::Browse;
    // The row stays where it is unless the edit changed its sort key or whether it is shown:
    // then it is taken out and put in its new place, O(log n) each.
    const int oldRow = order.rowOf(recNo);
    const bool keyChanged = keys.update(recNo, rec(recNo));
    const bool shown = visible(recNo);
    if (keyChanged || shown != (oldRow >= 0)) {
        order.erase(recNo);
        if (shown)
            insertRow(recNo);
    }
    const int newRow = order.rowOf(recNo);
    if (newRow >= 0)
        cur = newRow;
    else if (!order.empty())
        cur = std::min(oldRow, order.size() - 1);
    else
        cur = -1;
    atBof = atEof = order.empty();
    emit q->recordChanged(recNo);
    if (oldRow != newRow)
        emit q->rowsReset();
    emit q->currentChanged();
}

void DbfTable::Private::packFile()
{
    QByteArray packed;
    packed.reserve(records.size());
    std::vector<int> newNumber(size_t(count) + 1, 0);
    int kept = 0;
    for (int r = 1; r <= count; ++r) {
        // Only live records stay: rows marked deleted and the damaged records a power cut can
        // leave (neither flag) go.
        if (!live(rec(r)))
            continue;
        packed.append(rec(r), recordLength);
        newNumber[size_t(r)] = ++kept;
    }
    QByteArray head(headerLength, '\0');
    if (!file->read(head.data(), headerLength, 0))
        throw DbfError(QStringLiteral("Не удаётся прочитать файл «%1».").arg(native(path())));
    std::memcpy(head.data(), header.constData(), Format::Header::Size);
    Format::setRecordCount(head.data(), quint32(kept));
    Format::stampDate(head.data());
    packed.prepend(head);
    packed.append(Format::EndOfFile);

    // The packed file is built beside the file the open holds (a link stays a link and its
    // target gets the packed rows), with that file's permissions, owner and group, and replaces
    // it only once it is complete and synced.
    const DbfIo::Entry attributes = file->info();
    DbfFile::Replaced made = DbfFile::replaceFile(resolved, QStringLiteral("pack"), packed, &attributes,
                                                  DbfFile::ReplaceMode::Replace);
    if (!made.file)
        throw writeFailed();
    // From here on the packed file is the table, whether or not the folder sync succeeds.
    file = std::move(made.file);
    unsynced = false;
    header = packed.left(Format::Header::Size);
    records = packed.mid(headerLength, qsizetype(kept) * recordLength);
    const int keep = currentRec();
    count = kept;
    buildOrder();
    placeOn(keep > 0 ? newNumber[size_t(keep)] : 0);
    if (made.failure == DbfFile::ReplaceFailure::FolderSync)
        throw writeFailed();
}

// ---------------------------------------------------------------------------------------------
// The table

DbfTable::DbfTable(QObject *parent) : QObject(parent), d(std::make_unique<Private>())
{
    d->q = this;
    d->setLocation(QString(), QString());
}

DbfTable::DbfTable(const QList<DbfFieldDef> &schema, QObject *parent) : DbfTable(parent)
{
    d->schema = schema;
}

DbfTable::~DbfTable()
{
    blockSignals(true); // nobody is told about rows of a table that is going away
    try {
        close();
    } catch (...) {
        d->release();
    }
}

void DbfTable::setTableName(const QString &name)
{
    d->setLocation(d->directory, name);
}
QString DbfTable::tableName() const
{
    return d->name;
}
void DbfTable::setFilePath(const QString &directory)
{
    d->setLocation(directory, d->name);
}
QString DbfTable::filePath() const
{
    return d->directory;
}

void DbfTable::setFileName(const QString &path)
{
    const QFileInfo info(path);
    d->setLocation(info.path(), info.fileName());
}

QString DbfTable::fileName() const
{
    return d->path();
}
QString DbfTable::indexFileName() const
{
    return d->indexPath();
}

void DbfTable::setSchema(const QList<DbfFieldDef> &fields)
{
    d->schema = fields;
}
const QList<DbfFieldDef> &DbfTable::schema() const
{
    return d->schema;
}

void DbfTable::create()
{
    close();
    d->createFile();
}

void DbfTable::open(Access access)
{
    if (isOpen())
        return;
    d->openFile(access == Access::ReadOnly);
    emit rowsReset();
    emit currentChanged();
}

void DbfTable::close()
{
    if (!isOpen())
        return;
    d->buffer.clear(); // an edit that was not posted is dropped
    // Closing is how the table document makes sure everything is on disk.
    std::exception_ptr error;
    try {
        d->syncOrThrow();
    } catch (...) {
        error = std::current_exception();
    }
    d->release();
    emit rowsReset();
    emit currentChanged();
    if (error)
        std::rethrow_exception(error);
}

void DbfTable::sync()
{
    d->requireOpen();
    d->syncOrThrow();
}

bool DbfTable::isOpen() const
{
    return d->state != State::Closed;
}
DbfTable::State DbfTable::state() const
{
    return d->state;
}

bool DbfTable::isReadOnly() const
{
    return isOpen() && d->readOnly;
}

QString DbfTable::keptAsideFile() const
{
    return d->keptAside;
}

bool DbfTable::isEditing() const
{
    return d->state == State::Edit || d->state == State::Insert;
}

int DbfTable::physicalRecordCount() const
{
    return d->count;
}

int DbfTable::damagedRecordCount() const
{
    int n = 0;
    for (int r = 1; r <= d->count; ++r) {
        n += d->damaged(d->rec(r)) ? 1 : 0;
    }
    return n;
}

bool DbfTable::isLiveRecord(int recNo) const
{
    return recNo >= 1 && recNo <= d->count && d->live(d->rec(recNo));
}

QString damagedRecordsText(const DbfTable &table)
{
    const int damaged = table.isOpen() ? table.damagedRecordCount() : 0;
    const QString aside = table.isOpen() ? table.keptAsideFile() : QString();
    QString text;
    if (!aside.isEmpty())
        text = QStringLiteral("В конце файла таблицы «%1» — неполная запись (так бывает после отключения "
                              "питания). Её байты сохранены в файле «%2».")
                   .arg(QDir::toNativeSeparators(table.fileName()), QDir::toNativeSeparators(aside));
    if (damaged == 0)
        return text;
    if (!text.isEmpty())
        text += QLatin1Char('\n');
    return text +
           QStringLiteral("Повреждённых записей в таблице «%1»: %2 (так бывает после отключения питания). "
                          "Они не показываются и не учитываются; удаление строк уберёт их из файла.")
               .arg(QDir::toNativeSeparators(table.fileName()))
               .arg(damaged);
}

int DbfTable::codePage() const
{
    return d->codec->number();
}
int DbfTable::headerLength() const
{
    return d->headerLength;
}
int DbfTable::recordLength() const
{
    return d->recordLength;
}

QByteArray DbfTable::recordBytes(int recNo) const
{
    if (recNo < 1 || recNo > d->count)
        throw RangeError();
    return QByteArray(d->rec(recNo), d->recordLength);
}

void DbfTable::post()
{
    d->requireOpen();
    if (d->state == State::Insert)
        d->postInsert();
    else if (d->state == State::Edit)
        d->postEdit();
}

void DbfTable::cancel()
{
    if (d->state == State::Edit || d->state == State::Insert) {
        d->state = State::Browse;
        d->buffer.clear();
        emit currentChanged();
    }
}

void DbfTable::deleteRecord()
{
    d->requireOpen();
    d->requireWritable();
    if (d->state == State::Insert) {
        cancel();
        return;
    }
    if (d->state == State::Edit)
        cancel();
    const int r = d->currentRec();
    if (r == 0)
        throw DbfError(QStringLiteral("Таблица пуста: нет текущей записи."));
    const qint64 at = qint64(d->headerLength) + qint64(r - 1) * d->recordLength;
    if (!d->put(&Format::DeletedFlag, 1, at))
        throw writeFailed();
    d->records[qint64(r - 1) * d->recordLength] = Format::DeletedFlag;
    const int row = d->cur;
    d->order.erase(r);
    d->cur = d->order.empty() ? -1 : std::min(row, d->order.size() - 1);
    d->atBof = d->atEof = d->order.empty();
    emit recordChanged(r);
    emit rowsReset();
    emit currentChanged();
}

void DbfTable::pack()
{
    d->requireOpen();
    d->requireWritable();
    settle(this);
    d->packFile();
    emit rowsReset();
    emit currentChanged();
}
