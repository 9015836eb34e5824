#include "tabledocument.h"

#include "measurementtable.h"
#include "memoryimage.h"
#include "memoryimport.h"

#include <QFile>
#include <QFileInfo>
#include <exception>

TableDocument::TableDocument(Window &window, QString programTitle)
    : m_window(window), m_programTitle(std::move(programTitle))
{}

void TableDocument::create(const QString &fileName, OperatorPrompts &prompts)
{
    tableOpen = false;
    modified = false;
    table.close();
    if (memoryImage().recordCount() == 0) {
        prompts.showMessage(QStringLiteral("Архив прибора пуст!"), QStringLiteral("Ошибка"),
                            MessageIcon::Information);
        return;
    }
    requireWholeImage(memoryImage());
    table.setFileName(fileName);
    table.setSchema(Measurement::schema());
    table.create();
    table.open();
    tableOpen = true;
    m_window.setBackground(true);
    try {
        importImage(table, memoryImage(), deviceInfo(), false, &prompts);
    } catch (...) {
        recoverFromFailedImport(true);
        throw;
    }
    m_window.setTableCommandsEnabled(true);
    m_window.showGrid(true);
    m_window.restoreLayout();
    modified = false;
}

void TableDocument::open(const QString &fileName, OperatorPrompts &prompts)
{
    table.setFileName(fileName);
    try {
        table.setSchema(Measurement::schema());
        table.open();
    } catch (const std::exception &) {
        try {
            table.close();
        } catch (const std::exception &) {
        }
        prompts.showMessage(QStringLiteral("База данных повреждена !"), QStringLiteral("Ошибка"),
                            MessageIcon::Error);
        return;
    }
    tableOpen = true;
    table.first();
    m_window.setBackground(true);
    m_window.setTableCommandsEnabled(true);
    m_window.showGrid(true);
    m_window.restoreLayout();
    m_window.setTitle(QFileInfo(fileName).completeBaseName() + QStringLiteral(" - ") + m_programTitle);
    modified = false;
    // Damaged records are never shown; the operator is told that they are there.
    if (const QString damaged = damagedRecordsText(table); !damaged.isEmpty())
        prompts.showMessage(damaged, QStringLiteral("Предупреждение"), MessageIcon::Warning);
}

void TableDocument::append(OperatorPrompts &prompts)
{
    m_window.resetSort();
    try {
        importImage(table, memoryImage(), deviceInfo(), true, &prompts);
    } catch (...) {
        recoverFromFailedImport(false);
        throw;
    }
    tableOpen = true;
    save();
    m_window.showGrid(true);
}

void TableDocument::save()
{
    if (!tableOpen)
        return;
    if (table.isOpen()) {
        m_window.commitEdit();
        if (table.isEditing())
            table.post();
    }
    try {
        table.close();
        table.open();
    } catch (...) {
        // The table could not be reopened: leave the document without a table rather than
        // with commands that act on a closed one.
        tableOpen = false;
        modified = false;
        m_window.setTableCommandsEnabled(false);
        m_window.showGrid(false);
        m_window.setBackground(false);
        throw;
    }
    modified = false;
}

void TableDocument::close(OperatorPrompts &prompts)
{
    if (modified) {
        const auto answer = prompts.askYesNo(QStringLiteral("Сохранить изменения в таблицах ?"),
                                             m_programTitle, MessageIcon::Question);
        if (answer == OperatorPrompts::Answer::Yes) {
            save();
        } else if (table.isEditing()) {
            // No: the edit that was not posted yet is dropped, not written by the close below.
            table.cancel();
        }
    }
    m_window.saveLayout();
    tableOpen = false;
    modified = false;
    std::exception_ptr closeError;
    if (table.isOpen()) {
        try {
            table.close();
        } catch (...) {
            closeError = std::current_exception();
        }
        // The production index file is removed whoever made it; any failure is ignored.
        QFile::remove(table.indexFileName());
    }
    m_window.setTableCommandsEnabled(false);
    m_window.showGrid(false);
    m_window.setTitle(m_programTitle);
    m_window.setBackground(false);
    if (closeError)
        std::rethrow_exception(closeError);
}

// After an import that stopped part-way, the rows posted so far are in the file. The document
// shows them as a normally open table (commands enabled, grid shown; after New also the saved
// layout, which an Append keeps from before) before the error reaches the operator; if the table
// itself is no longer usable it goes to the no-table state.
void TableDocument::recoverFromFailedImport(bool restoreLayout)
{
    try {
        if (table.isEditing())
            table.cancel();
        if (table.isOpen()) {
            tableOpen = true;
            m_window.setBackground(true);
            m_window.setTableCommandsEnabled(true);
            m_window.showGrid(true);
            if (restoreLayout)
                m_window.restoreLayout();
            return;
        }
    } catch (...) {
    }
    tableOpen = false;
    modified = false;
    try {
        table.close();
    } catch (...) {
    }
    m_window.setTableCommandsEnabled(false);
    m_window.showGrid(false);
    m_window.setBackground(false);
}
