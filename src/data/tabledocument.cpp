#include "tabledocument.h"

#include "measurementtable.h"
#include "memoryimage.h"
#include "memoryimport.h"

#include <QFile>
#include <QFileInfo>
#include <exception>

TableDocument::TableDocument(QString programTitle) : m_programTitle(std::move(programTitle)) {}

void TableDocument::addListener(Listener *listener)
{
    if (listener && !m_listeners.contains(listener))
        m_listeners.append(listener);
}

void TableDocument::removeListener(Listener *listener)
{
    m_listeners.removeAll(listener);
}

template <typename Call> void TableDocument::tell(Call call)
{
    // A copy: a listener may come or go while it is being told.
    const QList<Listener *> listeners = m_listeners;
    for (Listener *listener : listeners)
        call(*listener);
}

void TableDocument::setOpen(bool open)
{
    if (!open)
        setModified(false);
    if (open == m_open)
        return;
    m_open = open;
    tell([open](Listener &l) { l.openChanged(open); });
}

void TableDocument::setModified(bool modified)
{
    if (modified == m_modified)
        return;
    m_modified = modified;
    tell([modified](Listener &l) { l.modifiedChanged(modified); });
}

void TableDocument::setFileName(const QString &fileName)
{
    const QString before = m_table.fileName();
    m_table.setFileName(fileName);
    const QString after = m_table.fileName();
    if (after != before)
        tell([&after](Listener &l) { l.fileNameChanged(after); });
}

void TableDocument::setTitle(const QString &title)
{
    if (title == m_title)
        return;
    m_title = title;
    tell([&title](Listener &l) { l.titleChanged(title); });
}

void TableDocument::cellEditStarted()
{
    setModified(true);
}

void TableDocument::rowsDeleted()
{
    setModified(false);
}

void TableDocument::create(const QString &fileName, MessageSink &messages)
{
    setOpen(false);
    m_table.close();
    if (memoryImage().recordCount() == 0) {
        messages.showMessage(QStringLiteral("Архив прибора пуст!"), QStringLiteral("Ошибка"),
                             MessageIcon::Information);
        return;
    }
    requireWholeImage(memoryImage());
    setFileName(fileName);
    m_table.setSchema(Measurement::schema());
    m_table.create();
    m_table.open();
    setOpen(true);
    try {
        importImage(m_table, memoryImage(), deviceInfo(), false, &messages);
    } catch (...) {
        recoverFromFailedImport(true);
        throw;
    }
    tell([](Listener &l) { l.tableReady(true); });
    setModified(false);
}

void TableDocument::open(const QString &fileName, MessageSink &messages)
{
    setFileName(fileName);
    try {
        m_table.setSchema(Measurement::schema());
        m_table.open();
    } catch (const std::exception &) {
        try {
            m_table.close();
        } catch (const std::exception &) {
        }
        messages.showMessage(QStringLiteral("База данных повреждена !"), QStringLiteral("Ошибка"),
                             MessageIcon::Error);
        return;
    }
    m_table.first();
    setOpen(true);
    tell([](Listener &l) { l.tableReady(true); });
    setTitle(QFileInfo(fileName).completeBaseName() + QStringLiteral(" - ") + m_programTitle);
    setModified(false);
    // Damaged records are never shown; the operator is told that they are there.
    if (const QString damaged = damagedRecordsText(m_table); !damaged.isEmpty())
        messages.showMessage(damaged, QStringLiteral("Предупреждение"), MessageIcon::Warning);
}

void TableDocument::append(MessageSink &messages)
{
    tell([](Listener &l) { l.aboutToAppend(); });
    // Only readings newer than the table's last row in file order are added: the sort index
    // goes, and the table is in file order.
    if (m_table.isOpen()) {
        m_table.selectIndex(QString());
        if (m_table.hasIndex(Measurement::SortIndex))
            m_table.deleteIndex(Measurement::SortIndex);
    }
    try {
        importImage(m_table, memoryImage(), deviceInfo(), true, &messages);
    } catch (...) {
        recoverFromFailedImport(false);
        throw;
    }
    setOpen(true);
    save();
    tell([](Listener &l) { l.tableReady(false); });
}

void TableDocument::save()
{
    if (!m_open)
        return;
    if (m_table.isOpen()) {
        tell([](Listener &l) { l.aboutToSave(); });
        if (m_table.isEditing())
            m_table.post();
    }
    try {
        m_table.close();
        m_table.open();
    } catch (...) {
        // The table could not be reopened: leave the document without a table rather than
        // with commands that act on a closed one.
        setOpen(false);
        throw;
    }
    setModified(false);
}

void TableDocument::close(OperatorPrompts &prompts)
{
    if (m_modified) {
        const auto answer = prompts.askYesNo(QStringLiteral("Сохранить изменения в таблицах ?"),
                                             m_programTitle, MessageIcon::Question);
        if (answer == OperatorPrompts::Answer::Yes) {
            save();
        } else if (m_table.isEditing()) {
            // No: the edit that was not posted yet is dropped, not written by the close below.
            m_table.cancel();
        }
    }
    tell([](Listener &l) { l.aboutToClose(); });
    std::exception_ptr closeError;
    if (m_table.isOpen()) {
        try {
            m_table.close();
        } catch (...) {
            closeError = std::current_exception();
        }
        // The production index file is removed whoever made it; any failure is ignored.
        QFile::remove(m_table.indexFileName());
    }
    setOpen(false);
    setTitle(m_programTitle);
    if (closeError)
        std::rethrow_exception(closeError);
}

// After an import that stopped part-way, the rows posted so far are in the file. The document
// keeps them as a normally open table, ready for the operator (after New also with the saved
// layout, which an Append keeps from before), before the error reaches the operator; if the
// table itself is no longer usable the document goes to the no-table state.
void TableDocument::recoverFromFailedImport(bool newlyOpened)
{
    try {
        if (m_table.isEditing())
            m_table.cancel();
        if (m_table.isOpen()) {
            setOpen(true);
            tell([newlyOpened](Listener &l) { l.tableReady(newlyOpened); });
            return;
        }
    } catch (...) {
    }
    try {
        m_table.close();
    } catch (...) {
    }
    setOpen(false);
}
