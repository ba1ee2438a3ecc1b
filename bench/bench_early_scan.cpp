// How soon the found list is complete on a gallery page whose images are
// slow, against the browser's finished load measured in the same run.
//
// The page: 40 links to media files and 40 images, each image answered by the
// loopback server only after 3 s. Chromium opens at most six connections to
// one host, so the images arrive in batches and the load finishes late; the
// links and the images' addresses are in the page from the start. Links and
// images are both scanned, so the complete list has 80 entries. Both times run
// from the navigation; every round uses addresses of its own, so nothing comes
// from the browser's cache.
#include "bench/loopbackserver.h"
#include "bench/median.h"
#include "gui/browserview.h"
#include "gui/mainwindow.h"
#include "tests/support/testserver.h"
#include "tests/support/webtest.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

using namespace pm;
using namespace pm::test;

using pm::bench::median;

namespace {

constexpr int kLinks = 40;
constexpr int kImages = 40;
constexpr int kImageDelayMs = 3000;
constexpr int kRounds = 5;

QByteArray galleryPage(int round)
{
    QByteArray html = "<html><head><title>Gallery</title></head><body>\n";
    for (int i = 0; i < kLinks; ++i)
        html += "<a href='/media/clip-" + QByteArray::number(round) + '-' + QByteArray::number(i) + ".mpg'>clip</a>\n";
    for (int i = 0; i < kImages; ++i)
        html += "<img src='/file/pic-" + QByteArray::number(round) + '-' + QByteArray::number(i) + ".jpg?size=64&delay="
            + QByteArray::number(kImageDelayMs) + "'>\n";
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
        server.addPage(QStringLiteral("/gallery-%1.html").arg(round), galleryPage(round));
    if (!pm::bench::startServer(server, out))
        return 1;

    TestProfile web;
    {
        TestWindow t(web.profile());
        t.settings.scanLinks = true;
        t.settings.scanImages = true;
        MainWindow& window = t.window;
        window.show();
        constexpr int kComplete = kLinks + kImages;

        QElapsedTimer clock;
        double listMs = -1;
        double loadMs = -1;
        int earlyScans = 0;
        auto checkList = [&] {
            if (listMs < 0 && t.found().size() == kComplete)
                listMs = clock.nsecsElapsed() / 1e6;
        };
        QObject::connect(&window, &MainWindow::earlyScanFinished, [&](bool applied) {
            earlyScans += applied ? 1 : 0;
            checkList();
        });
        QObject::connect(&window, &MainWindow::scanFinished, checkList);
        QObject::connect(window.browser(), &BrowserView::loadEnded, [&] {
            if (loadMs < 0)
                loadMs = clock.nsecsElapsed() / 1e6;
        });

        QList<double> lists, loads, ratios;
        for (int round = 0; round < kRounds; ++round) {
            listMs = loadMs = -1;
            earlyScans = 0;
            const QString address = server.url(QStringLiteral("/gallery-%1.html").arg(round));
            t.child<QComboBox>("cmbURL")->setEditText(address);

            // Waits for the scan at the finished load (or 120 s).
            QEventLoop loop;
            QTimer timeout;
            timeout.setSingleShot(true);
            QObject::connect(&timeout, &QTimer::timeout, &loop, [&] { loop.exit(1); });
            QMetaObject::Connection done = QObject::connect(&window, &MainWindow::scanFinished, &loop, [&](bool applied) {
                if (applied && window.browser()->url().toString() == address)
                    loop.exit(0);
            });
            timeout.start(120000);
            clock.start();
            window.navigateToAddress();
            const bool finished = loop.exec() == 0;
            QObject::disconnect(done);
            if (!finished || listMs < 0 || loadMs < 0 || t.found().size() != kComplete) {
                out << "round " << round << ": the page or its list did not complete\n";
                return 1;
            }
            lists << listMs;
            loads << loadMs;
            ratios << listMs / loadMs;
            out << "round " << round + 1 << ": found list complete " << QString::number(listMs, 'f', 0)
                << " ms, load finished " << QString::number(loadMs, 'f', 0) << " ms, ratio "
                << QString::number(listMs / loadMs, 'f', 3) << ", scans while loading: " << earlyScans << "\n";
        }

        out << "page: " << kLinks << " links, " << kImages << " images of " << kImageDelayMs / 1000
            << " s each; status at the end: " << t.status() << "\n";
        out << "median of " << kRounds << " rounds, from the navigation:\n";
        out << "  found list complete: " << QString::number(median(lists), 'f', 0) << " ms\n";
        out << "  browser's finished load: " << QString::number(median(loads), 'f', 0) << " ms\n";
        out << "  ratio list/load (median of the rounds' ratios): " << QString::number(median(ratios), 'f', 3)
            << " (target 0.2 or less)\n";
    }
    return 0;
}
