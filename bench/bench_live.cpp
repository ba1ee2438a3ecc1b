// How the found list follows a page that keeps changing: the page's script
// adds 50 links every 100 ms for 20 s, 10,000 links in all, each carrying in
// its address the time it was added. Measured over those 20 s, in the main
// window with the default scan:
//   - how far the found list lags behind the page: for each link, from the
//     moment the page added it to the moment the list shows it;
//   - the main thread's longest stall: how late a 10 ms timer's tick came;
//   - the CPU time of the program's own process and of the page's renderer,
//     as a share of one core.
// The reference, in the same run: the same page in a plain view without the
// program's scripts, the same stall and CPU measures.
#include "bench/loopbackserver.h"
#include "bench/median.h"
#include "gui/browserview.h"
#include "gui/mainwindow.h"
#include "gui/pagescanner.h"
#include "tests/support/testserver.h"
#include "tests/support/webtest.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSet>
#include <QTextStream>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

using namespace pm;
using namespace pm::test;

using pm::bench::median;

namespace {

constexpr int kBatches = 200;
constexpr int kLinksPerBatch = 50;
constexpr int kBatchMs = 100;
constexpr int kRounds = 3;

QByteArray livePage()
{
    return "<html><head><title>Live</title></head><body><script>\n"
           "var batches = 0;\n"
           "var timer = setInterval(function () {\n"
           "  var now = Date.now(), html = '';\n"
           "  for (var i = 0; i < " + QByteArray::number(kLinksPerBatch) + "; ++i)\n"
           "    html += \"<a href='/l/\" + batches + '-' + i + '-' + now + \".jpg'>x</a> \";\n"
           "  document.body.insertAdjacentHTML('beforeend', html);\n"
           "  if (++batches === " + QByteArray::number(kBatches) + ") { clearInterval(timer); document.title = 'done'; }\n"
           "}, " + QByteArray::number(kBatchMs) + ");\n"
           "</script></body></html>\n";
}

// CPU seconds used so far by this process (all its threads).
double ownCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds used so far by another process, from /proc.
double processCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // The fields after the command's closing parenthesis; utime and stime
    // are the 14th and 15th of the whole line.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

struct Sample {
    double seconds = 0;
    double ownCpu = 0;       // share of one core
    double rendererCpu = 0;  // share of one core
    double longestStallMs = 0;
};

// Watches the main thread and the CPU from start() to stop().
class Watch {
public:
    Watch()
    {
        m_tick.setTimerType(Qt::PreciseTimer);
        m_tick.setInterval(10);
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longestGap = std::max(m_longestGap, now - m_lastTick);
            m_lastTick = now;
        });
    }
    void start(qint64 rendererPid)
    {
        m_rendererPid = rendererPid;
        m_ownCpu = ownCpuSeconds();
        m_rendererCpu = processCpuSeconds(rendererPid);
        m_clock.start();
        m_lastTick = 0;
        m_longestGap = 0;
        m_tick.start();
    }
    Sample stop()
    {
        m_tick.stop();
        Sample sample;
        sample.seconds = m_clock.nsecsElapsed() / 1e9;
        sample.ownCpu = (ownCpuSeconds() - m_ownCpu) / sample.seconds;
        sample.rendererCpu = (processCpuSeconds(m_rendererPid) - m_rendererCpu) / sample.seconds;
        sample.longestStallMs = std::max(0.0, m_longestGap / 1e6 - 10);
        return sample;
    }

private:
    QTimer m_tick;
    QElapsedTimer m_clock;
    qint64 m_lastTick = 0;
    qint64 m_longestGap = 0;
    qint64 m_rendererPid = 0;
    double m_ownCpu = 0;
    double m_rendererCpu = 0;
};

// Waits for the page's title to become "done" (or 120 s).
bool waitForDone(QWebEnginePage* page)
{
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, [&] { loop.exit(1); });
    QObject::connect(page, &QWebEnginePage::titleChanged, &loop, [&](const QString& title) {
        if (title == QLatin1String("done"))
            loop.exit(0);
    });
    timeout.start(120000);
    return loop.exec() == 0;
}

// Runs the event loop for `ms`.
void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QString percent(double share)
{
    return QString::number(share * 100, 'f', 1) + QLatin1Char('%');
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QTextStream out(stdout);

    TestServer server;
    server.addPage(QStringLiteral("/live.html"), livePage());
    if (!pm::bench::startServer(server, out))
        return 1;

    TestProfile web;
    TestWindow t(web.profile());
    t.settings.extensions = QStringLiteral("jpg");
    MainWindow& window = t.window;
    window.resize(1000, 800);
    window.show();
    QWebEngineView plain;
    plain.setPage(new QWebEnginePage(web.profile(), &plain));
    plain.resize(1000, 800);
    plain.show();

    // How late each link reaches the found list.
    QList<double> lags;
    QSet<QString> seen;
    QObject::connect(window.scanner(), &PageScanner::listReady, [&](const ScanResult& result) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (const QString& url : result.urls) {
            if (seen.contains(url))
                continue;
            seen.insert(url);
            const QString name = url.section(QLatin1Char('/'), -1).section(QLatin1Char('.'), 0, 0);
            lags << double(now - name.section(QLatin1Char('-'), 2).toLongLong());
        }
    });

    Watch watch;
    QList<Sample> windowSamples, plainSamples;
    QList<double> maxLags, medianLags;
    for (int round = 0; round < kRounds; ++round) {
        // The plain view.
        plain.load(QUrl(server.url(QStringLiteral("/live.html?plain=%1").arg(round))));
        QEventLoop loaded;
        QObject::connect(plain.page(), &QWebEnginePage::loadFinished, &loaded, &QEventLoop::quit);
        loaded.exec();
        watch.start(plain.page()->renderProcessPid());
        if (!waitForDone(plain.page())) {
            out << "the plain view's page did not finish\n";
            return 1;
        }
        plainSamples << watch.stop();

        // The window.
        lags.clear();
        seen.clear();
        if (!t.go(server.url(QStringLiteral("/live.html?window=%1").arg(round)))) {
            out << "the window's page did not load\n";
            return 1;
        }
        watch.start(window.browser()->page()->renderProcessPid());
        if (!waitForDone(window.browser()->page())) {
            out << "the window's page did not finish\n";
            return 1;
        }
        windowSamples << watch.stop();
        settle(1000);  // the last links join the list
        if (t.found().size() != kBatches * kLinksPerBatch) {
            out << "round " << round + 1 << ": the found list holds " << t.found().size() << " of "
                << kBatches * kLinksPerBatch << " links\n";
            return 1;
        }
        maxLags << *std::max_element(lags.begin(), lags.end());
        medianLags << median(lags);
        out << "round " << round + 1 << ": lag median " << QString::number(median(lags), 'f', 0) << " ms, longest "
            << QString::number(maxLags.last(), 'f', 0) << " ms; stall " << QString::number(windowSamples.last().longestStallMs, 'f', 1)
            << " ms (plain " << QString::number(plainSamples.last().longestStallMs, 'f', 1) << " ms); CPU program "
            << percent(windowSamples.last().ownCpu) << " (plain " << percent(plainSamples.last().ownCpu) << "), renderer "
            << percent(windowSamples.last().rendererCpu) << " (plain " << percent(plainSamples.last().rendererCpu)
            << ") over " << QString::number(windowSamples.last().seconds, 'f', 1) << " s\n";
    }

    auto medianOf = [](const QList<Sample>& samples, double Sample::*field) {
        QList<double> values;
        for (const Sample& sample : samples)
            values << sample.*field;
        return median(values);
    };
    const double ownCpu = medianOf(windowSamples, &Sample::ownCpu);
    const double plainOwnCpu = medianOf(plainSamples, &Sample::ownCpu);
    const double stall = medianOf(windowSamples, &Sample::longestStallMs);
    const double plainStall = medianOf(plainSamples, &Sample::longestStallMs);
    out << "page: " << kLinksPerBatch << " links added every " << kBatchMs << " ms for "
        << kBatches * kBatchMs / 1000 << " s; median of " << kRounds << " rounds:\n";
    out << "  found list behind the page, longest: " << QString::number(median(maxLags), 'f', 0)
        << " ms (median link " << QString::number(median(medianLags), 'f', 0) << " ms; target 500 ms)\n";
    out << "  main thread's longest stall: " << QString::number(stall, 'f', 1) << " ms; plain view "
        << QString::number(plainStall, 'f', 1) << " ms; ratio "
        << QString::number(plainStall > 0 ? stall / plainStall : 0, 'f', 2) << " (target under 100 ms)\n";
    out << "  program's CPU: " << percent(ownCpu) << " of one core; plain view " << percent(plainOwnCpu)
        << "; ratio " << QString::number(plainOwnCpu > 0 ? ownCpu / plainOwnCpu : 0, 'f', 2)
        << " (target under 25%)\n";
    out << "  renderer's CPU: " << percent(medianOf(windowSamples, &Sample::rendererCpu)) << "; plain view "
        << percent(medianOf(plainSamples, &Sample::rendererCpu)) << "\n";
    return 0;
}
