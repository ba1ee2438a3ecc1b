// Work sessions against the loopback server: statistics and logs, stops,
// the duplicate and size rules, every kind of failure, the user's editing
// while an entry is in work, and files that cannot be written.
#include "core/configfile.h"
#include "core/downloadtask.h"
#include "core/transfer.h"
#include "tests/support/testcontext.h"
#include "tests/support/testserver.h"

#include <QProcess>
#include <QTcpServer>
#include <QtTest>

#include <unistd.h>

using namespace pm;
using namespace pm::test;

namespace {
// A context set for downloads: everything logged, carry on, overwrite.
struct Downloads : TestContext {
    Downloads()
    {
        out = path("out");
        QDir().mkpath(out);
        settings.outputFolder = out;
        settings.logDownloads = settings.logCsv = true;
        settings.setErrorMode(ErrorMode::CarryOn);
        settings.setDuplicateRule(DuplicateRule::Overwrite);
    }
    // Runs a whole session; false when it did not end in time.
    bool run(int timeoutMs = 20000)
    {
        QSignalSpy ended(&app.worker, &QueueWorker::sessionEnded);
        app.worker.start();
        return !ended.isEmpty() || ended.wait(timeoutMs);
    }
    // The stored queue as the configuration file holds it.
    QStringList storedQueue()
    {
        ConfigurationLists lists;
        Settings scratch;
        loadConfiguration(settings.configurationFile, scratch, lists, app.errors, app.log);
        return lists.queue;
    }
    const SessionFigures& figures() const { return app.worker.figures(); }
    QString out;
};

bool hasTemporaryFile(const QString& folder)
{
    const QStringList files = folderFiles(folder);
    return std::any_of(files.begin(), files.end(), [](const QString& f) { return f.startsWith(".pullmark-"); });
}
}  // namespace

class TestDownloads : public QObject {
    Q_OBJECT
private:
    TestServer m_server;
    QString url(const QString& path) const { return m_server.url(path); }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(m_server.listen());
    }

    void sessionStatisticsAndLogs()
    {
        Downloads d;
        const QString big = url("/file/big.bin?size=2097152"), one = url("/file/one.bin?size=1048576");
        d.app.queue.append({big, one});
        QStringList shown;
        connect(&d.app.worker, &QueueWorker::figuresChanged, this, [&] {
            const QString pair = d.figures().lastFileSize + '|' + d.figures().sessionTotal;
            if (!d.figures().lastFileSize.isEmpty() && !shown.contains(pair))
                shown << pair;
        });
        QVERIFY(d.run());
        QCOMPARE(shown, (QStringList{"2,048.00 KB|2,048.00 KB", "1,024.00 KB|3.00 MB"}));
        QCOMPARE(d.figures().endStatus, QStringLiteral("Queue Empty"));
        QCOMPARE(d.figures().completed, 2);
        QCOMPARE(d.figures().currentFile, QStringLiteral("one.bin?size=1048576"));
        QVERIFY(d.figures().sessionEnd.isValid());
        QCOMPARE(readAll(d.out + "/big.bin?size=2097152"), patternBytes(2097152));
        QCOMPARE(readAll(d.out + "/one.bin?size=1048576"), patternBytes(1048576));

        QStringList log = d.logMessages();
        for (QString& line : log)
            line.replace(QRegularExpression(" in 00:00:0[01]$"), " in T");
        QCOMPARE(log, (QStringList{"Starting a work session",
                                   "Starting: " + big, "Saving downloaded file to " + d.out + "/big.bin?size=2097152",
                                   "Completed: " + big, "Downloaded 2,048.00 KB in T",
                                   "Starting: " + one, "Saving downloaded file to " + d.out + "/one.bin?size=1048576",
                                   "Completed: " + one, "Downloaded 1,024.00 KB in T",
                                   "Completed a work session"}));
        QCOMPARE(d.csvRows().size(), 2);
        QVERIFY(d.csvRows().first().contains(QRegularExpression(",\"00:00:0[01]\",\"2097152\"$")));
        QCOMPARE(d.storedQueue(), QStringList());
    }

    void emptySessionRemovesOnlyOurLeftovers()
    {
        Downloads d;
        for (const char* name : {".pullmark-0123456789abcdef.part", ".pullmark-userfile.part", ".pullmark-notes.txt",
                                 "clip.part"})
            writeFile(d.out + '/' + name, "x");
        QVERIFY(d.run());
        QCOMPARE(folderFiles(d.out), (QStringList{".pullmark-notes.txt", ".pullmark-userfile.part", "clip.part"}));
        QCOMPARE(d.figures().endStatus, QStringLiteral("Queue Empty"));
        QVERIFY(QFileInfo::exists(d.settings.configurationFile));
    }

    void stopDuringTheThirdFetch()
    {
        Downloads d;
        const QString third = url("/drip/three.bin?size=200000&chunk=1000&ms=20");
        d.app.queue.append({url("/file/one.bin?size=5000"), url("/file/two.bin?size=6000"), third,
                            url("/file/four.bin?size=10")});
        const auto stopper = connect(&d.app.worker, &QueueWorker::itemProgress, this, [&](qint64 received) {
            if (d.figures().currentFile.startsWith("three") && received > 0 && !d.app.worker.stopRequested())
                d.app.worker.requestStop();  // what "Stop Download" does
        });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(d.run());
        QVERIFY(clock.elapsed() < 3000);  // long before the four-second transfer would end
        QCOMPARE(d.app.queue.urls().first(), third);
        QCOMPARE(d.app.queue.stateAt(0), EntryState::Waiting);
        QCOMPARE(d.figures().completed, 2);
        QCOMPARE(d.figures().endStatus, QStringLiteral("Queue Stopped"));
        QCOMPARE(folderFiles(d.out), (QStringList{"one.bin?size=5000", "two.bin?size=6000"}));
        QVERIFY(!d.logMessages().contains("Completed: " + third));
        QVERIFY(d.errorLines().isEmpty());  // a stop is no error
        QCOMPARE(d.csvRows().size(), 2);
        QCOMPARE(d.storedQueue().first(), third);

        disconnect(stopper);
        QVERIFY(d.run());  // the next session goes on with the stopped entry
        QVERIFY(d.app.queue.isEmpty());
        QCOMPARE(readAll(d.out + "/three.bin?size=200000&chunk=1000&ms=20"), patternBytes(200000));
    }

    // Move, Remove, Clear and Add while an entry is in work: it is saved
    // once under its own name, and every other entry is fetched once.
    void editingDuringASession()
    {
        Downloads d;
        const QString slow = url("/drip/slow.bin?size=30000&chunk=3000&ms=30");
        const QString b = url("/file/b.bin?size=20"), c = url("/file/c.bin?size=30"), e = url("/file/e.bin?size=50");
        const QString late = url("/file/late.bin?size=40");
        d.app.queue.append({slow, b, c, e});
        bool edited = false;
        connect(&d.app.worker, &QueueWorker::itemProgress, this, [&](qint64 received) {
            if (edited || received == 0 || !d.figures().currentFile.startsWith("slow"))
                return;
            edited = true;
            d.app.queue.moveRow(2, 0);             // c ahead of the entry in work
            d.app.queue.removeRows({0, 1, 2});     // c and b go; the entry in work stays
            d.app.queue.addNew({c, late, slow});   // slow is queued already
        });
        QVERIFY(d.run());
        QVERIFY(edited);
        QVERIFY(d.app.queue.isEmpty());
        QCOMPARE(folderFiles(d.out), (QStringList{"c.bin?size=30", "e.bin?size=50", "late.bin?size=40",
                                                  "slow.bin?size=30000&chunk=3000&ms=30"}));
        QCOMPARE(m_server.requestCount("/drip/slow.bin"), 1);
        QCOMPARE(m_server.requestCount("/file/b.bin"), 0);
        const QStringList rows = d.csvRows();
        QCOMPARE(rows.size(), 4);
        QVERIFY(rows[0].startsWith("\"slow.bin") && rows[0].endsWith(",\"30000\""));
        QVERIFY(rows[1].startsWith("\"e.bin") && rows[1].endsWith(",\"50\""));
        QVERIFY(rows[3].startsWith("\"late.bin") && rows[3].endsWith(",\"40\""));
    }

    void duplicateRules()
    {
        const QByteArray old(50000, 'x');
        {
            // Skip: no fetch, counted, no CSV row, the two log lines.
            Downloads d;
            d.settings.setDuplicateRule(DuplicateRule::Skip);
            writeFile(d.out + "/a.jpg", old);
            d.app.queue.append({url("/file/a.jpg")});
            const int before = m_server.requestCount("/file/a.jpg");
            QVERIFY(d.run());
            QCOMPARE(m_server.requestCount("/file/a.jpg"), before);
            QCOMPARE(d.figures().completed, 1);
            QVERIFY(d.app.queue.isEmpty());
            QCOMPARE(readAll(d.out + "/a.jpg"), old);
            QVERIFY(d.logMessages().contains("Not saved as duplicate filename exists"));
            QVERIFY(d.csvRows().isEmpty());

            // Rename: a0.jpg, then a1.jpg; the log names the target before renaming.
            d.settings.setDuplicateRule(DuplicateRule::Rename);
            d.app.queue.append({url("/file/one/a.jpg"), url("/file/two/a.jpg")});
            QVERIFY(d.run());
            QCOMPARE(readAll(d.out + "/a.jpg"), old);
            QCOMPARE(folderFiles(d.out), (QStringList{"a.jpg", "a0.jpg", "a1.jpg"}));
            QCOMPARE(d.logMessages().count("Saving downloaded file to " + d.out + "/a.jpg"), 2);

            // Overwrite, and the empty rule: no stale bytes beyond the new end.
            d.settings.duplicateRuleText.clear();
            d.app.queue.append({url("/file/a.jpg?size=100")});
            writeFile(d.out + "/a.jpg?size=100", old);
            QVERIFY(d.run());
            QCOMPARE(readAll(d.out + "/a.jpg?size=100"), patternBytes(100));
            QVERIFY(!hasTemporaryFile(d.out));
        }
    }

    void sizeRule()
    {
        Downloads d;
        d.settings.skipSmallFiles = true;
        d.settings.minimumSizeKB = 10;
        const QString below = url("/file/below.bin?size=10239");
        d.app.queue.append({below, url("/file/at.bin?size=10240")});
        QVERIFY(d.run());
        QCOMPARE(folderFiles(d.out), QStringList{"at.bin?size=10240"});
        // The rejected item still counts, with its size, row and line.
        QCOMPARE(d.figures().completed, 2);
        QCOMPARE(d.figures().sessionTotal, QStringLiteral("20.00 KB"));
        const QStringList log = d.logMessages();
        const qsizetype at = log.indexOf("Completed: " + below);
        QCOMPARE(log.value(at + 1), QStringLiteral("Not saved as it didn't meet size criteria"));
        QVERIFY(log.value(at + 2).startsWith("Downloaded 10.00 KB in "));
        QCOMPARE(d.csvRows().size(), 2);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("reason");
        QTest::newRow("404") << "/status/404" << int(ErrHttpStatus) << "server answered 404 Not Found";
        QTest::newRow("500") << "/status/500" << int(ErrHttpStatus) << "server answered 500 Internal Server Error";
        QTest::newRow("dropped mid-body") << "/drop/d.bin?size=100000&after=30000" << int(ErrTransferFailed)
                                          << "connection closed by the server";
        QTest::newRow("short body") << "/short/s.bin?size=1000&claim=5000" << int(ErrTransferFailed)
                                    << "connection closed by the server";
        QTest::newRow("refused") << "refused" << int(ErrTransferFailed) << "connection refused";
        QTest::newRow("redirect loop") << "/loop" << int(ErrTransferFailed) << "too many redirects";
        QTest::newRow("ends in slash") << "/file/dir/" << int(ErrBadFileName) << "not a usable file name";
        QTest::newRow("over-long name") << "/file/" + QString(300, 'n') << int(ErrBadFileName) << "not a usable file name";
        QTest::newRow("other scheme") << "ftp://127.0.0.1/x.bin" << int(ErrUnsupportedScheme) << "not an http or https address";
    }
    // Carry on: the failure is logged as such, the entry stays in the queue
    // marked failed, and the session goes on. Abort and Prompt (Yes) stop
    // with the entry first. Nothing is left behind either way.
    void failures()
    {
        QFETCH(QString, address);
        QFETCH(int, error);
        QFETCH(QString, reason);
        QString bad = address.contains("://") ? address : url(address);
        if (address == "refused") {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            bad = QStringLiteral("http://127.0.0.1:%1/x.bin").arg(closed.serverPort());
        }
        const QString good = url("/file/good.bin?size=1000");
        for (const ErrorMode mode : {ErrorMode::CarryOn, ErrorMode::Abort, ErrorMode::Prompt}) {
            Downloads d;
            d.settings.setErrorMode(mode);
            d.ui.yesNoAnswers << true;  // Prompt: abort
            d.app.queue.append({bad, good});
            QVERIFY(d.run());
            const QStringList errors = d.errorLines();
            QVERIFY2(!errors.isEmpty() && errors.first().startsWith(QStringLiteral("Error #%1(").arg(error)),
                     qPrintable(errors.join('\n')));
            QVERIFY(errors.first().endsWith(" in SaveToFile."));
            QVERIFY(!hasTemporaryFile(d.out));
            QVERIFY(d.logMessages().filter(QRegularExpression("^Downloaded ")).size() <= 1);
            if (mode == ErrorMode::CarryOn) {
                const QString failedLine = d.logMessages().filter("Failed: ").value(0);
                QVERIFY2(failedLine.startsWith("Failed: " + bad + " (" + reason), qPrintable(failedLine));
                QCOMPARE(d.app.queue.urls(), QStringList{bad});
                QCOMPARE(d.app.queue.stateAt(0), EntryState::Failed);
                QCOMPARE(d.figures().completed, 1);
                QCOMPARE(d.figures().failed, 1);
                QCOMPARE(d.figures().endStatus, QStringLiteral("1 failed"));
                QCOMPARE(d.csvRows().size(), 1);
                QCOMPARE(folderFiles(d.out), QStringList{"good.bin?size=1000"});
                QCOMPARE(d.storedQueue(), QStringList{bad});
            } else {
                QCOMPARE(d.app.queue.urls(), (QStringList{bad, good}));
                QCOMPARE(d.app.queue.stateAt(0), EntryState::Waiting);
                QCOMPARE(d.figures().endStatus, QStringLiteral("Queue Stopped"));
                QVERIFY(folderFiles(d.out).isEmpty());
                QCOMPARE(d.ui.count("yesno"), mode == ErrorMode::Prompt ? 1 : 0);
            }
        }
    }

    // With the output folder in the program folder (spelt "out/.."), a
    // download never replaces the program's own files; "Rename" may save
    // beside them.
    void programFilesAreNeverTargets_data()
    {
        QTest::addColumn<QString>("name");     // the URL's file name
        QTest::addColumn<bool>("rename");      // else Overwrite
        QTest::addColumn<QString>("savedAs");  // empty: refused
        for (const char* own : {"Pullmark.ini", "Pullmark.ini.bak", "Pullmark.ini.journal", "test.log", "test.csv"})
            QTest::newRow(own) << own << false << "";
        QTest::newRow("Rename beside it") << "Pullmark.ini" << true << "Pullmark0.ini";
        QTest::newRow("Rename onto a free own name") << "Pullmark.ini.bak" << true << "";
        QTest::newRow("any other name") << "notes.ini" << false << "notes.ini";
    }
    void programFilesAreNeverTargets()
    {
        QFETCH(QString, name);
        QFETCH(bool, rename);
        QFETCH(QString, savedAs);
        Downloads d;
        d.settings.outputFolder = d.path("out/..");
        d.settings.setDuplicateRule(rename ? DuplicateRule::Rename : DuplicateRule::Overwrite);
        writeFile(d.path("test.csv"), "header\r\n");
        const QString address = url("/file/x?size=64#/") + name;  // a body of 64 bytes named `name`
        d.app.queue.append({address});
        QVERIFY(d.run());
        for (const char* own : {"Pullmark.ini", "Pullmark.ini.bak", "Pullmark.ini.journal", "test.log", "test.csv"})
            QVERIFY(!readAll(d.path(own)).startsWith(patternBytes(64)));
        if (savedAs.isEmpty())
            QVERIFY(d.logMessages().contains(QStringLiteral("Failed: %1 (would replace Pullmark's own file: %2/%3)")
                                                 .arg(address, d.settings.outputFolder, name)));
        else
            QCOMPARE(readAll(d.path(savedAs)), patternBytes(64));
    }

    void failedEntriesAreTriedAgainAtTheNextStart()
    {
        Downloads d;
        d.app.queue.append({url("/status/503"), url("/file/ok.bin?size=5")});
        QVERIFY(d.run());
        QCOMPARE(m_server.requestCount("/status/503"), 1);  // never looped on within the session
        QVERIFY(d.run());
        QCOMPARE(m_server.requestCount("/status/503"), 2);
        QCOMPARE(d.app.queue.count(), 1);
    }

    // After an aborting error anywhere in the session (here the CSV log)
    // no further fetch starts.
    void abortStopsBeforeTheNextFetch()
    {
        Downloads d;
        d.settings.setErrorMode(ErrorMode::Abort);
        QVERIFY(QDir().mkdir(d.path("test.csv")));
        d.app.queue.append({url("/file/first.bin?size=5"), url("/file/second.bin?size=5")});
        QVERIFY(d.run());
        QCOMPARE(m_server.requestCount("/file/second.bin"), 0);
        QCOMPARE(d.app.queue.urls(), QStringList{url("/file/second.bin?size=5")});
        QCOMPARE(d.figures().endStatus, QStringLiteral("Queue Stopped"));
    }

    void redirectsAndLengths()
    {
        Downloads d;
        d.app.queue.append({url("/redirect/3?to=/file/r.bin%3Fsize%3D777"), url("/nolength/n.bin?size=4321"),
                            url("/length/x.bin?size=100&value=abc")});
        QVERIFY(d.run());
        // A redirect chain saves under the queued name, with the final body.
        QCOMPARE(readAll(d.out + "/r.bin%3Fsize%3D777").size(), 777);
        // No Content-Length: a whole body is a success, sized by its bytes.
        QCOMPARE(readAll(d.out + "/n.bin?size=4321"), patternBytes(4321));
        const QStringList rows = d.csvRows();
        QCOMPARE(rows.size(), 3);
        QVERIFY(rows[0].endsWith(",\"777\"") && rows[1].endsWith(",4321") && rows[2].endsWith(",\"abc\""));
        // A Content-Length that is no number: the body is saved, and the two
        // size steps are reported under "WorkQue.".
        QCOMPARE(readAll(d.out + "/x.bin?size=100&value=abc"), patternBytes(100));
        QCOMPARE(d.errorLines(), (QStringList{"Error #13(&HD) Type mismatch: abc in WorkQue.",
                                               "Error #13(&HD) Type mismatch: abc in WorkQue."}));
        QCOMPARE(d.figures().sessionTotal, QStringLiteral("4.98 KB"));  // 777 + 4321 bytes
    }

    void filesThatCannotBeWritten()
    {
        // An output folder without write permission; root ignores the mode,
        // so there the folder is made immutable instead.
        {
            Downloads d;
            const bool root = ::geteuid() == 0;
            const bool denied = root ? QProcess::execute("chattr", {"+i", d.out}) == 0
                                     : QFile::setPermissions(d.out, QFile::ReadOwner | QFile::ExeOwner);
            if (!denied)
                QSKIP("cannot take the write permission of a folder away here");
            d.app.queue.append({url("/file/p.bin?size=10"), url("/file/q.bin?size=10")});
            const bool ran = d.run();
            if (root)
                QProcess::execute("chattr", {"-i", d.out});
            else
                QFile::setPermissions(d.out, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QVERIFY(ran);
            QCOMPARE(d.logMessages().filter(QRegularExpression("^Failed: .*\\(permission denied\\)$")).size(), 2);
            QCOMPARE(d.app.queue.failedCount(), 2);
        }
        // A full disk, simulated with a file-size limit part-way through the body.
        {
            Downloads d;
            d.app.queue.append({url("/file/full.bin?size=2000000"), url("/file/after.bin?size=10")});
            {
                FileSizeLimit limit(300 * 1024);
                QVERIFY(d.run());
            }
            QCOMPARE(d.errorLines().size(), 1);
            QVERIFY(d.errorLines().first().startsWith("Error #61("));
            QVERIFY(d.logMessages().contains("Failed: " + url("/file/full.bin?size=2000000") + " (disk full)"));
            QCOMPARE(folderFiles(d.out), QStringList{"after.bin?size=10"});
        }
    }
};

QTEST_GUILESS_MAIN(TestDownloads)
#include "test_downloads.moc"
