// The path check: the log and output folders, the CSV header, failures.
#include "core/diagnostics/csvlog.h"
#include "core/config/pathcheck.h"
#include "tests/support/testcontext.h"

#include <QtTest>

using namespace pm;
using namespace pm::test;

class TestPathCheck : public QObject {
    Q_OBJECT
private slots:
    // Missing folders are created, after a question when asking is on; a No
    // stops the check there. The CSV log starts with its header once the
    // folders are there.
    void folders()
    {
        const QString log = QStringLiteral("Invalid Log File path"), out = QStringLiteral("Invalid Output path");
        struct Case {
            const char* name;
            bool logExists, outExists, ask;
            QList<bool> answers;
            QStringList questions;  // titles, in order
            bool logAfter, outAfter;
            PathDecline declined;
        };
        const Case cases[] = {
            {"both exist", true, true, true, {}, {}, true, true, PathDecline::None},
            {"both missing, asking off", false, false, false, {}, {}, true, true, PathDecline::None},
            {"log Yes, output Yes", false, false, true, {true, true}, {log, out}, true, true, PathDecline::None},
            {"log No stops the check", false, false, true, {false}, {log}, false, false, PathDecline::LogFolder},
            {"output No", true, false, true, {false}, {out}, true, false, PathDecline::OutputFolder}};
        for (const Case& c : cases) {
            TestContext t;
            const QString logFolder = t.path("logs"), outFolder = t.path("out");
            QVERIFY(!c.logExists || QDir().mkdir(logFolder));
            QVERIFY(!c.outExists || QDir().mkdir(outFolder));
            t.ui.yesNoAnswers.append(c.answers);
            const PathDecline declined = checkPaths({outFolder, logFolder, "run.log", c.ask, true}, t.app.errors, t.ui);
            QStringList asked;
            for (const AskedQuestion& q : t.ui.asked) {
                asked << q.title;
                QCOMPARE(q.text, (q.title == log ? logFolder : outFolder) + " does not exist. Create?");
            }
            QCOMPARE(std::tuple(QString(c.name), int(declined), asked, QFileInfo(logFolder).isDir(), QFileInfo(outFolder).isDir(),
                                QFileInfo::exists(logFolder + "/run.csv")),
                     std::tuple(QString(c.name), int(c.declined), c.questions, c.logAfter, c.outAfter,
                                c.declined == PathDecline::None));
        }
    }

    void csvHeaderAndFailures()
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

        // Empty paths and a folder whose parent is missing (one level only) are
        // reported, and the check goes on with the next folder.
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
