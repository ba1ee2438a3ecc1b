// The configuration file: format, reading rules, merging, bad input, saving.
#include "core/config/configfile.h"
#include "core/config/configformat.h"
#include "tests/support/testcontext.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace pm;
using namespace pm::test;

namespace {
QByteArray lines(const QStringList& list)
{
    return (list.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

// The settings a first start writes, with the defaults applied.
const QStringList kDefaultLines = {
    "\"strG_SavePath\",\"\"",          "\"strG_LogFileName\",\"\"",     "\"strG_FileExt\",\"wmv mpg jpg gif mpeg\"",
    "\"bG_LogDownloads\",#TRUE#",      "\"strG_Unattended\",\"\"",      "\"strG_StartURL\",\"home\"",
    "\"bG_LogCSV\",#TRUE#",            "\"bG_ScrapeLink\",#TRUE#",      "\"bG_ScrapeEmbedded\",#FALSE#",
    "\"bG_MaintainHistory\",#FALSE#",  "\"bG_CreatePath\",#FALSE#",     "\"bG_SaveLarge\",#FALSE#",
    "\"sG_FileSize\",0",               "\"strG_FileDupOption\",\"\"",   "\"bG_Disclaimer\",#FALSE#"};

bool load(TestContext& t, const QString& file, ConfigurationLists& lists)
{
    return loadConfiguration(file, t.settings, lists, t.app.errors, t.app.log);
}
}  // namespace

class TestConfigFile : public QObject {
    Q_OBJECT
private slots:
    // A first start: the defaults, saved in the exact format. A new file is
    // readable by others; a replaced one keeps the permissions the user gave
    // it, and no temporary file stays.
    void defaultsSavedInTheExactFormat()
    {
        TestContext t;
        t.settings.activityLogFile.clear();
        ConfigurationLists lists;
        const QString file = t.path("a.ini");
        QVERIFY(load(t, file, lists));
        QVERIFY(lists.history.isEmpty() && lists.queue.isEmpty());
        saveConfiguration(file, t.settings, lists, t.app.errors);
        QStringList expected = kDefaultLines;
        expected[0] = "\"strG_SavePath\",\"" + t.dir.path() + '"';
        expected[1] = "\"strG_LogFileName\",\"" + t.path("pulmark.log") + '"';
        QCOMPARE(crlfLines(readAll(file)), expected);
        QVERIFY(QFileInfo(file).permissions() & QFileDevice::ReadOther);
        QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        saveConfiguration(file, t.settings, lists, t.app.errors);
        QVERIFY(!(QFileInfo(file).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup)));
        QCOMPARE(QDir(t.dir.path()).entryList({"a.ini*"}, QDir::Files), QStringList{"a.ini"});
    }

    // A hand-edited file with every key, unknown and lowercase keys and odd
    // spacing is written back with the values as read, in the program's order.
    void handEditedFileIsRewrittenExactly()
    {
        TestContext t;
        const QString file = t.path("edited.ini");
        writeFile(file, "  \"bG_Disclaimer\" , #true#\r\n"
                        "\"Queue\",\"http://q/b.jpg\"\r\n"
                        "\"strG_SavePath\",\"/data/out, with comma\"\r\n"
                        "\"strg_savepath\",\"/ignored\"\r\n"
                        "\"strG_LogFileName\",\"/data/logs/run.log\"\n"
                        "\"strG_FileExt\",  \"jpg png\"  \r\n"
                        "\"bG_LogDownloads\",False\r\n"
                        "\"strG_Unattended\",\"resume\"\r\n"
                        "\"strG_StartURL\",\"LAST\"\r\n"
                        "\"bG_LogCSV\",0\r\n"
                        "\"URL0\",\"http://first/\"\r\n"
                        "\"bG_ScrapeLink\",\"fALSE\"\r\n"
                        "\"bG_ScrapeEmbedded\",-1\r\n"
                        "\"bG_MaintainHistory\",#TRUE#\r\n"
                        "\"URL1\",\"http://second/\"\r\n"
                        "\"bG_CreatePath\",#TRUE#\r\n"
                        "\"bG_SaveLarge\",\"True\"\r\n"
                        "\"sG_FileSize\",2.50\r\n"
                        "\"strG_FileDupOption\",\"skip\"\r\n"
                        "\"bG_Probe\",#FALSE#\r\n"
                        "\"iG_SameContent\",1\r\n"
                        "\"bG_SkipArchived\",#TRUE#\r\n"
                        "\"bG_ImagesAsShown\",1\r\n"
                        "\"bG_ClassicScan\",#FALSE#\r\n"
                        "\"iG_LinkedPages\",2500\r\n"
                        "\"bG_FollowOtherSites\",#TRUE#\r\n"
                        "\"Comment\",\"kept in the log only\"\r\n"
                        "\"Queue\",\"http://q/a\"b.jpg\"\r\n"
                        "\"Queue\",\"http://q/a.jpg?x=1,2\"");
        ConfigurationLists lists;
        QVERIFY(load(t, file, lists));
        saveConfiguration(file, t.settings, lists, t.app.errors);
        QCOMPARE(readAll(file), lines({
            "\"strG_SavePath\",\"/data/out, with comma\"", "\"strG_LogFileName\",\"/data/logs/run.log\"",
            "\"strG_FileExt\",\"jpg png\"", "\"bG_LogDownloads\",#FALSE#", "\"strG_Unattended\",\"resume\"",
            "\"strG_StartURL\",\"LAST\"", "\"bG_LogCSV\",#FALSE#", "\"bG_ScrapeLink\",#FALSE#",
            "\"bG_ScrapeEmbedded\",#TRUE#", "\"bG_MaintainHistory\",#TRUE#", "\"bG_CreatePath\",#TRUE#",
            "\"bG_SaveLarge\",#TRUE#", "\"sG_FileSize\",2.5", "\"strG_FileDupOption\",\"skip\"",
            "\"bG_Disclaimer\",#TRUE#", "\"bG_SkipArchived\",#TRUE#", "\"iG_SameContent\",1", "\"bG_Probe\",#FALSE#",
            "\"bG_ImagesAsShown\",#TRUE#", "\"bG_FollowOtherSites\",#TRUE#", "\"iG_LinkedPages\",1000",
            "\"URL0\",\"http://first/\"", "\"URL1\",\"http://second/\"",
            "\"Queue\",\"http://q/b.jpg\"", "\"Queue\",\"http://q/a\"b.jpg\"", "\"Queue\",\"http://q/a.jpg?x=1,2\""}));
        QCOMPARE(numberText(0.1f), QStringLiteral("0.1"));
        QCOMPARE(numberText(1e10f), QStringLiteral("10000000000"));
        QVERIFY(!t.settings.historyEnabled);  // the file's flag says whether the history is kept off
    }

    // Loading merges into the running program; lines it cannot read are
    // logged and skipped, whatever their line ends.
    void loadMergesIntoTheRunningProgram()
    {
        TestContext t;
        Settings& s = t.settings;
        s.logCsv = false;
        s.skipSmallFiles = true;
        s.outputFolder = QStringLiteral("/keep/me");
        ConfigurationLists lists{{"h0", "h1", "h2"}, {}, {}};
        const QString file = t.path("merge.ini");
        writeFile(file, lines({"\"strG_FileExt\",\"\"", "\"URL\",\"new0\"", "\"URL1\",\"new1\"",
                               "\"Queue\",\"http://q/a.jpg\"", "\"Queue\",\"http://q/a.jpg\"",
                               "\"strG_StartURL\",\"Last\"", "\"strG_StartURL\",\"Home\"", "\"url0\",\"lower\"",
                               "\"strG_SavePath\"", "\"Queue\",\"http://q/1.jpg\",\"extra\"", "",
                               "  \"strG_FileDupOption\" , \"Skip\"  "})
                            + "\"Queue\",\"http://q/2.jpg\"\n\"bG_ScrapeEmbedded\",#TRUE#");
        QVERIFY(load(t, file, lists));
        QCOMPARE(s.extensions, QStringLiteral("wmv mpg jpg gif mpeg"));  // "" gets the default
        QVERIFY(s.logCsv);         // absent: on
        QVERIFY(s.skipSmallFiles);  // absent: keeps its value
        QCOMPARE(s.outputFolder, QStringLiteral("/keep/me"));
        QCOMPARE(s.startPageText, QStringLiteral("Home"));  // the later line wins
        QCOMPARE(s.duplicateRule(), DuplicateRule::Skip);
        QVERIFY(s.scanImages);
        QCOMPARE(lists.history, (QStringList{"new0", "new1", "h2"}));
        QCOMPARE(lists.queue, (QStringList{"http://q/a.jpg", "http://q/a.jpg", "http://q/2.jpg"}));  // duplicates too
        QCOMPARE(t.logMessages(), (QStringList{"Don't recognize ini line: url0=lower", "Don't recognize ini line: strG_SavePath=",
                                               "Don't recognize ini line: Queue=\"http://q/1.jpg\",\"extra\""}));
    }

    // Each entry keeps the page it was found on: a "QueueFrom" line right
    // after its "Queue" line, only when the page is known; the journal keeps
    // it across a crash.
    void entriesKeepTheirPage()
    {
        TestContext t;
        const QString file = t.settings.configurationFile;
        const QString page = QStringLiteral("http://site/gallery?p=1");
        t.app.queue.addNew({"http://q/a.jpg", "http://q/b.jpg"}, page);
        t.app.queue.append({"http://q/c.jpg"});
        QVERIFY(t.app.saveConfiguration(file));
        QVERIFY(readAll(file).endsWith(lines({"\"Queue\",\"http://q/a.jpg\"", "\"QueueFrom\",\"" + page + '"',
                                              "\"Queue\",\"http://q/b.jpg\"", "\"QueueFrom\",\"" + page + '"',
                                              "\"Queue\",\"http://q/c.jpg\""})));
        // Changed after the save: only the journal knows, until a crash.
        t.app.queue.remove(t.app.queue.idAt(0));
        t.app.queue.addNew({"http://q/d.jpg"}, QStringLiteral("http://other/\"quoted\""));
        TestContext restarted;
        restarted.app.setProgramFolder(t.dir.path());
        QVERIFY(restarted.app.loadStoredConfiguration());
        QCOMPARE(restarted.app.queue.urls(), (QStringList{"http://q/b.jpg", "http://q/c.jpg", "http://q/d.jpg"}));
        QCOMPARE(restarted.app.queue.foundOnPages(), (QStringList{page, "", "http://other/\"quoted\""}));
    }

    // Damaged files: whatever the error mode every other line is read and the
    // defaults apply; each bad line is logged with its number, the user is
    // asked at most once; the first save keeps the file as it was, later ones
    // leave that copy alone.
    void damagedFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("history");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<QString>("extensions");
        QTest::addColumn<bool>("kept");
        const QByteArray queue = lines({"\"Queue\",\"http://q/1.jpg\"", "\"Queue\",\"http://q/2.jpg\""});
        const QString defaults = QStringLiteral("wmv mpg jpg gif mpeg");
        const QByteArray badValues = lines({"\"strG_FileExt\",\"zip\"", "\"sG_FileSize\",\"big\"",
                                            "\"bG_LogDownloads\",\"maybe\"", "\"bG_SaveLarge\",\"yes\""});
        const QStringList badValueErrors = {"Error #13(&HD) Type mismatch: big (line 2) in LoadINI.",
                                            "Error #13(&HD) Type mismatch: yes (line 4) in LoadINI.",
                                            "Error #13(&HD) Type mismatch: maybe (line 3) in LoadINI."};
        QTest::newRow("URL7 after URL0 alone") << lines({"\"URL0\",\"a\"", "\"URL7\",\"b\""}) + queue << "Abort"
                                               << QStringList{"a", "b"} << QStringList{} << defaults << false;
        QTest::newRow("lines cut short") << lines({"\"URL0", "\"URL1\",\"a\"", "\"URL2\",\"b\"",
                                                  "\"strG_FileDupOption\",\"Skip\" trailing"}) + queue
                                         << "Resume" << QStringList{"a", "b"}
                                         << QStringList{"Error #35703(&H8B77) Line cannot be read whole: line 1 in LoadINI.",
                                                        "Error #35703(&H8B77) Line cannot be read whole: line 4 in LoadINI."}
                                         << defaults << true;
        QTest::newRow("bad values, Abort") << badValues + queue << "Abort" << QStringList{} << badValueErrors << "zip" << true;
        QTest::newRow("bad values, Prompt") << badValues + queue << "Prompt" << QStringList{} << badValueErrors << "zip"
                                            << true;
        QTest::newRow("Latin-1") << "\"strG_FileExt\",\"caf\xE9\"\r\n" + queue << "Resume" << QStringList{}
                                 << QStringList{} << QStringLiteral("caf\u00E9") << true;
        // A value that does not convert is reported under "LoadINI."; one that does is no damage.
        const QByteArray zip = lines({"\"strG_FileExt\",\"zip\""}) + queue;
        QTest::newRow("quoted #TRUE# is text") << "\"bG_SaveLarge\",\"#TRUE#\"\r\n" + zip << "Resume" << QStringList{}
                                               << QStringList{"Error #13(&HD) Type mismatch: #TRUE# (line 1) in LoadINI."}
                                               << "zip" << true;
        QTest::newRow("size with exponent") << "\"sG_FileSize\",1e3\r\n" + zip << "Resume" << QStringList{} << QStringList{}
                                            << "zip" << false;
        QTest::newRow("size too large") << "\"sG_FileSize\",1e999\r\n" + zip << "Resume" << QStringList{}
                                        << QStringList{"Error #6(&H6) Overflow: 1e999 (line 1) in LoadINI."} << "zip" << true;
    }
    void damagedFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, mode);
        QFETCH(QStringList, history);
        QFETCH(QStringList, errors);
        QFETCH(QString, extensions);
        QFETCH(bool, kept);
        TestContext t;
        t.settings.errorModeText = mode;
        const QString ini = t.settings.configurationFile;
        writeFile(ini, content);
        QCOMPARE(t.app.loadConfiguration(ini), errors.isEmpty() || mode != "Abort");
        QCOMPARE(t.app.queue.urls(), (QStringList{"http://q/1.jpg", "http://q/2.jpg"}));
        QCOMPARE(t.app.history.entries(), history);
        QCOMPARE(t.errorLines(), errors);
        QCOMPARE(t.ui.count("yesno"), mode == "Prompt" && !errors.isEmpty() ? 1 : 0);
        QCOMPARE(t.settings.extensions, extensions);
        QVERIFY(t.settings.scanLinks);  // a default, applied whatever the mode

        t.app.saveConfiguration(ini);
        t.app.queue.append({"http://q/3.jpg"});
        t.app.saveConfiguration(ini);
        QCOMPARE(readAll(ini + ".bak"), kept ? content : QByteArray());
        QCOMPARE(t.logMessages().filter("Kept a copy of " + ini + " as it was in " + ini + ".bak").size(), kept ? 1 : 0);
        const QStringList saved = crlfLines(readAll(ini));
        QVERIFY(saved.contains("\"Queue\",\"http://q/3.jpg\"") && saved.contains("\"strG_FileExt\",\"" + extensions + '"'));
    }

    // A very long line is no crash, and the next line is read. (Very many
    // lines: bench/bench_configfile.cpp.)
    void veryLongLine()
    {
        TestContext t;
        ConfigurationLists lists;
        const QByteArray longKey(2 * 1024 * 1024, 'k');
        writeFile(t.path("big.ini"), "\"" + longKey + "\",\"v\"\r\n\"Queue\",\"http://h/1.jpg\"");
        QVERIFY(load(t, t.path("big.ini"), lists));
        QCOMPARE(lists.queue, QStringList{"http://h/1.jpg"});
    }

    void failedSaveLeavesThePreviousFileIntact()
    {
        TestContext t;
        const QString file = t.path("keep.ini");
        saveConfiguration(file, t.settings, {{"http://old/"}, {}, {}}, t.app.errors);
        const QByteArray before = readAll(file);

        // A write that fails part-way, as on a full disk: the file-size limit
        // stops the writes after 1 KiB.
        ConfigurationLists lists{{"http://new/"}, {}, {}};
        for (int i = 0; i < 2000; ++i)
            lists.queue << QStringLiteral("http://h/%1.jpg").arg(i);
        {
            FileSizeLimit limit(1024);
            saveConfiguration(file, t.settings, lists, t.app.errors);
        }

        QCOMPARE(readAll(file), before);
        QCOMPARE(t.errorLines().size(), 1);
        QVERIFY(t.errorLines().last().startsWith("Error #61(&H3D) Disk full: "));
        QVERIFY(t.errorLines().last().endsWith(" in SaveINI."));
        QCOMPARE(QDir(t.dir.path()).entryList({"keep.ini*"}, QDir::Files), QStringList{"keep.ini"});

        // A folder that does not exist: one report, one question.
        t.settings.errorModeText = QStringLiteral("Prompt");
        QFile::remove(t.settings.activityLogFile);
        saveConfiguration(t.path("missing/x.ini"), t.settings, {}, t.app.errors);
        QCOMPARE(t.errorLines(), QStringList{"Error #76(&H4C) Path not found: " + t.path("missing/x.ini") + " in SaveINI."});
        QCOMPARE(t.ui.count("yesno"), 1);
    }

    // A linked configuration file (in a dotfiles folder, say) is saved through
    // the link, which stays a link; so is a link to a file not there yet.
    void saveThroughALinkKeepsTheLink()
    {
        TestContext t;
        QVERIFY(QDir().mkdir(t.path("dotfiles")));
        writeFile(t.path("dotfiles/real.ini"), "old");
        QVERIFY(QFile::link("dotfiles/real.ini", t.path("a.ini")) && QFile::link("dotfiles/new.ini", t.path("b.ini")));
        for (const char* name : {"a.ini", "b.ini"}) {
            saveConfiguration(t.path(name), t.settings, {{}, {"http://q/1.jpg"}, {}}, t.app.errors);
            QVERIFY(QFileInfo(t.path(name)).isSymLink());
        }
        QVERIFY(readAll(t.path("dotfiles/real.ini")).endsWith("\"Queue\",\"http://q/1.jpg\"\r\n"));
        QCOMPARE(readAll(t.path("dotfiles/new.ini")), readAll(t.path("dotfiles/real.ini")));
        QCOMPARE(folderFiles(t.path("dotfiles")), (QStringList{"new.ini", "real.ini"}));
        QCOMPARE(folderFiles(t.dir.path()), (QStringList{"a.ini", "b.ini"}));
    }

    // Seeded random damage to a whole file, in every error mode: nothing
    // crashes, the user is asked at most once a load, every intact queue line
    // of the input is in the saved file in its order, and a load that reported
    // an error leaves a copy of the input.
    void fuzzedFilesKeepEveryIntactQueueLine()
    {
        QStringList seed = kDefaultLines.mid(2);  // no log file name: damage must not send the log elsewhere
        for (int i = 0; i < 24; ++i)
            seed << QStringLiteral("\"URL%1\",\"http://h/%1/\"").arg(i % 8)
                 << QStringLiteral("\"Queue\",\"http://q/%1.jpg?a,b\"").arg(i);
        const QByteArray pieces[] = {"\"", ",", "\r", "\n", "#", QByteArray(1, '\0'), "\xFF", "\xC3", "URL-", "\"Queue\",\""};
        const QRegularExpression intact(QStringLiteral("^\"Queue\",\"[\\x20\\x21\\x23-\\x7E]*\"$"));
        QRandomGenerator rng(14);
        // Thousands of files are made here: in memory where the system has it,
        // as on a busy disk each one can wait for the disk.
        TestContext t(QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QString());
        QFile log(t.settings.activityLogFile);
        int copies = 0;
        for (int n = 0; n < 3000; ++n) {
            QByteArray input = lines(seed);
            for (int edits = 1 + rng.bounded(4); edits > 0; --edits) {
                const int at = rng.bounded(int(input.size()) + 1);
                switch (rng.bounded(4)) {
                case 0: input.insert(at, pieces[rng.bounded(int(std::size(pieces)))]); break;
                case 1: input.remove(at, rng.bounded(80)); break;
                case 2: input.insert(rng.bounded(int(input.size()) + 1), input.mid(at, rng.bounded(120))); break;
                default: input.insert(at, char(rng.bounded(256))); break;
                }
            }
            // A new file each time: replacing one the disk still writes would wait for it.
            const QString ini = t.path(QStringLiteral("%1.ini").arg(n));
            writeFile(ini, input);
            t.settings = Settings();
            t.app.setProgramFolder(t.dir.path());
            t.settings.activityLogFile = log.fileName();
            t.settings.setErrorMode(ErrorMode(n % 3));
            t.ui.yesNoAnswers.clear();
            t.ui.yesNoAnswers << (rng.bounded(2) == 1);
            t.app.history.setEntries({});
            const qsizetype asked = t.ui.asked.size();
            const qint64 logged = log.size();
            t.app.loadConfiguration(ini);
            t.app.saveConfiguration(ini);
            QVERIFY(t.ui.asked.size() - asked <= 1);
            const bool reported = log.open(QIODevice::ReadOnly) && log.seek(logged) && log.readAll().contains("\tError #");
            log.close();

            const QStringList saved = QString::fromLatin1(readAll(ini)).split(QStringLiteral("\r\n"));
            qsizetype next = 0;
            for (const QString& line : QString::fromLatin1(input).split(QRegularExpression("\r\n|\r|\n")).filter(intact)) {
                next = saved.indexOf(line, next) + 1;
                QVERIFY2(next > 0, qPrintable(QStringLiteral("input %1 lost %2").arg(n).arg(line)));
            }
            const QByteArray copy = readAll(ini + ".bak");
            QVERIFY(copy == input || (copy.isEmpty() && !reported));
            copies += !copy.isEmpty();
        }
        qInfo("3000 damaged files loaded and saved, %d of them kept as .bak", copies);
    }
};

QTEST_GUILESS_MAIN(TestConfigFile)
#include "test_configfile.moc"
