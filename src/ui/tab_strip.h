#pragma once

#include <QTabBar>

// The tab strip: a row of tabs above a framed page area. The pages are
// separate controls laid over the area; the strip only draws its frame.
class TabStrip : public QTabBar
{
    Q_OBJECT

public:
    explicit TabStrip(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
