#pragma once
// The table document: the measurement table the main window shows, whether one is open
// (`TableOpen`) and whether it holds changes not yet saved (`TableModified`), its file name and
// title, and the steps that change them: New (after a download), Open, Append (after a download),
// Save and Close, with the recovery after an import that stopped part-way.
//
// It knows no widgets and calls into no window: it tells its listeners what changed and what is
// about to happen, and the windows act on that. The operator is told and asked through the
// message sink or prompts that each step is given.
#include "base/messages.h"
#include "dbase/dbftable.h"

#include <QList>
#include <QString>

class TableDocument
{
public:
    // What the document tells. Every call has an empty default, so a listener takes only what it
    // needs. A listener that throws ends the document's step there, and the error reaches the
    // step's caller (as an error of the step itself would).
    class Listener
    {
    public:
        virtual ~Listener() = default;
        // `TableOpen` changed. A table that opens is announced before New imports into it; the
        // table is shown to the operator once it is ready (tableReady).
        virtual void openChanged(bool /*open*/) {}
        // `TableModified` changed.
        virtual void modifiedChanged(bool /*modified*/) {}
        // The table's file name changed (New and Open name the file first).
        virtual void fileNameChanged(const QString & /*fileName*/) {}
        // The title the document gives its window: after Open the table's name, " - " and the
        // program title; after Close the program title. New leaves the title as it is.
        virtual void titleChanged(const QString & /*title*/) {}
        // The table is ready for the operator, from its first row: after New and Open
        // (newlyOpened: a table that was not shown before, so the saved grid layout applies),
        // after Append, and after an import that stopped part-way left the rows posted so far.
        virtual void tableReady(bool /*newlyOpened*/) {}
        // Append is about to import the download; the table goes to file order first.
        virtual void aboutToAppend() {}
        // Save is about to post a pending row edit and write the table: a cell edit still in
        // progress is handed to the table now.
        virtual void aboutToSave() {}
        // Close is about to close the table (after the save question was answered).
        virtual void aboutToClose() {}
    };

    // programTitle: the window title without a table and the caption of the save question.
    explicit TableDocument(QString programTitle);

    void addListener(Listener *listener);
    void removeListener(Listener *listener);

    DbfTable &table() { return m_table; }
    const DbfTable &table() const { return m_table; }
    bool isOpen() const { return m_open; }         // `TableOpen`
    bool isModified() const { return m_modified; } // `TableModified`
    QString fileName() const { return m_table.fileName(); }
    // Empty until the first Open or Close gives one.
    QString title() const { return m_title; }

    // New: a table at fileName filled from the downloaded memory image. An empty archive is
    // reported and creates nothing (the document stays without a table).
    void create(const QString &fileName, MessageSink &messages);
    // Open: a table that does not open is reported as damaged and leaves no table open.
    void open(const QString &fileName, MessageSink &messages);
    // Append: the downloaded memory image's newer readings added to the open table in file
    // order, then saved.
    void append(MessageSink &messages);
    // Save: posts a pending edit and closes and reopens the table, so that everything is on disk.
    void save();
    // Close: asks whether to save when there are changes, closes the table and removes its sort
    // index.
    void close(OperatorPrompts &prompts);

    // What the table's view reports. The operator started editing a cell: from now on the table
    // may hold a change that is not saved, whether or not the text is then changed.
    void cellEditStarted();
    // Rows were deleted: the table was packed and reopened, so everything is on disk.
    void rowsDeleted();

private:
    // The one place where `TableOpen` changes; leaving the open state also clears
    // `TableModified`.
    void setOpen(bool open);
    void setModified(bool modified);
    void setFileName(const QString &fileName);
    void setTitle(const QString &title);
    void recoverFromFailedImport(bool newlyOpened);
    template <typename Call> void tell(Call call);

    DbfTable m_table;
    bool m_open = false;
    bool m_modified = false;
    QString m_programTitle;
    QString m_title;
    QList<Listener *> m_listeners;
};
