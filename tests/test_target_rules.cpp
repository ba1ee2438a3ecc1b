// Where a download goes: the name it is saved under, and the rules that
// decide whether and how it is saved.
#include "core/download/filenames.h"

#include <QtTest>

using namespace pm;

class TestTargetRules : public QObject {
    Q_OBJECT
private slots:
    void savedNames_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QByteArray>("disposition");
        QTest::addColumn<QString>("contentType");
        QTest::addColumn<QString>("saved");  // "(none)": refused
        const QString longStem(300, QLatin1Char('a'));
        const QString wideStem(200, QChar(0xe9));  // two bytes each in UTF-8
        QTest::newRow("query") << "http://h/d/photo.jpg?width=800" << QByteArray() << "" << "photo.jpg";
        QTest::newRow("fragment") << "http://h/a.jpg#top" << QByteArray() << "" << "a.jpg";
        QTest::newRow("%20") << "http://h/My%20Holiday.jpg" << QByteArray() << "" << "My Holiday.jpg";
        QTest::newRow("encoded slash") << "http://h/a%2F..%2Fx.jpg?q=/y" << QByteArray() << "" << "x.jpg";
        QTest::newRow("control character") << "http://h/a%0Ab%7F.jpg" << QByteArray() << "" << "ab.jpg";
        QTest::newRow("leading dots") << "http://h/..hidden.jpg" << QByteArray() << "" << "hidden.jpg";
        QTest::newRow("filename*") << "http://h/get?id=3" << QByteArray("attachment; filename*=UTF-8''%E2%82%AC%20rates.pdf")
                                   << "" << QString::fromUtf8("\xe2\x82\xac rates.pdf");
        QTest::newRow("filename* before filename")
            << "http://h/get" << QByteArray("attachment; filename=\"old.pdf\"; filename*=utf-8'en'new.pdf") << "" << "new.pdf";
        QTest::newRow("filename* of another charset")
            << "http://h/get" << QByteArray("attachment; filename*=koi8-r''x.pdf; filename=plain.pdf") << "" << "plain.pdf";
        QTest::newRow("ISO-8859-1") << "http://h/get" << QByteArray("inline; filename*=iso-8859-1''caf%E9.txt") << ""
                                    << QString::fromUtf8("caf\xc3\xa9.txt");
        QTest::newRow("quoted ../../x") << "http://h/get" << QByteArray("attachment; filename=\"../../x.jpg\"") << "" << "x.jpg";
        QTest::newRow("backslashes") << "http://h/get" << QByteArray("attachment; filename=..\\..\\x.jpg") << "" << "x.jpg";
        QTest::newRow("quoted ; and escapes")
            << "http://h/get" << QByteArray("attachment; filename=\"a;b \\\"c\\\".jpg\"; size=3") << "" << "a;b \"c\".jpg";
        QTest::newRow("UTF-8 in filename") << "http://h/get" << QByteArray("attachment; filename=\"\xc3\xa9t\xc3\xa9.jpg\"") << ""
                                           << QString::fromUtf8("\xc3\xa9t\xc3\xa9.jpg");
        QTest::newRow("disposition without a name") << "http://h/a.jpg" << QByteArray("attachment") << "" << "a.jpg";
        QTest::newRow("disposition naming only dots") << "http://h/a.jpg" << QByteArray("attachment; filename=\"..\"") << ""
                                                      << "a.jpg";
        QTest::newRow("trailing / with a type") << "http://h/gallery/" << QByteArray() << "text/html; charset=utf-8"
                                                << "index.html";
        QTest::newRow("trailing / without a type") << "http://h/gallery/" << QByteArray() << "" << "index";
        QTest::newRow("no path") << "http://h" << QByteArray() << "image/png" << "index.png";
        QTest::newRow("300-byte name") << "http://h/" + longStem + ".jpg" << QByteArray() << ""
                                       << QString(251, QLatin1Char('a')) + ".jpg";
        QTest::newRow("cut between characters") << "http://h/" + wideStem + ".jpg" << QByteArray() << ""
                                                << QString(125, QChar(0xe9)) + ".jpg";
        QTest::newRow("300-byte extension") << "http://h/a." + longStem << QByteArray() << "" << "a." + QString(253, 'a');
        QTest::newRow("ends in ..") << "http://h/a/.." << QByteArray() << "" << "(none)";
        QTest::newRow("ends in .") << "http://h/a/." << QByteArray("attachment; filename=b.jpg") << "" << "(none)";
        QTest::newRow("own file's name stays") << "http://h/Pullmark.ini" << QByteArray() << "" << "Pullmark.ini";
    }

    void savedNames()
    {
        QFETCH(QString, url);
        QFETCH(QByteArray, disposition);
        QFETCH(QString, contentType);
        QFETCH(QString, saved);
        const std::optional<QString> name = savedFileName(url, {disposition, contentType});
        QCOMPARE(name.value_or(QStringLiteral("(none)")), saved);
        QVERIFY(QFile::encodeName(name.value_or(QString())).size() <= kLongestFileName);
        // Before an answer the list shows the address's own name.
        if (disposition.isEmpty() && contentType.isEmpty())
            QCOMPARE(shownFileName(url), name.value_or(QUrl(url).fileName()));
    }
};

QTEST_GUILESS_MAIN(TestTargetRules)
#include "test_target_rules.moc"
