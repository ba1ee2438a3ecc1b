// The activity and CSV logs, the error reporter's modes and the error scope.
#include "core/diagnostics/activitylog.h"
#include "core/diagnostics/appendfile.h"
#include "core/diagnostics/csvlog.h"
#include "core/diagnostics/errorscope.h"
#include "tests/support/testcontext.h"

#include <QtTest>

using namespace pm;
using namespace pm::test;

namespace {
struct RecordingAbortTarget : AbortTarget {
    int aborts = 0;
    void abortSession() override { ++aborts; }
};
}  // namespace

class TestLogsErrors : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void logLinesCarryTimeTabAndText()
    {
        TestContext t;
        t.app.log.write(QStringLiteral("Ünïcode, tabs\tand all"));
        const QStringList lines = crlfLines(readAll(t.settings.activityLogFile));
        QCOMPARE(lines.size(), 1);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+/\\d+/\\d+ \\d+:\\d\\d:\\d\\d [AP]M\\tÜnïcode, tabs\\tand all$"))
                     .match(lines[0]).hasMatch(),
                 qPrintable(lines[0]));
        // A log that cannot be written (no folder, a folder in its place, a
        // full disk) loses the line, creates nothing and says so once per
        // file. A line written before a log is named waits for one.
        QSignalSpy failed(&t.app.log, &ActivityLog::writeFailed);
        writeFile(t.path("full.log"), QByteArray(2048, 'x'));
        const QString missing = t.path("no/such/folder/x.log");
        for (const QString& name : {missing, t.dir.path(), t.path("full.log"), missing, QString()}) {
            t.settings.activityLogFile = name;
            FileSizeLimit limit(1024);
            t.app.log.write(name.isEmpty() ? QStringLiteral("waits") : QStringLiteral("lost"));
        }
        QVERIFY(!QFileInfo::exists(t.path("no")) && readAll(t.path("full.log")) == QByteArray(2048, 'x'));
        QCOMPARE(failed, (QList<QVariantList>{{missing, "Path not found"}, {t.dir.path(), "Path/File access error"},
                                              {t.path("full.log"), "Disk full"}}));
        t.settings.activityLogFile = t.path("later.log");
        t.app.log.write(QStringLiteral("named"));
        const QStringList later = crlfLines(readAll(t.path("later.log")));
        QVERIFY(later.size() == 2 && later[0].endsWith("\twaits") && later[1].endsWith("\tnamed"));
    }

    // The log stays open between lines, yet every line goes to the file
    // that has the log's name at that moment: rotated, deleted or replaced.
    void logFollowsItsNameWhileKeptOpen()
    {
        TestContext t;
        const QString log = t.settings.activityLogFile;
        auto texts = [](const QString& file) {
            QStringList out;
            for (const QString& line : crlfLines(readAll(file)))
                out << line.section(QLatin1Char('\t'), -1);
            return out;
        };
        t.app.log.write(QStringLiteral("one"));
        QVERIFY(QFile::rename(log, log + ".1"));
        t.app.log.write(QStringLiteral("two"));
        QVERIFY(QFile::remove(log));
        t.app.log.write(QStringLiteral("three"));
        writeFile(log + ".new", "kept\r\n");
        QVERIFY(QFile::remove(log) && QFile::rename(log + ".new", log));
        t.app.log.write(QStringLiteral("four"));
        QCOMPARE(texts(log + ".1"), QStringList{"one"});
        QCOMPARE(texts(log), (QStringList{"kept", "four"}));
    }

    void csvRows()
    {
        // Named after the activity log: what follows its last dot becomes "csv".
        for (const auto& [log, csv] : QList<std::pair<QString, QString>>{
                 {"/d/x.log", "/d/x.csv"}, {"/d/x.y.log", "/d/x.y.csv"}, {"/d.d/x", "/d.csv"}, {"/d/x", "csv"}})
            QCOMPARE(csvFileNameFor(log), csv);
        TestContext t;
        t.settings.outputFolder = QStringLiteral("/out");
        const QDateTime start(QDate(2026, 3, 4), QTime(5, 6, 7));
        AppendFile csv;
        appendCsvRow(t.settings, t.app.errors, csv, {"http://h/d/a.jpg?s=1", start, start.addSecs(61), "00:01:01", "1234", "/out/a.jpg"});
        appendCsvRow(t.settings, t.app.errors, csv,
                     {"http://h/b/", start, QDateTime(QDate(2026, 3, 5), QTime(0, 0)), "00:00:00", qint64(42), "/out/index.html"});
        QCOMPARE(t.csvRows(), (QStringList{
            "\"a.jpg\",\"/out/a.jpg\",\"http://h/d/a.jpg?s=1\",#2026-03-04 05:06:07#,#2026-03-04 05:07:08#,\"00:01:01\",\"1234\"",
            "\"index.html\",\"/out/index.html\",\"http://h/b/\",#2026-03-04 05:06:07#,#2026-03-05#,\"00:00:00\",42"}));

        // A folder in the CSV's place: the open and the write are reported.
        QVERIFY(QFile::remove(t.path("test.csv")) && QDir().mkdir(t.path("test.csv")));
        QSignalSpy failed(&t.app.log, &ActivityLog::writeFailed);
        appendCsvRow(t.settings, t.app.errors, csv, {"http://h/c.jpg", start, start, "", QVariant(), {}});
        QCOMPARE(failed.value(0).value(0).toString(), t.path("test.csv"));
        QCOMPARE(t.errorLines().size(), 2);
        QVERIFY(t.errorLines().at(0).endsWith(" in WriteCSV."));
        QVERIFY(t.errorLines().at(1).startsWith("Error #52(&H34)"));
    }

    // Only the words Abort and Prompt as written stop a session; Prompt asks,
    // and Yes aborts.
    void reportModes()
    {
        // mode, the user's answer, whether it aborts, questions asked
        const QList<std::tuple<QString, bool, bool, int>> cases = {
            {"Resume", false, false, 0}, {"", false, false, 0},     {"prompt", false, false, 0}, {"abort", false, false, 0},
            {"Abort", false, true, 0},   {"Prompt", true, true, 1}, {"Prompt", false, false, 1}};
        for (const auto& [mode, answer, abort, questions] : cases) {
            TestContext t;
            t.ui.yesNoAnswers << answer;
            RecordingAbortTarget target;
            t.app.errors.setAbortTarget(&target);
            t.settings.errorModeText = mode;
            const bool aborted = t.app.errors.report(RuntimeError::of(53, "D"), QStringLiteral("SaveToFile."));
            t.app.errors.setAbortTarget(&t.app.worker);
            QCOMPARE(std::tuple(mode, answer, aborted, target.aborts, t.ui.count("yesno")),
                     std::tuple(mode, answer, abort, abort ? 1 : 0, questions));
            QCOMPARE(t.logMessages(), QStringList{"Error #53(&H35) File not found: D in SaveToFile."});
            if (questions) {
                QCOMPARE(t.ui.asked.first().title, QStringLiteral("Sorry, an error occurred"));
                QCOMPARE(t.ui.asked.first().text, QStringLiteral("SaveToFile. Error #53 File not found: D. Abort?"));
            }
        }
    }

    void scopeRunsTheNextStepUnlessAborted()
    {
        TestContext t;
        QStringList ran;
        ErrorScope scope(t.app.errors, QStringLiteral("Routine."));
        QVERIFY(scope.step([&] { ran << "1"; throw RuntimeError::of(ErrPathNotFound, "/x"); }));
        QVERIFY(scope.step([&] { ran << "2"; }));
        QCOMPARE(ran, (QStringList{"1", "2"}));
        QCOMPARE(t.logMessages(), QStringList{"Error #76(&H4C) Path not found: /x in Routine."});

        t.settings.errorModeText = QStringLiteral("Abort");
        ErrorScope aborting(t.app.errors, QStringLiteral("Routine."));
        QVERIFY(!aborting.step([&] { ran << "3"; throw RuntimeError::of(ErrTypeMismatch); }));
        QVERIFY(!aborting.step([&] { ran << "4"; }));
        QCOMPARE(ran.last(), QStringLiteral("3"));
        QVERIFY(aborting.aborted());
    }
};

QTEST_GUILESS_MAIN(TestLogsErrors)
#include "test_logs_errors.moc"
