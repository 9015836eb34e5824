#pragma once
// How headless code shows a message box to the operator without knowing about windows: the GUI
// answers with a real message box, qpx-cli prints the text, tests record it.
#include <QString>
#include <QtGlobal>

enum class MessageIcon { Information, Warning, Error, Question };

class MessageSink
{
public:
    virtual ~MessageSink() = default;
    virtual void showMessage(const QString &text, const QString &caption, MessageIcon icon) = 0;
    // A message with an informative text below it (the cause of a failure, for one). A sink that
    // has no place for it shows the message alone.
    virtual void showDetailedMessage(const QString &text, const QString &informative, const QString &caption,
                                     MessageIcon icon)
    {
        Q_UNUSED(informative);
        showMessage(text, caption, icon);
    }
};

// A message sink that can also put a yes / no question to the operator (the save question of
// the table document). The windows' prompts are one.
class OperatorPrompts : public MessageSink
{
public:
    enum class Answer { Ok, Yes, No, Cancel };

    // A Yes / No question; returns Yes or No.
    virtual Answer askYesNo(const QString &text, const QString &caption, MessageIcon icon) = 0;
};
