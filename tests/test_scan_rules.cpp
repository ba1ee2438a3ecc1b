// The page scan's rules without a browser: which addresses the found list
// takes under each scan, what the scripts' answers and the frames' reports
// say, what the scans of one load share, and when the page is read.
#include "core/found/loadscans.h"
#include "core/found/scanrules.h"
#include "core/found/scanschedule.h"
#include "core/found/scraper.h"

#include <QJsonDocument>
#include <QtTest>

using namespace pm;

namespace {

ScanRules defaultRules(const QString& extensions = QString::fromLatin1("wmv mpg jpg gif mpeg"))
{
    ScanRules rules;
    rules.links = true;
    rules.embedded = true;
    rules.extensions = extensions;
    return rules;
}

ScannedDocument readDocument(const QString& path, const QString& id, const QStringList& links,
                             const QStringList& embedded = {})
{
    return {ScannedDocument::Read, path, id, /*unchanged*/ false, /*grown*/ false, /*error*/ {}, links, embedded};
}

ScannedDocument otherDocument(ScannedDocument::Kind kind, const QString& path)
{
    ScannedDocument doc = readDocument(path, {}, {});
    doc.kind = kind;
    return doc;
}

FrameReport report(const QString& path, const QStringList& links, const QStringList& embedded = {},
                   const QStringList& shown = {})
{
    return {path, /*id*/ {}, /*topOrigin*/ {}, links, embedded, shown.isEmpty() ? embedded : shown};
}

const auto keepGoing = [](int, const QString&) { return true; };

}  // namespace

class TestScanRules : public QObject {
    Q_OBJECT
private slots:
    void pathExtensions_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("extension");
        QTest::newRow("dot in a folder only") << "http://h/dir.d/file" << "";
        QTest::newRow("host only") << "http://www.h.com" << "";
        QTest::newRow("dot encoded") << "http://h/photo%2Ejpg" << "jpg";
        QTest::newRow("letters encoded") << "http://h/a.jp%67?x" << "jpg";
        QTest::newRow("last dot") << "http://h/a.tar.gz" << "gz";
    }
    void pathExtensions()
    {
        QFETCH(QString, address);
        QFETCH(QString, extension);
        QCOMPARE(pathExtension(address), extension);
    }

    // Which addresses each scan lists, by its own rules.
    void matching_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("extensions");
        QTest::addColumn<bool>("byDefault");
        QTest::addColumn<bool>("classic");
        const QString list = QStringLiteral("wmv mpg jpg gif mpeg");
        QTest::newRow("extension in any case") << "http://h/a.JPG" << list << true << true;
        QTest::newRow("query") << "http://h/b.jpg?x=1" << list << true << false;
        QTest::newRow("fragment") << "http://h/c.wmv#t=10" << list << true << false;
        QTest::newRow("part of a word") << "http://h/x.pg" << list << false << true;
        QTest::newRow("ends in a dot") << "http://h/file." << "mpg" << false << true;
        QTest::newRow("mailto") << "mailto:me@h.jpg" << list << false << true;
        QTest::newRow("javascript") << "javascript:show('a.jpg')" << list << false << false;
        QTest::newRow("commas and semicolons") << "http://h/a.mpeg" << "jpg, gif;mpeg" << true << true;
        QTest::newRow("leading dots") << "http://h/a.png" << ".png .jpg" << true << true;
        QTest::newRow("empty list") << "http://h/a.jpg" << "" << false << false;
        QTest::newRow("html page") << "http://h/d.html" << list << false << false;
    }
    void matching()
    {
        QFETCH(QString, address);
        QFETCH(QString, extensions);
        QFETCH(bool, byDefault);
        QFETCH(bool, classic);
        ScanRules rules = defaultRules(extensions);
        QCOMPARE(AddressMatcher(rules).matches(address), byDefault);
        rules.classic = true;
        QCOMPARE(AddressMatcher(rules).matches(address), classic);
    }

    // The classic scan asks about each frame that cannot be read, by its
    // place on the page; a "stop" keeps what came before it. (What the
    // default scan lists of pages and frames: TestScan's and TestBrowsing's
    // pages.)
    void classicQuestions()
    {
        PageScan page;
        page.hasDocument = true;
        page.documents = {readDocument("", "p", {"http://h/a.jpg", "http://h/a.html"}, {"http://h/I.GIF"}),
                          otherDocument(ScannedDocument::Foreign, "0"),
                          readDocument("1", "f", {"http://h/i.gif", "http://h/b.mpg"}, {"http://h/A.JPG", "http://h/c.gif"}),
                          otherDocument(ScannedDocument::Missing, "2"),
                          otherDocument(ScannedDocument::Unreadable, "3")};
        ScanRules rules = defaultRules();
        rules.classic = true;
        QList<int> asked;
        const FoundList found = buildFoundList(page, rules, [&](int position, const QString&) {
            asked << position;
            return position != 4;
        });
        QCOMPARE(asked, (QList<int>{1, 4}));
        QVERIFY(found.stopped);
        QCOMPARE(found.skippedFrames, 0);
        QCOMPARE(found.urls.size(), 4);
    }

    // An answer that is no page's, and frames' reports: what is not one is
    // dropped. (The scripts' own answers are read on real pages by TestScan
    // and TestBrowsing.)
    void scriptAnswers()
    {
        QVERIFY(!parsePageScan(QVariant()).hasDocument);
        QVERIFY(!parsePageScan(QVariantMap{{"html", false}}).error.isEmpty());
        auto json = [](const QVariantMap& map) { return QString::fromUtf8(QJsonDocument::fromVariant(map).toJson()); };
        const std::optional<FrameReport> r = parseFrameReport(
            json({{"path", "0.1"}, {"id", "x"}, {"top", "http://h:1"}, {"links", QStringList{"http://o/a.jpg"}},
                  {"media", QStringList{"http://o/big.jpg"}}, {"shown", QStringList{"http://o/small.jpg"}}}));
        QVERIFY(r);
        QCOMPARE(std::tuple(r->path, r->topOrigin, r->embedded, r->embeddedShown),
                 std::tuple(QString("0.1"), QString("http://h:1"), QStringList{"http://o/big.jpg"},
                            QStringList{"http://o/small.jpg"}));
        QCOMPARE(parseFrameReport(json({{"path", ""}, {"links", QStringList{}}, {"media", QStringList{"m"}}}))->embeddedShown,
                 QStringList{"m"});
        for (const char* notAReport : {"", "[1]", "{\"links\":[]}", "{\"path\":\"0\"}", "{\"path\":3,\"links\":[]}"})
            QVERIFY2(!parseFrameReport(QString::fromLatin1(notAReport)), notAReport);
    }

    // What the scans of one load share: unchanged documents come from the
    // reads kept, frames of other origins from their latest reports.
    void loadScans()
    {
        LoadScans scans;
        scans.begin(1);
        const ScanRules rules = defaultRules();
        const int epoch = scans.prepareRead(rules);
        ScanRules otherList = rules;
        otherList.extensions = QStringLiteral("png");
        QCOMPARE(scans.prepareRead(otherList), epoch);  // the list only filters what was read
        PageScan page;
        page.hasDocument = true;
        page.url = QStringLiteral("http://h/p");
        page.documents = {readDocument("", "p", {"http://h/a.jpg"}), otherDocument(ScannedDocument::Foreign, "0")};
        QVERIFY(!scans.keepFrameReport(report("0", {"http://o/early.jpg"})));  // before the first read
        QVERIFY(scans.resolve(page));
        scans.fillFrames(page, rules);
        FoundList found = buildFoundList(page, rules, keepGoing);
        QCOMPARE(found.urls, (QStringList{"http://h/a.jpg", "http://o/early.jpg"}));
        scans.keepList(page, rules, found);

        // The page read again, unchanged: the same list, held.
        PageScan again = page;
        again.documents = {readDocument("", "p", {}), otherDocument(ScannedDocument::Foreign, "0")};
        again.documents[0].unchanged = true;
        QVERIFY(scans.resolve(again));
        scans.fillFrames(again, rules);
        QVERIFY(scans.unchangedList(again, rules));
        QVERIFY(!scans.unchangedList(again, otherList));
        QCOMPARE(again.documents[0].links, QStringList{"http://h/a.jpg"});

        // A new report of the frame changes the list; the rebuild takes it in.
        QVERIFY(scans.keepFrameReport(report("0", {"http://o/late.jpg"}, {"http://o/big.gif"}, {"http://o/small.gif"})));
        QVERIFY(!scans.keepFrameReport(report("5", {})));  // not on the page read
        ScanRules asShown = rules;
        asShown.imagesAsShown = true;
        QCOMPARE(buildFoundList(*scans.rebuiltPage(rules), rules, keepGoing).urls,
                 (QStringList{"http://h/a.jpg", "http://o/late.jpg", "http://o/big.gif"}));
        QCOMPARE(buildFoundList(*scans.rebuiltPage(asShown), asShown, keepGoing).urls,
                 (QStringList{"http://h/a.jpg", "http://o/late.jpg", "http://o/small.gif"}));
        // With images turned off, a frame's kept report still holds its
        // images: the list leaves them out.
        ScanRules linksOnly = rules;
        linksOnly.embedded = false;
        QCOMPARE(buildFoundList(*scans.rebuiltPage(linksOnly), linksOnly, keepGoing).urls,
                 (QStringList{"http://h/a.jpg", "http://o/late.jpg"}));

        // Other read rules forget the reads: an unchanged document must then
        // be read again.
        QVERIFY(scans.prepareRead(asShown) != epoch);
        PageScan unchanged = again;
        unchanged.documents[0].unchanged = true;
        QVERIFY(!scans.resolve(unchanged));
        // A new load forgets the reports too.
        scans.begin(2);
        QVERIFY(!scans.rebuiltPage(rules));
        QVERIFY(scans.firstSkippedFramesNote());
        QVERIFY(!scans.firstSkippedFramesNote());
    }

    // When reads start: steps of the load at once, changes at most one read
    // per interval, one read at a time.
    void schedule()
    {
        using T = ScanTrigger;
        constexpr qint64 interval = ScanSchedule::kChangeIntervalMs;
        ScanSchedule schedule;
        QVERIFY(!schedule.start(0));
        schedule.request(T::DocumentParsed);
        QCOMPARE(schedule.start(0), std::optional(T::DocumentParsed));
        schedule.request(T::Change);
        schedule.request(T::DocumentParsed);
        schedule.request(T::Change);
        QCOMPARE(schedule.delay(10), qint64(-1));  // a read runs
        QVERIFY(!schedule.start(10));
        schedule.finished();
        QCOMPARE(schedule.start(20), std::optional(T::DocumentParsed));  // the strongest, at once
        schedule.finished();

        // A change within the interval waits for its end, however many come.
        schedule.request(T::Change);
        QCOMPARE(schedule.delay(30), interval - 10);
        QVERIFY(!schedule.start(30));
        for (qint64 t = 40; t < 400; t += 40)
            schedule.request(T::Change);
        QVERIFY(!schedule.start(interval + 19));
        QCOMPARE(schedule.start(interval + 20), std::optional(T::Change));
        QVERIFY(!schedule.waiting());
        schedule.finished();
        // After a quiet interval a change is read at once; the load's end
        // never waits for the interval.
        schedule.request(T::Change);
        QCOMPARE(schedule.delay(5000), qint64(0));
        QCOMPARE(schedule.start(5000), std::optional(T::Change));
        schedule.finished();
        schedule.request(T::Change);
        schedule.request(T::LoadEnded);
        QCOMPARE(schedule.start(5001), std::optional(T::LoadEnded));

        // A new load drops what waits; the running read holds nothing back.
        schedule.request(T::DocumentParsed);
        QCOMPARE(schedule.reset(), std::optional(T::DocumentParsed));
        QVERIFY(!schedule.running());
        QCOMPARE(schedule.reset(), std::nullopt);
        schedule.request(T::DocumentParsed);
        QCOMPARE(schedule.start(5002), std::optional(T::DocumentParsed));
    }
};

QTEST_GUILESS_MAIN(TestScanRules)
#include "test_scan_rules.moc"
