// Work sessions against the loopback server: statistics, logs, stops, rules,
// failures, retries, resumed bodies and the download archive.
#include "archive/sqlitearchive.h"
#include "core/download/downloadtask.h"
#include "core/download/filenames.h"
#include "core/download/targetrules.h"
#include "core/config/progressjournal.h"
#include "core/download/curlmulti.h"
#include "core/download/transfer.h"
#include "tests/support/testcontext.h"
#include "tests/support/testserver.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUrlQuery>
#include <QTcpServer>
#include <QTimer>
#include <QtTest>

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
        settings.retries = 0;
    }
    // Runs a whole session; false when it did not end in time.
    bool run(int timeoutMs = 20000)
    {
        QSignalSpy ended(&app.worker, &QueueWorker::sessionEnded);
        app.worker.start();
        return !ended.isEmpty() || ended.wait(timeoutMs);
    }
    QStringList storedQueue() const { return pm::test::storedQueue(settings.configurationFile); }
    const SessionFigures& figures() const { return app.worker.figures(); }
    // What the session ended with, and what it left in the output folder.
    QString summary() const
    {
        return QStringLiteral("completed %1, failed %2, %3, csv %4, files ")
                   .arg(figures().completed).arg(figures().failed).arg(figures().endStatus).arg(csvRows().size())
            + folderFiles(out).join(' ');
    }
    DownloadArchive& archive()
    {
        if (!app.archive())
            app.setArchive(std::make_unique<SqliteDownloadArchive>(path("archive.sqlite"), app.errors));
        return *app.archive();
    }
    QString out;
};

QByteArray sha256(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}
}  // namespace

class TestDownloads : public QObject {
    Q_OBJECT
private:
    TestServer m_server;
    TestServer m_secureServer;  // the same routes over https
    TestServer m_misnamedServer;  // over https, its certificate for another name
    QString url(const QString& path) const { return m_server.url(path); }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(m_server.listen());
        QVERIFY(m_secureServer.useTls());
        QVERIFY(m_secureServer.listen());
        QVERIFY(m_misnamedServer.useTls("other.test"));
        QVERIFY(m_misnamedServer.listen());
    }

    // An address holding "%" and digits ("%1A" here, and in the failures,
    // retries and archive below) comes out of every log line as it is: no
    // "%1" in it is ever taken for a placeholder.
    void sessionStatisticsAndLogs()
    {
        Downloads d;
        const QString big = url("/file/big%1A.bin?size=2097152"), one = url("/file/one.bin?size=1048576");
        d.app.queue.append({big, one});
        const int connections = m_server.connectionCount();
        QVERIFY(d.run());
        QCOMPARE(d.figures().lastFileSize + '|' + d.figures().sessionTotal, QStringLiteral("1,024.00 KB|3.00 MB"));
        QCOMPARE(d.summary(), QStringLiteral("completed 2, failed 0, Queue Empty, csv 2, files big.bin one.bin"));
        QCOMPARE(d.figures().currentFile, QStringLiteral("one.bin"));
        QVERIFY(d.figures().sessionEnd.isValid());
        QCOMPARE(readAll(d.out + "/big.bin"), patternBytes(2097152));
        QCOMPARE(readAll(d.out + "/one.bin"), patternBytes(1048576));
        QCOMPARE(m_server.connectionCount() - connections, 1);  // the second file came over the first one's connection

        QStringList log = d.logMessages();
        for (QString& line : log)
            line.replace(QRegularExpression(" in 00:00:0[01]$"), " in T");
        QCOMPARE(log, (QStringList{"Starting a work session",
                                   "Starting: " + big, "Saving downloaded file to " + d.out + "/big.bin",
                                   "Completed: " + big, "Downloaded 2,048.00 KB in T",
                                   "Starting: " + one, "Saving downloaded file to " + d.out + "/one.bin",
                                   "Completed: " + one, "Downloaded 1,024.00 KB in T",
                                   "Completed a work session"}));
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
        QCOMPARE(folderFiles(d.out), (QStringList{"c.bin", "e.bin", "late.bin", "slow.bin"}));
        QCOMPARE(m_server.requestCount("/drip/slow.bin"), 1);
        QCOMPARE(m_server.requestCount("/file/b.bin"), 0);
        const QStringList rows = d.csvRows();
        QCOMPARE(rows.size(), 4);
        QVERIFY(rows[0].startsWith("\"slow.bin") && rows[0].endsWith(",\"30000\""));
        QVERIFY(rows[1].startsWith("\"e.bin") && rows[1].endsWith(",\"50\""));
        QVERIFY(rows[3].startsWith("\"late.bin") && rows[3].endsWith(",\"40\""));
    }

    void duplicateAndSizeRules()
    {
        const QByteArray old(50000, 'x');
        // Skip: no fetch, counted, no CSV row, the log line.
        Downloads d;
        d.settings.setDuplicateRule(DuplicateRule::Skip);
        writeFile(d.out + "/a.jpg", old);
        d.app.queue.append({url("/file/a.jpg")});
        const int before = m_server.requestCount("/file/a.jpg");
        QVERIFY(d.run());
        QCOMPARE(m_server.requestCount("/file/a.jpg"), before);
        QCOMPARE(d.summary(), QStringLiteral("completed 1, failed 0, Queue Empty, csv 0, files a.jpg"));
        QVERIFY(d.app.queue.isEmpty());
        QCOMPARE(readAll(d.out + "/a.jpg"), old);
        QVERIFY(d.logMessages().contains("Not saved as duplicate filename exists"));

        // Overwrite, and the empty rule: no stale bytes beyond the new end.
        d.settings.duplicateRuleText.clear();
        d.app.queue.append({url("/file/b.jpg?size=100")});
        writeFile(d.out + "/b.jpg", old);
        QVERIFY(d.run());
        QCOMPARE(readAll(d.out + "/b.jpg"), patternBytes(100));
        QCOMPARE(d.summary(), QStringLiteral("completed 1, failed 0, Queue Empty, csv 1, files a.jpg b.jpg"));

        // The size rule: a file below it is not saved, yet counts, with its
        // size, row and line.
        d.settings.skipSmallFiles = true;
        d.settings.minimumSizeKB = 10;
        const QString below = url("/file/below.bin?size=10239");
        d.app.queue.append({below});
        QVERIFY(d.run());
        QCOMPARE(d.summary(), QStringLiteral("completed 1, failed 0, Queue Empty, csv 2, files a.jpg b.jpg"));
        QCOMPARE(d.figures().sessionTotal, QStringLiteral("10.00 KB"));
        const QStringList log = d.logMessages();
        const qsizetype at = log.indexOf("Completed: " + below);
        QCOMPARE(log.value(at + 1), QStringLiteral("Not saved as it didn't meet size criteria"));
        QVERIFY(log.value(at + 2).startsWith("Downloaded 10.00 KB in "));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("reason");
        QTest::newRow("404") << "/status/404?%1%2%3" << int(ErrHttpStatus) << "server answered 404 Not Found";
        QTest::newRow("dropped mid-body") << "/drop/d.bin?size=100000&after=30000" << int(ErrTransferFailed)
                                          << "connection closed by the server";
        QTest::newRow("short body") << "/short/s.bin?size=1000&claim=5000" << int(ErrTransferFailed)
                                    << "connection closed by the server";
        QTest::newRow("refused") << "refused" << int(ErrTransferFailed) << "connection refused";
        QTest::newRow("redirect loop") << "/loop" << int(ErrTransferFailed) << "too many redirects";
        QTest::newRow("redirect to another scheme") << "/redirect/2?to=ftp%3A%2F%2F127.0.0.1%2Fx.bin"
                                                    << int(ErrUnsupportedScheme) << "not an http or https address";
        QTest::newRow("ends in ..") << "/file/dir/.." << int(ErrBadFileName) << "not a usable file name";
        QTest::newRow("other scheme") << "ftp://127.0.0.1/x.bin" << int(ErrUnsupportedScheme) << "not an http or https address";
        QTest::newRow("Content-Length no number") << "/length/x.bin?size=100&value=abc" << int(ErrTransferFailed)
                                                  << "the server's answer is malformed";
        QTest::newRow("unasked 206") << "/partial/p.bin?size=500&range=bytes%200-499/5000" << int(ErrTransferFailed)
                                     << "the server sent part of the file unasked (Content-Range: bytes 0-499/5000)";
    }
    // Every failure ends in the same report, so Abort and Prompt stop alike
    // for each (the program's --download run shows them): carrying on, the
    // failure is logged as such, the entry stays in the queue marked failed,
    // the session goes on, and nothing is left behind. The good file comes
    // without a Content-Length: a whole body is a success, sized by its bytes.
    void failures()
    {
        QFETCH(QString, address);
        QFETCH(int, error);
        QFETCH(QString, reason);
        QString bad = address.contains("://") ? address : url(address);
        if (address == "refused") {  // a port nobody listens on any longer
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            bad = QStringLiteral("http://127.0.0.1:%1/x.bin").arg(closed.serverPort());
        }
        Downloads d;
        d.app.queue.append({bad, url("/nolength/good.bin?size=1000")});
        QVERIFY(d.run());
        const QStringList errors = d.errorLines();
        QVERIFY2(!errors.isEmpty() && errors.first().startsWith(QStringLiteral("Error #%1(").arg(error)),
                 qPrintable(errors.join('\n')));
        QVERIFY(errors.first().endsWith(" in SaveToFile."));
        QCOMPARE(d.logMessages().filter(QRegularExpression("^Downloaded ")).size(), 1);
        const QString failedLine = d.logMessages().filter("Failed: ").value(0);
        QVERIFY2(failedLine.startsWith("Failed: " + bad + " (" + reason), qPrintable(failedLine));
        QCOMPARE(d.app.queue.urls(), QStringList{bad});
        QCOMPARE(d.app.queue.stateAt(0), EntryState::Failed);
        QCOMPARE(d.summary(), QStringLiteral("completed 1, failed 1, 1 failed, csv 1, files good.bin"));
        QVERIFY(d.csvRows().first().endsWith(",1000"));
        QCOMPARE(d.figures().sessionTotal, QStringLiteral("0.98 KB"));
        QCOMPARE(d.storedQueue(), QStringList{bad});
    }

    // With the output folder in the program folder (spelt "out/.."), a
    // download never replaces the program's own files, nor the file a log
    // that is a link writes to; "Rename" may save beside them, never under
    // a name of theirs that is still free.
    void programFilesAreNeverTargets()
    {
        Downloads d;
        d.settings.outputFolder = d.path("out/..");
        writeFile(d.path("test.csv"), "header\r\n");
        QFile::remove(d.settings.activityLogFile);
        writeFile(d.path("kept.log"), "log\r\n");
        QVERIFY(QFile::link("kept.log", d.settings.activityLogFile));
        const QStringList own{"Pullmark.ini", "Pullmark.ini.bak", "Pullmark.ini.journal",
                              "test.log",     "test.csv",         "kept.log"};
        for (const QString& name : own)
            QVERIFY2(isProgramFile(d.settings.outputFolder + '/' + name, d.settings), qPrintable(name));
        QVERIFY(!isProgramFile(d.settings.outputFolder + "/notes.ini", d.settings));

        const QString linked = url("/file/kept.log?size=64"), bak = url("/file/Pullmark.ini.bak?size=64");
        d.app.queue.append({linked, url("/file/notes.ini?size=64")});
        QVERIFY(d.run());
        QVERIFY(d.logMessages().contains(QStringLiteral("Failed: %1 (would replace Pullmark's own file: %2/kept.log)")
                                             .arg(linked, d.settings.outputFolder)));
        QCOMPARE(readAll(d.path("notes.ini")), patternBytes(64));
        d.settings.setDuplicateRule(DuplicateRule::Rename);
        d.app.queue.append({bak});
        QVERIFY(d.run());
        QCOMPARE(readAll(d.path("kept0.log")), patternBytes(64));
        QCOMPARE(d.app.queue.urls(), QStringList{bak});
        for (const QString& name : own)
            QVERIFY(!readAll(d.path(name)).startsWith(patternBytes(64)));
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

    void resume_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("ranges");  // what the second attempt asked for
        const qint64 mib = 1024 * 1024;
        const QString cut = QStringLiteral("size=%1&fails=1&after=%2&etag=v1").arg(3 * mib).arg(mib + 4096);
        const QStringList rest{QString("bytes=%1-").arg(mib + 4096)};
        QTest::newRow("server with ranges") << cut << rest;
        QTest::newRow("server without ranges") << cut + "&ranges=0" << rest;
        QTest::newRow("changed validator") << cut + "&etag2=v2" << rest;
        QTest::newRow("Last-Modified as validator") << cut + "&lastmod=1" << rest;
        // A 206 that is not the part asked for is never spliced on: the
        // whole file again, once.
        QTest::newRow("changed ETag, If-Range ignored") << cut + "&etag2=v2&ifrange=0" << rest;
        QTest::newRow("changed Last-Modified, If-Range ignored") << cut + "&lastmod=1&etag2=x&ifrange=0" << rest;
        QTest::newRow("part starts late") << cut + "&badrange=start" << rest;
        QTest::newRow("part of a larger whole") << cut + "&badrange=total" << rest;
        // A part shorter than its Content-Range is cut off, whatever its
        // Content-Length says: the rest is asked for again.
        QTest::newRow("part shorter than its range")
            << cut + "&badrange=short" << rest + QStringList{QString("bytes=%1-").arg(mib + 4096 + (2 * mib - 4096) / 2)};
    }
    // A body cut off after more than 1 MiB goes on with Range and If-Range;
    // whatever the server answers, the file ends up whole and identical.
    void resume()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, ranges);
        Downloads d;
        d.settings.retries = 2;
        d.archive();
        const QString address = url("/range/" + QString(QTest::currentDataTag()).replace(' ', '-') + ".bin?" + query);
        d.app.queue.append({address});
        const QStringList before = m_server.rangesAskedFor();
        QVERIFY(d.run(30000));
        QCOMPARE(m_server.rangesAskedFor().mid(before.size()), ranges);
        // The file as the server has it at the end: another version once it changed.
        const qint64 size = QUrlQuery(QUrl(address)).queryItemValue("size").toLongLong();
        const QByteArray whole = patternBytes(size + 1).mid(query.contains("etag2") ? 1 : 0, size);
        QCOMPARE(readAll(d.out + '/' + shownFileName(address)), whole);
        QVERIFY(d.csvRows().value(0).contains(QRegularExpression(QStringLiteral(",\"?%1\"?$").arg(size))));
        QCOMPARE(d.archive().findByUrl(address)->sha256, sha256(whole));  // hashed across the retry
        // One retry for each part asked for, or for the whole file again.
        QCOMPARE(d.logMessages().filter("Retrying: ").size(), ranges.size());
        QCOMPARE(folderFiles(d.out), QStringList{shownFileName(address)});
    }

    void retries_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("retries");
        QTest::addColumn<int>("requests");
        QTest::addColumn<bool>("saved");
        QTest::newRow("503 twice, then the file")
            << "/flaky/a%1A.bin?status=503&fails=2&retryafter=0&size=9" << 2 << 3 << true;
        QTest::newRow("429 more often than retried") << "/flaky/b.bin?status=429&fails=5&retryafter=0&size=9" << 1 << 2 << false;
        QTest::newRow("404 fails at once") << "/status/404?retry" << 3 << 1 << false;
        QTest::newRow("first pause 1 s") << "/flaky/c.bin?status=500&fails=1&size=9" << 1 << 2 << true;
    }
    void retries()
    {
        QFETCH(QString, path);
        QFETCH(int, retries);
        QFETCH(int, requests);
        QFETCH(bool, saved);
        Downloads d;
        d.settings.retries = retries;
        d.app.queue.append({url(path)});
        QElapsedTimer clock;
        clock.start();
        QVERIFY(d.run());
        QCOMPARE(m_server.requestCount(path), requests);
        QCOMPARE(d.app.queue.isEmpty(), saved);
        const QStringList retried = d.logMessages().filter("Retrying: ");
        QCOMPARE(retried.size(), requests - 1);
        QVERIFY(requests == 1 || retried.first().startsWith("Retrying: " + url(path) + " (server answered "));
        if (!path.contains("retryafter") && requests > 1)
            QVERIFY(clock.elapsed() >= 1000);
        // A failed entry is not looped on within the session, and tried
        // again by the next one.
        if (!saved) {
            QVERIFY(d.run());
            QCOMPARE(m_server.requestCount(path), 2 * requests);
        }
    }

    // A long queue of failing entries is run through to its end; each stays,
    // marked failed, and the stored queue keeps them all.
    void manyFailingEntries()
    {
        Downloads d;
        d.settings.parallelDownloads = 4;
        QStringList urls;
        for (int i = 0; i < 50000; ++i)
            urls << QStringLiteral("ftp://127.0.0.1/f%1.bin").arg(i);
        d.app.queue.append(urls);
        QVERIFY(d.run(300000));
        QCOMPARE(d.figures().failed, 50000);
        QCOMPARE(d.app.queue.failedCount(), 50000);
        QCOMPARE(d.storedQueue(), urls);
        QCOMPARE(d.logMessages().filter(QRegularExpression("^Failed: ftp://")).size(), 50000);
    }

    // Several downloads at once; two of one name never write at once; Stop
    // ends all of them, in work or waiting to try again, and keeps them.
    void parallelDownloadsAndStop()
    {
        Downloads d;
        d.settings.parallelDownloads = 4;
        d.settings.retries = 3;
        d.settings.setDuplicateRule(DuplicateRule::Rename);
        for (int i = 0; i < 8; ++i)
            d.app.queue.append({url(QStringLiteral("/file/p%1.bin?size=100&delay=150").arg(i))});
        int mostActive = 0;
        connect(&d.app.worker, &QueueWorker::figuresChanged, this, [&] { mostActive = std::max(mostActive, d.figures().active); });
        QVERIFY(d.run());
        QCOMPARE(mostActive, 4);
        QVERIFY(d.logMessages().contains(QRegularExpression("^Downloaded 0.10 KB in \\d\\d:\\d\\d:\\d\\d \\(p3.bin\\)$")));

        mostActive = 0;
        d.app.queue.append({url("/file/one/same.bin?size=7000"), url("/file/two/same.bin?size=7000")});
        QVERIFY(d.run());
        QCOMPARE(mostActive, 1);
        QVERIFY(QFileInfo::exists(d.out + "/same.bin") && QFileInfo::exists(d.out + "/same0.bin"));
        // The log names the target before it is renamed.
        QCOMPARE(d.logMessages().count("Saving downloaded file to " + d.out + "/same.bin"), 2);

        const QString drip = "/drip/s%1.bin?size=900000&chunk=1000&ms=20";
        d.app.queue.append({url(drip.arg(1)), url(drip.arg(2)), url("/flaky/s3.bin?status=503&fails=9&retryafter=60&size=9"),
                            url(drip.arg(4))});
        // Stop once the drips are under way and the third entry waits a
        // minute to try again.
        QElapsedTimer clock;
        qint64 mostOfDrip = 0;
        connect(&d.app.worker, &QueueWorker::itemProgress, this,
                [&](qint64 received) { mostOfDrip = std::max(mostOfDrip, received); });
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, this, [&] {
            if (mostOfDrip > 0 && !d.logMessages().filter("Retrying: ").isEmpty()) {
                poll.stop();
                clock.start();
                d.app.worker.requestStop();
            }
        });
        poll.start();
        QVERIFY(d.run());
        QVERIFY(clock.isValid());
        QVERIFY(clock.elapsed() < 60000);  // the retry's wait ended with the stop
        QVERIFY(mostOfDrip < 900000);     // so did every transfer
        QCOMPARE(d.logMessages().filter("Retrying: ").size(), 1);
        QCOMPARE(d.app.queue.count(), 4);
        QCOMPARE(d.app.queue.failedCount(), 0);
        QCOMPARE(d.app.queue.stateAt(0), EntryState::Waiting);
        QVERIFY(d.errorLines().isEmpty());  // a stop is no error
        QCOMPARE(folderFiles(d.out).filter(QRegularExpression("^\\.pullmark-")), QStringList());
    }

    void archive_data()
    {
        QTest::addColumn<QString>("first");   // downloaded in a first session
        QTest::addColumn<QString>("second");  // then queued
        QTest::addColumn<QString>("options"); // a: skip archived, k: keep the existing file, d: first file deleted
        QTest::addColumn<QString>("line");    // the second session's log line, "" for none ($2: the second address, $1: the first file)
        QTest::addColumn<QStringList>("files");
        const QString one = "/file/one%1A.bin?size=5000", two = "/file/two.bin?size=5000";
        QTest::newRow("skip archived") << one << one << "a" << "Skipped: $2 (already downloaded as $1)"
                                       << QStringList{"one.bin"};
        QTest::newRow("archived, fetched again") << one << one << "" << "" << QStringList{"one.bin"};
        QTest::newRow("identical, existing kept") << one << two << "k" << "Identical: $2 (same as $1)"
                                                  << QStringList{"one.bin"};
        QTest::newRow("identical, both kept") << one << two << "" << "" << QStringList{"one.bin", "two.bin"};
        QTest::newRow("same size, other content") << one << two + "&seed=9" << "k" << ""
                                                  << QStringList{"one.bin", "two.bin"};
        QTest::newRow("existing copy deleted") << one << two << "kd" << "" << QStringList{"two.bin"};
    }
    // What a session does with what the archive knows; each saved file is
    // recorded with its address, final address, size and digest.
    void archive()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, options);
        QFETCH(QString, line);
        QFETCH(QStringList, files);
        Downloads d;
        DownloadArchive& archive = d.archive();
        d.app.queue.append({url("/redirect/1?to=" + QUrl::toPercentEncoding(first))});
        QVERIFY(d.run());
        const QString firstFile = d.out + '/' + shownFileName(url("/redirect/1?to=" + QUrl::toPercentEncoding(first)));
        const auto record = archive.findByUrl(url(first));  // by its final address
        QVERIFY(record && record->savedPath == firstFile && record->size == 5000);
        QCOMPARE(record->sha256, sha256(readAll(firstFile)));
        QVERIFY(QFile::rename(firstFile, d.out + '/' + shownFileName(first)));
        archive.add({0, url(first), url(first), d.out + '/' + shownFileName(first), 5000, record->sha256, {}});
        if (options.contains('d'))
            QFile::remove(d.out + '/' + shownFileName(first));

        d.settings.skipArchived = options.contains('a');
        d.settings.sameContent = options.contains('k') ? 1 : 0;
        d.app.queue.append({url(second)});
        QCOMPARE(d.app.queue.data(d.app.queue.index(0), DownloadQueue::ArchivedRole).toString().isEmpty(), first != second);
        const QString secondPath = QUrl(url(second)).path(QUrl::FullyEncoded);
        const int requests = m_server.requestCount(secondPath);
        QVERIFY(d.run());
        QCOMPARE(m_server.requestCount(secondPath), requests + (line.startsWith("Skipped") ? 0 : 1));
        QCOMPARE(folderFiles(d.out), files);
        const QStringList said = d.logMessages().filter(QRegularExpression("^(Skipped|Identical): "));
        QCOMPARE(said.value(0), QString(line).replace("$2", url(second)).replace("$1", d.out + '/' + shownFileName(first)));
        QVERIFY(d.app.queue.isEmpty());
        QCOMPARE(d.figures().completed, 1);
        QVERIFY(d.errorLines().isEmpty());
    }

    // An archive that cannot be opened is told once; the downloads go on.
    void unusableArchive()
    {
        Downloads d;
        QVERIFY(QDir().mkpath(d.path("archive.sqlite")));  // a folder where the database should be
        QSignalSpy told(&d.app.log, &ActivityLog::writeFailed);
        d.archive();
        d.app.queue.append({url("/file/u1.bin?size=10"), url("/file/u2.bin?size=10")});
        QVERIFY(d.run());
        QCOMPARE(d.summary(), QStringLiteral("completed 2, failed 0, Queue Empty, csv 2, files u1.bin u2.bin"));
        QCOMPARE(told.count(), 1);
        QCOMPARE(d.errorLines().size(), 1);
        QVERIFY(d.errorLines().first().startsWith("Error #35702("));
    }

    // Another program holds the archive locked past the end of the run: the
    // records wait in the journal, the log says so, and the next start
    // writes them, once however often it starts.
    void archiveLockedPastTheEnd()
    {
        Downloads d;
        d.archive().add({0, "http://h/seed", "http://h/seed", "/seed", 1, {}, {}});  // the database exists
        QVERIFY(d.archive().findByUrl("http://h/seed"));
        const QStringList urls{url("/file/l1.bin?size=10"), url("/file/l2.bin?size=10")};
        {
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "locker");
            other.setDatabaseName(d.path("archive.sqlite"));
            QVERIFY(other.open() && QSqlQuery(other).exec("BEGIN IMMEDIATE"));
            d.app.queue.append({urls[0]});
            QVERIFY(d.run());
            QCOMPARE(d.figures().endStatus, QStringLiteral("Queue Empty; 1 download record waits for the archive"));
            d.app.queue.append({urls[1]});
            QVERIFY(d.run());
            QCOMPARE(d.figures().endStatus, QStringLiteral("Queue Empty; 2 download records wait for the archive"));
            QVERIFY(!d.app.writeArchiveNow());
            QVERIFY(d.logMessages().contains("Download archive " + d.path("archive.sqlite")
                                             + " is locked: 2 records wait; the journal keeps them for the next start"));
            d.app.setArchive(nullptr);  // the program ends; its last try fails too
            QVERIFY(QSqlQuery(other).exec("COMMIT"));
        }
        QSqlDatabase::removeDatabase("locker");

        for (int start = 0; start < 2; ++start) {
            TestContext restarted;
            restarted.app.setProgramFolder(d.dir.path());
            restarted.app.setArchive(std::make_unique<SqliteDownloadArchive>(d.path("archive.sqlite"), restarted.app.errors));
            QVERIFY(restarted.app.loadStoredConfiguration());
            for (const QString& address : urls)
                QCOMPARE(restarted.app.archive()->records(shownFileName(address), 0, 10).size(), 1);
        }
    }

    // Journals of the earlier format, "WORD TEXT" lines, replay whatever
    // their line ends and blanks in the folder: an entry leaves the queue
    // only when removed, or when its temporary file is gone and its file
    // is there.
    void earlierJournals_data()
    {
        QTest::addColumn<QByteArray>("journal");  // $T0: a temporary file renamed to "b"; $T1: one still there
        QTest::addColumn<QStringList>("queue");   // what a stored queue {s} becomes
        const QByteArray journal = "add a\nadd b\nadd c\nremove a\nsaving $T0 b\nsaving $T1 c\nadd d\nsaving $T0 d\n"
                                   "failed d\nadd cut off";
        QTest::newRow("LF") << journal << QStringList{"s", "c", "d"};
        QTest::newRow("CR LF") << QByteArray(journal).replace("\n", "\r\n") << QStringList{"s", "c", "d"};
        QTest::newRow("stale saving line") << QByteArray("add e\nsaving $T0 e\n") << QStringList{"s", "e"};
        QTest::newRow("no temporary file named") << QByteArray("add b\nsaving b\n") << QStringList{"s", "b"};
    }
    void earlierJournals()
    {
        QFETCH(QByteArray, journal);
        QFETCH(QStringList, queue);
        TestContext t;
        const QString folder = t.path("My \"Out\" dir");
        QVERIFY(QDir().mkdir(folder));
        writeFile(folder + "/b", "saved");
        writeFile(folder + "/.pullmark-000000000000000a.part", "not renamed");
        journal.replace("$T0", (folder + "/.pullmark-0000000000000000.part").toUtf8())
            .replace("$T1", (folder + "/.pullmark-000000000000000a.part").toUtf8());
        writeFile(t.path("j"), journal);
        QStringList stored{"s"};
        JournalContents contents;
        QVERIFY(ProgressJournal::replay(t.path("j"), stored, contents));
        QCOMPARE(stored, queue);
        QVERIFY(!ProgressJournal::replay(t.path("none"), stored, contents));
    }

    // The journal's own format: any address and path, quotes, commas, blanks
    // and line ends included. A rename is proven by the file it made, and a
    // kept part and the records the archive has not taken survive a restart
    // of the journal. (Line ends of every kind: earlierJournals.)
    void journalProvesWhatItDrops()
    {
        TestContext t;
        const QString folder = t.path("My \"Out\", dir\nnext");
        QVERIFY(QDir().mkdir(folder));
        const QString j = t.path("j");
        ProgressJournal journal;
        journal.setFileName(j);
        const QStringList urls{"http://h/a \"1\",x.bin", "http://h/stale.bin", "http://h/other.bin", "http://h/part.bin"};
        journal.recordAdded(urls, {});
        auto saving = [&](int n, bool rename) {
            const QString temporary = folder + QStringLiteral("/.pullmark-%1.part").arg(n, 16, 10, QChar('0'));
            const ArchiveRecord record{0, urls[n], urls[n], folder + QStringLiteral("/f%1").arg(n), 5, QByteArray(32, 'h'),
                                       QDateTime::fromSecsSinceEpoch(1700000000 + n, Qt::UTC)};
            writeFile(temporary, "bytes");
            journal.recordSaving(temporary, record);
            if (rename)
                QFile::rename(temporary, record.savedPath);
            else
                QFile::remove(temporary);  // a rename that failed, its file gone
            return record;
        };
        const ArchiveRecord saved = saving(0, true);
        saving(1, false);
        writeFile(folder + "/f2", "an older file of the name");
        saving(2, false);
        writeFile(folder + "/kept.part", "12345");
        journal.recordPartial(urls[3], {folder + "/kept.part", 5, "\"v\""});
        ArchiveRecord identical = saved;
        identical.url = "http://h/same.bin";
        journal.keepUntilArchived(identical);

        QStringList queue;
        JournalContents contents;
        QVERIFY(ProgressJournal::replay(j, queue, contents));
        QCOMPARE(queue, urls.mid(1));
        QCOMPARE(contents.records.size(), 2);
        QCOMPARE(contents.records[0].url, identical.url);
        QCOMPARE(contents.records[1].savedPath, saved.savedPath);
        QCOMPARE(contents.records[1].sha256, saved.sha256);
        QCOMPARE(contents.partials.value(urls[3]), (PartialDownload{folder + "/kept.part", 5, "\"v\""}));

        // Begun anew after a save: the kept part and the record the archive
        // has not taken stay, until it has.
        journal.restart({{urls[3], {folder + "/kept.part", 5, "\"v\""}}});
        queue.clear();
        contents = {};
        QVERIFY(ProgressJournal::replay(j, queue, contents));
        QVERIFY(queue.isEmpty());
        QCOMPARE(contents.partials.size(), 1);
        QCOMPARE(contents.records.size(), 1);
        journal.archived(identical);
        journal.restart({});
        QVERIFY(!QFileInfo::exists(j));
    }

    // The program killed 20 times at random moments of sessions of four
    // downloads at once: see tests/support/killloop_main.cpp.
    void killedSessionsLoseNothing()
    {
        QProcess loop;
        loop.start(QCoreApplication::applicationDirPath() + "/pm_kill_loop", {"20", "4", "20261206"});
        QVERIFY(loop.waitForFinished(300000));
        const QString report = QString::fromUtf8(loop.readAllStandardOutput());
        QVERIFY2(loop.exitCode() == 0 && report.startsWith("kills 20\n"), qPrintable(report));
    }

    // A part kept when a session stopped, or when the program was killed
    // mid-download, goes on after a restart: the rest is asked for.
    void restartGoesOnFromTheKeptPart_data()
    {
        QTest::addColumn<bool>("killed");
        QTest::newRow("stopped") << false;
        QTest::newRow("killed") << true;
    }
    void restartGoesOnFromTheKeptPart()
    {
        QFETCH(bool, killed);
        Downloads d;
        const qint64 size = 4 * 1024 * 1024;
        const QString address = url(QStringLiteral("/range/restart-%1.bin?size=%2&etag=r&chunk=32768&ms=10").arg(killed).arg(size));
        d.app.queue.append({address});
        d.settings.legalNoticeAccepted = true;  // as after the first start
        QVERIFY(d.app.saveConfiguration(d.settings.configurationFile));
        auto keptBytes = [&] {
            const QStringList parts = folderFiles(d.out).filter(QRegularExpression("^\\.pullmark-.*\\.part$"));
            return parts.size() == 1 ? QFileInfo(d.out + '/' + parts.first()).size() : 0;
        };
        if (killed) {  // the program as a user runs it without a window
            QProcess program;
            program.start(QCoreApplication::applicationDirPath() + "/pullmark",
                          {"--download", "--config", d.settings.configurationFile});
            QTRY_VERIFY_WITH_TIMEOUT(keptBytes() >= 1536 * 1024, 60000);
            program.kill();
            program.waitForFinished();
        } else {
            connect(&d.app.worker, &QueueWorker::itemProgress, this, [&](qint64 received) {
                if (received >= 1536 * 1024 && !d.app.worker.stopRequested())
                    d.app.worker.requestStop();
            });
            QVERIFY(d.run());
            d.app.worker.disconnect(this);
        }
        const qint64 kept = keptBytes();
        QVERIFY(kept >= 1536 * 1024 && kept < size);

        TestContext restarted;
        restarted.app.setProgramFolder(d.dir.path());
        const QString archive = d.path("Pullmark-archive.sqlite");  // the program's, beside its configuration
        restarted.app.setArchive(std::make_unique<SqliteDownloadArchive>(archive, restarted.app.errors));
        QVERIFY(restarted.app.loadStoredConfiguration());
        QCOMPARE(restarted.app.queue.stateAt(0), EntryState::Paused);
        QSignalSpy ended(&restarted.app.worker, &QueueWorker::sessionEnded);
        restarted.app.worker.start();
        QVERIFY(ended.wait(60000));
        QCOMPARE(m_server.rangesAskedFor().last(), QStringLiteral("bytes=%1-").arg(kept));
        QCOMPARE(readAll(d.out + '/' + shownFileName(address)), patternBytes(size));
        // The kept part is hashed before the rest.
        QCOMPARE(restarted.app.archive()->findByUrl(address)->sha256, sha256(patternBytes(size)));
    }

    // Headers that never end: the answer fails at the size or line cap, or,
    // dripping in below both, at its deadline; it is not tried again, and
    // the next download on the same engine goes through.
    void endlessHeadersFail_data()
    {
        QTest::addColumn<QString>("pace");
        QTest::addColumn<int>("deadlineMs");
        QTest::addColumn<QString>("reason");
        QTest::newRow("past 256 KiB") << "chunk=65536&ms=2" << 600000 << "the server's headers exceed 256 KiB";
        QTest::newRow("past 1,000 lines") << "chunk=8&ms=0" << 600000 << "the server's headers exceed 1,000 lines";
        QTest::newRow("too slow") << "chunk=8&ms=200" << 1500 << "the server's answer did not begin within 1 s";
    }
    void endlessHeadersFail()
    {
        QFETCH(QString, pace);
        QFETCH(int, deadlineMs);
        QFETCH(QString, reason);
        CurlMulti engine;
        Transfer transfer(&engine);
        transfer.setHeaderDeadline(deadlineMs);
        QSignalSpy finished(&transfer, &Transfer::finished);
        transfer.fetch(url("/endless?" + pace), nullptr);
        QVERIFY(finished.wait(60000));
        QVERIFY(transfer.failed() && !transfer.transientFailure());
        QCOMPARE(transfer.error().plainReason(), reason);

        QFile sink(QDir::temp().filePath("pullmark-after-endless.bin"));
        QVERIFY(sink.open(QIODevice::WriteOnly | QIODevice::Truncate));
        transfer.fetch(url("/file/after.bin?size=70000"), &sink);
        QVERIFY(finished.wait(20000));
        QVERIFY2(!transfer.failed(), qPrintable(transfer.error().plainReason()));
        sink.close();
        QCOMPARE(readAll(sink.fileName()), patternBytes(70000));
        sink.remove();
    }

    // https: a body from a server whose certificate chains to the trusted
    // certificates arrives whole; a certificate the transfer does not trust,
    // one trusted but for another name, or a redirect down to plain http
    // fails for good, and the http address is never asked for.
    void secureTransfers_data()
    {
        QTest::addColumn<QString>("served");   // the server's certificate
        QTest::addColumn<QString>("trusted");  // the certificate trusted; "" for none
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("size");     // of the body saved
        QTest::addColumn<QString>("reason");  // of the failure; "" for none
        const QString ours = "127.0.0.1", misnamed = "other.test";
        const QString plain = QUrl::toPercentEncoding(url("/file/plain.bin?size=10"));
        QTest::newRow("trusted") << ours << ours << "/file/s.bin?size=300000" << qint64(300000) << "";
        QTest::newRow("untrusted") << ours << "" << "/file/s.bin?size=300000" << qint64(0) << "secure connection failed";
        QTest::newRow("trusted, for another name") << misnamed << misnamed << "/file/s.bin?size=300000" << qint64(0)
                                                   << "secure connection failed";
        QTest::newRow("redirect to http") << ours << ours << "/redirect/1?to=" + plain << qint64(0)
                                          << "redirect from https to http refused";
    }
    void secureTransfers()
    {
        QFETCH(QString, served);
        QFETCH(QString, trusted);
        QFETCH(QString, path);
        QFETCH(qint64, size);
        QFETCH(QString, reason);
        CurlMulti engine;
        Transfer transfer(&engine);
        if (!trusted.isEmpty())
            transfer.setCaFile(TestServer::tlsCertificateFile(trusted));
        QTemporaryDir folder;
        QFile sink(folder.filePath("body.bin"));
        QVERIFY(sink.open(QIODevice::WriteOnly));
        const int plainRequests = m_server.requestCount("/file/plain.bin");
        QSignalSpy finished(&transfer, &Transfer::finished);
        const TestServer& server = served == "other.test" ? m_misnamedServer : m_secureServer;
        transfer.fetch(server.url(path), &sink);
        QVERIFY(finished.wait(20000));
        sink.close();
        if (reason.isEmpty()) {
            QVERIFY2(!transfer.failed(), qPrintable(transfer.error().plainReason()));
            QCOMPARE(transfer.status(), 200);
        } else {
            QVERIFY(transfer.failed() && !transfer.transientFailure());
            QCOMPARE(transfer.error().plainReason(), reason);
        }
        QCOMPARE(readAll(sink.fileName()), patternBytes(size));
        QCOMPARE(m_server.requestCount("/file/plain.bin"), plainRequests);
    }

    void filesThatCannotBeWritten()
    {
        // An output folder without write permission.
        {
            Downloads d;
            std::optional<ReadOnlyFolder> denied(d.out);
            if (!denied->taken)
                QSKIP("cannot take the write permission of a folder away here");
            d.app.queue.append({url("/file/p.bin?size=10"), url("/file/q.bin?size=10")});
            const bool ran = d.run();
            denied.reset();
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
            QCOMPARE(folderFiles(d.out), QStringList{"after.bin"});
        }
    }
};

QTEST_GUILESS_MAIN(TestDownloads)
#include "test_downloads.moc"
