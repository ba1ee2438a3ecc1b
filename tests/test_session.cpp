// Downloads as the browser makes them: its cookies both ways, the page as
// Referer, its user agent, sign-ins, and a sign-in that survives a restart.
#include "core/config/filelocations.h"
#include "core/download/websession.h"
#include "gui/browsersession.h"
#include "gui/browserview.h"
#include "tests/support/programcopy.h"
#include "tests/support/testserver.h"
#include "tests/support/webtest.h"

#include <QAction>
#include <QWebEngineCookieStore>
#include <QtTest>

using namespace pm;
using namespace pm::test;

namespace {
// Runs a whole session of `t`'s queue into its folder "out"; false when it did not end.
bool runSession(TestContext& t, int retries = 0)
{
    t.settings.outputFolder = t.path("out");
    QDir().mkpath(t.settings.outputFolder);
    t.settings.setErrorMode(ErrorMode::CarryOn);
    t.settings.setDuplicateRule(DuplicateRule::Rename);
    t.settings.retries = retries;
    QSignalSpy ended(&t.app.worker, &QueueWorker::sessionEnded);
    t.app.worker.start();
    return !ended.isEmpty() || ended.wait(60000);
}

// Opens `url` in the window's browser and waits for the load to end.
bool visit(TestWindow& t, const QString& url)
{
    QSignalSpy ended(t.window.browser(), &BrowserView::loadEnded);
    t.window.browser()->load(QUrl(url));
    return ended.wait(60000);
}

// "sid=VALUE" for 127.0.0.1, HttpOnly, as the browser's store reports it.
QNetworkCookie sid(const QByteArray& value)
{
    QNetworkCookie c("sid", value);
    c.setDomain(QStringLiteral("127.0.0.1"));
    c.setPath(QStringLiteral("/"));
    c.setHttpOnly(true);
    return c;
}

QString cookieText(SessionCookieJar& jar, const QString& url)
{
    QStringList pairs;
    for (const QNetworkCookie& c : jar.cookiesForUrl(QUrl(url)))
        pairs << QString::fromLatin1(c.name() + '=' + c.value());
    return pairs.join(QLatin1String("; "));
}

// A query value.
QString encoded(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}
}  // namespace

class TestSession : public QObject {
    Q_OBJECT
private:
    TestServer m_server;
    QTemporaryDir m_dataHome;
    QString url(const QString& path) const { return m_server.url(path); }

private slots:
    void initTestCase()
    {
        // A profile kept on disk also writes to Qt's default folder for it.
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome.path()));
        QVERIFY(m_server.listen());
        m_server.addPage("/members.html", QStringLiteral("<a href='/file/one.jpg?size=100&needcookie=sid%3Dok'>1</a>"
                                                         "<a href='/file/two.jpg?size=200&needcookie=sid%3Dok'>2</a>"
                                                         "<a href='/file/three.jpg?needreferer=%1'>3</a>")
                                              .arg(encoded(url("/members.html")))
                                              .toUtf8());
        m_server.addPage("/signin.html", "Welcome");
        m_server.addPage("/private.html", "<title>Members only</title>");
    }

    void referrer_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QByteArray>("referrer");
        QTest::newRow("same origin: the page, no fragment or user")
            << "http://u:pw@a.test/g/p.html?x=1#top" << "http://a.test:80/f.jpg" << QByteArray("http://a.test/g/p.html?x=1");
        QTest::newRow("other origin: its origin") << "http://a.test:8080/p.html" << "http://a.test/f.jpg"
                                                  << QByteArray("http://a.test:8080/");
        QTest::newRow("https to http: none") << "https://a.test/p.html" << "http://a.test/f.jpg" << QByteArray();
        QTest::newRow("not a web page") << "file:///home/u/p.html" << "http://a.test/f.jpg" << QByteArray();
    }
    void referrer()
    {
        QFETCH(QString, page);
        QFETCH(QString, target);
        QFETCH(QByteArray, referrer);
        QCOMPARE(referrerFor(QUrl(page), QUrl(target)), referrer);
    }

    // The jar follows the browser's store, and the store's echoes of what the
    // jar handed over never undo a newer value. Steps: "server:V" a server
    // sets sid=V (an empty V removes it), "added:V" and "removed:V" the
    // store tells of sid=V.
    void jarFollowsTheBrowser_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("held");
        QTest::addColumn<int>("handedOver");
        QTest::newRow("the browser signs in and out") << QStringList{"added:1", "removed:1"} << "" << 0;
        QTest::newRow("a server's cookie goes to the browser, echoes ignored")
            << QStringList{"added:1", "server:2", "removed:1", "added:2"} << "sid=2" << 1;
        QTest::newRow("late echoes never undo a newer value")
            << QStringList{"added:1", "server:2", "server:3", "removed:1", "added:2", "removed:2", "added:3"} << "sid=3" << 2;
        QTest::newRow("the same value again") << QStringList{"added:1", "server:1", "removed:1", "added:1"} << "sid=1" << 1;
        QTest::newRow("a server removes it, the browser signs in again")
            << QStringList{"added:1", "server:", "removed:1", "added:5"} << "sid=5" << 1;
        QTest::newRow("a removal of an older value") << QStringList{"added:1", "added:2", "removed:1"} << "sid=2" << 0;
    }
    void jarFollowsTheBrowser()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, held);
        QFETCH(int, handedOver);
        SessionCookieJar jar;
        QSignalSpy toBrowser(&jar, &SessionCookieJar::setByServer);
        for (const QString& step : steps) {
            const QByteArray value = step.section(':', 1).toLatin1();
            if (step.startsWith("server:"))
                jar.setCookiesFromUrl(QNetworkCookie::parseCookies("sid=" + (value.isEmpty() ? "x; Max-Age=0" : value)),
                                      QUrl(url("/")));
            else if (step.startsWith("added:"))
                jar.browserCookieAdded(sid(value));
            else
                jar.browserCookieRemoved(sid(value));
        }
        QCOMPARE(cookieText(jar, url("/")), held);
        QCOMPARE(toBrowser.count(), handedOver);
    }

    // A download refused for want of a sign-in asks once per server and
    // realm; the answer stands for the run, a refused one is asked again.
    void signInForDownloads_data()
    {
        QTest::addColumn<QStringList>("answers");  // "user:password", "" for Cancel
        QTest::addColumn<int>("saved");            // of two files
        QTest::addColumn<int>("questions");
        QTest::newRow("answered, remembered") << QStringList{"u:pw"} << 2 << 1;
        QTest::newRow("cancelled, not asked again") << QStringList{""} << 0 << 1;
        QTest::newRow("refused, then right") << QStringList{"u:no", "u:pw"} << 1 << 2;
    }
    void signInForDownloads()
    {
        QFETCH(QStringList, answers);
        QFETCH(int, saved);
        QFETCH(int, questions);
        TestContext t;
        for (const QString& answer : answers)
            t.ui.signInAnswers << (answer.isEmpty() ? std::nullopt
                                                    : std::optional<SignIn>({answer.section(':', 0, 0), answer.section(':', 1)}));
        const QString realm = QString(QTest::currentDataTag()) + " area";
        const QString guard = "&auth=u%3Apw&realm=" + encoded(realm);
        t.app.queue.addNew({url("/file/s1.bin?size=10" + guard), url("/file/s2.bin?size=20" + guard)});
        QVERIFY(runSession(t));
        QCOMPARE(2 - t.app.worker.figures().failed, saved);
        QCOMPARE(t.ui.count("signin"), questions);
        QCOMPARE(t.ui.asked.value(0).text, realm);
        if (saved < 2)
            QVERIFY(t.logMessages().filter("Failed: ").value(0).contains("401"));
    }

    // Every request of a download carries the sign-in cookie and its page as
    // Referer, not only the first: a retry, a resume after a dropped
    // connection, the request a redirect leads to.
    void everyRequestCarriesTheSession_data()
    {
        QTest::addColumn<QString>("path");      // the guards are added to it
        QTest::addColumn<QString>("redirect");  // the query of a redirect it is reached through ("": none)
        QTest::addColumn<int>("requests");      // for the path
        QTest::newRow("retried after 503") << "/flaky/r.bin?status=503&fails=1&retryafter=0&size=40" << "" << 2;
        QTest::newRow("resumed after a dropped connection") << "/range/d.bin?size=5000&etag=e&fails=1&after=1000" << "" << 2;
        QTest::newRow("redirected") << "/file/x.bin?size=30" << "?" << 1;
        // The cookie comes from the redirect's answer: the next request has it.
        QTest::newRow("signed in by the redirect") << "/file/y.bin?size=35"
                                                   << "?setcookie=" + encoded("sid=ok; Path=/") + '&' << 1;
    }
    void everyRequestCarriesTheSession()
    {
        QFETCH(QString, path);
        QFETCH(QString, redirect);
        QFETCH(int, requests);
        TestContext t;
        if (!redirect.contains("setcookie"))
            t.app.session.cookies().browserCookieAdded(sid("ok"));
        const QString page = url("/members.html");
        const QString guarded = path + "&needcookie=sid%3Dok&needreferer=" + encoded(page);
        t.app.queue.addNew({url(redirect.isEmpty() ? guarded : "/redirect/1" + redirect + "to=" + encoded(guarded))}, page);
        QVERIFY(runSession(t, 1));
        QCOMPARE(t.app.worker.figures().failed, 0);  // every request was let through
        QCOMPARE(m_server.requestCount(path.section('?', 0, 0)), requests);
    }

    // A site whose sign-in cookie (HttpOnly) the browser holds: the probes
    // and the downloads carry it and the browser's user agent, and those of
    // a page's entries its Referer; a cookie a download's answer sets
    // reaches the browser; a sign-in given to a page serves the downloads;
    // Clear Cookies and Cache signs out of both.
    void signedInSite()
    {
        TestProfile web;
        TestWindow t(web.profile());
        t.settings.probeFoundFiles = true;
        QVERIFY(visit(t, url("/signin.html?setcookie=" + encoded("sid=ok; HttpOnly; Path=/"))));
        QTRY_COMPARE_WITH_TIMEOUT(cookieText(t.app.session.cookies(), url("/")), QStringLiteral("sid=ok"), 30000);
        const QString guard = QStringLiteral("auth=u%3Apw&realm=Members");
        t.ui.signInAnswers << SignIn{"u", "pw"};
        QVERIFY(visit(t, url("/private.html?" + guard)));
        QCOMPARE(t.window.browser()->title(), QStringLiteral("Members only"));

        const QString page = url("/members.html");
        QVERIFY(t.go(page));
        const QStringList found = t.found();
        QCOMPARE(found.size(), 3);
        for (const QString& file : found)
            QTRY_VERIFY2_WITH_TIMEOUT(t.app.prober.result(file) && t.app.prober.result(file)->available(), qPrintable(file),
                                      30000);
        QCOMPARE(m_server.requestHeader("/file/three.jpg", "referer"), page.toUtf8());

        t.app.queue.addNew(found, page);
        t.app.queue.addNew({url("/file/four.bin?size=10&setcookie=" + encoded("seen=1; Path=/")),
                            url("/file/private.bin?size=10&" + guard)});
        QVERIFY(runSession(t));
        QCOMPARE(t.app.queue.count(), 0);  // all five saved
        QCOMPARE(t.ui.count("signin"), 1);
        QCOMPARE(m_server.requestHeader("/file/one.jpg", "user-agent"), m_server.requestHeader("/members.html", "user-agent"));
        QVERIFY(t.go(url("/signin.html")));
        QVERIFY(m_server.requestHeader("/signin.html", "cookie").contains("seen=1"));

        QSignalSpy removed(web.profile()->cookieStore(), &QWebEngineCookieStore::cookieRemoved);
        t.ui.yesNoAnswers << true;
        t.child<QAction>("mnuClearCookies")->trigger();
        QCOMPARE(t.ui.count("yesno"), 1);
        QTRY_COMPARE_WITH_TIMEOUT(removed.count(), 2, 30000);
        t.app.queue.addNew({found[0]});
        QVERIFY(runSession(t));
        QCOMPARE(t.app.worker.figures().failed, 1);  // signed out
    }

    // A sign-in made on a page survives a restart: the real program signs in
    // (a session cookie on the way) and is ended as the system ends it. The
    // window, started as the program starts it over the same configuration
    // and browser profile, holds the sign-in at once, before the browser's
    // store has told of it, in a file only the user can read and without the
    // session cookie; the members' page opens, and the files it lists (two
    // for members, one only from that page) are downloaded.
    void signInSurvivesRestart()
    {
        ProgramCopy program;
        const QString bin = program.path("bin");
        writeFile(bin + "/Pullmark.ini", "\"bG_Disclaimer\",#TRUE#\r\n\"strG_StartURL\",\"none\"\r\n");
        const QString vault = url("/vault.html?needcookie=sid%3Dwin");
        m_server.addPage("/vault.html", QStringLiteral("<a href='/file/v1.jpg?size=11&needcookie=sid%3Dwin'>1</a>"
                                                       "<a href='/file/v2.jpg?size=22&needcookie=sid%3Dwin'>2</a>"
                                                       "<a href='/file/v3.jpg?size=33&needreferer=%1'>3</a>")
                                            .arg(encoded(vault))
                                            .toUtf8());
        const QString signIn = url("/signin.html?setcookie=" + encoded("sid=win; HttpOnly; Max-Age=3600"));
        QProcess firstRun;
        const QString withSessionCookie =
            url("/redirect/1?setcookie=" + encoded("visit=1; Path=/") + "&to=" + encoded(signIn));
        program.start(firstRun, {withSessionCookie}, true);
        const QString keptCookies = downloadCookieFile(bin + "/Pullmark-browser");
        QTRY_VERIFY_WITH_TIMEOUT(readAll(keptCookies).contains("sid=win"), 60000);  // the browser has it
        firstRun.terminate();
        QVERIFY(firstRun.waitForFinished(30000));
        QCOMPARE(firstRun.exitCode(), 0);
        QVERIFY(!readAll(keptCookies).contains("visit="));  // a session cookie ends with the run

        TestProfile startProfile;  // until the configuration is read
        LoopbackOnlyInterceptor interceptor;
        std::unique_ptr<QWebEngineProfile> profile;
        TestWindow t(startProfile.profile());
        t.app.setProgramFolder(bin);
        t.window.setProfileMaker([&] {
            profile.reset(makeBrowserProfile(browserProfileFolder(fileLocations(bin, true, {}), t.settings.configurationFile)));
            profile->setUrlRequestInterceptor(&interceptor);
            return profile.get();
        });
        QVERIFY(t.window.start());
        QCOMPARE(t.ui.count("yesno"), 0);  // the first run's configuration
        SessionCookieJar& jar = t.app.session.cookies();
        QCOMPARE(cookieText(jar, url("/")), QStringLiteral("sid=win"));
        QCOMPARE(QFile::permissions(jar.fileName()) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        t.window.show();
        QVERIFY(t.go(vault));
        QCOMPARE(t.found().size(), 3);
        t.app.queue.addNew(t.found(), vault);
        QVERIFY(runSession(t));
        QCOMPARE(t.app.worker.figures().failed, 0);
        QCOMPARE(folderFiles(t.path("out")), (QStringList{"v1.jpg", "v2.jpg", "v3.jpg"}));
        QCOMPARE(QFileInfo(t.path("out/v3.jpg")).size(), 33);
    }
};

QTEST_MAIN(TestSession)
#include "test_session.moc"
