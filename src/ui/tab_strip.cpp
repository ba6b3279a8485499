#include "ui/tab_strip.h"

#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>

TabStrip::TabStrip(QWidget* parent) : QTabBar(parent)
{
    setDrawBase(false);
    setExpanding(false);
    setUsesScrollButtons(false);
    setFocusPolicy(Qt::TabFocus);
}

void TabStrip::paintEvent(QPaintEvent* event)
{
    {
        int tabsBottom = 0;
        for (int i = 0; i < count(); ++i)
            tabsBottom = qMax(tabsBottom, tabRect(i).bottom() + 1);
        QStylePainter painter(this);
        QStyleOptionTabWidgetFrame frame;
        frame.initFrom(this);
        frame.shape = shape();
        frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
        frame.rect = rect().adjusted(0, tabsBottom - 1, 0, 0);
        painter.drawPrimitive(QStyle::PE_FrameTabWidget, frame);
    }
    QTabBar::paintEvent(event);
}
