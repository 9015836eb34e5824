#pragma once
// How headless code shows a message box to the operator without knowing about windows: the GUI
// answers with a real message box, qpx-cli prints the text, tests record it.
#include <QString>

enum class MessageIcon { Information, Warning, Error, Question };

class MessageSink
{
public:
    virtual ~MessageSink() = default;
    virtual void showMessage(const QString &text, const QString &caption, MessageIcon icon) = 0;
};
