// Runs one work session of the queue worker against a server given on the
// command line and prints its figures. Used by queue_bench.sh.
//
//   pm_queue_bench session OUTDIR URL...       one session over the URLs
//   pm_queue_bench list OUTDIR LISTFILE        the same, URLs from a file
//   pm_queue_bench stop OUTDIR URL             stop once bytes arrive; prints the latency
//
// The configuration is saved after every entry and both logs are on, as in
// the program. To show where the time goes, PM_BENCH_NO_SAVE=1 leaves out the
// configuration saves and PM_BENCH_NO_LOGS=1 the two logs.
#include "queue/transfer.h"
#include "queue/workque.h"
#include "settings/configfile.h"
#include "settings/settings.h"
#include "tests/support/queuetest.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

using namespace pm;

namespace {
using pm::test::ListQueue;

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
}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: pm_queue_bench session|list|stop OUTDIR URL...\n");
        return 2;
    }
    const QString mode = args[1];
    const QString out = args[2];
    QDir().mkpath(out);

    Settings& s = settings();
    s.strG_AppPath = out;
    s.strG_IniFileName = out + QStringLiteral("/Pullmark.ini");
    s.strG_LogFileName = out + QStringLiteral("/pulmark.log");
    s.strG_SavePath = out;
    s.strG_FileDupOption = QStringLiteral("Overwrite");
    s.strG_Unattended = QStringLiteral("Resume");
    const bool noSave = qEnvironmentVariableIsSet("PM_BENCH_NO_SAVE");
    s.bG_LogDownloads = !qEnvironmentVariableIsSet("PM_BENCH_NO_LOGS");
    s.bG_LogCSV = s.bG_LogDownloads;

    ListQueue queue;
    if (mode == QLatin1String("list")) {
        QFile list(args[3]);
        if (!list.open(QIODevice::ReadOnly))
            return 2;
        for (const QByteArray& line : list.readAll().split('\n'))
            if (!line.trimmed().isEmpty())
                queue.items << QString::fromUtf8(line.trimmed());
    } else {
        queue.items = args.mid(3);
    }
    const int items = int(queue.items.size());

    QueueFlags flags;
    Transfer transfer;
    WorkQue worker(queue, flags, &transfer, [&] {
        s.colG_Queue = queue.items;
        if (!noSave)
            SaveINI(s.strG_IniFileName, {});
    });

    QElapsedTimer clock;
    QElapsedTimer stopClock;
    bool stopped = false;
    if (mode == QLatin1String("stop")) {
        QObject::connect(&transfer, &Transfer::progress, [&](qint64 received, qint64) {
            if (stopped || received < 64 * 1024)
                return;
            // What "Stop Download" does.
            stopped = true;
            stopClock.start();
            worker.cancelTransfer();
            flags.chkContinue = true;
        });
    }
    QObject::connect(&worker, &WorkQue::sessionEnded, &app, [&] {
        const qint64 ns = clock.nsecsElapsed();
        const qint64 stopNs = stopped ? stopClock.nsecsElapsed() : -1;
        QTextStream o(stdout);
        o << "seconds " << double(ns) / 1e9 << "\n";
        o << "items " << items - queue.count() << " of " << items << "\n";
        if (stopped)
            o << "stop_ms " << double(stopNs) / 1e6 << "\n";
        o << "peak_rss_kb " << procStatusKb("VmHWM:") << "\n";
        app.quit();
    });

    const long idleKb = procStatusKb("VmRSS:");
    QTextStream(stdout) << "idle_rss_kb " << idleKb << Qt::endl;
    QTimer::singleShot(0, &app, [&] {
        flags.chkInProgress = true;
        clock.start();
        worker.start();
    });
    return app.exec();
}
