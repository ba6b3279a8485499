#pragma once

// Acting on the program's modal dialogs from a test: the action runs as
// soon as a dialog of the given type is the active modal widget, from the
// event loop that dialog's exec() runs.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

// Acts on the modal dialog of type Box as soon as it is open; *seen turns
// true when one came. A scope given ends the wait when it goes, so an
// action that never ran cannot run on a later test's dialog.
template <typename Box>
void whenOpen(const std::function<void(Box*)>& act, bool* seen, QObject* scope = nullptr)
{
    auto* poll = new QTimer(scope);
    QObject::connect(poll, &QTimer::timeout, [poll, act, seen] {
        if (auto* box = qobject_cast<Box*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            *seen = true;
            act(box);
        }
    });
    poll->start(10);
}
