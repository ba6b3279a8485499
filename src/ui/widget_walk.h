#pragma once

#include <QList>
#include <QPoint>
#include <QWidget>
#include <algorithm>

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

// The controls of container that take focus by Tab, in reading order: row
// by row from the top (controls whose middles lie within a few pixels of
// each other share a row), left to right within a row.
inline QList<QWidget*> focusableInReadingOrder(const QWidget* container)
{
    QList<QWidget*> controls;
    for (QWidget* widget : descendantsOfType<QWidget>(container)) {
        if ((widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy())
            controls.append(widget);
    }
    auto middleOf = [container](const QWidget* widget) {
        return widget->mapTo(container, QPoint(0, widget->height() / 2));
    };
    std::stable_sort(controls.begin(), controls.end(),
                     [&](QWidget* a, QWidget* b) { return middleOf(a).y() < middleOf(b).y(); });
    constexpr int RowTolerance = 6;
    auto rowStart = controls.begin();
    while (rowStart != controls.end()) {
        const int top = middleOf(*rowStart).y();
        auto rowEnd = std::find_if(rowStart, controls.end(), [&](QWidget* widget) {
            return middleOf(widget).y() - top > RowTolerance;
        });
        std::stable_sort(rowStart, rowEnd,
                         [&](QWidget* a, QWidget* b) { return middleOf(a).x() < middleOf(b).x(); });
        rowStart = rowEnd;
    }
    return controls;
}

// Tab moves through container's controls in reading order.
inline void setReadingTabOrder(const QWidget* container)
{
    const QList<QWidget*> controls = focusableInReadingOrder(container);
    for (qsizetype i = 1; i < controls.size(); ++i)
        QWidget::setTabOrder(controls.at(i - 1), controls.at(i));
}
