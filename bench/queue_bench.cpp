// Work sessions through the Work Queue window's own code path (the queue
// model, its view, the statistics and the journal), against a server given
// on the command line; prints their figures. Used by queue_bench.sh.
//
//   pm_queue_bench list OUTDIR PARALLEL LISTFILE   one session over the URLs of a file
//   pm_queue_bench stop OUTDIR PARALLEL URL...     stop once PARALLEL downloads carry
//                                                  bytes; prints the time until all ended
//   pm_queue_bench startup OUTDIR ENTRIES          start-up with a stored queue of
//                                                  ENTRIES until the queue window shows;
//                                                  then 25,000 more added from the found
//                                                  list, a session started and stopped,
//                                                  each timed, and the longest time the
//                                                  window did not answer meanwhile
//   pm_queue_bench floor OUTDIR LISTFILE           the smallest Qt downloader: the URLs
//                                                  fetched one by one with a bare
//                                                  QNetworkAccessManager, each body
//                                                  written to a new file
//
// Both logs are on, and the download archive records every file, as a user
// who keeps the defaults has them.
#include "archive/sqlitearchive.h"
#include "core/appcontext.h"
#include "core/found/foundlistmodel.h"
#include "gui/foundlistpanel.h"
#include "gui/mainwindow.h"
#include "gui/workqueuewindow.h"
#include "tests/support/scriptedinteraction.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QStringListModel>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>
#include <QWebEngineProfile>

#include <cstdio>
#include <functional>

using namespace pm;

namespace {

// Kilobytes of a /proc/self/status field (VmRSS, VmHWM).
long procStatusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field)) + 1).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// The URLs of a list file, one a line; blank lines are skipped.
QStringList readList(const QString& fileName)
{
    QStringList urls;
    QFile list(fileName);
    if (!list.open(QIODevice::ReadOnly))
        return urls;
    for (const QByteArray& line : list.readAll().split('\n'))
        if (!line.trimmed().isEmpty())
            urls << QString::fromUtf8(line.trimmed());
    return urls;
}

// The floor any Qt downloader stands on: what Qt Network and the file system
// cost for the same list, with none of Pullmark's own work.
int runFloor(QApplication& app, const QString& out, const QStringList& urls)
{
    QNetworkAccessManager manager;
    QElapsedTimer clock;
    int next = 0;
    int saved = 0;
    std::function<void()> fetchNext = [&] {
        if (next == urls.size()) {
            QTextStream(stdout) << "seconds " << double(clock.nsecsElapsed()) / 1e9 << "\n"
                                << "items " << saved << " of " << urls.size() << "\n";
            app.quit();
            return;
        }
        const QUrl url(urls[next++]);
        QNetworkReply* reply = manager.get(QNetworkRequest(url));
        QObject::connect(reply, &QNetworkReply::finished, &app, [&, reply, url] {
            reply->deleteLater();
            QFile file(out + QLatin1Char('/') + url.fileName());
            if (reply->error() == QNetworkReply::NoError && file.open(QIODevice::WriteOnly)
                && file.write(reply->readAll()) >= 0)
                ++saved;
            file.close();
            fetchNext();
        });
    };
    QTimer::singleShot(0, &app, [&] {
        clock.start();
        fetchNext();
    });
    return app.exec();
}

void useDefaults(Settings& s, const QString& out, int parallel)
{
    s.activityLogFile = out + QStringLiteral("/pulmark.log");
    s.outputFolder = out;
    s.setDuplicateRule(DuplicateRule::Overwrite);
    s.setErrorMode(ErrorMode::CarryOn);
    s.logDownloads = s.logCsv = true;
    s.parallelDownloads = parallel;
}

// Start-up as the program does it, with a large stored queue, until the
// Work Queue window is on screen; then the large queue in use.
int runStartup(QApplication& app, const QString& out, int entries)
{
    // Addresses on this machine whose port answers nothing: a session over
    // them never leaves the machine.
    auto address = [](int i) { return QStringLiteral("http://127.0.0.1:9/videos/%1/clip-%1.wmv").arg(i); };
    {
        test::ScriptedInteraction ui;
        AppContext writer(ui);
        writer.setProgramFolder(out);
        useDefaults(writer.settings, out, 1);
        writer.settings.legalNoticeAccepted = true;
        writer.settings.setStartPage(StartPage::None);
        writer.settings.retries = 0;
        QStringList urls;
        for (int i = 0; i < entries; ++i)
            urls << address(i);
        writer.queue.append(urls);
        writer.saveConfiguration(writer.settings.configurationFile);
    }
    const long idleKb = procStatusKb("VmRSS:");
    QElapsedTimer clock;
    clock.start();
    test::ScriptedInteraction ui;
    AppContext context(ui);
    context.setProgramFolder(out);
    context.setArchive(std::make_unique<SqliteDownloadArchive>(out + QStringLiteral("/archive.sqlite"), context.errors));
    MainWindow window(context, QWebEngineProfile::defaultProfile());
    if (!window.start())
        return 1;
    window.show();
    window.showQueue();
    QCoreApplication::processEvents();  // the window's first paint
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const long grownKb = procStatusKb("VmRSS:") - idleKb;

    // How long the program did not answer: the longest gap between the
    // ticks of a 5 ms timer.
    qint64 longestGapMs = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &app, [&] {
        longestGapMs = std::max(longestGapMs, sinceTick.restart());
    });
    auto timed = [](const std::function<void()>& step) {
        QElapsedTimer t;
        t.start();
        step();
        return double(t.nsecsElapsed()) / 1e6;
    };

    QStringList found;
    for (int i = entries; i < entries + 25000; ++i)
        found << address(i);
    window.foundList()->model()->setStringList(found);
    const double addMs = timed([&] {
        window.foundList()->selectAll();
        window.foundList()->addSelectionToQueue();
    });
    WorkQueueWindow* queueWindow = window.workQueueWindow();
    auto* start = queueWindow->findChild<QPushButton*>(QStringLiteral("cmdStart"));
    auto* stop = queueWindow->findChild<QPushButton*>(QStringLiteral("cmdCancel"));
    const double startMs = timed([&] { start->click(); });
    sinceTick.start();
    ticker.start(5);
    double stopMs = 0;
    QTimer::singleShot(1000, &app, [&] {
        stopMs = timed([&] { stop->click(); });
    });
    QObject::connect(queueWindow, &WorkQueueWindow::sessionFinished, &app, &QCoreApplication::quit);
    app.exec();
    ticker.stop();

    QTextStream(stdout) << "seconds " << seconds << "\n"
                        << "items " << context.queue.count() - 25000 << " of " << entries << "\n"
                        << "rss_growth_kb " << grownKb << "\n"
                        << "add_ms " << addMs << "\n"
                        << "start_ms " << startMs << "\n"
                        << "stop_ms " << stopMs << "\n"
                        << "longest_gap_ms " << longestGapMs << "\n";
    return 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: pm_queue_bench list|stop OUTDIR PARALLEL URL...|LIST, startup OUTDIR N, floor OUTDIR LIST\n");
        return 2;
    }
    const QString mode = args[1];
    const QString out = args[2];
    QDir().mkpath(out);
    if (mode == QLatin1String("floor"))
        return runFloor(app, out, readList(args[3]));
    if (mode == QLatin1String("startup"))
        return runStartup(app, out, args[3].toInt());

    test::ScriptedInteraction ui;
    AppContext context(ui);
    context.setProgramFolder(out);
    context.setArchive(std::make_unique<SqliteDownloadArchive>(out + QStringLiteral("/archive.sqlite"), context.errors));
    const int parallel = args[3].toInt();
    useDefaults(context.settings, out, parallel);
    const QStringList urls = mode == QLatin1String("list") ? readList(args.value(4)) : args.mid(4);
    if (urls.isEmpty())
        return 2;
    context.queue.append(urls);
    context.saveConfiguration(context.settings.configurationFile);
    const int items = int(urls.size());
    WorkQueueWindow window(context);
    window.show();
    QueueWorker& worker = context.worker;

    QElapsedTimer clock;
    QElapsedTimer stopClock;
    bool stopped = false;
    if (mode == QLatin1String("stop")) {
        QObject::connect(&worker, &QueueWorker::itemProgress, [&](qint64 received, qint64) {
            if (stopped || received < 64 * 1024 || worker.figures().active < parallel)
                return;
            // What "Stop Download" does.
            stopped = true;
            stopClock.start();
            window.findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
        });
    }
    const long idleKb = procStatusKb("VmRSS:");
    QObject::connect(&window, &WorkQueueWindow::sessionFinished, &app, [&] {
        const qint64 ns = clock.nsecsElapsed();
        const qint64 stopNs = stopped ? stopClock.nsecsElapsed() : -1;
        QTextStream o(stdout);
        o << "seconds " << double(ns) / 1e9 << "\n";
        o << "items " << items - context.queue.count() << " of " << items << "\n";
        if (stopped)
            o << "stop_ms " << double(stopNs) / 1e6 << "\n";
        o << "rss_growth_kb " << procStatusKb("VmHWM:") - idleKb << "\n";
        app.quit();
    });
    QTimer::singleShot(0, &app, [&] {
        clock.start();
        window.findChild<QPushButton*>(QStringLiteral("cmdStart"))->click();
    });
    return app.exec();
}
