#pragma once
// Prompts that answer by script and record what was asked, and a temporary settings store.
#include "ui/prompts.h"

#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>

struct ShownMessage
{
    QString text;
    QString caption;
    MessageIcon icon;
};

class ScriptedPrompts : public Prompts
{
public:
    ScriptedPrompts() { Prompts::setInstance(this); }
    ~ScriptedPrompts() override { Prompts::setInstance(nullptr); }

    void showMessage(const QString &text, const QString &caption, MessageIcon icon) override
    {
        messages.push_back({text, caption, icon});
        log << QStringLiteral("message:") + text;
    }
    Answer askYesNo(const QString &text, const QString &caption, MessageIcon icon) override
    {
        questions.push_back({text, caption, icon});
        log << QStringLiteral("question:") + text;
        if (answers.empty())
            return Answer::No;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    QString saveFileName(const FileDialogRequest &request) override
    {
        saveRequests.push_back(request);
        log << QStringLiteral("save dialog");
        return next();
    }
    QString openFileName(const FileDialogRequest &request) override
    {
        openRequests.push_back(request);
        log << QStringLiteral("open dialog");
        return next();
    }
    bool chooseColor(QColor *) override { return false; }
    bool printDialog(QPrinter *, int) override { return false; }

    std::deque<Answer> answers;
    std::deque<QString> fileNames; // answers of the file dialogs, in order; empty: cancelled
    std::vector<ShownMessage> messages;
    std::vector<ShownMessage> questions;
    std::vector<FileDialogRequest> saveRequests;
    std::vector<FileDialogRequest> openRequests;
    QStringList log;

private:
    QString next()
    {
        if (fileNames.empty())
            return {};
        const QString name = fileNames.front();
        fileNames.pop_front();
        return name;
    }
};

// Points Qt's per-user settings at a folder of its own for the life of the object.
class TemporarySettings
{
public:
    TemporarySettings()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    }
    // The settings key as the program sees it, read afresh from the file.
    QVariant value(const QString &name) const
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Norvelt"),
                           QStringLiteral("QPX"));
        return settings.value(QStringLiteral("1.0/") + name);
    }
    void setValue(const QString &name, const QVariant &value) const
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Norvelt"),
                           QStringLiteral("QPX"));
        settings.setValue(QStringLiteral("1.0/") + name, value);
    }

    QTemporaryDir dir;
};
