// 100,000 rows arriving in the window's mail list one at a time, each from
// its own event as a check run adds them: the time until the list shows
// them all, and the longest the event loop was held up meanwhile (the worst
// lateness of a 10 ms timer). Baselines: the same rows put in the bare
// model with no view, and a list view over the model without the batching
// proxy, at a smaller count.
#include "bench_support.h"
#include "model/mail_list_model.h"
#include "ui/mail_list_view.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <functional>

namespace {

MailItem row(int n)
{
    MailItem item;
    item.key = {n, QStringLiteral("secret")};
    item.displayName = QStringLiteral("Account %1").arg(n % 4);
    item.userName = QStringLiteral("user%1").arg(n % 4);
    item.from = QStringLiteral("Sender %1 <sender%1@example.org>").arg(n % 997);
    item.subject = QStringLiteral("Report number %1 with a subject of ordinary length").arg(n);
    item.dateSent = QStringLiteral("03/06/2024 10:%1:%2")
                        .arg(n / 60 % 60, 2, 10, QLatin1Char('0'))
                        .arg(n % 60, 2, 10, QLatin1Char('0'));
    item.server = QStringLiteral("pop.example.com");
    item.port = QStringLiteral("110");
    item.image = n % 5 == 0 ? MailImage::New : MailImage::Seen;
    return item;
}

struct Fill
{
    double wallMs = 0;
    double cpuMs = 0;
    double worstStallMs = 0;
};

// Appends `count` rows, one per posted event, and runs the event loop until
// `shown()` says the view holds them all; a 10 ms timer records the loop's
// worst lateness all the while.
Fill fill(MailListModel& model, int count, const std::function<bool()>& shown)
{
    Fill result;
    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        result.worstStallMs = std::max(result.worstStallMs, sinceTick.nsecsElapsed() / 1e6 - 10);
        sinceTick.restart();
    });
    int next = 0;
    std::function<void()> step = [&] {
        model.appendItem(row(next));
        if (++next < count)
            QMetaObject::invokeMethod(qApp, step, Qt::QueuedConnection);
    };
    QEventLoop loop;
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (next == count && shown())
            loop.quit();
    });
    const double cpuStart = processCpuMs();
    clock.start();
    sinceTick.start();
    probe.start();
    done.start(1);
    QMetaObject::invokeMethod(qApp, step, Qt::QueuedConnection);
    loop.exec();
    // The last rows drawn.
    QCoreApplication::processEvents();
    result.wallMs = clock.nsecsElapsed() / 1e6;
    result.cpuMs = processCpuMs() - cpuStart;
    return result;
}

void print(const char* what, int count, const Fill& f)
{
    std::printf("  %-34s %7d rows %8.1f ms wall %8.1f ms cpu, worst stall %6.1f ms\n", what, count,
                f.wallMs, f.cpuMs, f.worstStallMs);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Filling the window's mail list."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("rows"), QStringLiteral("Rows to add."), QStringLiteral("n"),
                      QStringLiteral("100000")});
    parser.process(app);
    const int rows = qMax(1, parser.value(QStringLiteral("rows")).toInt());
    const int smaller = qMax(1, rows / 50);

    // The bare model: what the rows cost without any view.
    MailListModel bare;
    const Fill bareFill = fill(bare, rows, [] { return true; });

    // The window's own list, shown on the mail tab.
    MainWindow window;
    window.selectTab(MainWindow::MailTab);
    window.show();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    MailListModel& model = *window.mailListModel();
    QTreeView* view = window.mailListView();
    const Fill windowFill =
        fill(model, rows, [&] { return view->model()->rowCount() == model.itemCount(); });
    const bool visible = view->isVisible() && view->model()->rowCount() == rows;

    // A plain list view straight on a model: every row relaid out and drawn.
    MailListModel direct;
    MailListView plain;
    configureReportList(&plain);
    plain.setModel(&direct);
    plain.resize(view->size());
    plain.show();
    const Fill directFill = fill(direct, smaller, [] { return true; });

    std::printf("mail list filled one row per event, offscreen window\n");
    print("model alone", rows, bareFill);
    print("window list (ListView1)", rows, windowFill);
    print("view without batching", smaller, directFill);
    const bool fast = windowFill.wallMs < 2000;
    const bool responsive = windowFill.worstStallMs < 100;
    std::printf("window list: %d rows shown in %.1f ms (target < 2000 ms): %s; worst event-loop "
                "stall %.1f ms (target < 100 ms): %s%s\n",
                rows, windowFill.wallMs, fast ? "met" : "MISSED", windowFill.worstStallMs,
                responsive ? "met" : "MISSED", visible ? "" : " (the list was not shown!)");
    printSummary("D6.4 time", QStringLiteral("%1 ms").arg(windowFill.wallMs, 0, 'f', 1),
                 QStringLiteral("< 2000 ms"),
                 QStringLiteral("model alone %1 ms; unbatched view %2 ms for %3 rows")
                     .arg(bareFill.wallMs, 0, 'f', 1)
                     .arg(directFill.wallMs, 0, 'f', 1)
                     .arg(smaller),
                 fast && visible);
    printSummary("D6.4 stall", QStringLiteral("%1 ms").arg(windowFill.worstStallMs, 0, 'f', 1),
                 QStringLiteral("< 100 ms"),
                 QStringLiteral("model alone %1 ms; unbatched view %2 ms")
                     .arg(bareFill.worstStallMs, 0, 'f', 1)
                     .arg(directFill.worstStallMs, 0, 'f', 1),
                 responsive && visible);
    return fast && responsive && visible ? 0 : 1;
}
