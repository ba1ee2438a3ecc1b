// Where a download goes: the name it is saved under, and the rules that
// decide whether and how it is saved, as the found list predicts them and
// as a work session applies them.
#include "core/download/filenames.h"
#include "core/download/targetrules.h"
#include "core/found/predictedoutcome.h"
#include "core/found/urlprober.h"
#include "tests/support/testcontext.h"
#include "tests/support/testserver.h"

#include <QtTest>

using namespace pm;
using namespace pm::test;

namespace {
// What a session does with an entry, as the found list predicts it.
EntryResult::Kind predictedKind(const PredictedOutcome& outcome)
{
    switch (outcome.kind) {
    case PredictedOutcome::SkipExists: return EntryResult::SkippedExisting;
    case PredictedOutcome::TooSmall: return EntryResult::TooSmall;
    case PredictedOutcome::Fails: return EntryResult::Failed;
    default: return EntryResult::Saved;
    }
}

// The file name a prediction names: "will save as X", "will overwrite X",
// "will skip: X exists", "identical file exists: X"; "" for the others.
QString predictedName(const PredictedOutcome& outcome)
{
    static const QRegularExpression named(QStringLiteral("^(?:will save as |will overwrite |will skip: |identical file exists: )(.*?)(?: exists)?$"));
    return named.match(outcome.text).captured(1);
}
}  // namespace

class TestTargetRules : public QObject {
    Q_OBJECT
    TestServer m_server;

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.listen());
        m_server.addPage(QStringLiteral("/gallery/"), "<html><body>a gallery</body></html>");
    }

    void savedNames_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QByteArray>("disposition");
        QTest::addColumn<QString>("contentType");
        QTest::addColumn<QString>("saved");  // "(none)": refused
        const QString longStem(300, QLatin1Char('a'));
        const QString wideStem(200, QChar(0xe9));  // two bytes each in UTF-8
        QTest::newRow("query") << "http://h/d/photo.jpg?width=800" << QByteArray() << "" << "photo.jpg";
        QTest::newRow("fragment") << "http://h/a.jpg#top" << QByteArray() << "" << "a.jpg";
        QTest::newRow("%20") << "http://h/My%20Holiday.jpg" << QByteArray() << "" << "My Holiday.jpg";
        QTest::newRow("encoded slash") << "http://h/a%2F..%2Fx.jpg?q=/y" << QByteArray() << "" << "x.jpg";
        QTest::newRow("control character") << "http://h/a%0Ab%7F.jpg" << QByteArray() << "" << "ab.jpg";
        QTest::newRow("leading dots") << "http://h/..hidden.jpg" << QByteArray() << "" << "hidden.jpg";
        QTest::newRow("filename*") << "http://h/get?id=3" << QByteArray("attachment; filename*=UTF-8''%E2%82%AC%20rates.pdf")
                                   << "" << QString::fromUtf8("\xe2\x82\xac rates.pdf");
        QTest::newRow("filename* before filename")
            << "http://h/get" << QByteArray("attachment; filename=\"old.pdf\"; filename*=utf-8'en'new.pdf") << "" << "new.pdf";
        QTest::newRow("quoted ../../x") << "http://h/get" << QByteArray("attachment; filename=\"../../x.jpg\"") << "" << "x.jpg";
        QTest::newRow("backslashes") << "http://h/get" << QByteArray("attachment; filename=..\\..\\x.jpg") << "" << "x.jpg";
        QTest::newRow("UTF-8 in filename") << "http://h/get" << QByteArray("attachment; filename=\"\xc3\xa9t\xc3\xa9.jpg\"") << ""
                                           << QString::fromUtf8("\xc3\xa9t\xc3\xa9.jpg");
        QTest::newRow("disposition without a name") << "http://h/a.jpg" << QByteArray("attachment") << "" << "a.jpg";
        QTest::newRow("trailing / with a type") << "http://h/gallery/" << QByteArray() << "text/html; charset=utf-8"
                                                << "index.html";
        QTest::newRow("300-byte name") << "http://h/" + longStem + ".jpg" << QByteArray() << ""
                                       << QString(251, QLatin1Char('a')) + ".jpg";
        QTest::newRow("cut between characters") << "http://h/" + wideStem + ".jpg" << QByteArray() << ""
                                                << QString(125, QChar(0xe9)) + ".jpg";
        QTest::newRow("ends in ..") << "http://h/a/.." << QByteArray() << "" << "(none)";
        QTest::newRow("own file's name stays") << "http://h/Pullmark.ini" << QByteArray() << "" << "Pullmark.ini";
    }

    void savedNames()
    {
        QFETCH(QString, url);
        QFETCH(QByteArray, disposition);
        QFETCH(QString, contentType);
        QFETCH(QString, saved);
        const std::optional<QString> name = savedFileName(url, {disposition, contentType});
        QCOMPARE(name.value_or(QStringLiteral("(none)")), saved);
        // Before an answer the list shows the address's own name.
        if (disposition.isEmpty() && contentType.isEmpty())
            QCOMPARE(shownFileName(url), name.value_or(QUrl(url).fileName()));
    }

    // The found list's prediction and a real download of the same entry,
    // side by side, where the server's answer decides: the prober and the
    // session must read it alike. (The rules alone are the probe tests'
    // prediction table and the download tests' sessions.)
    void predictionIsWhatASessionDoes_data()
    {
        QTest::addColumn<QString>("rule");          // the duplicate rule
        QTest::addColumn<QString>("options");       // o: save beside the program's files, s: size rule 1 KB
        QTest::addColumn<QString>("path");          // on the test server
        QTest::addColumn<QStringList>("files");     // in the output folder already
        QTest::addColumn<int>("result");            // EntryResult::Kind
        QTest::addColumn<QString>("file");          // the file saved or skipped for; "" when none

        const auto named = [](const QString& name, const QByteArray& disposition) {
            return "/file/" + name + "?size=3000&disposition=" + QString::fromLatin1(QUrl::toPercentEncoding(disposition));
        };
        QTest::newRow("skip under the server's name")
            << "Skip" << "" << named("a.jpg", "attachment; filename=\"b.jpg\"") << QStringList{"b.jpg"}
            << int(EntryResult::SkippedExisting) << "b.jpg";
        QTest::newRow("the server's name") << "Skip" << ""
                                           << named("get", "attachment; filename*=UTF-8''%E2%82%AC%20rates.jpg")
                                           << QStringList() << int(EntryResult::Saved)
                                           << QString::fromUtf8("\xe2\x82\xac rates.jpg");
        QTest::newRow("trailing /, named by its type") << "" << "" << "/gallery/" << QStringList()
                                                       << int(EntryResult::Saved) << "index.html";
        QTest::newRow("at the size limit") << "" << "s" << "/file/s.jpg?size=1024" << QStringList()
                                           << int(EntryResult::Saved) << "s.jpg";
        QTest::newRow("own file named by the server") << "" << "o" << named("x.bin", "attachment; filename=Pullmark.ini")
                                                      << QStringList() << int(EntryResult::Failed) << "";
    }

    void predictionIsWhatASessionDoes()
    {
        QFETCH(QString, rule);
        QFETCH(QString, options);
        QFETCH(QString, path);
        QFETCH(QStringList, files);
        QFETCH(int, result);
        QFETCH(QString, file);

        TestContext t;
        t.settings.outputFolder = options.contains('o') ? t.dir.path() : t.path("out");
        QDir().mkpath(t.settings.outputFolder);
        t.settings.duplicateRuleText = rule;
        t.settings.skipSmallFiles = options.contains('s');
        t.settings.minimumSizeKB = 1;
        t.settings.retries = 0;
        t.settings.setErrorMode(ErrorMode::CarryOn);
        for (const QString& name : files)
            writeFile(t.settings.outputFolder + '/' + name, patternBytes(3000));
        const QString url = m_server.url(path);

        UrlProber prober;
        QSignalSpy probed(&prober, &UrlProber::probed);
        prober.probe({url});
        QVERIFY(probed.wait(10000));
        const PredictedOutcome predicted = predictOutcome(url, prober.result(url), t.settings, t.app.archive());

        t.app.queue.append({url});
        QList<EntryResult> finished;
        connect(&t.app.worker, &QueueWorker::entryFinished, this, [&](const EntryResult& r) { finished << r; });
        QSignalSpy ended(&t.app.worker, &QueueWorker::sessionEnded);
        t.app.worker.start();
        QVERIFY(!ended.isEmpty() || ended.wait(20000));
        QCOMPARE(finished.size(), 1);
        const EntryResult done = finished.at(0);

        QCOMPARE(int(predictedKind(predicted)), int(done.kind));
        QCOMPARE(int(done.kind), result);
        const QString doneName = done.file.isEmpty() ? QString() : QFileInfo(done.file).fileName();
        QCOMPARE(doneName, file);
        if (!predictedName(predicted).isEmpty())
            QCOMPARE(predictedName(predicted), doneName);
    }
};

QTEST_GUILESS_MAIN(TestTargetRules)
#include "test_target_rules.moc"
