#pragma once
// The general error handler: every command handler runs inside runGuarded(). An error that the
// handler does not catch is shown in a message box (caption: the current application title,
// error icon, OK); the rest of the handler is skipped and the program goes on.
#include <QString>
#include <functional>

void runGuarded(const std::function<void()> &handler);

// The text as the message box shows it: a full stop is added when the last character sorts
// after ".".
QString errorMessageText(const QString &text);
