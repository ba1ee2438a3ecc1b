// The download archive's database when things go wrong.
#include "archive/sqlitearchive.h"
#include "tests/support/testcontext.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

using namespace pm;
using namespace pm::test;

namespace {
// The record a writer adds as its nth: every field follows from n.
ArchiveRecord numbered(qint64 n)
{
    const QByteArray key = QByteArray::number(n);
    return {0, "http://h/" + key, "http://cdn/" + key, "/out/" + key, n,
            QCryptographicHash::hash(key, QCryptographicHash::Sha256), QDateTime::currentDateTimeUtc()};
}

bool isWhole(const ArchiveRecord& r)
{
    return numbered(r.size).url == r.url && numbered(r.size).finalUrl == r.finalUrl
        && numbered(r.size).savedPath == r.savedPath && numbered(r.size).sha256 == r.sha256 && r.when.isValid();
}

// The child process of the kill test: adds records, one transaction each,
// after the newest one the archive holds, until it is killed.
int writeUntilKilled(const QString& file)
{
    TestContext t;
    SqliteDownloadArchive archive(file, t.app.errors);
    const QList<ArchiveRecord> newest = archive.records({}, 0, 1);
    const qint64 first = newest.isEmpty() ? 0 : newest.first().size + 1;
    archive.add(numbered(first));
    archive.records({}, 0, 1);  // a lookup writes what waits
    std::puts("writing");       // the first record is in: the parent may kill from now on
    std::fflush(stdout);
    for (qint64 n = first + 1;; ++n)
        archive.add(numbered(n));
}
}  // namespace

class TestArchive : public QObject {
    Q_OBJECT
private slots:
    // Killed in the middle of its writes, again and again: every record
    // that was committed is whole, none before it is missing, and the
    // archive opens without complaint and takes new records.
    void killedWriterLosesNothing()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("archive.sqlite");
        QRandomGenerator random(1306);
        qsizetype before = 0;
        for (int round = 0; round < 6; ++round) {
            QProcess writer;
            writer.start(QCoreApplication::applicationFilePath(), {"write", file});
            QVERIFY(writer.waitForStarted() && writer.waitForReadyRead(60000));
            QTest::qWait(random.bounded(0, 300));
            writer.kill();
            writer.waitForFinished();

            TestContext t;
            SqliteDownloadArchive archive(file, t.app.errors);
            const QList<ArchiveRecord> all = archive.records({}, 0, 10'000'000);
            QVERIFY2(all.size() > before, "the writer wrote nothing");
            before = all.size();
            for (qsizetype i = 0; i < all.size(); ++i)
                QVERIFY(isWhole(all[i]) && all[i].size == all.size() - 1 - i);
            QVERIFY(t.errorLines().isEmpty());
        }
    }

    void damagedFile_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("asideAs");  // the name it is kept under, before its time
        QTest::addColumn<QString>("message");
        QTest::newRow("not a database") << "garbage" << "damaged" << "Download archive damaged";
        QTest::newRow("cut short") << "truncate" << "damaged" << "Download archive damaged";
        QTest::newRow("a page overwritten") << "overwrite" << "damaged" << "Download archive damaged";
        QTest::newRow("another downloads table") << "downloads" << "foreign" << "Not a download archive";
        QTest::newRow("another program's table") << "files" << "foreign" << "Not a download archive";
    }
    // A damaged archive, or another program's database in its place, is kept
    // as it is under another name, told once, and a new one begun.
    void damagedFile()
    {
        QFETCH(QString, damage);
        QFETCH(QString, asideAs);
        QFETCH(QString, message);
        TestContext t;
        const QString file = t.path("archive.sqlite");
        if (asideAs == "foreign") {
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
            other.setDatabaseName(file);
            QVERIFY(other.open());
            QSqlQuery query(other);
            QVERIFY(query.exec("CREATE TABLE " + damage + " (id INTEGER PRIMARY KEY, url TEXT, note TEXT)"));
            QVERIFY(query.exec("INSERT INTO " + damage + " (url, note) VALUES ('http://h/1', 'theirs')"));
            query = QSqlQuery();
            other.close();
        } else {
            {
                SqliteDownloadArchive archive(file, t.app.errors);
                for (int n = 0; n < 3000; ++n)
                    archive.add(numbered(n));
            }
            QFile bytes(file);
            QVERIFY(bytes.open(QIODevice::ReadWrite));
            QVERIFY(bytes.size() > 64 * 1024);
            if (damage == "garbage")
                bytes.write(QByteArray(bytes.size(), 'x'));
            else if (damage == "truncate")
                bytes.resize(bytes.size() / 2);
            else if (bytes.seek(bytes.size() / 2 / 4096 * 4096))
                bytes.write(QByteArray(4096, '\xff'));
        }
        QSqlDatabase::removeDatabase("other");
        const QByteArray damaged = readAll(file);

        QSignalSpy told(&t.app.log, &ActivityLog::writeFailed);
        SqliteDownloadArchive archive(file, t.app.errors);
        archive.add(numbered(7));
        QVERIFY(archive.findByUrl(numbered(7).url));
        QCOMPARE(archive.records({}, 0, 100).size(), 1);
        const QStringList aside = QDir(t.dir.path()).entryList({"archive.sqlite." + asideAs + "-*"});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readAll(t.path(aside.first())), damaged);
        QCOMPARE(told.count(), 1);
        QCOMPARE(t.errorLines().size(), 1);
        QVERIFY(t.errorLines().first().contains(message));
    }

    // Records that follow each other quickly go in as one batch, yet every
    // lookup sees them at once, and without any lookup they are in the file
    // a moment later. While another program holds the write lock they wait
    // in memory and lookups go on; the lock is told once; they follow later.
    void recordsWaitYetNoneIsLost()
    {
        TestContext t;
        const QString file = t.path("archive.sqlite");
        SqliteDownloadArchive archive(file, t.app.errors);
        archive.setRetryInterval(100);
        QSignalSpy added(&archive, &DownloadArchive::recordAdded);
        QSignalSpy told(&t.app.log, &ActivityLog::writeFailed);
        for (int n = 0; n < 10; ++n)
            archive.add(numbered(n));
        QVERIFY(archive.waitingCount() > 0);
        QCOMPARE(archive.findByUrl(numbered(9).url)->savedPath, numbered(9).savedPath);
        QCOMPARE(added.size(), 10);
        for (int n = 10; n < 20; ++n)
            archive.add(numbered(n));
        QTRY_COMPARE(archive.waitingCount(), 0);
        {
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
            other.setDatabaseName(file);
            QVERIFY(other.open());
            QVERIFY(QSqlQuery(other).exec("BEGIN IMMEDIATE"));
            archive.add(numbered(20));
            archive.add(numbered(21));
            QCOMPARE(archive.waitingCount(), 2);
            QVERIFY(archive.findByUrl(numbered(0).url));
            QVERIFY(QSqlQuery(other).exec("COMMIT"));
            other.close();
        }
        QSqlDatabase::removeDatabase("other");
        QTRY_COMPARE(archive.waitingCount(), 0);
        QCOMPARE(archive.findByUrl(numbered(21).finalUrl)->savedPath, numbered(21).savedPath);
        QCOMPARE(archive.findBySize(20, numbered(20).sha256).size(), 1);
        QCOMPARE(told.count(), 1);
        QCOMPARE(added.size(), 22);
        SqliteDownloadArchive reader(file, t.app.errors);
        QCOMPARE(reader.records({}, 0, 100).size(), 22);
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "write") == 0)
        return writeUntilKilled(QString::fromLocal8Bit(argv[2]));
    TestArchive test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_archive.moc"
