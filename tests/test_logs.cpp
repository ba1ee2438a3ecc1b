// The activity log and the CSV log: line format, lost lines, CSV rows.
#include "logs/activitylog.h"
#include "logs/csvlog.h"
#include "settings/settings.h"
#include "tests/support/testutil.h"

#include <QtTest>

using namespace pm;
using namespace pm::test;

class TestLogs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void logLinesCarryTimeTabAndTextUnchanged()
    {
        FreshSettings fresh;
        fresh.logHere();
        const QDateTime before = QDateTime::currentDateTime();
        WriteLog(QStringLiteral("first \"quoted\"\twith tab"));
        WriteLog(QStringLiteral("second"));
        const QByteArray bytes = readAll(settings().strG_LogFileName);
        QVERIFY(bytes.endsWith("\r\n"));
        const QStringList lines = crlfLines(bytes);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].section(QLatin1Char('\t'), 1), QStringLiteral("first \"quoted\"\twith tab"));
        QCOMPARE(lines[1].section(QLatin1Char('\t'), 1), QStringLiteral("second"));
        // The stamp is today's date in the locale's short format.
        QVERIFY(lines[0].startsWith(QLocale().toString(before.date(), QLocale::ShortFormat) + QLatin1Char(' ')));
    }

    void generalDateLeavesOutMidnight()
    {
        const QDateTime midnight(QDate(2026, 1, 2), QTime(0, 0));
        QCOMPARE(generalDateText(midnight), QStringLiteral("1/2/26"));
        const QDateTime afternoon(QDate(2026, 1, 2), QTime(13, 4, 5));
        QCOMPARE(generalDateText(afternoon), QLocale().toString(QDate(2026, 1, 2), QLocale::ShortFormat) + QLatin1Char(' ')
                                                 + QLocale().toString(QTime(13, 4, 5), QLocale::LongFormat));
    }

    void unwritableLogLosesTheLineSilently()
    {
        FreshSettings fresh;
        settings().strG_LogFileName = fresh.path(QStringLiteral("no/such/folder/x.log"));
        WriteLog(QStringLiteral("lost"));
        QVERIFY(!QFileInfo::exists(settings().strG_LogFileName));
        QVERIFY(!QFileInfo::exists(fresh.path(QStringLiteral("no"))));
        settings().strG_LogFileName.clear();
        WriteLog(QStringLiteral("lost too"));  // empty name: nothing, no crash
        settings().strG_LogFileName = fresh.dir.path();  // a folder
        WriteLog(QStringLiteral("lost three"));
        QVERIFY(QFileInfo(fresh.dir.path()).isDir());
    }

    void csvNames_data()
    {
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("csv");
        QTest::newRow("x.log") << "/d/x.log" << "/d/x.csv";
        QTest::newRow("two dots") << "/d/x.y.log" << "/d/x.y.csv";
        QTest::newRow("dot in folder only") << "/d.d/x" << "/d.csv";
        QTest::newRow("no dot at all") << "/d/x" << "csv";
    }
    void csvNames()
    {
        QFETCH(QString, log);
        QFETCH(QString, csv);
        QCOMPARE(csvFileNameFor(log), csv);
    }

    void csvRowsForTextAndNumericSizes()
    {
        FreshSettings fresh;
        fresh.logHere();
        settings().strG_SavePath = QStringLiteral("/out");
        const QDateTime start(QDate(2026, 3, 4), QTime(5, 6, 7));
        const QDateTime midnight(QDate(2026, 3, 5), QTime(0, 0));
        WriteCSV(QStringLiteral("http://h/d/first.jpg"), QStringLiteral("http://h/d/a.jpg"), start, start.addSecs(61),
                 QStringLiteral("00:01:01"), QVariant(QStringLiteral("1234")));
        WriteCSV(QStringLiteral("http://h/b.jpg"), QStringLiteral("http://h/b.jpg"), start, midnight,
                 QStringLiteral("00:00:00"), QVariant(qint64(-42)));
        WriteCSV(QStringLiteral("http://h/c.jpg"), QStringLiteral("http://h/c.jpg"), start, start, QString(), QVariant());

        const QStringList rows = crlfLines(readAll(fresh.path(QStringLiteral("test.csv"))));
        QCOMPARE(rows, (QStringList{
            QStringLiteral("\"first.jpg\",\"/out/a.jpg\",\"http://h/d/a.jpg\",#2026-03-04 05:06:07#,#2026-03-04 05:07:08#,\"00:01:01\",\"1234\""),
            QStringLiteral("\"b.jpg\",\"/out/b.jpg\",\"http://h/b.jpg\",#2026-03-04 05:06:07#,#2026-03-05#,\"00:00:00\",-42"),
            QStringLiteral("\"c.jpg\",\"/out/c.jpg\",\"http://h/c.jpg\",#2026-03-04 05:06:07#,#2026-03-04 05:06:07#,\"\",")}));
        QVERIFY(fresh.logMessages().isEmpty());
    }

    void csvHeaderRecord()
    {
        QCOMPARE(pm::csvHeaderRecord(),
                 QStringLiteral("\"File Name\",\"File Path\",\"URL\",\"Start Time\",\"Complete Time\",\"Download Time\",\"File Size Bytes\"\r\n"));
    }

    void failedCsvOpenIsReportedThenTheWrite()
    {
        FreshSettings fresh;
        fresh.logHere();
        settings().strG_Unattended = QStringLiteral("Resume");
        settings().strG_LogFileName = fresh.path(QStringLiteral("gone/x.log"));
        // The activity log is lost too (same missing folder); point the error
        // lines at a log that works by logging into the folder again after.
        WriteCSV(QString(), QStringLiteral("http://h/a.jpg"), QDateTime::currentDateTime(),
                 QDateTime::currentDateTime(), QString(), QVariant());
        QVERIFY(!QFileInfo::exists(fresh.path(QStringLiteral("gone"))));

        // With a log that works, both reports show: the open, then the write.
        fresh.logHere();
        QVERIFY(QDir().mkdir(fresh.path(QStringLiteral("test.csv"))));  // a folder blocks the CSV
        WriteCSV(QString(), QStringLiteral("http://h/a.jpg"), QDateTime::currentDateTime(),
                 QDateTime::currentDateTime(), QString(), QVariant());
        const QStringList messages = fresh.logMessages();
        QCOMPARE(messages.size(), 2);
        QVERIFY(messages[0].endsWith(QStringLiteral(" in WriteCSV.")));
        QVERIFY(messages[1].startsWith(QStringLiteral("Error #52(&H34)")));

        settings().strG_Unattended = QStringLiteral("Abort");
        QFile::remove(fresh.path(QStringLiteral("test.log")));
        WriteCSV(QString(), QStringLiteral("http://h/a.jpg"), QDateTime::currentDateTime(),
                 QDateTime::currentDateTime(), QString(), QVariant());
        QCOMPARE(fresh.logMessages().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestLogs)
#include "test_logs.moc"
