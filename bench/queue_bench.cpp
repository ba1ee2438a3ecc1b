// Runs one work session of the queue worker against a server given on the
// command line and prints its figures. Used by queue_bench.sh.
//
//   pm_queue_bench session OUTDIR URL...       one session over the URLs
//   pm_queue_bench list OUTDIR LISTFILE        the same, URLs from a file
//   pm_queue_bench stop OUTDIR URL             stop once bytes arrive; prints the latency
//   pm_queue_bench floor OUTDIR LISTFILE       the smallest Qt downloader: the URLs
//                                              fetched one by one with a bare
//                                              QNetworkAccessManager, each body
//                                              written to a new file; no logs,
//                                              no configuration, no temporary file
//
// The configuration is saved after every entry and both logs are on, as in
// the program.
#include "core/appcontext.h"
#include "tests/support/scriptedinteraction.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTextStream>
#include <QTimer>

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
int runFloor(QCoreApplication& app, const QString& out, const QStringList& urls)
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
}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: pm_queue_bench session|list|stop|floor OUTDIR URL...\n");
        return 2;
    }
    const QString mode = args[1];
    const QString out = args[2];
    QDir().mkpath(out);
    if (mode == QLatin1String("floor"))
        return runFloor(app, out, readList(args[3]));

    pm::test::ScriptedInteraction ui;
    AppContext context(ui);
    context.setProgramFolder(out);
    Settings& s = context.settings;
    s.activityLogFile = out + QStringLiteral("/pulmark.log");
    s.outputFolder = out;
    s.setDuplicateRule(DuplicateRule::Overwrite);
    s.setErrorMode(ErrorMode::CarryOn);
    s.logDownloads = s.logCsv = true;

    const QStringList urls = mode == QLatin1String("list") ? readList(args[3]) : args.mid(3);
    if (urls.isEmpty())
        return 2;
    context.queue.append(urls);
    const int items = int(urls.size());
    QueueWorker& worker = context.worker;

    QElapsedTimer clock;
    QElapsedTimer stopClock;
    bool stopped = false;
    if (mode == QLatin1String("stop")) {
        QObject::connect(&worker, &QueueWorker::itemProgress, [&](qint64 received, qint64) {
            if (stopped || received < 64 * 1024)
                return;
            // What "Stop Download" does.
            stopped = true;
            stopClock.start();
            worker.requestStop();
        });
    }
    QObject::connect(&worker, &QueueWorker::sessionEnded, &app, [&] {
        const qint64 ns = clock.nsecsElapsed();
        const qint64 stopNs = stopped ? stopClock.nsecsElapsed() : -1;
        QTextStream o(stdout);
        o << "seconds " << double(ns) / 1e9 << "\n";
        o << "items " << items - context.queue.count() << " of " << items << "\n";
        if (stopped)
            o << "stop_ms " << double(stopNs) / 1e6 << "\n";
        o << "peak_rss_kb " << procStatusKb("VmHWM:") << "\n";
        app.quit();
    });

    const long idleKb = procStatusKb("VmRSS:");
    QTextStream(stdout) << "idle_rss_kb " << idleKb << Qt::endl;
    QTimer::singleShot(0, &app, [&] {
        clock.start();
        worker.start();
    });
    return app.exec();
}
