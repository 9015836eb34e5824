#pragma once
// Every question the program puts to the operator goes through one Prompts object: message
// boxes, file dialogs, the colour dialog and the print dialog. The program uses QtPrompts (real
// Qt dialogs); tests install a scripted one with Prompts::setInstance.
#include "base/messages.h"

#include <QColor>
#include <QString>

class QPrinter;
class QWidget;

struct FileDialogRequest
{
    QString title;
    QString filter;        // Qt form: "Файлы данных (*.db)"
    QString defaultSuffix; // "db": added when the operator types a name without extension
    QString initialDirectory;
};

class Prompts : public OperatorPrompts
{
public:
    // Empty when cancelled. Neither asks before overwriting nor requires the file to exist.
    virtual QString saveFileName(const FileDialogRequest &request) = 0;
    virtual QString openFileName(const FileDialogRequest &request) = 0;
    // The colour dialog starting from *color; false when cancelled.
    virtual bool chooseColor(QColor *color) = 0;
    // The print dialog for a document of pageCount pages; false when cancelled.
    virtual bool printDialog(QPrinter *printer, int pageCount) = 0;

    // Parent window of the dialogs (the main window once it exists).
    void setParentWidget(QWidget *parent) { m_parent = parent; }
    QWidget *parentWidget() const { return m_parent; }

    static Prompts &instance();
    // Installs prompts (not owned); nullptr goes back to the real Qt dialogs.
    static void setInstance(Prompts *prompts);

private:
    QWidget *m_parent = nullptr;
};

class QtPrompts : public Prompts
{
public:
    void showMessage(const QString &text, const QString &caption, MessageIcon icon) override;
    void showDetailedMessage(const QString &text, const QString &informative, const QString &caption,
                             MessageIcon icon) override;
    Answer askYesNo(const QString &text, const QString &caption, MessageIcon icon) override;
    QString saveFileName(const FileDialogRequest &request) override;
    QString openFileName(const FileDialogRequest &request) override;
    bool chooseColor(QColor *color) override;
    bool printDialog(QPrinter *printer, int pageCount) override;
};
