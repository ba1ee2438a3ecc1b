// The path check: the log and output folders, the CSV header, failures.
#include "core/csvlog.h"
#include "core/pathcheck.h"
#include "tests/support/testcontext.h"

#include <QtTest>

using namespace pm;
using namespace pm::test;

class TestPathCheck : public QObject {
    Q_OBJECT
private slots:
    void folders_data()
    {
        QTest::addColumn<bool>("logExists");
        QTest::addColumn<bool>("outExists");
        QTest::addColumn<bool>("ask");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QStringList>("questions");  // titles, in order
        QTest::addColumn<bool>("logAfter");
        QTest::addColumn<bool>("outAfter");
        QTest::addColumn<int>("declined");  // PathDecline
        const QString log = QStringLiteral("Invalid Log File path");
        const QString out = QStringLiteral("Invalid Output path");
        const int none = int(PathDecline::None);
        QTest::newRow("both exist") << true << true << true << QList<bool>{} << QStringList{} << true << true << none;
        QTest::newRow("both missing, asking off")
            << false << false << false << QList<bool>{} << QStringList{} << true << true << none;
        QTest::newRow("log Yes, output Yes")
            << false << false << true << QList<bool>{true, true} << QStringList{log, out} << true << true << none;
        QTest::newRow("log No stops the check")
            << false << false << true << QList<bool>{false} << QStringList{log} << false << false
            << int(PathDecline::LogFolder);
        QTest::newRow("output No") << true << false << true << QList<bool>{false} << QStringList{out} << true << false
                                   << int(PathDecline::OutputFolder);
    }
    void folders()
    {
        QFETCH(bool, logExists);
        QFETCH(bool, outExists);
        QFETCH(bool, ask);
        QFETCH(QList<bool>, answers);
        QFETCH(QStringList, questions);
        QFETCH(bool, logAfter);
        QFETCH(bool, outAfter);
        QFETCH(int, declined);
        TestContext t;
        const QString logFolder = t.path("logs"), outFolder = t.path("out");
        if (logExists)
            QVERIFY(QDir().mkdir(logFolder));
        if (outExists)
            QVERIFY(QDir().mkdir(outFolder));
        t.ui.yesNoAnswers.append(answers);

        const PathCheckInput input{outFolder, logFolder, "run.log", ask, true};
        QCOMPARE(int(checkPaths(input, t.app.errors, t.ui)), declined);
        QStringList asked;
        for (const AskedQuestion& q : t.ui.asked) {
            asked << q.title;
            const QString folder = q.title == QLatin1String("Invalid Log File path") ? logFolder : outFolder;
            QCOMPARE(q.text, folder + " does not exist. Create?");
        }
        QCOMPARE(asked, questions);
        QCOMPARE(QFileInfo(logFolder).isDir(), logAfter);
        QCOMPARE(QFileInfo(outFolder).isDir(), outAfter);
        // The CSV log starts with its header once the folders are there.
        QCOMPARE(QFileInfo::exists(logFolder + "/run.csv"), declined == int(PathDecline::None));
    }

    void csvHeaderIsWrittenOnce()
    {
        TestContext t;
        const PathCheckInput input{t.dir.path(), t.dir.path(), "run.log.old", false, true};
        checkPaths(input, t.app.errors, t.ui);
        const QString csv = t.path("run.log.csv");
        QCOMPARE(readAll(csv), csvHeaderRecord().toUtf8());
        writeFile(csv, readAll(csv) + "row\r\n");
        checkPaths(input, t.app.errors, t.ui);
        QCOMPARE(crlfLines(readAll(csv)).size(), 2);
        // Off: nothing is started.
        checkPaths({t.dir.path(), t.dir.path(), "other.log", false, false}, t.app.errors, t.ui);
        QVERIFY(!QFileInfo::exists(t.path("other.csv")));
    }

    // Empty paths and a folder whose parent is missing (one level only) are
    // reported, and the check goes on with the next folder.
    void failuresAreReportedAndTheCheckGoesOn()
    {
        TestContext t;
        checkPaths({QString(), QString(), "x.log", false, false}, t.app.errors, t.ui);
        QCOMPARE(t.errorLines().size(), 2);
        checkPaths({t.path("out"), t.path("a/b"), "x.log", false, false}, t.app.errors, t.ui);
        QVERIFY(!QFileInfo::exists(t.path("a")));
        QVERIFY(QFileInfo(t.path("out")).isDir());
        QVERIFY(t.errorLines().last().startsWith("Error #76"));
        QVERIFY(t.ui.asked.isEmpty());
        // The settings give the log folder and name split at the last separator.
        t.settings.activityLogFile = QStringLiteral("/var/log/p/run.log");
        QCOMPARE(pathCheckInputFrom(t.settings).logFolder, QStringLiteral("/var/log/p"));
        QCOMPARE(pathCheckInputFrom(t.settings).logFileName, QStringLiteral("run.log"));
    }
};

QTEST_GUILESS_MAIN(TestPathCheck)
#include "test_pathcheck.moc"
