#pragma once
// The application title: "Лкт-ДН7", or "<table> - Лкт-ДН7" while a table opened by name is shown.
// It is the caption of the general error handler's message box. It is kept here rather than in
// QGuiApplication::applicationDisplayName, which Qt would append to every window title.
#include <QString>

QString applicationTitle();
void setApplicationTitle(const QString &title);
