// Text routines and the Work Queue window's rules: parts of addresses and
// paths, clock, date and number texts, the busy dots, the button table, Move
// and the session total's units.
#include "core/queuerules.h"
#include "core/sessionstatistics.h"
#include "core/textutil.h"

#include <QtTest>

using namespace pm;

class TestText : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void addressParts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("plain") << "http://h/d/a.JPG" << "JPG" << "a.JPG";
        QTest::newRow("query kept") << "http://h/pic.jpg?s=1" << "jpg?s=1" << "pic.jpg?s=1";
        QTest::newRow("no dot, no slash") << "abc" << "abc" << "abc";
        QTest::newRow("ends in dot") << "http://h/a." << "" << "a.";
        QTest::newRow("dot in host only") << "http://www.h.com/" << "com/" << "";
        QTest::newRow("backslash last") << "http://h/d\\x.jpg" << "jpg" << "x.jpg";
        QTest::newRow("slash last") << "c:\\d/y.jpg" << "jpg" << "y.jpg";
    }
    void addressParts()
    {
        QFETCH(QString, text);
        QFETCH(QString, extension);
        QFETCH(QString, fileName);
        QCOMPARE(fileExtension(text), extension);
        QCOMPARE(fileNameOf(text), fileName);
        QCOMPARE(splitPath("/var/logs/" + fileName).folder, QStringLiteral("/var/logs"));
        QCOMPARE(splitPath(fileName).fileName, fileName);
    }

    void elapsedClock_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << qint64(0) << "00:00:00";
        QTest::newRow("65") << qint64(65) << "00:01:05";
        QTest::newRow("3661") << qint64(3661) << "01:01:01";
        QTest::newRow("32767") << qint64(32767) << "09:06:07";
        QTest::newRow("past 16 bits") << qint64(40000) << "11:06:40";
        QTest::newRow("100 hours widen") << qint64(100 * 3600 + 1) << "100:00:01";
        QTest::newRow("negative") << qint64(-5) << "00:00:-5";
    }
    void elapsedClock()
    {
        QFETCH(qint64, seconds);
        QFETCH(QString, text);
        QCOMPARE(formatElapsed(seconds), text);
    }

    void dateAndNumberTexts()
    {
        QCOMPARE(generalDateText(QDateTime(QDate(2026, 12, 6), QTime(13, 3, 29))), QStringLiteral("12/6/26 1:03:29 PM"));
        QCOMPARE(generalDateText(QDateTime(QDate(2026, 12, 6), QTime(0, 0))), QStringLiteral("12/6/26"));
        QCOMPARE(standardNumberText(1234.5), QStringLiteral("1,234.50"));
        QCOMPARE(parseNumber(" 1,234.5 ").value_or(-1), 1234.5);
        QVERIFY(!parseNumber("abc").has_value() && !parseNumber("").has_value());
    }

    void busyDots()
    {
        QString text = QStringLiteral("Queue Empty");
        QStringList seen;
        for (int tick = 0; tick < 13; ++tick)
            seen << (text = nextBusyText(text, QStringLiteral("Working"), 10));
        QCOMPARE(seen.first(), QStringLiteral("Working"));
        QCOMPARE(seen.at(10), QStringLiteral("Working.........."));
        QCOMPARE(seen.at(11), QStringLiteral("Working"));
        QCOMPARE(nextBusyText(QStringLiteral("WORKING.."), QStringLiteral("Working"), 5), QStringLiteral("WORKING..."));
        QCOMPARE(nextBusyText(QStringLiteral("Working....."), QStringLiteral("Working"), 5), QStringLiteral("Working"));
        QCOMPARE(nextBusyText(QStringLiteral("Working..."), QStringLiteral("Stopping"), 10), QStringLiteral("Stopping"));
    }

    void queueButtons_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("start");
        QTest::addColumn<bool>("clear");
        QTest::newRow("empty, idle") << 0 << false << false << false;
        QTest::newRow("empty, running") << 0 << true << false << false;
        QTest::newRow("one, idle") << 1 << false << true << true;
        QTest::newRow("only the entry in work") << 1 << true << false << false;
        QTest::newRow("two, idle") << 2 << false << true << true;
        QTest::newRow("many, running") << 40000 << true << false << true;
    }
    void queueButtons()
    {
        QFETCH(int, entries);
        QFETCH(bool, running);
        QFETCH(bool, start);
        QFETCH(bool, clear);
        const QueueButtons b = queueButtonStates(entries, running, 0, QString());
        QCOMPARE(b.start, start);
        QCOMPARE(b.clear, clear);
        QVERIFY(!b.removeSel && !b.move);
        QVERIFY(queueButtonStates(entries, running, 1, QStringLiteral(" 2 ")).move);
        QVERIFY(!queueButtonStates(entries, running, 2, QStringLiteral("2")).move);
        QVERIFY(!queueButtonStates(entries, running, 1, QStringLiteral("abc")).move);
    }

    void moveTargets_data()
    {
        QTest::addColumn<QString>("position");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("row");
        QTest::newRow("zero goes first") << "0" << "1" << 0;
        QTest::newRow("negative goes first") << "-3" << "1" << 0;
        QTest::newRow("past the end goes last") << "99" << "5" << 4;
        QTest::newRow("middle") << "3" << "3" << 2;
        QTest::newRow("row 1.5 rounds to even") << "2.5" << "2.5" << 2;
        QTest::newRow("row 2.5 rounds to even") << "3.5" << "3.5" << 2;
    }
    void moveTargets()
    {
        QFETCH(QString, position);
        QFETCH(QString, shown);
        QFETCH(int, row);
        const MoveTarget target = moveTarget(position, 5);
        QCOMPARE(target.posText, shown);
        QCOMPARE(target.row, row);
    }

    void sessionTotalUnits()
    {
        QCOMPARE(itemSizeText(3221225472.0), QStringLiteral("3,145,728.00 KB"));
        SessionTotal exact;  // exactly 1024 units stays; one byte more steps
        exact.add(1024.0 * 1024);
        exact.stepUnit();
        QCOMPARE(exact.text(), QStringLiteral("1,024.00 KB"));
        exact.add(1);
        exact.stepUnit();
        QVERIFY(exact.text().endsWith(QStringLiteral(" MB")));

        SessionTotal big;  // one step per item: MB after this one, GB after the next
        big.add(3221225472.0);
        big.stepUnit();
        QCOMPARE(big.text(), QStringLiteral("3,072.00 MB"));
        big.add(0);
        big.stepUnit();
        QCOMPARE(big.text(), QStringLiteral("3.00 GB"));
        for (int i = 0; i < 3; ++i) {
            big.add(double(qint64(1) << 50) * 2);
            big.stepUnit();
        }
        QVERIFY(big.text().endsWith(QStringLiteral(" TB or bigger")));
    }
};

QTEST_APPLESS_MAIN(TestText)
#include "test_text.moc"
