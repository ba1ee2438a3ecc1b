// What probing the found entries costs the window, on a page of 25,000
// links whose server waits 20 ms before each answer: how soon the found list
// and its status appear with probing on, against probing off in the same
// run, and the longest the event loop went unanswered while the probes ran.
//
// Each round loads the page twice, probing off and on in turn (which first
// alternates), with addresses of its own, so nothing comes from a cache.
// The window has a download archive, as the program does, so every outcome
// looks the archive up.
#include "archive/sqlitearchive.h"
#include "bench/loopbackserver.h"
#include "bench/median.h"
#include "gui/mainwindow.h"
#include "tests/support/testserver.h"
#include "tests/support/webtest.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

#include <algorithm>

using namespace pm;
using namespace pm::test;

using pm::bench::median;

namespace {

constexpr int kEntries = 25000;
constexpr int kRounds = 5;
constexpr int kServerDelayMs = 20;
constexpr int kWatchMs = 3000;  // how long the event loop is watched after the list appears

QByteArray page(const QString& tag)
{
    QByteArray html = "<html><head><title>Many files</title></head><body>\n";
    for (int i = 0; i < kEntries; ++i)
        html += "<a href='/file/" + tag.toLatin1() + '-' + QByteArray::number(i) + ".jpg?size=2048&delay="
            + QByteArray::number(kServerDelayMs) + "'>f</a>\n";
    html += "</body></html>\n";
    return html;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QTextStream out(stdout);

    TestServer server;
    for (int round = 0; round < kRounds; ++round)
        for (const char* mode : {"off", "on"})
            server.addPage(QStringLiteral("/p%1-%2.html").arg(round).arg(mode), page(QStringLiteral("r%1%2").arg(round).arg(mode)));
    if (!pm::bench::startServer(server, out))
        return 1;

    TestProfile web;
    TestWindow t(web.profile());
    t.app.setArchive(std::make_unique<SqliteDownloadArchive>(t.path("archive.sqlite"), t.app.errors));
    t.settings.outputFolder = t.dir.path();
    MainWindow& window = t.window;
    window.show();
    const QString complete = QStringLiteral("Found %1 URL's.").arg(kEntries);

    // Navigates to `address` and gives the milliseconds until the status
    // names the complete list (-1 after 120 s).
    auto listTime = [&](const QString& address) {
        QElapsedTimer clock;
        QEventLoop loop;
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &loop, [&] { loop.exit(1); });
        QMetaObject::Connection done = QObject::connect(&window, &MainWindow::scanFinished, &loop, [&] {
            if (t.status() == complete)
                loop.exit(0);
        });
        t.child<QComboBox>("cmbURL")->setEditText(address);
        timeout.start(120000);
        clock.start();
        window.navigateToAddress();
        const bool finished = loop.exec() == 0;
        QObject::disconnect(done);
        return finished ? clock.nsecsElapsed() / 1e6 : -1.0;
    };
    // Runs the event loop for `ms` with a 5 ms timer, and gives the longest
    // time between its ticks.
    auto longestStall = [&](int ms) {
        qint64 longest = 0;
        QElapsedTimer sinceTick;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { longest = std::max(longest, sinceTick.restart()); });
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        sinceTick.start();
        ticker.start(5);
        loop.exec();
        return double(longest);
    };

    int answered = 0;
    QObject::connect(&t.app.prober, &UrlProber::probed, [&] { ++answered; });
    QList<double> offs, ons, ratios, stalls;
    for (int round = 0; round < kRounds; ++round) {
        double off = -1, on = -1, stall = -1;
        for (int turn = 0; turn < 2; ++turn) {
            const bool probing = (turn == 1) == (round % 2 == 0);
            t.settings.probeFoundFiles = probing;
            answered = 0;
            const double ms = listTime(server.url(QStringLiteral("/p%1-%2.html").arg(round).arg(probing ? "on" : "off")));
            if (ms < 0) {
                out << "round " << round + 1 << ": the found list did not complete\n";
                return 1;
            }
            (probing ? on : off) = ms;
            if (probing)
                stall = longestStall(kWatchMs);
            out << "round " << round + 1 << ", probing " << (probing ? "on " : "off") << ": list and status after "
                << QString::number(ms, 'f', 0) << " ms";
            if (probing)
                out << "; then in " << kWatchMs << " ms, " << answered << " probes answered, longest stall "
                    << stall << " ms";
            out << "\n";
            out.flush();
        }
        offs << off;
        ons << on;
        ratios << on / off;
        stalls << stall;
    }
    out << "page: " << kEntries << " links, the server waiting " << kServerDelayMs << " ms before each answer\n";
    out << "median of " << kRounds << " rounds:\n";
    out << "  list and status, probing off: " << QString::number(median(offs), 'f', 0) << " ms\n";
    out << "  list and status, probing on:  " << QString::number(median(ons), 'f', 0) << " ms\n";
    out << "  ratio on/off (median of the rounds' ratios): " << QString::number(median(ratios), 'f', 3)
        << " (target 1.1 or less)\n";
    out << "  longest stall while probing: median " << median(stalls) << " ms, largest "
        << *std::max_element(stalls.begin(), stalls.end()) << " ms (target under 100)\n";
    return 0;
}
