// The page scraper: the extension match and the found list's order and
// duplicates on their own, then whole pages in the embedded browser: frames,
// inline frames, another origin, pages that tamper with the document model.
#include "app/browser.h"
#include "app/mainwindow.h"
#include "app/scraper.h"
#include "tests/support/scriptedinteraction.h"
#include "tests/support/testserver.h"
#include "tests/support/testutil.h"
#include "tests/support/webtest.h"

#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QWebEnginePage>
#include <QtTest>

using namespace pm;
using namespace pm::test;

namespace {
// Answers "carry on" to the error question, but a new load of the page starts
// while the question is open (as a page's own refresh would). The browser's
// start-of-load signal is raised directly: a nested wait for a real one is not
// reliable while the browser is inside its own callbacks.
class LoadStartingInteraction : public ScriptedInteraction {
public:
    Browser* browser = nullptr;
    bool askYesNo(QWidget* parent, const QString& title, const QString& text, MessageIcon icon) override
    {
        yesNoAnswers << false;
        const bool answer = ScriptedInteraction::askYesNo(parent, title, text, icon);
        emit browser->page()->loadStarted();
        return answer;
    }
};
}  // namespace

class TestScraper : public QObject {
    Q_OBJECT
private:
    TestProfile* m_web = nullptr;
    TestServer m_server;
    TestServer m_otherOrigin;

    QString url(const QString& path) const { return m_server.url(path); }

    static void defaultScanSettings()
    {
        settings().bG_ScrapeLink = true;
        settings().bG_ScrapeEmbedded = true;
        settings().strG_FileExt = QString::fromLatin1(kDefaultFileExt);
        settings().strG_Unattended = QStringLiteral("Resume");
    }

    // Goes to `path` and waits for the scan of the loaded page.
    static bool visit(frmMain& window, const QString& address)
    {
        QSignalSpy scanned(&window, &frmMain::scrapeFinished);
        window.cmbURL->setEditText(address);
        window.cmdGo_Click();
        for (;;) {
            if (!scanned.wait(15000))
                return false;
            if (scanned.last().first().toBool() && window.WebBrowser1->LocationURL() == address)
                return true;
        }
    }

private slots:
    void initTestCase()
    {
        m_web = new TestProfile;
        m_server.addPage(QStringLiteral("/five.html"),
                         "<html><head><title>Five</title></head><body>"
                         "<a href='a.JPG'>a</a><a href='b.jpg?x=1'>b</a><a href='c.mpeg'>c</a>"
                         "<a href='d.html'>d</a><img src='e.gif'></body></html>");
        m_server.addPage(QStringLiteral("/dups.html"),
                         "<html><body><img src='/pics/shared.gif'>"
                         "<a href='/v/one.wmv'>1</a><a href='/v/one.wmv'>again</a>"
                         "<a href='/pics/Shared.GIF'>as link</a>"
                         "<a href='/p/X.JPG'>upper</a><a href='/P/x.jpg'>lower</a></body></html>");
        m_server.addPage(QStringLiteral("/frameset.html"),
                         "<html><frameset cols='50%,50%'><frame src='/left.html'><frame src='/right.html'></frameset></html>");
        m_server.addPage(QStringLiteral("/left.html"), "<html><body><a href='l1.jpg'>1</a><a href='shared.mpg'>s</a></body></html>");
        m_server.addPage(QStringLiteral("/right.html"),
                         "<html><body><a href='sub/r1.mpg'>1</a><a href='SHARED.MPG'>s</a><img src='r2.gif'></body></html>");
        m_server.addPage(QStringLiteral("/iframe.html"),
                         "<html><body><a href='own.jpg'>own</a><iframe src='/left.html'></iframe></body></html>");
        m_server.addPage(QStringLiteral("/dot.html"),
                         "<html><body><a href='/files/movie.'>dot</a><a href='/files/clip.mpg'>mpg</a>"
                         "<a href='/files/clip.wmv'>wmv</a></body></html>");
        m_server.addPage(QStringLiteral("/model.html"),
                         "<html><head><base href='/base/dir/'></head><body>"
                         "<a href='rel.jpg'>rel</a><a href='../up.mpg'>up</a>"
                         "<img src='map.gif' usemap='#m'><map name='m'><area href='area.wmv' shape='rect' coords='0,0,5,5'></map>"
                         "<a href='page.html'>page</a>"
                         "<script>"
                         "Object.defineProperty(Document.prototype, 'links', {get: function () { return []; }});"
                         "Object.defineProperty(HTMLAnchorElement.prototype, 'href', {get: function () { return 'http://127.0.0.1:9/fake.jpg'; }});"
                         "Object.defineProperty(HTMLImageElement.prototype, 'src', {get: function () { return 'http://127.0.0.1:9/fake.gif'; }});"
                         "Array.prototype.push = function () { throw new Error('no'); };"
                         "window.frames = {length: 3};"
                         "</script></body></html>");
        m_server.addPage(QStringLiteral("/data.xml"), "<?xml version='1.0'?><root><a href='x.jpg'>x</a></root>",
                         "application/xml");
        m_otherOrigin.addPage(QStringLiteral("/foreign.html"), "<html><body><a href='foreign.jpg'>f</a></body></html>");
        QVERIFY(m_server.listen());
        QVERIFY(m_otherOrigin.listen());
        QVERIFY(m_server.port() != m_otherOrigin.port());
        m_server.addPage(QStringLiteral("/crossorigin.html"),
                         ("<html><body><a href='own.jpg'>own</a><iframe src='/left.html'></iframe>"
                          "<iframe src='" + m_otherOrigin.url(QStringLiteral("/foreign.html")) + "'></iframe>"
                          "<iframe src='/right.html'></iframe></body></html>").toUtf8());
    }
    void cleanupTestCase() { delete m_web; }

    void extensionMatch_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("list");
        QTest::addColumn<bool>("matches");
        const QString def = QString::fromLatin1(kDefaultFileExt);
        QTest::newRow("upper case") << "http://h/a.JPG" << def << true;
        QTest::newRow("query kept in the extension") << "http://h/b.jpg?x=1" << def << false;
        QTest::newRow("part of an entry") << "http://h/a.mp" << def << true;
        QTest::newRow("end of an entry") << "http://h/a.peg" << def << true;
        QTest::newRow("one letter") << "http://h/a.g" << def << true;
        QTest::newRow("across the blank") << "http://h/a.v mp" << def << true;
        QTest::newRow("jpeg is not in the list") << "http://h/a.jpeg" << def << false;
        QTest::newRow("html") << "http://h/a.html" << def << false;
        QTest::newRow("host only") << "http://h.com/" << def << false;
        QTest::newRow("no dot: the whole address") << "mpg" << def << true;
        QTest::newRow("ends in a dot") << "http://h/a." << QStringLiteral("mpg") << true;
        QTest::newRow("empty list, empty extension") << "http://h/a." << QString() << false;
        QTest::newRow("empty list") << "http://h/a.jpg" << QString() << false;
    }
    void extensionMatch()
    {
        QFETCH(QString, address);
        QFETCH(QString, list);
        QFETCH(bool, matches);
        QCOMPARE(extensionMatches(address, list), matches);
    }

    void builderKeepsFirstMetAndDropsCaseDuplicates()
    {
        FoundListBuilder found(QString::fromLatin1(kDefaultFileExt));
        QVERIFY(found.offer(QStringLiteral("http://h/X.JPG")));
        QVERIFY(!found.offer(QStringLiteral("http://H/x.jpg")));
        QVERIFY(!found.offer(QStringLiteral("http://h/page.html")));
        found.offerAll({QStringLiteral("http://h/b.gif"), QStringLiteral("http://h/X.JPG"), QStringLiteral("http://h/a.wmv")});
        QCOMPARE(found.urls(), (QStringList{QStringLiteral("http://h/X.JPG"), QStringLiteral("http://h/b.gif"),
                                           QStringLiteral("http://h/a.wmv")}));
        // Case folding, not only ASCII: these two differ in case only.
        QVERIFY(found.offer(QStringLiteral("http://h/STRASSE.jpg")));
        QVERIFY(!found.offer(QStringLiteral("http://h/strasse.JPG")));
        QVERIFY(found.offer(QStringLiteral("http://h/Ärger.jpg")));
        QVERIFY(!found.offer(QStringLiteral("http://h/ärger.jpg")));
        QCOMPARE(found.count(), 5);
    }

    void parsingTheScriptResult()
    {
        QVERIFY(!parsePageScan(QVariant()).hasDocument);

        QVariantMap notHtml{{QStringLiteral("href"), QStringLiteral("http://h/x.xml")}, {QStringLiteral("html"), false}};
        const PageScan xml = parsePageScan(notHtml);
        QVERIFY(xml.hasDocument);
        QVERIFY(!xml.error.isEmpty());

        QVariantMap page{{QStringLiteral("href"), QStringLiteral("http://h/")},
                         {QStringLiteral("url"), QStringLiteral("http://h/")},
                         {QStringLiteral("html"), true},
                         {QStringLiteral("documents"),
                          QVariantList{QVariantMap{{QStringLiteral("links"), QStringList{QStringLiteral("http://h/1.jpg")}},
                                                   {QStringLiteral("images"), QVariantList{}}},
                                       QVariantMap{{QStringLiteral("error"), QStringLiteral("SecurityError: blocked")}},
                                       QVariantMap{{QStringLiteral("missing"), true}}}}};
        const PageScan scan = parsePageScan(page);
        QVERIFY(scan.hasDocument);
        QVERIFY(scan.error.isEmpty());
        QCOMPARE(scan.documents.size(), 3);
        QCOMPARE(scan.documents[0].kind, ScannedDocument::Read);
        QCOMPARE(scan.documents[0].links, QStringList{QStringLiteral("http://h/1.jpg")});
        QCOMPARE(scan.documents[1].kind, ScannedDocument::Unreadable);
        QCOMPARE(scan.documents[1].error, QStringLiteral("SecurityError: blocked"));
        QCOMPARE(scan.documents[2].kind, ScannedDocument::Missing);
    }

    void fiveLinkExample()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        defaultScanSettings();
        frmMain window(m_web->profile(), fresh.dir.path());
        window.cmdAdd->setEnabled(true);
        QVERIFY(visit(window, url(QStringLiteral("/five.html"))));
        QCOMPARE(window.foundUrls(), (QStringList{url(QStringLiteral("/a.JPG")), url(QStringLiteral("/c.mpeg")),
                                                  url(QStringLiteral("/e.gif"))}));
        QCOMPARE(window.lblStatus->text(), QStringLiteral("Found 3 URL's."));
        QCOMPARE(window.cmbURL->currentText(), url(QStringLiteral("/five.html")));
        QCOMPARE(window.windowTitle(), QStringLiteral("Five"));
        QVERIFY(!window.cmdAdd->isEnabled());
        QCOMPARE(script.asked.size(), 0);
    }

    void duplicatesAreListedOnceAsFirstMet()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        defaultScanSettings();
        frmMain window(m_web->profile(), fresh.dir.path());
        QVERIFY(visit(window, url(QStringLiteral("/dups.html"))));
        // Links come before images within a document, so the image's address
        // is first met as a link (in the link's letter case).
        QCOMPARE(window.foundUrls(), (QStringList{url(QStringLiteral("/v/one.wmv")), url(QStringLiteral("/pics/Shared.GIF")),
                                                  url(QStringLiteral("/p/X.JPG"))}));

        // Images only: now the image is the first one met.
        settings().bG_ScrapeLink = false;
        QVERIFY(visit(window, url(QStringLiteral("/dups.html?images"))));
        QCOMPARE(window.foundUrls(), QStringList{url(QStringLiteral("/pics/shared.gif"))});
    }

    void bothScansOffClearTheList()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        defaultScanSettings();
        frmMain window(m_web->profile(), fresh.dir.path());
        QVERIFY(visit(window, url(QStringLiteral("/five.html"))));
        QCOMPARE(window.foundUrls().size(), 3);
        settings().bG_ScrapeLink = false;
        settings().bG_ScrapeEmbedded = false;
        QSignalSpy scanned(&window, &frmMain::scrapeFinished);
        window.DownloadComplete();  // another finished download for the same page
        QVERIFY(scanned.wait(10000));
        QCOMPARE(scanned.first().first().toBool(), true);
        QCOMPARE(window.foundUrls(), QStringList());
        QCOMPARE(window.lblStatus->text(), QStringLiteral("Found 0 URL's."));
    }

    void framesetScansOnlyItsFramesInOrder()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        defaultScanSettings();
        frmMain window(m_web->profile(), fresh.dir.path());
        QVERIFY(visit(window, url(QStringLiteral("/frameset.html"))));
        QCOMPARE(window.foundUrls(), (QStringList{url(QStringLiteral("/l1.jpg")), url(QStringLiteral("/shared.mpg")),
                                                  url(QStringLiteral("/sub/r1.mpg")), url(QStringLiteral("/r2.gif"))}));
        QCOMPARE(window.lblStatus->text(), QStringLiteral("Found 4 URL's."));
        // The address box shows the page, not a frame.
        QCOMPARE(window.cmbURL->currentText(), url(QStringLiteral("/frameset.html")));
    }

    void pageWithOneInlineFrameScansOnlyTheFrame()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        defaultScanSettings();
        frmMain window(m_web->profile(), fresh.dir.path());
        QVERIFY(visit(window, url(QStringLiteral("/iframe.html"))));
        QCOMPARE(window.foundUrls(), (QStringList{url(QStringLiteral("/l1.jpg")), url(QStringLiteral("/shared.mpg"))}));
    }

    void noDocumentChangesNothing()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        defaultScanSettings();
        frmMain window(m_web->profile(), fresh.dir.path());
        window.foundModel()->setStringList({QStringLiteral("http://h/kept.jpg")});
        window.lblStatus->setText(QStringLiteral("untouched"));
        window.cmbURL->setEditText(QStringLiteral("typed"));
        window.cmdAdd->setEnabled(true);
        QSignalSpy scanned(&window, &frmMain::scrapeFinished);
        window.DownloadComplete();  // nothing has been loaded
        QTRY_COMPARE(scanned.count(), 1);
        QCOMPARE(scanned.first().first().toBool(), false);
        QCOMPARE(window.foundUrls(), QStringList{QStringLiteral("http://h/kept.jpg")});
        QCOMPARE(window.lblStatus->text(), QStringLiteral("untouched"));
        QCOMPARE(window.cmbURL->currentText(), QStringLiteral("typed"));
        QVERIFY(window.cmdAdd->isEnabled());
        QCOMPARE(script.asked.size(), 0);
    }

    void emptyExtensionMatchesAnyList()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        defaultScanSettings();
        settings().strG_FileExt = QStringLiteral("mpg");
        frmMain window(m_web->profile(), fresh.dir.path());
        QVERIFY(visit(window, url(QStringLiteral("/dot.html"))));
        QCOMPARE(window.foundUrls(), (QStringList{url(QStringLiteral("/files/movie.")), url(QStringLiteral("/files/clip.mpg"))}));
    }

    void documentModelIsTheBrowsersOwn()
    {
        // The page's script replaces document.links, the href and src getters,
        // Array.prototype.push and window.frames; none of it reaches the scan.
        // The base element and relative paths resolve; an image-map area is a link.
        FreshSettings fresh;
        ScriptedInteraction script;
        defaultScanSettings();
        frmMain window(m_web->profile(), fresh.dir.path());
        QVERIFY(visit(window, url(QStringLiteral("/model.html"))));
        QCOMPARE(window.foundUrls(), (QStringList{url(QStringLiteral("/base/dir/rel.jpg")), url(QStringLiteral("/base/up.mpg")),
                                                  url(QStringLiteral("/base/dir/area.wmv")),
                                                  url(QStringLiteral("/base/dir/map.gif"))}));
        QCOMPARE(script.asked.size(), 0);
    }

    void frameOfAnotherOriginIsReportedAndSkipped()
    {
        FreshSettings fresh;
        fresh.logHere();
        ScriptedInteraction script;
        defaultScanSettings();
        settings().strG_Unattended = QStringLiteral("Prompt");
        script.yesNoAnswers << false;  // do not abort
        frmMain window(m_web->profile(), fresh.dir.path());
        QVERIFY(visit(window, url(QStringLiteral("/crossorigin.html"))));
        QCOMPARE(script.count(QStringLiteral("yesno")), 1);
        QVERIFY(script.asked.first().text.startsWith(QStringLiteral("DownloadComplete. Error #70 ")));
        QVERIFY(script.asked.first().text.contains(QStringLiteral("SecurityError")));
        const QStringList log = fresh.logMessages();
        QCOMPARE(log.size(), 1);
        QVERIFY(log.first().startsWith(QStringLiteral("Error #70(&H46) ")));
        QVERIFY(log.first().endsWith(QStringLiteral(" in DownloadComplete.")));
        // Frames 0 and 2 are listed in order; the own link is not (it has frames).
        QCOMPARE(window.foundUrls(), (QStringList{url(QStringLiteral("/l1.jpg")), url(QStringLiteral("/shared.mpg")),
                                                  url(QStringLiteral("/sub/r1.mpg")), url(QStringLiteral("/r2.gif"))}));
        QCOMPARE(window.lblStatus->text(), QStringLiteral("Found 4 URL's."));
    }

    void abortOnAFrameErrorLeavesWhatWasFound()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        defaultScanSettings();
        frmMain window(m_web->profile(), fresh.dir.path());
        window.lblStatus->setText(QStringLiteral("before"));
        settings().strG_Unattended = QStringLiteral("Abort");
        QSignalSpy scanned(&window, &frmMain::scrapeFinished);
        window.cmbURL->setEditText(url(QStringLiteral("/crossorigin.html")));
        window.WebBrowser1->Navigate(window.cmbURL->currentText());
        QVERIFY(scanned.wait(15000));
        QCOMPARE(scanned.first().first().toBool(), true);
        QCOMPARE(window.foundUrls(), (QStringList{url(QStringLiteral("/l1.jpg")), url(QStringLiteral("/shared.mpg"))}));
        QCOMPARE(window.lblStatus->text(), QStringLiteral("before"));
    }

    void documentThatIsNotHtmlIsReported()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        defaultScanSettings();
        settings().strG_Unattended = QStringLiteral("Prompt");
        script.yesNoAnswers << false;
        frmMain window(m_web->profile(), fresh.dir.path());
        QVERIFY(visit(window, url(QStringLiteral("/five.html"))));
        QSignalSpy scanned(&window, &frmMain::scrapeFinished);
        window.cmbURL->setEditText(url(QStringLiteral("/data.xml")));
        window.cmdGo_Click();
        QVERIFY(scanned.wait(15000));
        QCOMPARE(scanned.first().first().toBool(), false);
        QCOMPARE(script.count(QStringLiteral("yesno")), 1);
        QVERIFY(script.asked.first().text.startsWith(QStringLiteral("DownloadComplete. Error #13 ")));
        // Go cleared the list; the scan that failed left it and the status so.
        QCOMPARE(window.foundUrls(), QStringList());
        QCOMPARE(window.lblStatus->text(), QStringLiteral("Found 0 URL's."));
    }

    void resultOfAnEarlierLoadIsDropped()
    {
        FreshSettings fresh;
        LoadStartingInteraction script;
        defaultScanSettings();
        settings().strG_Unattended = QStringLiteral("Prompt");
        frmMain window(m_web->profile(), fresh.dir.path());
        script.browser = window.WebBrowser1;
        QSignalSpy scanned(&window, &frmMain::scrapeFinished);
        window.cmbURL->setEditText(url(QStringLiteral("/crossorigin.html")));
        window.cmdGo_Click();
        QVERIFY(scanned.wait(15000));
        QCOMPARE(script.count(QStringLiteral("yesno")), 1);
        // The scan ended at its report: nothing of the page is shown.
        QCOMPARE(scanned.first().first().toBool(), false);
        QCOMPARE(window.foundUrls(), QStringList());
        QCOMPARE(window.lblStatus->text(), QStringLiteral("Found 0 URL's."));
        QCOMPARE(window.cmbURL->currentText(), url(QStringLiteral("/crossorigin.html")));

        // Also a result that arrives after the next load started.
        window.foundModel()->setStringList({QStringLiteral("http://h/kept.jpg")});
        scanned.clear();
        window.DownloadComplete();
        emit window.WebBrowser1->page()->loadStarted();
        QVERIFY(scanned.wait(15000));
        QCOMPARE(scanned.first().first().toBool(), false);
        QCOMPARE(window.foundUrls(), QStringList{QStringLiteral("http://h/kept.jpg")});
    }
};

QTEST_MAIN(TestScraper)
#include "test_scraper.moc"
