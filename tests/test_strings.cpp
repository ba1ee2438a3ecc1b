// The shared text routines: extensions, file names, path splitting, clocks.
#include "common/strings.h"
#include "common/twips.h"

#include <QtTest>

using namespace pm;

class TestStrings : public QObject {
    Q_OBJECT
private slots:
    void fileExt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("ext");
        QTest::newRow("plain") << "http://h/a.JPG" << "JPG";
        QTest::newRow("query kept") << "http://h/pic.jpg?s=1" << "jpg?s=1";
        QTest::newRow("no dot: whole text") << "abc" << "abc";
        QTest::newRow("ends in dot") << "http://h/a." << "";
        QTest::newRow("dot in host only") << "http://www.h.com/" << "com/";
        QTest::newRow("empty") << "" << "";
    }
    void fileExt()
    {
        QFETCH(QString, text);
        QFETCH(QString, ext);
        QCOMPARE(GetFileExt(text), ext);
    }

    void fileName_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::newRow("url") << "http://h/d/a.jpg" << "a.jpg";
        QTest::newRow("backslash later") << "http://h/d\\x.jpg" << "x.jpg";
        QTest::newRow("slash later") << "c:\\d/y.jpg" << "y.jpg";
        QTest::newRow("query kept") << "http://h/a.jpg?x=1" << "a.jpg?x=1";
        QTest::newRow("trailing slash") << "http://h/d/" << "";
        QTest::newRow("no separator") << "a.jpg" << "a.jpg";
    }
    void fileName()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QCOMPARE(GetFileName(text), name);
    }

    void splitPath()
    {
        QString folder, name;
        SplitPath(QStringLiteral("/var/logs/run.log"), folder, name);
        QCOMPARE(folder, QStringLiteral("/var/logs"));
        QCOMPARE(name, QStringLiteral("run.log"));
        SplitPath(QStringLiteral("/run.log"), folder, name);
        QCOMPARE(folder, QString());
        QCOMPARE(name, QStringLiteral("run.log"));
        SplitPath(QStringLiteral("run.log"), folder, name);
        QCOMPARE(folder, QString());
        QCOMPARE(name, QStringLiteral("run.log"));
    }

    void formatElapsed_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << qint64(0) << "00:00:00";
        QTest::newRow("59") << qint64(59) << "00:00:59";
        QTest::newRow("60") << qint64(60) << "00:01:00";
        QTest::newRow("65") << qint64(65) << "00:01:05";
        QTest::newRow("3600") << qint64(3600) << "01:00:00";
        QTest::newRow("3661") << qint64(3661) << "01:01:01";
        QTest::newRow("32767") << qint64(32767) << "09:06:07";
        QTest::newRow("past 16 bits") << qint64(40000) << "11:06:40";
        QTest::newRow("99 hours") << qint64(99 * 3600 + 59) << "99:00:59";
        QTest::newRow("100 hours widen") << qint64(100 * 3600 + 1) << "100:00:01";
        QTest::newRow("negative") << qint64(-5) << "00:00:-5";
    }
    void formatElapsed()
    {
        QFETCH(qint64, seconds);
        QFETCH(QString, text);
        QCOMPARE(FormatElapsed(seconds), text);
    }

    void twips()
    {
        QCOMPARE(twipsToPixels(1440, 96), 96);
        QCOMPARE(twipsToPixels(10000, 96), 667);
        QCOMPARE(pixelsToTwips(667, 96), 10005);
        QCOMPARE(twipsToPixels(15, 96), 1);
    }
};

QTEST_APPLESS_MAIN(TestStrings)
#include "test_strings.moc"
