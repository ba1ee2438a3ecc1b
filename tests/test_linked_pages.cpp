// Harvest Linked Pages: which links are followed, how the found list takes
// in what the linked pages hold, and the command on a loopback gallery whose
// pages fail in every way a real gallery's can.
#include "core/config/settings.h"
#include "core/download/downloadqueue.h"
#include "core/found/foundlistmodel.h"
#include "core/found/linkedpages.h"
#include "gui/foundlistpanel.h"
#include "gui/linkedpageharvest.h"
#include "gui/linkedpagescommand.h"
#include "gui/mainwindow.h"
#include "tests/support/testserver.h"
#include "tests/support/webtest.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QWebEnginePage>
#include <QtTest>

using namespace pm;
using namespace pm::test;

namespace {

// The time limit the gallery's slow page goes past. Every other page is
// read in well under it, even on a loaded machine.
constexpr int kTestTimeLimitMs = 6000;

QByteArray html(const QByteArray& body)
{
    return "<!DOCTYPE html><html><head><title>t</title></head><body>" + body + "</body></html>";
}

// The gallery: 12 thumbnails, each linking to a page of its own.
struct Gallery {
    explicit Gallery(TestServer& server) : server(server)
    {
        const QByteArray otherSite = QStringLiteral("http://localhost:%1").arg(server.port()).toLatin1();
        const QList<QByteArray> links = {
            "/p/1.html",
            "/status/404",                       // fails: not found
            "/p/3.html",
            "/p/slow.html?hold=slow",            // fails: past the time limit (held until the test ends)
            otherSite + "/p/5.html",             // another site: not followed
            "/redirect/1?to=/p/6.html",          // read where it leads
            "/p/7.html",
            "/p/7.html?from=gallery",            // the same page again: nothing new
            "/p/9.html",                         // its photo is in a frame
            "/p/10.html",
            "/p/11.html",
            "/p/12.txt",                         // fails: not HTML
        };
        QByteArray body = "<a href='#top'>top</a> <a href='/gallery.html'>this page</a>"
                          "<a href='/full/cover.jpg'>cover</a>";
        for (int i = 0; i < links.size(); ++i)
            body += "<a href='" + links.at(i) + "'><img src='/thumbs/t" + QByteArray::number(i + 1) + ".jpg'></a>";
        server.addPage("/gallery.html", html(body));
        for (const char* n : {"1", "slow", "5", "6", "7"})
            server.addPage(QStringLiteral("/p/%1.html").arg(n), html("<img src='/full/" + QByteArray(n) + ".jpg'>"));
        server.addPage("/p/3.html", html("<img src='/full/3.jpg'><video src='/full/3.mpg'></video>"));
        server.addPage("/p/9.html", html("<img src='/full/9-page.jpg'><iframe src='/p/9-frame.html'></iframe>"));
        server.addPage("/p/9-frame.html", html("<img src='/full/9.jpg'>"));
        // Entries listed already keep their place: a thumbnail, and another
        // page's photo.
        server.addPage("/p/10.html", html("<img src='/thumbs/t1.jpg'><img src='/full/1.jpg'><img src='/full/10.jpg'>"));
        server.addPage("/p/11.html", html("<a href='/full/11.wmv'>video</a><img src='/full/11.jpg'>"));
        server.addPage("/p/12.txt", "<img src='/full/12.jpg'>", "text/plain");
    }

    QString url(const QString& path) const { return server.url(path); }
    QStringList pageEntries() const
    {
        QStringList entries{url("/full/cover.jpg")};
        for (int i = 1; i <= 12; ++i)
            entries << url(QStringLiteral("/thumbs/t%1.jpg").arg(i));
        return entries;
    }
    // What the linked pages add, in link order, with the page each was found on.
    QList<QPair<QString, QString>> linkedEntries() const
    {
        return {
            {url("/full/1.jpg"), url("/p/1.html")},      {url("/full/3.jpg"), url("/p/3.html")},
            {url("/full/3.mpg"), url("/p/3.html")},      {url("/full/6.jpg"), url("/p/6.html")},
            {url("/full/7.jpg"), url("/p/7.html")},      {url("/full/9-page.jpg"), url("/p/9.html")},
            {url("/full/9.jpg"), url("/p/9.html")},      {url("/full/10.jpg"), url("/p/10.html")},
            {url("/full/11.wmv"), url("/p/11.html")},    {url("/full/11.jpg"), url("/p/11.html")},
        };
    }

    TestServer& server;
};

}  // namespace

class TestLinkedPages : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_server.listen()); }

    void followedLinks_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("links");
        QTest::addColumn<bool>("otherSites");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QStringList>("expected");

        // Paths are on the gallery's own host, www.example.com.
        const QString page = "/gallery/index.html";
        QTest::newRow("pages of the site, each once, in order")
            << page << QStringList{"/p/2.html", "/p/1.html", "/p/2.html#comments", "/p/2.html"} << false << 100
            << QStringList{"/p/2.html", "/p/1.html"};
        QTest::newRow("files on the list, the page itself and other schemes are not pages")
            << page
            << QStringList{"/full/1.JPG", "/gallery/index.html#top", "mailto:a@example.com", "javascript:void(0)",
                           "ftp://www.example.com/x.html", "/full/2.jpg?size=big", "/full/3.png"}
            << false << 100 << QStringList{"/full/3.png"};
        QTest::newRow("a subdomain is the same site, another domain is not")
            << page
            << QStringList{"https://example.com/a.html", "http://img.example.com/b.html",
                           "http://example.org/c.html", "http://www.example.com.evil.net/d.html"}
            << false << 100 << QStringList{"https://example.com/a.html", "http://img.example.com/b.html"};
        QTest::newRow("other sites when asked")
            << page << QStringList{"http://example.org/c.html", "/a.html"} << true << 100
            << QStringList{"http://example.org/c.html", "/a.html"};
        QTest::newRow("public suffixes are not one site")
            << "http://www.shop.co.uk/"
            << QStringList{"http://img.shop.co.uk/a.html", "http://other.co.uk/b.html", "http://co.uk/c.html"}
            << false << 100 << QStringList{"http://img.shop.co.uk/a.html"};
        QTest::newRow("an IP address is its own site, whatever the port")
            << "http://127.0.0.1:8080/g.html"
            << QStringList{"http://127.0.0.1:9090/a.html", "http://localhost:8080/b.html",
                           "http://127.0.0.2:8080/c.html"}
            << false << 100 << QStringList{"http://127.0.0.1:9090/a.html"};
        QTest::newRow("the limit counts pages, not links")
            << page << QStringList{"/1.jpg", "/a.html", "/a.html", "/b.html", "/c.html"} << false << 2
            << QStringList{"/a.html", "/b.html"};
    }

    void followedLinks()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, links);
        QFETCH(bool, otherSites);
        QFETCH(int, limit);
        QFETCH(QStringList, expected);
        Settings settings;
        settings.extensions = QString::fromLatin1(kDefaultExtensions);
        settings.followOtherSites = otherSites;
        settings.linkedPagesLimit = limit;
        const QRegularExpression path("^/");
        const QString site = QStringLiteral("http://www.example.com/");
        const LinkedPageRules rules = LinkedPageRules::from(settings);
        QCOMPARE(linkedPagesToFollow(page.replace(path, site), links.replaceInStrings(path, site), rules),
                 expected.replaceInStrings(path, site));
    }

    // The linked pages' entries follow the page's own; the page's rescans
    // keep them, another page drops them.
    void listTakesLinkedEntries()
    {
        const auto g = [](QStringList names) { return names.replaceInStrings(QRegularExpression("^"), "http://g/"); };
        FoundListModel model;
        QItemSelectionModel selection(&model);
        model.setPage("http://g/index.html");
        model.setStringList(g({"t1.jpg", "t2.jpg"}));
        QCOMPARE(model.addLinked("http://g/1.html", g({"1.jpg", "T1.jpg", "1.jpg"})), 1);
        QCOMPARE(model.addLinked("http://g/2.html", g({"2.jpg", "1.jpg"})), 1);
        QCOMPARE(model.stringList(), g({"t1.jpg", "t2.jpg", "1.jpg", "2.jpg"}));

        // The page grows and now lists a linked page's entry too: the new
        // entry joins the page's own, the linked one stays where it was.
        selection.select(model.index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        model.merge(g({"t1.jpg", "t2.jpg", "2.jpg", "t3.jpg"}), &selection);
        QCOMPARE(model.stringList(), g({"t1.jpg", "t2.jpg", "t3.jpg", "1.jpg", "2.jpg"}));
        QCOMPARE(selection.selectedRows().size(), 1);
        QCOMPARE(selection.selectedRows().first().row(), 4);
        QStringList foundOn;
        for (int row = 0; row < model.rowCount(); ++row)
            foundOn << model.foundOn(row);
        QCOMPARE(foundOn, g({"index.html", "index.html", "index.html", "1.html", "2.html"}));

        // A rescan without a page entry drops it, never a linked one.
        model.merge(g({"t2.jpg"}), &selection);
        QCOMPARE(model.stringList(), g({"t2.jpg", "1.jpg", "2.jpg"}));

        model.setPage("http://g/other.html");
        model.setStringList(g({"x.jpg"}));
        QCOMPARE(model.linkedCount(), 0);
        QCOMPARE(model.foundOn(0), QStringLiteral("http://g/other.html"));
    }

    // The gallery: exactly the expected entries in link order, each with the
    // page it was found on, which goes with it to the queue; the failures
    // counted and logged; a second run adds nothing.
    void gallery()
    {
        TestProfile profile;
        TestWindow t(profile.profile());
        t.window.linkedPages()->setTimeLimit(kTestTimeLimitMs);
        FoundListModel& model = *t.window.foundList()->model();
        Gallery gallery(m_server);
        const QString start = gallery.url("/gallery.html");
        QVERIFY(t.go(start));
        QCOMPARE(t.found(), gallery.pageEntries());

        QSignalSpy finished(t.window.linkedPages(), &LinkedPagesCommand::finished);
        t.child<QPushButton>("cmdHarvestLinked")->click();
        QVERIFY(t.status().contains("Harvesting linked pages: 0 of 11, 0 files found."));
        QVERIFY(!t.child<QPushButton>("cmdHarvestLinked")->isEnabled());
        // The list stays usable meanwhile.
        t.child<QPushButton>("cmdSelAll")->click();
        QVERIFY(t.status().contains("You've selected 13 items."));
        QVERIFY(finished.wait(60000));
        QVERIFY(t.child<QPushButton>("cmdHarvestLinked")->isEnabled());

        QStringList expected = gallery.pageEntries();
        for (const auto& [entry, page] : gallery.linkedEntries())
            expected << entry;
        QCOMPARE(t.found(), expected);
        // What a download would do is worked out for them as for the page's own.
        QTRY_VERIFY(!model.index(model.rowCount() - 1, FoundListModel::OutcomeColumn).data().toString().isEmpty());
        QVERIFY2(t.status().endsWith("Harvested 11 linked pages, 10 files found. 3 linked pages could not be read."),
                 qPrintable(t.status() + t.logMessages().join('\n')));
        QStringList failures = t.logMessages().filter("Linked page not read");
        failures.sort();  // logged as they end
        const auto notRead = [&](const QString& path, const QString& why) {
            return "Linked page not read: " + gallery.url(path) + " (" + why + ")";
        };
        QCOMPARE(failures, QStringList({notRead("/p/12.txt", "not an HTML page: text/plain"),
                                        notRead("/p/slow.html?hold=slow", "not read within 6 s"),
                                        notRead("/status/404", "the server answered 404")}));
        QVERIFY(t.dialogsShown.isEmpty());
        QVERIFY(t.ui.asked.isEmpty());

        // The page's entries go to the queue as found on the page, the
        // others as found on theirs.
        t.child<QPushButton>("cmdSelAll")->click();
        t.child<QPushButton>("cmdAdd")->click();
        DownloadQueue& queue = t.app.queue;
        QCOMPARE(queue.count(), expected.size());
        QCOMPARE(queue.foundOnAt(0), start);
        for (const auto& [entry, page] : gallery.linkedEntries())
            QCOMPARE(queue.foundOnAt(int(expected.indexOf(entry))), page);

        // Again: every entry is listed already.
        finished.clear();
        t.child<QPushButton>("cmdHarvestLinked")->click();
        QVERIFY(finished.wait(60000));
        QCOMPARE(t.found(), expected);
        QVERIFY2(t.status().contains("Harvested 11 linked pages, 0 files found."), qPrintable(t.status()));
        m_server.release("slow");
    }

    // Stop and another page each end a harvest at once; what was found
    // stays, but not when the user went elsewhere.
    void endedPartWay_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Stop") << "stop";
        QTest::newRow("another page") << "navigate";
    }

    void endedPartWay()
    {
        QFETCH(QString, how);
        TestProfile profile;
        TestWindow t(profile.profile());
        // The first page answers, the next ones wait for the test.
        const QString key = "stop-" + how;
        m_server.addPage("/stop/1.html", html("<img src='/full/s1.jpg'>"));
        m_server.addPage("/stop/2.html", html("<img src='/full/s2.jpg'>"));
        m_server.addPage("/stop/other.html", html("<img src='/full/other.jpg'>"));
        QByteArray body = "<a href='/stop/1.html'>1</a>";
        for (int i = 2; i <= 5; ++i)
            body += "<a href='/stop/2.html?n=" + QByteArray::number(i) + "&hold=" + key.toLatin1() + "'>n</a>";
        m_server.addPage("/stop/gallery.html", html(body));
        QVERIFY(t.go(m_server.url("/stop/gallery.html")));

        QSignalSpy finished(t.window.linkedPages(), &LinkedPagesCommand::finished);
        if (how == "stop")
            t.child<QAction>("mnuHarvestLinked")->trigger();  // the Tools menu's command
        else
            t.child<QPushButton>("cmdHarvestLinked")->click();
        QTRY_VERIFY_WITH_TIMEOUT(t.found().contains(m_server.url("/full/s1.jpg")), 30000);
        LinkedPageHarvest* harvest = t.window.linkedPages()->harvest();
        QVERIFY(harvest->isRunning());

        if (how == "stop")
            t.child<QPushButton>("cmdStop")->click();
        else
            QVERIFY(t.go(m_server.url("/stop/other.html")));
        QVERIFY(!harvest->isRunning());
        if (how == "navigate") {
            QCOMPARE(finished.size(), 0);
            QCOMPARE(t.found(), QStringList{m_server.url("/full/other.jpg")});
        } else {
            QCOMPARE(finished.size(), 1);
            QCOMPARE(t.found(), QStringList{m_server.url("/full/s1.jpg")});
            QVERIFY2(t.status().contains("Harvest of linked pages stopped after 1 of 5, 1 files found."),
                     qPrintable(t.status()));
        }
        QVERIFY(t.child<QPushButton>("cmdHarvestLinked")->isEnabled());
        // The hidden pages are closed: nothing more is loaded for the harvest.
        QTRY_VERIFY(harvest->findChildren<QWebEnginePage*>().isEmpty());
        m_server.release(key);
    }

private:
    TestServer m_server;
};

QTEST_MAIN(TestLinkedPages)
#include "test_linked_pages.moc"
