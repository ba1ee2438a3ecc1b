// Harvest Linked Pages on a gallery of 100 thumbnails, each linking to a page
// of its own that holds one full-size image and 20 other links, the server
// answering each page 50 ms late. Measured in the main window, from the
// command to the complete found list:
//   - the time it takes;
//   - the main thread's longest stall: how late a 10 ms timer's tick came;
//   - how much more memory the program holds after the run than before it
//     (its own process and the browser's processes under it).
// The floor, in the same run: the same 100 pages loaded two at a time in bare
// hidden QWebEnginePages of the same profile, each read once for its links
// when its load has finished.
#include "bench/loopbackserver.h"
#include "bench/median.h"
#include "gui/linkedpageharvest.h"
#include "gui/linkedpagescommand.h"
#include "gui/mainwindow.h"
#include "tests/support/testserver.h"
#include "tests/support/webtest.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>
#include <QWebEnginePage>

#include <algorithm>
#include <memory>
#include <unistd.h>

using namespace pm;
using namespace pm::test;

using pm::bench::median;

namespace {

constexpr int kPages = 100;
constexpr int kOtherLinks = 20;
constexpr int kPageDelayMs = 50;
constexpr int kImageBytes = 100 * 1024;
constexpr int kRounds = 3;

// The gallery of round `round`: its own addresses, so that no round reads
// another's pages from the cache.
QByteArray galleryPage(int round)
{
    QByteArray body = "<html><head><title>Gallery</title></head><body>";
    for (int i = 0; i < kPages; ++i) {
        const QByteArray n = QByteArray::number(i);
        body += "<a href='/lp/" + n + ".html?r=" + QByteArray::number(round) + "&delay="
                + QByteArray::number(kPageDelayMs) + "'><img src='/thumb/" + n + ".jpg'></a>\n";
    }
    return body + "</body></html>";
}

QByteArray linkedPage(int n)
{
    QByteArray body = "<html><head><title>Photo</title></head><body><img src='/file/big-" + QByteArray::number(n)
                      + ".jpg?size=" + QByteArray::number(kImageBytes) + "'>\n";
    for (int k = 0; k < kOtherLinks; ++k)
        body += "<a href='/elsewhere/" + QByteArray::number(k) + ".html'>more</a>\n";
    return body + "</body></html>";
}

// Resident memory, in bytes, of the process `pid`; 0 when it is gone.
qint64 residentBytes(qint64 pid)
{
    QFile statm(QStringLiteral("/proc/%1/statm").arg(pid));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

// Resident memory of this process and every process under it (the
// browser's helpers and renderers).
qint64 residentBytesWithChildren()
{
    QHash<qint64, QList<qint64>> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!number || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        // After the command's closing parenthesis: state, then the parent's pid.
        children[text.mid(text.lastIndexOf(')') + 2).split(' ').value(1).toLongLong()] << pid;
    }
    qint64 total = 0;
    QList<qint64> pending{getpid()};
    while (!pending.isEmpty()) {
        const qint64 pid = pending.takeLast();
        total += residentBytes(pid);
        pending << children.value(pid);
    }
    return total;
}

// How late a 10 ms timer comes, at worst, between start() and stop().
class StallWatch {
public:
    StallWatch()
    {
        m_tick.setTimerType(Qt::PreciseTimer);
        m_tick.setInterval(10);
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_worst = std::max(m_worst, now - m_previous);
            m_previous = now;
        });
    }
    void start()
    {
        m_clock.start();
        m_previous = 0;
        m_worst = 0;
        m_tick.start();
    }
    double stopMs()
    {
        m_tick.stop();
        return std::max(0.0, m_worst / 1e6 - 10);
    }

private:
    QTimer m_tick;
    QElapsedTimer m_clock;
    qint64 m_previous = 0;
    qint64 m_worst = 0;
};

// The floor: loads `pages` two at a time in bare pages, reads each page's
// links once its load has finished. Returns the seconds it took, or -1.
double floorRun(QWebEngineProfile* profile, const QStringList& pages, int* linksRead)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    int next = 0;
    int done = 0;
    std::vector<std::unique_ptr<QWebEnginePage>> readers;
    auto readNext = [&](QWebEnginePage* page) {
        if (next < pages.size())
            page->load(QUrl(pages.at(next++)));
    };
    for (int i = 0; i < 2; ++i) {
        readers.push_back(std::make_unique<QWebEnginePage>(profile));
        QWebEnginePage* page = readers.back().get();
        QObject::connect(page, &QWebEnginePage::loadFinished, page, [&, page](bool) {
            page->runJavaScript(QStringLiteral("Array.from(document.links, function (a) { return a.href; })"),
                                [&, page](const QVariant& links) {
                                    *linksRead += int(links.toList().size());
                                    if (++done == pages.size())
                                        loop.quit();
                                    else
                                        readNext(page);
                                });
        });
        readNext(page);
    }
    QTimer::singleShot(300000, &loop, [&] { loop.exit(1); });
    return loop.exec() == 0 ? clock.nsecsElapsed() / 1e9 : -1;
}

// Runs the event loop for `ms`.
void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QString mib(qint64 bytes)
{
    return QString::number(bytes / 1048576.0, 'f', 1) + QStringLiteral(" MiB");
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QTextStream out(stdout);

    TestServer server;
    for (int i = 0; i < kPages; ++i)
        server.addPage(QStringLiteral("/lp/%1.html").arg(i), linkedPage(i));
    for (int round = 0; round < kRounds; ++round)
        server.addPage(QStringLiteral("/gallery-%1.html").arg(round), galleryPage(round));
    if (!pm::bench::startServer(server, out))
        return 1;

    TestProfile web;
    TestWindow t(web.profile());
    MainWindow& window = t.window;
    window.resize(1000, 800);
    window.show();
    auto* harvestButton = t.child<QPushButton>("cmdHarvestLinked");

    StallWatch stalls;
    QList<double> windowSeconds, floorSeconds, stallMs;
    qint64 memoryBefore = 0;
    for (int round = 0; round < kRounds; ++round) {
        QStringList pages;
        for (int i = 0; i < kPages; ++i)
            pages << server.url(QStringLiteral("/lp/%1.html?r=fl%2&delay=%3").arg(i).arg(round).arg(kPageDelayMs));
        int linksRead = 0;
        floorSeconds << floorRun(web.profile(), pages, &linksRead);
        if (floorSeconds.last() < 0 || linksRead != kPages * kOtherLinks) {
            out << "the floor's pages were not all read\n";
            return 1;
        }

        if (!t.go(server.url(QStringLiteral("/gallery-%1.html").arg(round)))) {
            out << "the gallery did not load\n";
            return 1;
        }
        settle(500);  // the window's own work on the gallery ends
        if (round == 0)
            memoryBefore = residentBytesWithChildren();
        QEventLoop loop;
        QObject::connect(window.linkedPages(), &LinkedPagesCommand::finished, &loop, &QEventLoop::quit);
        QElapsedTimer clock;
        stalls.start();
        clock.start();
        harvestButton->click();
        loop.exec();
        windowSeconds << clock.nsecsElapsed() / 1e9;
        stallMs << stalls.stopMs();
        const int images = int(t.found().filter(QStringLiteral("/file/big-")).size());
        if (images != kPages || window.linkedPages()->harvest()->failedCount() != 0) {
            out << "round " << round + 1 << ": " << images << " of " << kPages << " images found\n";
            return 1;
        }
        out << "round " << round + 1 << ": window " << QString::number(windowSeconds.last(), 'f', 2) << " s, floor "
            << QString::number(floorSeconds.last(), 'f', 2) << " s, longest stall "
            << QString::number(stallMs.last(), 'f', 1) << " ms\n";
    }
    settle(2000);  // the closed pages' processes end
    const qint64 growth = residentBytesWithChildren() - memoryBefore;

    const double seconds = median(windowSeconds);
    const double floor = median(floorSeconds);
    out << kPages << " linked pages, each answered " << kPageDelayMs << " ms late, holding one image and "
        << kOtherLinks << " other links; median of " << kRounds << " rounds:\n";
    out << "  command to complete list: " << QString::number(seconds, 'f', 2) << " s; floor (bare pages, two at a "
        << "time) " << QString::number(floor, 'f', 2) << " s; ratio " << QString::number(seconds / floor, 'f', 2)
        << " (target 1.5 at most)\n";
    out << "  main thread's longest stall: " << QString::number(median(stallMs), 'f', 1)
        << " ms (worst round " << QString::number(*std::max_element(stallMs.begin(), stallMs.end()), 'f', 1)
        << " ms; target under 100 ms)\n";
    out << "  memory growth after " << kRounds << " runs: " << mib(growth) << " (program and browser processes; "
        << "target 50 MiB at most)\n";
    return 0;
}
