// The queue worker and the saving of one file, driven against the loopback
// server: sessions, stops, the duplicate and size rules, statistics and the
// faults a transfer can meet.
#include "common/errors.h"
#include "logs/csvlog.h"
#include "queue/savetofile.h"
#include "queue/statistics.h"
#include "queue/transfer.h"
#include "queue/workque.h"
#include "settings/configfile.h"
#include "tests/support/queuetest.h"
#include "tests/support/scriptedinteraction.h"
#include "tests/support/testserver.h"
#include "tests/support/testutil.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <sys/resource.h>
#include <csignal>

using namespace pm;
using namespace pm::test;

namespace {
// One worker over a plain list, with the configuration saved as the program
// does it: the live list into colG_Queue, then SaveINI.
struct Session {
    ListQueue queue;
    QueueFlags flags;
    Transfer transfer;
    int saves = 0;
    WorkQue worker{queue, flags, &transfer, [this] {
                       ++saves;
                       settings().colG_Queue = queue.items;
                       SaveINI(settings().strG_IniFileName, {});
                   }};

    // Runs a whole session; false when it did not end in time.
    bool run(int timeoutMs = 20000)
    {
        QSignalSpy ended(&worker, &WorkQue::sessionEnded);
        flags.chkInProgress = true;
        worker.start();
        const bool ok = ended.count() > 0 || ended.wait(timeoutMs);
        flags.chkInProgress = false;
        return ok;
    }
};

bool hasLineStarting(const QStringList& lines, const QString& prefix)
{
    for (const QString& line : lines)
        if (line.startsWith(prefix))
            return true;
    return false;
}

QStringList errorLines(const QStringList& lines)
{
    QStringList result;
    for (const QString& line : lines)
        if (line.startsWith(QLatin1String("Error #")))
            result << line;
    return result;
}
}  // namespace

class TestQueueWorker : public QObject {
    Q_OBJECT
private:
    TestServer m_server;
    std::unique_ptr<FreshSettings> m_fresh;
    QString m_out;

    QString url(const QString& path) const { return m_server.url(path); }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(m_server.listen());
    }

    void init()
    {
        m_fresh.reset();
        m_fresh = std::make_unique<FreshSettings>();
        m_fresh->logHere();
        m_out = m_fresh->path(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(m_out));
        Settings& s = settings();
        s.strG_SavePath = m_out;
        s.bG_LogDownloads = true;
        s.bG_LogCSV = true;
        s.strG_Unattended = QStringLiteral("Resume");
        s.strG_FileDupOption = QStringLiteral("Overwrite");
    }

    void cleanup() { m_fresh.reset(); }

    void numberTextsAndUnitSteps()
    {
        QCOMPARE(formatStandard(1234.5), QStringLiteral("1,234.50"));
        QCOMPARE(itemSizeText(0), QStringLiteral("0.00 KB"));
        QCOMPARE(itemSizeText(3221225472.0), QStringLiteral("3,145,728.00 KB"));

        // Exactly 1024 units stays; one byte more steps, once per item.
        SessionTotal exact;
        exact.add(1024.0 * 1024);
        exact.stepUnit();
        QCOMPARE(exact.text(), QStringLiteral("1,024.00 KB"));
        exact.add(1);
        exact.stepUnit();
        QCOMPARE(exact.unitText(), QStringLiteral(" MB"));

        SessionTotal big;
        big.add(3221225472.0);  // 3 GiB: to MB after this item, to GB after the next
        big.stepUnit();
        QCOMPARE(big.text(), QStringLiteral("3,072.00 MB"));
        big.add(0);
        big.stepUnit();
        QCOMPARE(big.text(), QStringLiteral("3.00 GB"));
        for (int i = 0; i < 3; ++i) {
            big.add(double(qint64(1) << 50) * 2);
            big.stepUnit();
        }
        QCOMPARE(big.unitText(), QStringLiteral(" TB or bigger"));
    }

    void sessionStatisticsAndLogs()
    {
        Session session;
        session.queue.items = {url("/file/big.bin?size=2097152"), url("/file/one.bin?size=1048576")};
        QSignalSpy display(&session.worker, &WorkQue::displayChanged);
        QStringList shownSizes;
        connect(&session.worker, &WorkQue::displayChanged, this, [&] {
            const SessionDisplay& d = session.worker.display();
            const QString pair = d.txtFileSize + QLatin1Char('|') + d.txtSessionSize;
            if (!d.txtFileSize.isEmpty() && (shownSizes.isEmpty() || shownSizes.last() != pair))
                shownSizes << pair;
        });
        QVERIFY(session.run());
        QCOMPARE(shownSizes, (QStringList{QStringLiteral("2,048.00 KB|2,048.00 KB"),
                                           QStringLiteral("1,024.00 KB|3.00 MB")}));
        const SessionDisplay& d = session.worker.display();
        QCOMPARE(d.lblFileProg, QStringLiteral("Queue Empty"));
        QCOMPARE(d.txtCompleteCount, QStringLiteral("2"));
        QCOMPARE(d.txtQueueCount, QStringLiteral("0"));
        QCOMPARE(d.txtCurrent, QStringLiteral("one.bin?size=1048576"));
        // Whole seconds: a fetch that crosses a second boundary shows 00:00:01.
        const QRegularExpression shortTime(QStringLiteral("^00:00:0[01]$"));
        QVERIFY2(shortTime.match(d.txtDownloadtime).hasMatch(), qPrintable(d.txtDownloadtime));
        QVERIFY(!d.cmdStartEnabled);
        QVERIFY(d.cmdCloseEnabled);
        QVERIFY(!d.timerOn);
        QVERIFY(!d.txtCompleted.isEmpty());
        QCOMPARE(session.saves, 3);  // at the start and after each entry
        QCOMPARE(readAll(m_out + "/big.bin?size=2097152"), patternBytes(2097152));
        QCOMPARE(readAll(m_out + "/one.bin?size=1048576"), patternBytes(1048576));

        QStringList log = m_fresh->logMessages();
        QCOMPARE(log.size(), 8);
        for (int line : {3, 7}) {
            QVERIFY2(shortTime.match(log[line].section(QStringLiteral(" in "), 1)).hasMatch(), qPrintable(log[line]));
            log[line] = log[line].section(QStringLiteral(" in "), 0, 0);
        }
        QCOMPARE(log, (QStringList{
                          "Starting: " + url("/file/big.bin?size=2097152"),
                          "Saving downloaded file to " + m_out + "/big.bin?size=2097152",
                          "Completed: " + url("/file/big.bin?size=2097152"),
                          QStringLiteral("Downloaded 2,048.00 KB"),
                          "Starting: " + url("/file/one.bin?size=1048576"),
                          "Saving downloaded file to " + m_out + "/one.bin?size=1048576",
                          "Completed: " + url("/file/one.bin?size=1048576"),
                          QStringLiteral("Downloaded 1,024.00 KB")}));
        const QStringList csv = crlfLines(readAll(csvFileNameFor(settings().strG_LogFileName)));
        QCOMPARE(csv.size(), 2);
        QVERIFY2(csv[0].contains(QRegularExpression(QStringLiteral(",\"00:00:0[01]\",\"2097152\"$"))), qPrintable(csv[0]));
        // The stored queue is empty once the session has worked through it.
        QStringList history;
        settings().colG_Queue = {QStringLiteral("stale")};
        QVERIFY(LoadINI(settings().strG_IniFileName, history));
        QCOMPARE(settings().colG_Queue, QStringList{QStringLiteral("stale")});
    }

    void emptyQueueSession()
    {
        // A killed earlier run left its partial download behind; the user's
        // own files, hidden ones included, stay.
        const QString folder = settings().strG_SavePath;
        writeFile(folder + QStringLiteral("/.pullmark-k1x2.part"), "partial");
        writeFile(folder + QStringLiteral("/.pullmark-notes.txt"), "mine");
        writeFile(folder + QStringLiteral("/clip.part"), "mine");
        Session session;
        QVERIFY(session.run());
        QCOMPARE(session.saves, 1);
        QCOMPARE(session.worker.display().lblFileProg, QStringLiteral("Queue Empty"));
        QVERIFY(!session.worker.display().cmdStartEnabled);
        QVERIFY(!session.worker.display().txtCompleted.isEmpty());
        const QStringList files = folderFiles(folder);
        QVERIFY(!files.contains(QStringLiteral(".pullmark-k1x2.part")));
        QVERIFY(files.contains(QStringLiteral(".pullmark-notes.txt")));
        QVERIFY(files.contains(QStringLiteral("clip.part")));
    }

    void stopDuringThirdFetch()
    {
        Session session;
        const QString third = url("/drip/three.bin?size=200000&chunk=1000&ms=20");
        session.queue.items = {url("/file/one.bin?size=5000"), url("/file/two.bin?size=6000"), third,
                               url("/file/four.bin?size=10"), url("/file/five.bin?size=10")};
        QSignalSpy ended(&session.worker, &WorkQue::sessionEnded);
        bool stopped = false;
        QElapsedTimer latency;
        connect(&session.transfer, &Transfer::progress, this, [&](qint64 received, qint64) {
            if (!stopped && session.queue.count() == 3 && received > 0) {
                stopped = true;
                latency.start();
                session.worker.cancelTransfer();  // what "Stop Download" does
                session.flags.chkContinue = true;
            }
        });
        session.flags.chkInProgress = true;
        session.worker.start();
        QVERIFY(ended.wait(20000));
        const qint64 stopMs = latency.elapsed();
        QVERIFY(stopped);
        // Long before the four-second transfer would have ended (the latency
        // itself is measured by the queue benchmark).
        QVERIFY2(stopMs < 2000, qPrintable(QString::number(stopMs)));
        QCOMPARE(session.queue.items.size(), 3);
        QCOMPARE(session.queue.items.first(), third);
        QCOMPARE(session.worker.completedCount(), 2);
        QCOMPARE(session.worker.display().txtCompleteCount, QStringLiteral("2"));
        QCOMPARE(session.worker.display().lblFileProg, QStringLiteral("Queue Stopped"));
        QVERIFY(session.worker.display().cmdStartEnabled);
        QCOMPARE(folderFiles(m_out), (QStringList{"one.bin?size=5000", "two.bin?size=6000"}));
        const QStringList log = m_fresh->logMessages();
        QVERIFY(!log.contains("Completed: " + third));
        QVERIFY(errorLines(log).isEmpty());  // a stop is not an error
        QCOMPARE(crlfLines(readAll(csvFileNameFor(settings().strG_LogFileName))).size(), 2);
        // The configuration saved after entry two already holds the third first.
        QStringList history;
        settings().colG_Queue.clear();
        QVERIFY(LoadINI(settings().strG_IniFileName, history));
        QCOMPARE(settings().colG_Queue.first(), third);

        // A new session carries on with the entry that was stopped.
        QVERIFY(session.run());
        QVERIFY(session.queue.items.isEmpty());
        QCOMPARE(readAll(m_out + "/three.bin?size=200000&chunk=1000&ms=20"), patternBytes(200000));
    }

    void entriesAddedDuringASessionJoinIt()
    {
        Session session;
        const QString late = url("/file/late.bin?size=20");
        session.queue.items = {url("/drip/first.bin?size=3000&chunk=1000&ms=20")};
        connect(&session.transfer, &Transfer::progress, this, [&] {
            if (!session.queue.items.contains(late))
                session.queue.items.append(late);  // what "Add to Queue" does meanwhile
        });
        QVERIFY(session.run());
        QVERIFY(session.queue.items.isEmpty());
        QCOMPARE(session.worker.completedCount(), 2);
        QCOMPARE(readAll(m_out + "/late.bin?size=20"), patternBytes(20));
    }

    void duplicateRules()
    {
        const QByteArray old = QByteArray(50000, 'x');
        // Skip: no fetch, counted, no CSV row, the two log lines.
        {
            settings().strG_FileDupOption = QStringLiteral("Skip");
            writeFile(m_out + "/a.jpg", old);
            Session session;
            session.queue.items = {url("/file/a.jpg")};
            const int before = m_server.requestCount(QStringLiteral("/file/a.jpg"));
            QVERIFY(session.run());
            QCOMPARE(m_server.requestCount(QStringLiteral("/file/a.jpg")), before);
            QCOMPARE(session.worker.completedCount(), 1);
            QVERIFY(session.queue.items.isEmpty());
            QCOMPARE(readAll(m_out + "/a.jpg"), old);
            QCOMPARE(m_fresh->logMessages(), (QStringList{"Completed: " + url("/file/a.jpg"),
                                                          QStringLiteral("Not saved as duplicate filename exists")}));
            QVERIFY(!QFile::exists(csvFileNameFor(settings().strG_LogFileName)));
        }
        // Rename: a0.jpg, then a1.jpg; the log names the unrenamed target.
        {
            settings().strG_FileDupOption = QStringLiteral("Rename");
            Session session;
            session.queue.items = {url("/file/one/a.jpg"), url("/file/two/a.jpg")};
            QVERIFY(session.run());
            QCOMPARE(readAll(m_out + "/a.jpg"), old);
            QVERIFY(QFile::exists(m_out + "/a0.jpg"));
            QVERIFY(QFile::exists(m_out + "/a1.jpg"));
            const QStringList log = m_fresh->logMessages();
            QCOMPARE(log.count("Saving downloaded file to " + m_out + "/a.jpg"), 2);
        }
        // Overwrite a longer file: no stale bytes beyond the new end.
        {
            settings().strG_FileDupOption = QStringLiteral("Overwrite");
            writeFile(m_out + "/b.bin?size=100", old);
            Session session;
            session.queue.items = {url("/file/b.bin?size=100")};
            QVERIFY(session.run());
            QCOMPARE(readAll(m_out + "/b.bin?size=100"), patternBytes(100));
        }
        QVERIFY(!hasLineStarting(folderFiles(m_out), QLatin1String(SaveToFile::kTempPrefix)));
    }

    void sizeRule()
    {
        Settings& s = settings();
        s.bG_SaveLarge = true;
        s.sG_FileSize = 10;
        Session session;
        const QString below = url("/file/below.bin?size=10239");
        session.queue.items = {below, url("/file/at.bin?size=10240")};
        QVERIFY(session.run());
        QCOMPARE(folderFiles(m_out), QStringList{"at.bin?size=10240"});
        QCOMPARE(session.worker.completedCount(), 2);
        // The rejected item still counts in the total and gets its row and line.
        QCOMPARE(session.worker.display().txtSessionSize, QStringLiteral("20.00 KB"));
        const QStringList log = m_fresh->logMessages();
        const int at = int(log.indexOf("Completed: " + below));
        QVERIFY(at > 0);
        QCOMPARE(log.value(at + 1), QStringLiteral("Not saved as it didn't meet size criteria"));
        QVERIFY2(log.value(at + 2).startsWith(QStringLiteral("Downloaded 10.00 KB in 00:00:0")), qPrintable(log.value(at + 2)));
        const QStringList csv = crlfLines(readAll(csvFileNameFor(s.strG_LogFileName)));
        QCOMPARE(csv.size(), 2);
        QVERIFY(csv[0].endsWith(QStringLiteral(",\"10239\"")));

        // Off: every item is written.
        s.bG_SaveLarge = false;
        Session all;
        all.queue.items = {url("/file/tiny.bin?size=3")};
        QVERIFY(all.run());
        QVERIFY(QFile::exists(m_out + "/tiny.bin?size=3"));
    }

    void faults_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("routine");

        QTest::newRow("dropped mid-body") << "/drop/d.bin?size=100000&after=30000" << int(ErrTransferFailed) << "SaveToFile.";
        QTest::newRow("short body") << "/short/s.bin?size=1000&claim=5000" << int(ErrTransferFailed) << "SaveToFile.";
        QTest::newRow("404") << "/status/404" << int(ErrHttpStatus) << "SaveToFile.";
        QTest::newRow("500") << "/status/500" << int(ErrHttpStatus) << "SaveToFile.";
        QTest::newRow("redirect loop") << "/loop" << int(ErrTransferFailed) << "SaveToFile.";
        QTest::newRow("ends in slash") << "/file/dir/" << int(ErrBadFileName) << "SaveToFile.";
        QTest::newRow("dot dot") << "/file/x?name=/.." << int(ErrBadFileName) << "SaveToFile.";
        QTest::newRow("over-long name") << "/file/" + QString(300, QLatin1Char('n')) << int(ErrBadFileName) << "SaveToFile.";
        QTest::newRow("other scheme") << "ftp://127.0.0.1/x.bin" << int(ErrUnsupportedScheme) << "SaveToFile.";
    }

    // Each fault is reported by the mode; nothing is left behind, and the
    // session goes on (Resume) or stops with the entry first (Abort).
    void faults()
    {
        QFETCH(QString, path);
        QFETCH(int, error);
        QFETCH(QString, routine);
        const QString faulty = path.contains(QLatin1String("://")) ? path : url(path);
        const QString good = url("/file/good.bin?size=1000");

        for (const QString& mode : {QStringLiteral("Resume"), QStringLiteral("Abort"), QStringLiteral("Prompt")}) {
            init();
            settings().strG_Unattended = mode;
            ScriptedInteraction script;
            if (mode == QLatin1String("Prompt"))
                script.yesNoAnswers.enqueue(true);  // abort
            Session session;
            setAbortTarget(&session.worker);
            session.queue.items = {faulty, good};
            QVERIFY(session.run());
            const QStringList errors = errorLines(m_fresh->logMessages());
            QVERIFY2(!errors.isEmpty(), qPrintable(mode));
            QVERIFY2(errors.first().startsWith(QStringLiteral("Error #%1(").arg(error)), qPrintable(errors.first()));
            QVERIFY2(errors.first().endsWith(QStringLiteral(" in ") + routine), qPrintable(errors.first()));
            if (mode == QLatin1String("Resume")) {
                QVERIFY(session.queue.items.isEmpty());
                QCOMPARE(session.worker.display().lblFileProg, QStringLiteral("Queue Empty"));
                QCOMPARE(folderFiles(m_out), QStringList{"good.bin?size=1000"});
            } else {
                QCOMPARE(session.queue.items, (QStringList{faulty, good}));
                QCOMPARE(session.worker.display().lblFileProg, QStringLiteral("Queue Stopped"));
                QVERIFY(folderFiles(m_out).isEmpty());
                QCOMPARE(script.count(QStringLiteral("yesno")), mode == QLatin1String("Prompt") ? 1 : 0);
            }
            cleanup();
        }
    }

    void redirectsAndLengths()
    {
        Session session;
        session.queue.items = {url("/redirect/3?to=/file/r.bin%3Fsize%3D777"),
                               url("/nolength/n.bin?size=4321"),
                               url("/length/x.bin?size=100&value=abc")};
        QVERIFY(session.run());
        // A redirect chain saves under the queued name, with the final body.
        QCOMPARE(readAll(m_out + "/r.bin%3Fsize%3D777").size(), 777);
        // No Content-Length: the size is the byte count.
        QCOMPARE(readAll(m_out + "/n.bin?size=4321"), patternBytes(4321));
        const QStringList csv = crlfLines(readAll(csvFileNameFor(settings().strG_LogFileName)));
        QCOMPARE(csv.size(), 3);
        QVERIFY2(csv[0].endsWith(QStringLiteral(",\"777\"")), qPrintable(csv[0]));
        QVERIFY(csv[1].endsWith(QStringLiteral(",4321")));
        QVERIFY(csv[2].endsWith(QStringLiteral(",\"abc\"")));
        // A Content-Length that is no number: the body is saved, and the two
        // size steps fail under "WorkQue."; the "Downloaded " line repeats
        // the previous item's size.
        QCOMPARE(readAll(m_out + "/x.bin?size=100&value=abc"), patternBytes(100));
        const QStringList log = m_fresh->logMessages();
        QCOMPARE(errorLines(log), (QStringList{QStringLiteral("Error #13(&HD) Type mismatch: abc in WorkQue."),
                                               QStringLiteral("Error #13(&HD) Type mismatch: abc in WorkQue.")}));
        QVERIFY2(log.last().startsWith(QStringLiteral("Downloaded 4.22 KB in 00:00:0")), qPrintable(log.last()));
        QCOMPARE(session.worker.display().txtSessionSize, QStringLiteral("4.98 KB"));  // 777 + 4321 bytes
        QVERIFY(!hasLineStarting(folderFiles(m_out), QLatin1String(SaveToFile::kTempPrefix)));
    }

    void unwritableFolderAndFullDisk()
    {
        // An output folder without write permission. Root ignores the mode,
        // so there the folder is made immutable instead.
        const bool root = ::geteuid() == 0;
        const bool denied = root ? QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), m_out}) == 0
                                 : QFile::setPermissions(m_out, QFile::ReadOwner | QFile::ExeOwner);
        if (denied) {
            Session session;
            session.queue.items = {url("/file/p.bin?size=10"), url("/file/q.bin?size=10")};
            const bool ran = session.run();
            if (root)
                QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), m_out});
            else
                QFile::setPermissions(m_out, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QVERIFY(ran);
            const QStringList errors = errorLines(m_fresh->logMessages());
            QCOMPARE(errors.size(), 2);  // one per entry; the session went on
            QVERIFY2(errors.first().startsWith(QStringLiteral("Error #70(")), qPrintable(errors.first()));
            QVERIFY(errors.first().endsWith(QStringLiteral(" in SaveToFile.")));
            QVERIFY(session.queue.items.isEmpty());
            QVERIFY(folderFiles(m_out).isEmpty());
        } else {
            qWarning("could not take the write permission of the output folder away");
        }

        // An output folder that is a file: nothing can be created in it.
        init();
        const QString notFolder = m_fresh->path(QStringLiteral("plain"));
        writeFile(notFolder, "x");
        settings().strG_SavePath = notFolder;
        {
            Session session;
            session.queue.items = {url("/file/p.bin?size=10")};
            QVERIFY(session.run());
            QVERIFY2(hasLineStarting(errorLines(m_fresh->logMessages()), QStringLiteral("Error #76(")),
                     qPrintable(m_fresh->logMessages().join('\n')));
            QCOMPARE(readAll(notFolder), QByteArray("x"));
        }
        init();

        // A full disk, simulated with a file-size limit: the write fails
        // with EFBIG part-way through the body.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit limit = old;
        limit.rlim_cur = 300 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        Session session;
        session.queue.items = {url("/file/full.bin?size=2000000"), url("/file/after.bin?size=10")};
        const bool ran = session.run();
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY(ran);
        const QStringList errors = errorLines(m_fresh->logMessages());
        QVERIFY2(errors.size() == 1, qPrintable(errors.join('\n')));
        QVERIFY2(errors.first().startsWith(QStringLiteral("Error #61(")), qPrintable(errors.first()));
        QVERIFY(errors.first().endsWith(QStringLiteral(" in SaveToFile.")));
        QCOMPARE(folderFiles(m_out), QStringList{"after.bin?size=10"});
        QVERIFY(!m_fresh->logMessages().contains("Completed: " + url("/file/full.bin?size=2000000")));
    }
};

QTEST_GUILESS_MAIN(TestQueueWorker)
#include "test_queue_worker.moc"
