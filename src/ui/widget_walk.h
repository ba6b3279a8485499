#pragma once

#include <QList>
#include <QWidget>

// Every descendant of root of the given type, parents before their
// children, in the order they were created.
template <class Widget> QList<Widget*> descendantsOfType(const QObject* root)
{
    QList<Widget*> found;
    for (QObject* child : root->children()) {
        if (auto* typed = qobject_cast<Widget*>(child))
            found.append(typed);
        found.append(descendantsOfType<Widget>(child));
    }
    return found;
}
