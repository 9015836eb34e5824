#pragma once
// The operator, scripted: prompts that answer from lists set up by the test and record what was
// shown and asked. Constructing one installs it as Prompts::instance(); destroying it goes back to
// the real dialogs.
#include "support/temporarysettings.h"
#include "ui/prompts.h"

#include <QColor>
#include <QList>
#include <QPrinter>
#include <QStringList>
#include <deque>

struct ShownMessage
{
    QString text;
    QString caption;
    MessageIcon icon;
    QString informative; // the detailed message's second text
};

class ScriptedPrompts : public Prompts
{
public:
    ScriptedPrompts() { Prompts::setInstance(this); }
    ~ScriptedPrompts() override { Prompts::setInstance(nullptr); }
    ScriptedPrompts(const ScriptedPrompts &) = delete;
    ScriptedPrompts &operator=(const ScriptedPrompts &) = delete;

    // The script. Each list is consumed from the front; when it is empty the dialog is cancelled
    // (the question answered No).
    std::deque<Answer> answers;
    std::deque<QString> fileNames; // both file dialogs
    QList<QColor> colorAnswers;    // an invalid colour cancels
    bool acceptPrint = false;      // the print dialog: OK, printing a PDF to printTo
    QString printTo;

    // What happened.
    QList<ShownMessage> messages;
    QList<ShownMessage> questions;
    QList<FileDialogRequest> saveRequests;
    QList<FileDialogRequest> openRequests;
    QList<QColor> colorStarts;  // the colour each colour dialog started from
    QList<int> printPageCounts; // one entry per print dialog
    QStringList log;            // everything in order: "message:…", "question:…", "save dialog"…

    QStringList messageTexts() const
    {
        QStringList texts;
        for (const ShownMessage &m : messages)
            texts << m.text;
        return texts;
    }

    void showMessage(const QString &text, const QString &caption, MessageIcon icon) override
    {
        messages.append({text, caption, icon, QString()});
        log << QStringLiteral("message:") + text;
    }
    void showDetailedMessage(const QString &text, const QString &informative, const QString &caption,
                             MessageIcon icon) override
    {
        messages.append({text, caption, icon, informative});
        log << QStringLiteral("message:") + text;
    }
    Answer askYesNo(const QString &text, const QString &caption, MessageIcon icon) override
    {
        questions.append({text, caption, icon, QString()});
        log << QStringLiteral("question:") + text;
        if (answers.empty())
            return Answer::No;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    QString saveFileName(const FileDialogRequest &request) override
    {
        saveRequests.append(request);
        log << QStringLiteral("save dialog");
        return nextFileName();
    }
    QString openFileName(const FileDialogRequest &request) override
    {
        openRequests.append(request);
        log << QStringLiteral("open dialog");
        return nextFileName();
    }
    bool chooseColor(QColor *color) override
    {
        colorStarts.append(*color);
        log << QStringLiteral("colour dialog");
        if (colorAnswers.isEmpty())
            return false;
        const QColor answer = colorAnswers.takeFirst();
        if (!answer.isValid())
            return false;
        *color = answer;
        return true;
    }
    bool printDialog(QPrinter *printer, int pageCount) override
    {
        printPageCounts.append(pageCount);
        log << QStringLiteral("print dialog");
        if (!acceptPrint)
            return false;
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(printTo);
        return true;
    }

private:
    QString nextFileName()
    {
        if (fileNames.empty())
            return {};
        const QString name = fileNames.front();
        fileNames.pop_front();
        return name;
    }
};
