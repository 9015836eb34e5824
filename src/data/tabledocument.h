#pragma once
// The table document: the measurement table the main window shows, whether one is open and
// whether it holds changes not yet saved, and the steps that change that: New (after a download),
// Open, Append (after a download), Save and Close, with the recovery after an import that stopped
// part-way. It knows no widgets: the window that shows the document implements Window, and the
// operator is asked through OperatorPrompts.
#include "base/messages.h"
#include "dbase/dbftable.h"

#include <QString>

class TableDocument
{
public:
    // What the document needs of the window that shows it.
    class Window
    {
    public:
        virtual ~Window() = default;
        virtual void setBackground(bool tableOpen) = 0;
        virtual void setTableCommandsEnabled(bool enabled) = 0;
        // Shows the grid at the table's first row, or hides it.
        virtual void showGrid(bool shown) = 0;
        virtual void restoreLayout() = 0;
        virtual void saveLayout() = 0;
        virtual void resetSort() = 0;
        // Hands the grid's pending cell edit to the table.
        virtual void commitEdit() = 0;
        virtual void setTitle(const QString &title) = 0;
    };

    // programTitle: the window title without a table and the caption of the save question.
    TableDocument(Window &window, QString programTitle);

    DbfTable table;
    bool tableOpen = false;
    bool modified = false;

    // New: a table at fileName filled from the downloaded memory image. An empty archive is
    // reported and creates nothing.
    void create(const QString &fileName, OperatorPrompts &prompts);
    // Open: a table that does not open is reported as damaged and leaves no table open.
    void open(const QString &fileName, OperatorPrompts &prompts);
    // Append: the downloaded memory image added to the open table, then saved.
    void append(OperatorPrompts &prompts);
    // Save: posts a pending edit and closes and reopens the table, so that everything is on disk.
    void save();
    // Close: asks whether to save when there are changes, keeps the layout, closes the table and
    // removes its sort index.
    void close(OperatorPrompts &prompts);

private:
    void recoverFromFailedImport(bool restoreLayout);

    Window &m_window;
    QString m_programTitle;
};
