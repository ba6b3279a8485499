#include "platform/wait_with_events.h"

#include <QEventLoop>
#include <QTimer>

void waitWithEvents(qint32 ms)
{
    if (ms < 1)
        return;
    QEventLoop loop;
    QTimer end;
    end.setSingleShot(true);
    end.setTimerType(Qt::PreciseTimer);
    QObject::connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
    end.start(ms);
    loop.exec();
}
