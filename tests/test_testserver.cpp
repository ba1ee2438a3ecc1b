// The loopback test server the download tests stand on: generated files,
// faults on demand, and a page with frames loaded in the embedded browser.
#include "app/browser.h"
#include "tests/support/testserver.h"
#include "tests/support/webtest.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QtTest>

using namespace pm;
using namespace pm::test;

namespace {
struct Fetched {
    QByteArray body;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;
    QByteArray contentLength;
    QUrl finalUrl;
};

Fetched fetch(QNetworkAccessManager& nam, const QString& url)
{
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("Accept-Encoding", "identity");
    QNetworkReply* reply = nam.get(request);
    QSignalSpy finished(reply, &QNetworkReply::finished);
    if (!reply->isFinished())
        finished.wait(20000);
    Fetched f;
    f.body = reply->readAll();
    f.error = reply->error();
    f.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    f.contentLength = reply->rawHeader("Content-Length");
    f.finalUrl = reply->url();
    reply->deleteLater();
    return f;
}
}  // namespace

class TestTestServer : public QObject {
    Q_OBJECT
private:
    TestServer m_server;
    QNetworkAccessManager m_nam;

private slots:
    void initTestCase()
    {
        m_server.addPage(QStringLiteral("/frames.html"),
                         "<html><frameset cols='50%,50%'><frame src='/left.html'><frame src='/right.html'></frameset></html>");
        m_server.addPage(QStringLiteral("/left.html"), "<html><body><a href='a.jpg'>a</a></body></html>");
        m_server.addPage(QStringLiteral("/right.html"), "<html><body><a href='sub/b.mpg'>b</a><img src='c.gif'></body></html>");
        QVERIFY(m_server.listen());
    }

    void generatedFilesAndFaults()
    {
        const Fetched file = fetch(m_nam, m_server.url(QStringLiteral("/file/x.bin?size=300000")));
        QCOMPARE(file.error, QNetworkReply::NoError);
        QCOMPARE(file.body, patternBytes(300000));

        const Fetched drop = fetch(m_nam, m_server.url(QStringLiteral("/drop/x.bin?size=100000&after=1000")));
        QCOMPARE(drop.error, QNetworkReply::RemoteHostClosedError);

        const Fetched shortBody = fetch(m_nam, m_server.url(QStringLiteral("/short/x.bin?size=10&claim=20")));
        QCOMPARE(shortBody.contentLength, QByteArray("20"));
        QVERIFY(shortBody.body.size() < 20);

        const Fetched odd = fetch(m_nam, m_server.url(QStringLiteral("/length/x.bin?size=5&value=abc")));
        QCOMPARE(odd.contentLength, QByteArray("abc"));

        const Fetched missing = fetch(m_nam, m_server.url(QStringLiteral("/status/404")));
        QCOMPARE(missing.status, 404);
        QCOMPARE(missing.error, QNetworkReply::ContentNotFoundError);
        QCOMPARE(fetch(m_nam, m_server.url(QStringLiteral("/status/500"))).status, 500);

        const Fetched redirected = fetch(m_nam, m_server.url(QStringLiteral("/redirect/3?to=/file/r.bin%3Fsize%3D7")));
        QCOMPARE(redirected.body, patternBytes(7));
        for (const char* hop : {"/redirect/3?", "/redirect/2?", "/redirect/1?"})
            QVERIFY2(m_server.requestCount(QLatin1String(hop)) >= 1, hop);  // every hop was followed

        QCOMPARE(fetch(m_nam, m_server.url(QStringLiteral("/loop"))).error, QNetworkReply::TooManyRedirectsError);

        const Fetched noLength = fetch(m_nam, m_server.url(QStringLiteral("/nolength/x.bin?size=4000")));
        QVERIFY(noLength.contentLength.isEmpty());
        QCOMPARE(noLength.body, patternBytes(4000));
    }

    void dripIsSlow()
    {
        QElapsedTimer timer;
        timer.start();
        const Fetched drip = fetch(m_nam, m_server.url(QStringLiteral("/drip/x.bin?size=400&chunk=100&ms=50")));
        QCOMPARE(drip.body, patternBytes(400));
        QVERIFY(timer.elapsed() >= 140);  // three pauses of 50 ms between four chunks
    }

    void browserLoadsAFramesetFromTheServer()
    {
        TestProfile web;
        Browser browser(web.profile());
        QSignalSpy done(&browser, &Browser::DownloadComplete);
        browser.Navigate(m_server.url(QStringLiteral("/frames.html")));
        QVERIFY(done.wait(20000));
        QCOMPARE(browser.LocationURL(), m_server.url(QStringLiteral("/frames.html")));
        QVERIFY(!browser.Busy());

        // Both frames' links and images are readable, resolved to absolute addresses.
        QVariant result;
        bool haveResult = false;
        browser.page()->runJavaScript(
            QStringLiteral("(function(){var out=[];for(var i=0;i<window.frames.length;i++){var d=window.frames[i].document;"
                           "for(var j=0;j<d.links.length;j++)out.push(d.links[j].href);"
                           "for(var k=0;k<d.images.length;k++)out.push(d.images[k].src);}return out;})()"),
            QWebEngineScript::ApplicationWorld, [&](const QVariant& v) { result = v; haveResult = true; });
        QTRY_VERIFY_WITH_TIMEOUT(haveResult, 10000);
        QCOMPARE(result.toStringList(), (QStringList{m_server.url(QStringLiteral("/a.jpg")),
                                                     m_server.url(QStringLiteral("/sub/b.mpg")),
                                                     m_server.url(QStringLiteral("/c.gif"))}));
        QVERIFY(web.interceptor().blocked().isEmpty());
    }
};

QTEST_MAIN(TestTestServer)
#include "test_testserver.moc"
