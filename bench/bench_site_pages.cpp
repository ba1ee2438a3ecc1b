// What the found list holds of the media on pages written in the manner of
// today's sites (bench/sitepages.h: news articles, photo blogs with
// lazy galleries and <noscript> fallbacks, encyclopedia articles, video
// pages; players, advertisements and share buttons in frames of two other
// origins), read in the main window, shown, as a user reads them: with
// "Embedded items" on and the list "jpg jpeg png gif webp mp4 webm mpg mpeg
// wmv mov mp3". The reference, in the same run: the same pages under the
// classic scan rules.
//
// Printed: of the media a person harvesting the pages wants, how many each
// scan lists, and how much of what it lists is not wanted.
#include "gui/mainwindow.h"
#include "bench/sitepages.h"
#include "tests/support/testserver.h"
#include "tests/support/webtest.h"

#include <QApplication>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

using namespace pm;
using namespace pm::test;

namespace {

constexpr int kPages = 20;
constexpr quint32 kSeed = 2024;

// Waits for the next liveScanFinished of `window` (or `ms`); false on time-out.
bool nextLiveScan(MainWindow& window, int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, [&] { loop.exit(1); });
    QObject::connect(&window, &MainWindow::liveScanFinished, &loop, [&] { loop.exit(0); });
    return loop.exec() == 0;
}

QString share(qsizetype part, qsizetype whole)
{
    return QString::number(whole > 0 ? 100.0 * double(part) / double(whole) : 0, 'f', 1) + QLatin1Char('%');
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QTextStream out(stdout);

    TestServer site, player, ads;
    if (!site.listen() || !player.listen() || !ads.listen()) {
        out << "cannot listen on 127.0.0.1\n";
        return 1;
    }
    const SitePages pages = makeSitePages(kPages, kSeed, site.baseUrl(), player.baseUrl(), ads.baseUrl());
    for (const SitePage& page : pages.pages)
        (page.origin == SitePage::Site ? site : page.origin == SitePage::Player ? player : ads).addPage(page.path, page.html);

    TestProfile web;
    const char* const kinds[] = {"news articles", "photo blogs", "encyclopedia articles", "video pages"};
    for (const bool classic : {false, true}) {
        TestWindow t(web.profile());
        t.settings.extensions = QString::fromLatin1(kSitePagesExtensions);
        t.settings.classicScan = classic;
        t.window.resize(1200, 900);
        t.window.show();
        HarvestCount total;
        HarvestCount byKind[4];
        int pagesListingNothing = 0;
        for (int page = 0; page < kPages; ++page) {
            const QString path = pages.opened.at(page);
            if (!t.go(site.url(path))) {
                out << path << " did not load\n";
                return 1;
            }
            const QStringList wanted = pages.wanted.value(path);
            // A frame's report may come after the load's end.
            while (!classic && !HarvestCount::missingFrom(wanted, t.found()).isEmpty() && nextLiveScan(t.window, 3000)) {
            }
            total.add(wanted, t.found());
            byKind[page % 4].add(wanted, t.found());
            const qsizetype listedWanted = wanted.size() - HarvestCount::missingFrom(wanted, t.found()).size();
            if (listedWanted * 10 < wanted.size())
                ++pagesListingNothing;
        }
        out << (classic ? "classic scan rules (the reference):\n" : "default scan:\n");
        for (int kind = 0; kind < 4; ++kind)
            out << "  " << kinds[kind] << ": " << byKind[kind].wantedListed << " of " << byKind[kind].wanted
                << " wanted files listed (" << share(byKind[kind].wantedListed, byKind[kind].wanted) << "), "
                << byKind[kind].notWanted() << " other entries\n";
        out << "  all " << kPages << " pages: " << total.wantedListed << " of " << total.wanted << " wanted files listed ("
            << share(total.wantedListed, total.wanted) << (classic ? "" : "; target 95% or more") << "); "
            << total.notWanted() << " of the "
            << total.listed << " entries listed not wanted (" << share(total.notWanted(), total.listed)
            << "); pages listing under a tenth of their media: " << pagesListingNothing << "\n";
        if (!classic && !total.missing.isEmpty())
            out << "  missing: " << total.missing.join(QLatin1Char(' ')) << "\n";
    }
    return 0;
}
