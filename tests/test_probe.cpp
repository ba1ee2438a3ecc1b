// Knowing before downloading: the prober against the loopback server, and
// the outcome the found list predicts for every rule.
#include "archive/sqlitearchive.h"
#include "core/found/predictedoutcome.h"
#include "core/found/urlprober.h"
#include "tests/support/testcontext.h"
#include "tests/support/testserver.h"

#include <QTcpServer>
#include <QtTest>

using namespace pm;
using namespace pm::test;

class TestProbe : public QObject {
    Q_OBJECT
private:
    TestServer m_server;

    // Probes one address and waits for its answer.
    static ProbeResult probed(UrlProber& prober, const QString& url)
    {
        QSignalSpy answered(&prober, &UrlProber::probed);
        prober.probe({url});
        return answered.wait(10000) ? answered.first().at(1).value<ProbeResult>() : ProbeResult{};
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<ProbeResult>();
        QVERIFY(m_server.listen());
    }

    void answers_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("finalPath");
        QTest::addColumn<bool>("rangedGet");
        QTest::newRow("HEAD answered") << "/file/h.bin?size=1234" << 200 << 1234LL << "/file/h.bin?size=1234" << false;
        QTest::newRow("HEAD refused, ranged GET") << "/range/r.bin?size=5000&etag=e&head=405" << 206 << 5000LL
                                                  << "/range/r.bin?size=5000&etag=e&head=405" << true;
        QTest::newRow("HEAD not implemented, ranges ignored") << "/file/w.bin?size=3000&head=501" << 200 << 3000LL
                                                              << "/file/w.bin?size=3000&head=501" << true;
        QTest::newRow("redirects") << "/redirect/2?to=/file/e.bin%3Fsize%3D10" << 200 << 10LL << "/file/e.bin?size=10"
                                   << false;
        QTest::newRow("not found") << "/status/404" << 404 << -1LL << "/status/404" << false;
        QTest::newRow("nobody listening") << "" << 0 << -1LL << "" << true;
    }
    void answers()
    {
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(qint64, size);
        QFETCH(QString, finalPath);
        QFETCH(bool, rangedGet);
        QString url = m_server.url(path);
        QTcpServer closed;
        if (path.isEmpty()) {
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            url = QStringLiteral("http://127.0.0.1:%1/x.bin").arg(closed.serverPort());
            closed.close();
        }
        UrlProber prober;
        const ProbeResult result = probed(prober, url);
        QCOMPARE(std::tuple(result.status, result.size, result.rangedGet, result.networkError.isEmpty()),
                 std::tuple(status, size, rangedGet, status != 0));
        if (!finalPath.isEmpty())
            QCOMPARE(result.finalUrl, m_server.url(finalPath));
        if (!path.isEmpty()) {
            const QString route = QUrl(url).path();
            QVERIFY(m_server.headCount(route) >= 1);
            QCOMPARE(m_server.requestCount(route) - m_server.headCount(route), rangedGet ? 1 : 0);
        }
        if (status == 200 && !rangedGet)
            QCOMPARE(result.contentType, QStringLiteral("application/octet-stream"));
        QCOMPARE(prober.result(url)->status, status);
    }

    // Three servers, six addresses each: four probes at once, two per
    // server; each address asked once, and once only in the run; a cancel
    // ends everything with no answer and nothing cached.
    void limitsCacheAndCancel()
    {
        // Each server holds its answers until released, so the limits are
        // reached however slowly the probes start.
        TestServer servers[3];
        QStringList urls;
        for (int s = 0; s < 3; ++s) {
            QVERIFY(servers[s].listen());
            for (int i = 0; i < 6; ++i)
                urls << servers[s].url(QStringLiteral("/file/l%1.bin?size=10&hold=s%2").arg(i).arg(s));
        }
        TestServer::resetMostAtOnce();
        UrlProber prober;
        QSignalSpy answered(&prober, &UrlProber::probed);
        QSignalSpy idle(&prober, &UrlProber::idle);
        prober.probe(urls + urls);
        // The first two servers fill every slot; the third waits.
        QTRY_COMPARE_WITH_TIMEOUT(TestServer::mostAtOnceOverall(), UrlProber::kMostAtOnce, 10000);
        QCOMPARE(servers[2].requestCount("/file/l"), 0);
        // Once the first server has answered everything, the third gets its share.
        servers[0].release(QStringLiteral("s0"));
        QTRY_COMPARE_WITH_TIMEOUT(servers[2].mostAtOnce(), UrlProber::kMostPerServer, 10000);
        servers[1].release(QStringLiteral("s1"));
        servers[2].release(QStringLiteral("s2"));
        QTRY_VERIFY_WITH_TIMEOUT(!idle.isEmpty(), 20000);
        QCOMPARE(answered.count(), 18);
        for (TestServer& server : servers) {
            QCOMPARE(server.mostAtOnce(), UrlProber::kMostPerServer);
            QCOMPARE(server.requestCount("/file/l"), 6);
        }
        QCOMPARE(TestServer::mostAtOnceOverall(), UrlProber::kMostAtOnce);

        answered.clear();
        prober.probe({urls.first()});
        QVERIFY(idle.wait(5000));
        QCOMPARE(answered.count(), 1);
        QCOMPARE(servers[0].requestCount("/file/l0.bin"), 1);

        QStringList slow;
        for (int i = 0; i < 30; ++i)
            slow << servers[1].url(QStringLiteral("/file/c%1.bin?size=1&delay=300").arg(i));
        answered.clear();
        prober.probe(slow);
        QCOMPARE(prober.runningCount(), 2);
        prober.cancelAll();
        QCOMPARE(prober.runningCount() + prober.waitingCount(), 0);
        QTest::qWait(500);
        QCOMPARE(answered.count(), 0);
        QVERIFY(servers[1].requestCount("/file/c") <= 2);
        QVERIFY(!prober.result(slow.first()));
    }

    // What a download would do, from the rules, the output folder, the
    // archive and the probe's answer.
    void outcomes()
    {
        struct Case {
            const char* name;
            QString rule;          // the duplicate rule
            QString options;       // a: skip archived, k: keep the existing file, s: size rule 1 KB
            QStringList files;     // in the output folder: NAME or NAME=SIZE
            QStringList archived;  // URL|FILE|SIZE
            QString probe;         // "", "x" (no answer), STATUS[:SIZE[:FINAL URL]]
            QString text;
            bool greyed;
            QString url = QStringLiteral("http://h/p/a.jpg");
        };
        const QString a = "http://h/p/a.jpg";
        const Case cases[] = {
            {"overwrite", "", "", {"a.jpg"}, {}, "200:5", "will overwrite a.jpg", false},
            {"rename", "Rename", "", {"a.jpg", "a0.jpg"}, {}, "", "will save as a1.jpg", false},
            {"skip", "Skip", "", {"a.jpg"}, {}, "404", "will skip: a.jpg exists", true},
            {"no name", "", "", {}, {}, "", "no usable file name", true, "http://h/p/.."},
            {"503 may pass", "", "", {}, {}, "503", "server answered 503", false},
            {"403", "", "", {}, {}, "403", "server answered 403", true},
            {"no answer", "", "", {}, {}, "x", "not reachable", true},
            {"too small", "", "s", {}, {}, "200:1023", "too small (size rule)", true},
            {"size rule without a size", "", "s", {}, {}, "", "new", false},
            {"archived, skipped", "", "a", {}, {a + "|a.jpg|5"}, "404", "already downloaded", true},
            {"archived, fetched again", "", "", {"a.jpg"}, {a + "|a.jpg|5"}, "", "already downloaded", false},
            {"archived as the final address", "", "a", {}, {"http://cdn/a.jpg|x.jpg|5"}, "200:5:http://cdn/a.jpg",
             "already downloaded", false},
            {"copy kept", "", "k", {"b.jpg=2000"}, {"http://o/a.jpg|b.jpg|2000"}, "200:2000", "identical file exists: b.jpg", true},
            {"copy, both kept", "", "", {"b.jpg=2000"}, {"http://o/a.jpg|b.jpg|2000"}, "200:2000", "identical file exists: b.jpg",
             false},
            {"same size, other name", "", "k", {"b.jpg=2000"}, {"http://o/c.jpg|b.jpg|2000"}, "200:2000", "new", false},
            {"copy changed on disk", "", "k", {"b.jpg=1999"}, {"http://o/a.jpg|b.jpg|2000"}, "200:2000", "new", false}};
        for (const Case& c : cases) {
            TestContext t;
            t.settings.outputFolder = t.path("out");
            QDir().mkpath(t.settings.outputFolder);
            t.settings.duplicateRuleText = c.rule;
            t.settings.skipArchived = c.options.contains('a');
            t.settings.sameContent = c.options.contains('k') ? 1 : 0;
            t.settings.skipSmallFiles = c.options.contains('s');
            t.settings.minimumSizeKB = 1;
            for (const QString& file : c.files)
                writeFile(t.settings.outputFolder + '/' + file.section('=', 0, 0),
                          QByteArray(file.contains('=') ? file.section('=', 1).toInt() : 10, 'x'));
            SqliteDownloadArchive archive(t.path("archive.sqlite"), t.app.errors);
            for (const QString& record : c.archived) {
                const QStringList f = record.split('|');
                archive.add({0, f[0], f[0], t.settings.outputFolder + '/' + f[1], f[2].toLongLong(), "sha", QDateTime()});
            }
            std::optional<ProbeResult> answer;
            if (!c.probe.isEmpty()) {
                const QStringList f = c.probe.split(':');
                answer = ProbeResult{f[0].toInt(), {}, f.size() > 1 ? f[1].toLongLong() : -1,
                                     f.size() > 3 ? f[2] + ':' + f[3] : c.url, c.probe == "x" ? "connection refused" : "", false, {}};
            }
            const PredictedOutcome outcome = predictOutcome(c.url, answer, t.settings, &archive);
            QCOMPARE(std::tuple(QString(c.name), outcome.text, outcome.greyed, outcome.archivedAs.isEmpty()),
                     std::tuple(QString(c.name), c.text, c.greyed, !c.text.startsWith("already")));
        }
    }
};

QTEST_GUILESS_MAIN(TestProbe)
#include "test_probe.moc"
