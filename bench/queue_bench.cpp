// Work sessions of the real program: a stored queue in its configuration
// file, the main window started as the program starts it, the Work Queue
// window shown and its Start button clicked, against a server given on the
// command line. Prints the figures queue_bench.sh reads.
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
//   pm_queue_bench floor OUTDIR PARALLEL LISTFILE  the smallest Qt downloader: the URLs
//                                                  fetched with a bare QNetworkAccessManager,
//                                                  each body streamed to a new file
//   pm_queue_bench create OUTDIR COUNT             microseconds to create one new file
//                                                  there, fill it with four KiB and close it
//
// The program folder is OUTDIR, the files go to OUTDIR/files. Both logs are
// on, and the download archive records every file, as a user who keeps the
// defaults has them.
//
// Run with QT_LINUX_ACCESSIBILITY_ALWAYS_ON set (bench/a11y-session.sh), the
// program waits until its accessibility bridge is connected and the
// accessibility registry lists it, as a screen reader finds it, before the
// session starts; it ends with status 3 when that does not happen.
#include "archive/sqlitearchive.h"
#include "core/appcontext.h"
#include "core/config/filelocations.h"
#include "core/found/foundlistmodel.h"
#include "gui/foundlistpanel.h"
#include "gui/mainwindow.h"
#include "gui/workqueuewindow.h"
#include "tests/support/scriptedinteraction.h"

#include <QAccessible>
#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QStringListModel>
#include <QTextStream>
#include <QTimer>
#include <QWebEngineProfile>

#include <sys/resource.h>

#include <cstdio>
#include <functional>
#include <memory>

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

// Processor seconds this process has used, every thread's, user and system.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Starts VmHWM afresh at the current resident size, so that the peak of a
// session is not the peak of the start-up before it.
void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
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

// Runs `step` and gives the milliseconds it took.
double timedMs(const std::function<void()>& step)
{
    QElapsedTimer t;
    t.start();
    step();
    return double(t.nsecsElapsed()) / 1e6;
}

// Whether the accessibility registry lists this program among the desktop's
// applications: what a screen reader walks to find it.
bool listedByAccessibilityRegistry()
{
    QDBusConnection bus(QStringLiteral("a11y"));  // the accessibility bridge's connection
    if (!bus.isConnected())
        return false;
    const QDBusMessage reply = bus.call(
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.atspi.Registry"),
                                       QStringLiteral("/org/a11y/atspi/accessible/root"),
                                       QStringLiteral("org.a11y.atspi.Accessible"), QStringLiteral("GetChildren")),
        QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    const QDBusArgument children = reply.arguments().constFirst().value<QDBusArgument>();
    bool listed = false;
    children.beginArray();
    while (!children.atEnd()) {
        QString busName;
        QDBusObjectPath path;
        children.beginStructure();
        children >> busName >> path;
        children.endStructure();
        listed = listed || busName == bus.baseService();
    }
    children.endArray();
    return listed;
}

// Waits, with the event loop running, until accessibility is on and the
// registry lists the program, for at most ten seconds.
bool waitForAccessibility(QApplication& app)
{
    QElapsedTimer clock;
    clock.start();
    bool ready = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        ready = QAccessible::isActive() && listedByAccessibilityRegistry();
        if (ready || clock.elapsed() > 10000)
            app.exit();
    });
    poll.start(20);
    app.exec();
    return ready;
}

// The floor any Qt downloader stands on: what Qt Network and the file system
// cost for the same list, with none of Pullmark's own work.
int runFloor(QApplication& app, const QString& out, int parallel, const QStringList& urls)
{
    QNetworkAccessManager manager;
    QElapsedTimer clock;
    int next = 0;
    int saved = 0;
    int running = 0;
    std::function<void()> fetchNext = [&] {
        while (running < parallel && next < urls.size()) {
            const QUrl url(urls[next++]);
            auto file = std::make_shared<QFile>(out + QLatin1Char('/') + url.fileName());
            if (!file->open(QIODevice::WriteOnly))
                continue;
            QNetworkReply* reply = manager.get(QNetworkRequest(url));
            reply->setReadBufferSize(1024 * 1024);
            ++running;
            QObject::connect(reply, &QNetworkReply::readyRead, &app, [reply, file] { file->write(reply->readAll()); });
            QObject::connect(reply, &QNetworkReply::finished, &app, [&, reply, file] {
                reply->deleteLater();
                file->write(reply->readAll());
                file->close();
                saved += reply->error() == QNetworkReply::NoError ? 1 : 0;
                --running;
                fetchNext();
            });
        }
        if (running == 0) {
            QTextStream(stdout) << "seconds " << double(clock.nsecsElapsed()) / 1e9 << "\n"
                                << "items " << saved << " of " << urls.size() << "\n";
            app.quit();
        }
    };
    QTimer::singleShot(0, &app, [&] {
        clock.start();
        fetchNext();
    });
    return app.exec();
}

// What the file system charges for every small file, whoever writes it.
int runCreate(const QString& out, int count)
{
    const QByteArray body(4096, 'x');
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i) {
        QFile file(out + QStringLiteral("/probe-%1").arg(i));
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(body) != body.size())
            return 1;
    }
    QTextStream(stdout) << "create_us " << double(clock.nsecsElapsed()) / 1e3 / count << "\n";
    return 0;
}

// Writes the program folder's configuration file with `queue` stored in it,
// the settings a user who keeps the defaults has, and the legal notice
// accepted.
void storeQueue(const QString& folder, const QStringList& queue, int parallel, int retries = Settings().retries)
{
    test::ScriptedInteraction ui;
    AppContext writer(ui);
    writer.setProgramFolder(folder);
    Settings& s = writer.settings;
    s.activityLogFile = folder + QStringLiteral("/pulmark.log");
    s.outputFolder = folder + QStringLiteral("/files");
    s.setDuplicateRule(DuplicateRule::Overwrite);
    s.setErrorMode(ErrorMode::CarryOn);
    s.logDownloads = s.logCsv = true;
    s.parallelDownloads = parallel;
    s.retries = retries;
    s.legalNoticeAccepted = true;
    s.setStartPage(StartPage::None);
    writer.queue.append(queue);
    writer.saveConfiguration(s.configurationFile);
    QDir().mkpath(s.outputFolder);
}

// The program of a folder written by storeQueue(), started as main() starts
// it: the main window's start-up loads the configuration file, then the Work
// Queue window is shown.
class Program {
public:
    explicit Program(const QString& folder)
    {
        context.setProgramFolder(folder);
        context.setArchive(std::make_unique<SqliteDownloadArchive>(
            archiveFileName(fileLocations(folder, true, {}), context.settings.configurationFile), context.errors));
        window = std::make_unique<MainWindow>(context, QWebEngineProfile::defaultProfile());
    }

    bool start()
    {
        if (!window->start())
            return false;
        window->show();
        window->showQueue();
        QCoreApplication::processEvents();  // the windows' first paint
        return true;
    }

    QPushButton* button(const char* name) const
    {
        return window->workQueueWindow()->findChild<QPushButton*>(QLatin1String(name));
    }

    test::ScriptedInteraction ui;
    AppContext context{ui};
    std::unique_ptr<MainWindow> window;
};

// Start-up with a large stored queue until the Work Queue window is on
// screen; then the large queue in use.
int runStartup(QApplication& app, const QString& out, int entries)
{
    // Addresses on this machine whose port answers nothing: a session over
    // them never leaves the machine.
    auto address = [](int i) { return QStringLiteral("http://127.0.0.1:9/videos/%1/clip-%1.wmv").arg(i); };
    QStringList urls;
    for (int i = 0; i < entries; ++i)
        urls << address(i);
    storeQueue(out, urls, 1, 0);
    const long idleKb = procStatusKb("VmRSS:");
    QElapsedTimer clock;
    clock.start();
    Program program(out);
    if (!program.start())
        return 1;
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

    QStringList found;
    for (int i = entries; i < entries + 25000; ++i)
        found << address(i);
    MainWindow& window = *program.window;
    window.foundList()->model()->setStringList(found);
    const double addMs = timedMs([&] {
        window.foundList()->selectAll();
        window.foundList()->addSelectionToQueue();
    });
    const double startMs = timedMs([&] { program.button("cmdStart")->click(); });
    sinceTick.start();
    ticker.start(5);
    double stopMs = 0;
    QTimer::singleShot(1000, &app, [&] { stopMs = timedMs([&] { program.button("cmdCancel")->click(); }); });
    QObject::connect(window.workQueueWindow(), &WorkQueueWindow::sessionFinished, &app, &QCoreApplication::quit);
    app.exec();
    ticker.stop();

    QTextStream(stdout) << "seconds " << seconds << "\n"
                        << "items " << program.context.queue.count() - 25000 << " of " << entries << "\n"
                        << "rss_growth_kb " << grownKb << "\n"
                        << "add_ms " << addMs << "\n"
                        << "start_ms " << startMs << "\n"
                        << "stop_ms " << stopMs << "\n"
                        << "longest_gap_ms " << longestGapMs << "\n";
    return 0;
}

// One session over `urls` through the Work Queue window; with `stopEarly`,
// Stop is clicked once `parallel` downloads carry bytes.
int runSession(QApplication& app, const QString& out, int parallel, const QStringList& urls, bool stopEarly)
{
    storeQueue(out, urls, parallel);
    Program program(out);
    if (!program.start())
        return 1;
    const bool accessibilityWanted = qEnvironmentVariableIsSet("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
    QTextStream o(stdout);
    if (accessibilityWanted && !waitForAccessibility(app)) {
        o << "accessibility failed\n";
        return 3;
    }
    o << "accessibility " << (QAccessible::isActive() ? "on" : "off") << "\n";

    QueueWorker& worker = program.context.worker;
    QElapsedTimer clock;
    double cpuAtStart = 0;
    QElapsedTimer stopClock;
    bool stopped = false;
    if (stopEarly) {
        QObject::connect(&worker, &QueueWorker::itemProgress, &app, [&](qint64 received, qint64) {
            if (stopped || received < 64 * 1024 || worker.figures().active < parallel)
                return;
            // What "Stop Download" does.
            stopped = true;
            stopClock.start();
            program.button("cmdCancel")->click();
        });
    }
    resetPeakMemory();
    const long idleKb = procStatusKb("VmRSS:");
    QObject::connect(program.window->workQueueWindow(), &WorkQueueWindow::sessionFinished, &app, [&] {
        const qint64 ns = clock.nsecsElapsed();
        o << "seconds " << double(ns) / 1e9 << "\n";
        o << "items " << urls.size() - program.context.queue.count() << " of " << urls.size() << "\n";
        if (stopped)
            o << "stop_ms " << double(stopClock.nsecsElapsed()) / 1e6 << "\n";
        o << "rss_growth_kb " << procStatusKb("VmHWM:") - idleKb << "\n";
        o << "cpu_seconds " << cpuSeconds() - cpuAtStart << "\n";
        app.quit();
    });
    QTimer::singleShot(0, &app, [&] {
        cpuAtStart = cpuSeconds();
        clock.start();
        program.button("cmdStart")->click();
    });
    return app.exec();
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: pm_queue_bench list|floor OUTDIR PARALLEL LIST, stop OUTDIR PARALLEL URL..., "
                             "startup|create OUTDIR N\n");
        return 2;
    }
    const QString mode = args[1];
    const QString out = args[2];
    QDir().mkpath(out);
    if (mode == QLatin1String("startup"))
        return runStartup(app, out, args[3].toInt());
    if (mode == QLatin1String("create"))
        return runCreate(out, args[3].toInt());
    const int parallel = args[3].toInt();
    const QStringList urls = mode == QLatin1String("stop") ? args.mid(4) : readList(args.value(4));
    if (urls.isEmpty() || parallel < 1)
        return 2;
    if (mode == QLatin1String("floor"))
        return runFloor(app, out, parallel, urls);
    return runSession(app, out, parallel, urls, mode == QLatin1String("stop"));
}
