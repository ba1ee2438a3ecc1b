// The configuration file: exact output, reading rules, merging, defaults,
// bad input and the atomic save.
#include "settings/configfile.h"
#include "settings/inireader.h"
#include "settings/settings.h"
#include "tests/support/scriptedinteraction.h"
#include "tests/support/testutil.h"

#include <QRandomGenerator>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace pm;
using namespace pm::test;

namespace {

void fillNonDefaultSettings()
{
    Settings& s = settings();
    s.strG_SavePath = QStringLiteral("/data/out, with comma");
    s.strG_LogFileName = QStringLiteral("/data/logs/run.log");
    s.strG_FileExt = QStringLiteral("jpg png");
    s.bG_LogDownloads = false;
    s.strG_Unattended = QStringLiteral("Resume");
    s.strG_StartURL = QStringLiteral("Last");
    s.bG_LogCSV = false;
    s.bG_ScrapeLink = false;
    s.bG_ScrapeEmbedded = true;
    s.bG_MaintainHistory = true;
    s.bG_CreatePath = true;
    s.bG_SaveLarge = true;
    s.sG_FileSize = 2.5f;
    s.strG_FileDupOption = QStringLiteral("Rename");
    s.bG_Disclaimer = true;
    s.colG_Queue = {QStringLiteral("http://h/a.jpg?x=1,2"), QStringLiteral("http://h/b.jpg")};
}

QByteArray lines(const QStringList& list)
{
    return (list.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

// Settings lines as a file with everything else at the record's defaults.
QStringList defaultSettingLines()
{
    return {QStringLiteral("\"strG_SavePath\",\"\""),      QStringLiteral("\"strG_LogFileName\",\"\""),
            QStringLiteral("\"strG_FileExt\",\"wmv mpg jpg gif mpeg\""),
            QStringLiteral("\"bG_LogDownloads\",#TRUE#"),  QStringLiteral("\"strG_Unattended\",\"\""),
            QStringLiteral("\"strG_StartURL\",\"home\""),  QStringLiteral("\"bG_LogCSV\",#TRUE#"),
            QStringLiteral("\"bG_ScrapeLink\",#TRUE#"),    QStringLiteral("\"bG_ScrapeEmbedded\",#FALSE#"),
            QStringLiteral("\"bG_MaintainHistory\",#FALSE#"), QStringLiteral("\"bG_CreatePath\",#FALSE#"),
            QStringLiteral("\"bG_SaveLarge\",#FALSE#"),    QStringLiteral("\"sG_FileSize\",100"),
            QStringLiteral("\"strG_FileDupOption\",\"\""), QStringLiteral("\"bG_Disclaimer\",#FALSE#")};
}

}  // namespace

class TestConfigFile : public QObject {
    Q_OBJECT
private slots:
    void saveWritesTheExactFormat()
    {
        FreshSettings fresh;
        Settings& s = settings();
        s.strG_FileExt = QString::fromLatin1(kDefaultFileExt);
        s.bG_LogDownloads = s.bG_LogCSV = s.bG_ScrapeLink = true;
        s.strG_StartURL = QStringLiteral("home");
        s.sG_FileSize = 100;
        const QString file = fresh.path(QStringLiteral("a.ini"));

        SaveINI(file, {});
        QCOMPARE(readAll(file), lines(defaultSettingLines()));
        QCOMPARE(crlfLines(readAll(file)).size(), 15);
        // A new file is readable by others, as an ordinary file would be; a
        // replaced one keeps the permissions the user gave it.
        QVERIFY(QFileInfo(file).permissions() & QFileDevice::ReadOther);
        QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        SaveINI(file, {});
        QCOMPARE(QFileInfo(file).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
                 QFileDevice::Permissions());
        QCOMPARE(QDir(fresh.dir.path()).entryList({QStringLiteral("a.ini*")}, QDir::Files), QStringList{QStringLiteral("a.ini")});

        s.colG_Queue = {QStringLiteral("http://q/1.jpg")};
        SaveINI(file, {QStringLiteral("http://a/"), QStringLiteral("http://b/")});
        QStringList expected = defaultSettingLines();
        expected << QStringLiteral("\"URL0\",\"http://a/\"") << QStringLiteral("\"URL1\",\"http://b/\"")
                 << QStringLiteral("\"Queue\",\"http://q/1.jpg\"");
        QCOMPARE(readAll(file), lines(expected));
    }

    void numbersInPlainDecimal_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 100.0f << "100";
        QTest::newRow("half") << 2.5f << "2.5";
        QTest::newRow("tenth, shortest form") << 0.1f << "0.1";
        QTest::newRow("zero") << 0.0f << "0";
        QTest::newRow("large, no exponent") << 1e10f << "10000000000";
    }
    void numbersInPlainDecimal()
    {
        QFETCH(float, value);
        QFETCH(QString, text);
        QCOMPARE(iniNumberText(value), text);
        QCOMPARE(iniFieldToSingle({text, false}), value);
    }

    void roundTripRestoresEverythingInOrder()
    {
        FreshSettings fresh;
        fillNonDefaultSettings();
        const Settings saved = settings();
        const QStringList history = {QStringLiteral("http://x/?a=1,b=2"), QStringLiteral("http://y/"),
                                     QStringLiteral("HTTP://Z/")};
        const QString file = fresh.path(QStringLiteral("round.ini"));
        SaveINI(file, history);

        settings() = Settings{};
        settings().strG_AppPath = fresh.dir.path();
        QStringList loadedHistory;
        QVERIFY(LoadINI(file, loadedHistory));
        const Settings& s = settings();
        QCOMPARE(loadedHistory, history);
        QCOMPARE(s.colG_Queue, saved.colG_Queue);
        QCOMPARE(s.strG_SavePath, saved.strG_SavePath);
        QCOMPARE(s.strG_LogFileName, saved.strG_LogFileName);
        QCOMPARE(s.strG_FileExt, saved.strG_FileExt);
        QCOMPARE(s.bG_LogDownloads, false);
        QCOMPARE(s.strG_Unattended, saved.strG_Unattended);
        QCOMPARE(s.strG_StartURL, saved.strG_StartURL);
        QCOMPARE(s.bG_LogCSV, false);
        QCOMPARE(s.bG_ScrapeLink, false);
        QCOMPARE(s.bG_ScrapeEmbedded, true);
        QCOMPARE(s.bG_MaintainHistory, true);
        QCOMPARE(s.bG_CreatePath, true);
        QCOMPARE(s.bG_SaveLarge, true);
        QCOMPARE(s.sG_FileSize, 2.5f);
        QCOMPARE(s.strG_FileDupOption, saved.strG_FileDupOption);
        QCOMPARE(s.bG_Disclaimer, true);
    }

    void missingFileGivesTheDefaults()
    {
        FreshSettings fresh;
        fresh.logHere();
        settings().strG_LogFileName.clear();
        QStringList history;
        QVERIFY(LoadINI(fresh.path(QStringLiteral("none.ini")), history));
        const Settings& s = settings();
        QCOMPARE(s.strG_FileExt, QStringLiteral("wmv mpg jpg gif mpeg"));
        QVERIFY(s.bG_LogDownloads && s.bG_LogCSV && s.bG_ScrapeLink);
        QVERIFY(!s.bG_ScrapeEmbedded && !s.bG_MaintainHistory && !s.bG_CreatePath && !s.bG_SaveLarge);
        QVERIFY(!s.bG_Disclaimer);
        QCOMPARE(s.strG_StartURL, QStringLiteral("home"));
        QCOMPARE(s.strG_SavePath, fresh.dir.path());
        QCOMPARE(s.strG_LogFileName, fresh.path(QStringLiteral("pulmark.log")));
        QVERIFY(s.strG_Unattended.isEmpty() && s.strG_FileDupOption.isEmpty());
        QCOMPARE(s.sG_FileSize, 0.0f);
        QVERIFY(history.isEmpty());
    }

    void loadMergesIntoTheRunningProgram()
    {
        FreshSettings fresh;
        fresh.logHere();
        Settings& s = settings();
        s.bG_LogCSV = false;
        s.bG_SaveLarge = true;
        s.strG_SavePath = QStringLiteral("/keep/me");
        s.colG_Queue = {QStringLiteral("http://old/1.jpg")};
        QStringList history = {QStringLiteral("h0"), QStringLiteral("h1"), QStringLiteral("h2")};
        const QString file = fresh.path(QStringLiteral("merge.ini"));
        writeFile(file, lines({QStringLiteral("\"strG_FileExt\",\"\""),
                               QStringLiteral("\"URL\",\"new0\""),
                               QStringLiteral("\"URL1\",\"new1\""),
                               QStringLiteral("\"Queue\",\"http://q/a.jpg\""),
                               QStringLiteral("\"Queue\",\"http://q/a.jpg\""),
                               QStringLiteral("\"strG_StartURL\",\"Last\""),
                               QStringLiteral("\"strG_StartURL\",\"Home\""),
                               QStringLiteral("\"url0\",\"lower\"")}));
        QVERIFY(LoadINI(file, history));

        QCOMPARE(s.strG_FileExt, QStringLiteral("wmv mpg jpg gif mpeg"));  // "" gets the default
        QCOMPARE(s.bG_LogCSV, true);      // absent: becomes true
        QCOMPARE(s.bG_SaveLarge, true);   // absent: keeps its value
        QCOMPARE(s.strG_SavePath, QStringLiteral("/keep/me"));
        QCOMPARE(s.strG_StartURL, QStringLiteral("Home"));  // the later line wins
        QCOMPARE(history, (QStringList{QStringLiteral("new0"), QStringLiteral("new1"), QStringLiteral("h2")}));
        QCOMPARE(s.colG_Queue, (QStringList{QStringLiteral("http://old/1.jpg"), QStringLiteral("http://q/a.jpg"),
                                            QStringLiteral("http://q/a.jpg")}));
        QCOMPARE(fresh.logMessages(), QStringList{QStringLiteral("Don't recognize ini line: url0=lower")});
    }

    void flagConversions_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("converts");
        QTest::addColumn<bool>("result");
        QTest::newRow("#TRUE#") << "#TRUE#" << true << true;
        QTest::newRow("#FALSE#") << "#FALSE#" << true << false;
        QTest::newRow("quoted True") << "\"True\"" << true << true;
        QTest::newRow("quoted fALSE") << "\"fALSE\"" << true << false;
        QTest::newRow("zero") << "0" << true << false;
        QTest::newRow("minus one") << "-1" << true << true;
        QTest::newRow("quoted yes") << "\"yes\"" << false << false;
        QTest::newRow("quoted #TRUE# is text") << "\"#TRUE#\"" << false << false;
    }
    void flagConversions()
    {
        QFETCH(QString, value);
        QFETCH(bool, converts);
        QFETCH(bool, result);
        FreshSettings fresh;
        fresh.logHere();
        settings().strG_Unattended = QStringLiteral("Resume");
        settings().bG_SaveLarge = !result;
        const QString file = fresh.path(QStringLiteral("f.ini"));
        writeFile(file, lines({QStringLiteral("\"bG_SaveLarge\",") + value, QStringLiteral("\"strG_FileExt\",\"zip\"")}));
        QStringList history;
        QVERIFY(LoadINI(file, history));
        QCOMPARE(settings().strG_FileExt, QStringLiteral("zip"));  // the rest still loads
        if (converts) {
            QCOMPARE(settings().bG_SaveLarge, result);
            QVERIFY(fresh.logMessages().isEmpty());
        } else {
            QCOMPARE(settings().bG_SaveLarge, !result);  // unchanged
            QCOMPARE(fresh.logMessages().size(), 1);
            QVERIFY(fresh.logMessages().first().startsWith(QStringLiteral("Error #13(&HD) Type mismatch")));
            QVERIFY(fresh.logMessages().first().endsWith(QStringLiteral(" in LoadINI.")));
        }
    }

    void abortEndsTheLoadWithoutDefaults()
    {
        FreshSettings fresh;
        fresh.logHere();
        settings().strG_Unattended = QStringLiteral("Abort");
        const QString file = fresh.path(QStringLiteral("a.ini"));
        writeFile(file, lines({QStringLiteral("\"strG_SavePath\",\"/first\""), QStringLiteral("\"sG_FileSize\",\"big\""),
                               QStringLiteral("\"strG_FileDupOption\",\"Skip\"")}));
        QStringList history;
        QVERIFY(!LoadINI(file, history));
        QCOMPARE(settings().strG_SavePath, QStringLiteral("/first"));  // values read so far stay
        QVERIFY(settings().strG_FileDupOption.isEmpty());             // nothing after the error
        QVERIFY(settings().strG_FileExt.isEmpty());                   // no defaults
        QCOMPARE(fresh.logMessages().size(), 1);
    }

    void promptAnsweredNoCarriesOn()
    {
        FreshSettings fresh;
        fresh.logHere();
        ScriptedInteraction script;
        script.yesNoAnswers << false;
        settings().strG_Unattended = QStringLiteral("Prompt");
        const QString file = fresh.path(QStringLiteral("p.ini"));
        writeFile(file, lines({QStringLiteral("\"sG_FileSize\",1e999"), QStringLiteral("\"strG_FileDupOption\",\"Skip\"")}));
        QStringList history;
        QVERIFY(LoadINI(file, history));
        QCOMPARE(script.count(QStringLiteral("yesno")), 1);
        QVERIFY(script.asked.first().text.startsWith(QStringLiteral("LoadINI. Error #6 Overflow")));
        QCOMPARE(settings().strG_FileDupOption, QStringLiteral("Skip"));
    }

    void historyIndexes_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("history");
        QTest::addColumn<int>("reports");
        const QStringList two = {QStringLiteral("a"), QStringLiteral("b")};
        QTest::newRow("URL alone is 0") << "URL" << QStringList{QStringLiteral("v"), QStringLiteral("b")} << 0;
        QTest::newRow("append at count") << "URL2" << (two + QStringList{QStringLiteral("v")}) << 0;
        QTest::newRow("text after digits") << "URL1x" << QStringList{QStringLiteral("a"), QStringLiteral("v")} << 0;
        QTest::newRow("rounds to nearest") << "URL0.6" << QStringList{QStringLiteral("a"), QStringLiteral("v")} << 0;
        QTest::newRow("beyond the end") << "URL5" << two << 1;
        QTest::newRow("negative") << "URL-1" << two << 1;
        QTest::newRow("huge") << "URL99999999999" << two << 1;
    }
    void historyIndexes()
    {
        QFETCH(QString, key);
        QFETCH(QStringList, history);
        QFETCH(int, reports);
        FreshSettings fresh;
        fresh.logHere();
        settings().strG_Unattended = QStringLiteral("Resume");
        const QString file = fresh.path(QStringLiteral("u.ini"));
        writeFile(file, lines({QLatin1Char('"') + key + QStringLiteral("\",\"v\"")}));
        QStringList loaded = {QStringLiteral("a"), QStringLiteral("b")};
        QVERIFY(LoadINI(file, loaded));
        QCOMPARE(loaded, history);
        QCOMPARE(fresh.logMessages().size(), reports);
    }

    void oddLinesAreLoggedAndSkipped()
    {
        FreshSettings fresh;
        fresh.logHere();
        const QString file = fresh.path(QStringLiteral("odd.ini"));
        writeFile(file, "\"strG_SavePath\"\r\n"
                        "\"Queue\",\"http://a/1.jpg\",\"extra\"\r\n"
                        "\r\n"
                        "  \"strG_FileDupOption\" , \"Skip\" trailing\r\n"
                        "\"Queue\",\"http://a/2.jpg\"\n"          // LF alone
                        "\"strG_FileExt\",\"avi\"");              // no line end
        QStringList history;
        QVERIFY(LoadINI(file, history));
        QCOMPARE(settings().colG_Queue, QStringList{QStringLiteral("http://a/2.jpg")});
        QCOMPARE(settings().strG_FileDupOption, QStringLiteral("Skip"));
        QCOMPARE(settings().strG_FileExt, QStringLiteral("avi"));
        QCOMPARE(settings().strG_SavePath, fresh.dir.path());  // the one-field line set nothing
        QCOMPARE(fresh.logMessages(),
                 (QStringList{QStringLiteral("Don't recognize ini line: strG_SavePath="),
                              QStringLiteral("Don't recognize ini line: Queue=\"http://a/1.jpg\",\"extra\"")}));
    }

    void badInputNeverCrashesOrHangs()
    {
        FreshSettings fresh;
        fresh.logHere();
        settings().strG_Unattended = QStringLiteral("Resume");
        QStringList history;

        // Random bytes: terminates and still applies the defaults.
        const QString random = fresh.path(QStringLiteral("random.ini"));
        QByteArray noise(64 * 1024, Qt::Uninitialized);
        QRandomGenerator rng(42);
        for (char& c : noise)
            c = char(rng.bounded(256));
        writeFile(random, noise);
        QVERIFY(LoadINI(random, history));
        QCOMPARE(settings().strG_FileExt, QStringLiteral("wmv mpg jpg gif mpeg"));

        // One line of 2 MB: an unknown key, logged once.
        QFile::remove(fresh.path(QStringLiteral("test.log")));
        const QString longLine = fresh.path(QStringLiteral("long.ini"));
        writeFile(longLine, "\"" + QByteArray(2 * 1024 * 1024, 'k') + "\",\"v\"\r\n");
        QVERIFY(LoadINI(longLine, history));
        QCOMPARE(fresh.logMessages().size(), 1);

        // 100,000 queue lines all arrive, in order.
        settings().colG_Queue.clear();
        QByteArray many;
        for (int i = 0; i < 100000; ++i)
            many += "\"Queue\",\"http://h/" + QByteArray::number(i) + ".jpg\"\r\n";
        const QString big = fresh.path(QStringLiteral("big.ini"));
        writeFile(big, many);
        QVERIFY(LoadINI(big, history));
        QCOMPARE(settings().colG_Queue.size(), 100000);
        QCOMPARE(settings().colG_Queue.last(), QStringLiteral("http://h/99999.jpg"));
    }

    void unreadableFilesAreReportedOnce()
    {
        FreshSettings fresh;
        fresh.logHere();
        settings().strG_Unattended = QStringLiteral("Resume");
        QStringList history;

        // A folder where the file should be.
        const QString folder = fresh.path(QStringLiteral("folder.ini"));
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(LoadINI(folder, history));
        QCOMPARE(fresh.logMessages().size(), 1);
        QVERIFY(fresh.logMessages().first().contains(QStringLiteral("in LoadINI.")));
        QCOMPARE(settings().strG_StartURL, QStringLiteral("home"));  // defaults still apply

        // A named pipe would block a plain open forever.
        const QString fifo = fresh.path(QStringLiteral("fifo.ini"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY(LoadINI(fifo, history));
        QCOMPARE(fresh.logMessages().size(), 2);
    }

    void failedSaveLeavesThePreviousFileIntact()
    {
        FreshSettings fresh;
        fresh.logHere();
        settings().strG_Unattended = QStringLiteral("Resume");
        const QString file = fresh.path(QStringLiteral("keep.ini"));
        SaveINI(file, {QStringLiteral("http://old/")});
        const QByteArray before = readAll(file);
        QVERIFY(!before.isEmpty());

        // A write that fails part-way: the file-size limit stops the writes
        // after 1 KiB, as a full disk would.
        for (int i = 0; i < 2000; ++i)
            settings().colG_Queue << QStringLiteral("http://h/%1.jpg").arg(i);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit previous{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &previous), 0);
        rlimit limited = previous;
        limited.rlim_cur = 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        SaveINI(file, {QStringLiteral("http://new/")});
        setrlimit(RLIMIT_FSIZE, &previous);

        QCOMPARE(readAll(file), before);
        const QStringList messages = fresh.logMessages();
        QVERIFY(!messages.isEmpty());
        QVERIFY(messages.last().endsWith(QStringLiteral(" in SaveINI.")));
        QCOMPARE(QDir(fresh.dir.path()).entryList({QStringLiteral("keep.ini*")}, QDir::Files),
                 QStringList{QStringLiteral("keep.ini")});  // no temporary left

        // A folder that does not exist: reported, in Abort mode once only.
        settings().strG_Unattended = QStringLiteral("Abort");
        QFile::remove(fresh.path(QStringLiteral("test.log")));
        SaveINI(fresh.path(QStringLiteral("missing/x.ini")), {});
        QCOMPARE(fresh.logMessages().size(), 1);
        QVERIFY(fresh.logMessages().first().startsWith(QStringLiteral("Error #76(&H4C) Path not found")));
    }
};

QTEST_GUILESS_MAIN(TestConfigFile)
#include "test_configfile.moc"
