// The default scan on real pages: the page and every frame at any depth,
// frames of another origin included; each image's largest version, lazy
// loaders' addresses, pictures, players and <noscript> fallbacks; the
// extension of the address's path; a list that follows the page as it
// changes; and pages whose scripts interfere. A page is read out of sight
// by a PageScanner over a page of its own, as the main window reads the one
// on display.
#include "gui/browserview.h"
#include "gui/foundlistpanel.h"
#include "gui/optionsdialog.h"
#include "gui/pagescanner.h"
#include "gui/scanpage.h"
#include "tests/support/testserver.h"
#include "tests/support/webtest.h"

#include <QCheckBox>
#include <QTreeView>
#include <QtTest>

using namespace pm;
using namespace pm::test;

namespace {

// A page read out of sight: what its scans at the load's end list.
struct HiddenPage {
    explicit HiddenPage(QWebEngineProfile* profile) : page(profile), scanner(page, context.settings, context.app.errors)
    {
        context.settings.scanLinks = true;
        context.settings.scanImages = true;
        context.settings.extensions = QStringLiteral("wmv mpg jpg gif mpeg mp4 webm webp mp3 swf");
        context.settings.setErrorMode(ErrorMode::Prompt);
        QObject::connect(&scanner, &PageScanner::listReady, &scanner, [this](const ScanResult& result) {
            found = result.urls;
        });
    }
    // Loads `address` and waits for the scan at the load's end.
    bool load(const QString& address)
    {
        QSignalSpy ended(&scanner, &PageScanner::scanEnded);
        page.load(QUrl(address));
        while (ended.wait(15000)) {
            for (const QList<QVariant>& scan : ended) {
                if (scan.at(0).value<ScanTrigger>() == ScanTrigger::LoadEnded && scan.at(1).toBool())
                    return true;
            }
        }
        return false;
    }

    TestContext context;
    ScanPage page;
    PageScanner scanner;
    QStringList found;
};

}  // namespace

class TestScan : public QObject {
    Q_OBJECT
private:
    TestProfile m_web;
    TestServer m_server;
    TestServer m_other;  // another origin: another port of 127.0.0.1

    // "{other}" in a text stands for the other origin's address.
    QString withOther(QString text) const { return text.replace(QLatin1String("{other}"), m_other.baseUrl()); }
    QStringList addresses(QStringList paths) const
    {
        return paths.replaceInStrings(QRegularExpression("^/"), m_server.url("/")).replaceInStrings("{other}", m_other.baseUrl());
    }
    void addPage(TestServer& server, const QString& path, const QString& html)
    {
        server.addPage(path, withOther(html).toUtf8());
    }

private slots:
    void initTestCase()
    {
        m_server.addTestPages();
        QVERIFY(m_server.listen());
        QVERIFY(m_other.listen());
        addPage(m_server, "/framed.html",
                "<a href='own.jpg'>own</a><iframe src='{other}/player.html'></iframe><img src='top.gif'>"
                "<iframe src='/left.html'></iframe>");
        addPage(m_other, "/player.html",
                "<video src='clip.mp4' poster='poster.jpg'></video><a href='p.wmv'>p</a>"
                "<iframe src='/deep.html'></iframe>");
        addPage(m_other, "/deep.html", "<a href='deep.mpg'>deep</a><iframe src='{other}/nested.html'></iframe>");
        addPage(m_other, "/nested.html", "<a href='nested.jpg'>n</a>");
        addPage(m_server, "/srcset.html",
                "<img src='s.jpg' srcset='/c_fit,w_470/x.jpg 470w, /c_fit,w_940/x.jpg 940w,/c_fit,w_100/x.jpg 100w'>"
                "<img src='a.jpg' srcset='b.jpg, c.jpg 3x, d.jpg 2x'>"
                "<img src='e.jpg' srcset='f.jpg 1.5x,, g.jpg 2x 100w, h.jpg (x) 9x'>");
        addPage(m_server, "/lazy.html",
                "<img src='data:image/gif;base64,R0lGODlhAQABAAAAACw=' data-src='l0.jpg'"
                " data-srcset='l1.jpg 10w, l2.jpg 20w'>"
                "<img src='ph.gif' data-lazy-srcset='m.jpg 2x'><img src='ph.gif' data-src='n.jpg'>"
                "<img src='ph.gif' data-original='o.jpg'><img src='ph.gif' data-lazy-src='p.jpg'>"
                "<img srcset='data:image/gif;base64,R0lGODlhAQABAAAAACw= 2x' data-src='q.jpg'><img src='blob:x/1'>");
        addPage(m_server, "/picture.html",
                "<picture><source type='image/webp' srcset='p.webp 1x, p2.webp 2x'>"
                "<source srcset='q.jpg 500w, q2.jpg 1000w'><img src='fallback.jpg'></picture>");
        addPage(m_server, "/players.html",
                "<video poster='poster.jpg'><source src='v.mp4' type='video/mp4'><source src='v.webm'></video>"
                "<audio src='a.mp3'></audio><audio><source src='b.mp3'></audio>"
                "<object data='o.swf'></object><embed src='e.mp4'>");
        addPage(m_server, "/noscript.html",
                "<base href='/b/'><img src='data:image/gif;base64,R0lGODlhAQABAAAAACw=' data-src='thumb.jpg'>"
                "<noscript><img src='full.jpg' srcset='full.jpg 1x, full2.jpg 2x'></noscript>"
                "<noscript><p>no pictures here</p></noscript>"
                "<noscript><video poster='np.jpg'><source src='nv.mp4'></video></noscript>");
        addPage(m_server, "/addresses.html",
                "<a href='b.jpg?x=1'>q</a><a href='c.wmv#t=10'>f</a><a href='page.php?f=x.jpg'>p</a>"
                "<a href='file.'>dot</a><a href='mailto:me@h.jpg'>m</a><a href='javascript:void(0)//.jpg'>j</a>"
                "<a href='data:text/plain,a.jpg'>d</a><a href='x.jpg/'>dir</a><a href='ok.%6Apg'>enc</a>"
                "<img src='i.gif?w=8'>");
        addPage(m_server, "/shown.html",
                "<img src='small.jpg' srcset='small.jpg 100w, big.jpg 2000w' sizes='50px'>"
                "<picture><source srcset='ps.jpg 1x, pl.jpg 2x'><img src='pf.jpg'></picture>");
        // A frame of another origin whose scripts try to change what is read
        // and to forge or silence the reader's reports.
        addPage(m_server, "/tamper.html", "<a href='top.jpg'>t</a><iframe src='{other}/tamper-frame.html'></iframe>");
        addPage(m_other, "/tamper-frame.html",
                "<a href='real.jpg'>r</a><img srcset='big.jpg 2x' src='small.jpg'><noscript><img src='ns.jpg'></noscript>"
                "<script>"
                "console.info('pullmark:frame:{\"path\":\"0\",\"links\":[\"http://127.0.0.1:9/forged.jpg\"]}');"
                "console.debug = console.info = console.log = function () {};"
                "JSON.stringify = function () { return '{}'; };"
                "window.URL = window.DOMParser = window.MutationObserver = function () { throw new Error('no'); };"
                "Array.prototype.push = function () { throw new Error('no'); };"
                "Element.prototype.getAttribute = function () { return 'evil.jpg'; };"
                "Object.defineProperty(Window.prototype, 'parent', {get: function () { return window; }});"
                "</script>");
        addPage(m_server, "/live.html",
                "<a href='first.jpg'>1</a><div id='more'></div><iframe src='{other}/live-frame.html'></iframe>"
                "<script>addEventListener('load', function () { setTimeout(function () {"
                "  document.getElementById('more').innerHTML = \"<a href='added.jpg'>2</a><img src='ph.gif' data-src='lazy.jpg'>\";"
                "}, 2000); });</script>");
        addPage(m_other, "/live-frame.html",
                "<a href='frame.jpg'>f</a><script>addEventListener('load', function () { setTimeout(function () {"
                "  document.body.insertAdjacentHTML('beforeend', \"<a href='frame-added.jpg'>g</a>\");"
                "}, 2000); });</script>");
        // Text and attributes the scan does not read that change all the time.
        addPage(m_server, "/ticker.html",
                "<a href='a.jpg'>a</a><p id='clock'></p><div id='box' class='x'></div><script>"
                "var ticks = 0; setInterval(function () { document.title = String(++ticks);"
                "  document.getElementById('clock').textContent = String(Date.now());"
                "  document.getElementById('box').className = 'x' + ticks; }, 20);</script>");
        addPage(m_server, "/unread.html", "<a href='top.jpg'>t</a><div id='slot'></div>");
        // Parsed only once its script has come, 3 s after it is asked for.
        addPage(m_other, "/blocked.html", "<a href='late.jpg'>l</a><script src='/slow.js?delay=3000'></script>");
    }

    // The rules of the default scan, each page read out of sight.
    void rules_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("links");
        QTest::addColumn<bool>("asShown");
        QTest::addColumn<QStringList>("found");
        // The page first, then each frame in document order, every frame
        // followed by its own frames, whatever their origin.
        QTest::newRow("frames of another origin, at any depth")
            << "/framed.html" << true << false
            << QStringList{"/own.jpg", "/top.gif", "{other}/p.wmv", "{other}/clip.mp4", "{other}/poster.jpg",
                           "{other}/deep.mpg", "{other}/nested.jpg", "/l1.jpg", "/shared.mpg"};
        QTest::newRow("frameset") << "/frameset.html" << true << false
                                  << QStringList{"/l1.jpg", "/shared.mpg", "/sub/r1.mpg", "/r2.gif"};
        QTest::newRow("srcset by width, by density, commas in addresses")
            << "/srcset.html" << true << false << QStringList{"/c_fit,w_940/x.jpg", "/c.jpg", "/f.jpg"};
        QTest::newRow("lazy loaders' attributes") << "/lazy.html" << true << false
                                                  << QStringList{"/l2.jpg", "/m.jpg", "/n.jpg", "/o.jpg", "/p.jpg", "/q.jpg"};
        QTest::newRow("picture") << "/picture.html" << true << false
                                 << QStringList{"/p2.webp", "/q2.jpg", "/fallback.jpg"};
        QTest::newRow("video, audio, object, embed")
            << "/players.html" << true << false
            << QStringList{"/poster.jpg", "/v.mp4", "/v.webm", "/a.mp3", "/b.mp3", "/o.swf", "/e.mp4"};
        QTest::newRow("noscript fallbacks") << "/noscript.html" << true << false
                                            << QStringList{"/b/thumb.jpg", "/b/full2.jpg", "/b/np.jpg", "/b/nv.mp4"};
        // The browser itself writes "ok.%6Apg" as ok.jpg.
        QTest::newRow("query, fragment, schemes, no extension")
            << "/addresses.html" << true << false << QStringList{"/b.jpg?x=1", "/c.wmv#t=10", "/ok.jpg", "/i.gif?w=8"};
        QTest::newRow("embedded items only") << "/addresses.html" << false << false << QStringList{"/i.gif?w=8"};
        QTest::newRow("images as shown") << "/shown.html" << true << true
                                         << QStringList{"/small.jpg", "/ps.jpg"};
        QTest::newRow("the page's scripts replace the model") << "/model.html" << true << false
            << QStringList{"/base/dir/rel.jpg", "/base/up.mpg", "/base/dir/area.wmv", "/base/dir/map.gif"};
        QTest::newRow("a frame's scripts tamper with the reader") << "/tamper.html" << true << false
            << QStringList{"/top.jpg", "{other}/real.jpg", "{other}/big.jpg", "{other}/ns.jpg"};
    }
    void rules()
    {
        QFETCH(QString, page);
        QFETCH(bool, links);
        QFETCH(bool, asShown);
        QFETCH(QStringList, found);
        HiddenPage hidden(m_web.profile());
        hidden.context.settings.scanLinks = links;
        hidden.context.settings.imagesAsShown = asShown;
        QVERIFY(hidden.load(m_server.url(page)));
        // Frames of other origins report as they are parsed, before the load ends.
        QTRY_COMPARE(hidden.found, addresses(found));
        QVERIFY(hidden.context.ui.asked.isEmpty());
        QVERIFY(hidden.context.errorLines().isEmpty());
    }

    // After its load the list follows the page: what is added joins it in
    // the page's order, the selection stays, what leaves the page leaves the
    // list; a frame of another origin changes it too.
    void liveList()
    {
        TestWindow t(m_web.profile());
        t.settings.extensions = QStringLiteral("jpg");
        QVERIFY(t.go(m_server.url("/live.html")));
        QTRY_COMPARE(t.found(), addresses({"/first.jpg", "{other}/frame.jpg"}));
        auto* list = t.child<QTreeView>("lstUrl");
        list->selectionModel()->select(list->model()->index(0, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTRY_COMPARE_WITH_TIMEOUT(t.found(),
                                  addresses({"/first.jpg", "/added.jpg", "/lazy.jpg", "{other}/frame.jpg",
                                             "{other}/frame-added.jpg"}),
                                  15000);
        QCOMPARE(t.window.foundList()->selectedUrls(), addresses({"/first.jpg"}));
        t.window.browser()->page()->runJavaScript("document.querySelector(\"a[href='added.jpg']\").remove();");
        QTRY_COMPARE(t.found(), addresses({"/first.jpg", "/lazy.jpg", "{other}/frame.jpg", "{other}/frame-added.jpg"}));
        QCOMPARE(t.window.foundList()->selectedUrls(), addresses({"/first.jpg"}));

        // New rules apply to the page on display at once.
        OptionsDialog& options = *t.window.optionsDialog();
        options.loadFromSettings();
        options.findChild<QCheckBox*>("chkScrapeLink")->setChecked(false);
        QVERIFY(options.apply());
        QTRY_COMPARE(t.found(), addresses({"/lazy.jpg"}));
    }

    // A page that keeps changing only its text and the attributes the scan
    // does not read costs no read at all.
    void pagesThatKeepChanging()
    {
        HiddenPage ticker(m_web.profile());
        QVERIFY(ticker.load(m_server.url("/ticker.html")));
        QSignalSpy scans(&ticker.scanner, &PageScanner::scanEnded);
        // (A page out of sight runs its timers about once a second.)
        const int ticks = ticker.page.title().toInt();
        QTRY_VERIFY_WITH_TIMEOUT(ticker.page.title().toInt() >= ticks + 3, 15000);
        QCOMPARE(scans.count(), 0);
    }

    // A frame of another origin that cannot be read yet is skipped and
    // noted once in the activity log (the page's address as it is, "%1A"
    // in it too); nothing is asked, in any error mode.
    void framesNotRead()
    {
        TestWindow t(m_web.profile());
        t.settings.setErrorMode(ErrorMode::Prompt);
        QVERIFY(t.go(m_server.url("/unread.html?p=%1A")));
        QWebEnginePage* page = t.window.browser()->page();
        page->runJavaScript(withOther("document.getElementById('slot').innerHTML = "
                                      "\"<iframe src='{other}/blocked.html'></iframe>\";"));
        QTRY_VERIFY(m_other.requestCount("/slow.js") > 0);  // its document is there, not yet parsed
        for (const char* more : {"more.jpg", "more2.jpg"}) {
            page->runJavaScript(QStringLiteral("document.body.appendChild(document.createElement('a')).href = '%1';")
                                    .arg(QLatin1String(more)));
            QTRY_VERIFY(t.found().contains(m_server.url(QLatin1Char('/') + QLatin1String(more))));
        }
        QCOMPARE(t.logMessages().filter("Frames not read: " + m_server.url("/unread.html?p=%1A (")).size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(t.found(), addresses({"/top.jpg", "/more.jpg", "/more2.jpg", "{other}/late.jpg"}), 15000);
        QVERIFY(t.ui.asked.isEmpty());
        QVERIFY(t.errorLines().isEmpty());
    }
};

QTEST_MAIN(TestScan)
#include "test_scan.moc"
