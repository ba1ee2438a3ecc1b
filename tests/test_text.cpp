// Text routines: addresses and paths, clock, date and number texts, units.
#include "core/download/queuerules.h"
#include "core/download/sessionstatistics.h"
#include "core/textutil.h"

#include <QtTest>

using namespace pm;

class TestText : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void addressParts()
    {
        // text, its extension, its file name
        const QList<std::array<QString, 3>> cases = {
            {"http://h/d/a.JPG", "JPG", "a.JPG"},  {"http://h/pic.jpg?s=1", "jpg?s=1", "pic.jpg?s=1"},
            {"abc", "abc", "abc"},                 {"http://h/a.", "", "a."},
            {"http://www.h.com/", "com/", ""},     {"http://h/d\\x.jpg", "jpg", "x.jpg"},
            {"c:\\d/y.jpg", "jpg", "y.jpg"}};
        for (const auto& [text, extension, fileName] : cases) {
            QCOMPARE(std::pair(fileExtension(text), fileNameOf(text)), std::pair(extension, fileName));
            QCOMPARE(splitPath("/var/logs/" + fileName).folder, QStringLiteral("/var/logs"));
            QCOMPARE(splitPath(fileName).fileName, fileName);
        }
    }

    void clockDateAndNumberTexts()
    {
        // Past 16 bits, hours widen past 99, negative seconds as they come.
        const QList<std::pair<qint64, QString>> clock = {{0, "00:00:00"},     {65, "00:01:05"},       {3661, "01:01:01"},
                                                         {32767, "09:06:07"}, {40000, "11:06:40"},    {360001, "100:00:01"},
                                                         {-5, "00:00:-5"}};
        for (const auto& [seconds, text] : clock)
            QCOMPARE(formatElapsed(seconds), text);
        QCOMPARE(generalDateText(QDateTime(QDate(2026, 12, 6), QTime(13, 3, 29))), QStringLiteral("12/6/26 1:03:29 PM"));
        QCOMPARE(generalDateText(QDateTime(QDate(2026, 12, 6), QTime(0, 0))), QStringLiteral("12/6/26"));
        QCOMPARE(parseNumber(" 1,234.5 ").value_or(-1), 1234.5);
        QVERIFY(!parseNumber("abc").has_value() && !parseNumber("").has_value());
    }

    // Where Move puts an entry of five: clamped to the list, halves rounded
    // to even.
    void moveTargets()
    {
        // position typed, position shown, row
        const QList<std::tuple<QString, QString, int>> cases = {
            {"0", "1", 0}, {"-3", "1", 0}, {"99", "5", 4}, {"3", "3", 2}, {"2.5", "2.5", 2}, {"3.5", "3.5", 2}};
        for (const auto& [position, shown, row] : cases) {
            const MoveTarget target = moveTarget(position, 5);
            QCOMPARE(std::pair(target.posText, target.row), std::pair(shown, row));
        }
    }

    void sessionTotalUnits()
    {
        QCOMPARE(itemSizeText(3221225472.0), QStringLiteral("3,145,728.00 KB"));
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

    // The overall bar turns busy only when the same downloads stay sizeless
    // for the whole wait; each refresh is "begun,active,size known".
    void busyBar_data()
    {
        QTest::addColumn<QString>("refreshes");
        QTest::addColumn<QString>("busy");
        QTest::newRow("one download without a size") << "1,1,0 1,1,0 1,1,0" << "011";
        QTest::newRow("small files, each sizeless a moment") << "1,1,0 2,1,0 3,1,0 4,1,0" << "0000";
        QTest::newRow("its size comes") << "1,1,0 1,1,0 1,1,1 1,1,0" << "0100";
        QTest::newRow("between two entries") << "1,1,0 1,0,0 1,1,0 1,1,0" << "0001";
        QTest::newRow("parallel: another begins") << "3,2,0 3,2,0 4,2,0 4,2,0" << "0101";
    }
    void busyBar()
    {
        QFETCH(QString, refreshes);
        QFETCH(QString, busy);
        SizeUnknownWatch watch(2);
        QString seen;
        for (const QString& refresh : refreshes.split(QLatin1Char(' '))) {
            const QStringList f = refresh.split(QLatin1Char(','));
            seen += watch.busyAfter(f[0].toInt(), f[1].toInt(), f[2] == QLatin1String("1")) ? u'1' : u'0';
        }
        QCOMPARE(seen, busy);
    }
};

QTEST_APPLESS_MAIN(TestText)
#include "test_text.moc"
