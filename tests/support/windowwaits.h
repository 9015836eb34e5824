#pragma once
// Waiting for windows in the window tests.
//
// The window system shows and activates a window in its own time: under Wine on a loaded machine
// that can take seconds, so the waits (QTest::qWaitForWindowExposed, qWaitForWindowActive) get
// WindowWaitMs, long enough for that and ended as soon as the window is there.
//
// Scripting a window that some command opens and waits on (a modal dialog's exec(), a pop-up
// menu): the script runs once the window is on the screen, so inside its own loop. A zero timer
// instead fires at the next pass of whatever loop runs first; on Windows that can be the loop of
// the window closing before it, and the script would find its window not yet shown and the test
// would then wait on it for ever.
#include <QTimer>
#include <QWidget>
#include <functional>

inline constexpr int WindowWaitMs = 30000;

// Runs action once window is visible, polling every few milliseconds from the running loops.
inline void whenShown(QWidget *window, std::function<void()> action)
{
    auto *poll = new QTimer(window);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, window, [poll, window, action = std::move(action)] {
        if (!window->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        action();
    });
    poll->start();
}
