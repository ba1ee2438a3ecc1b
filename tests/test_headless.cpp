// Pullmark without a window: the real program's --download, --add and
// --dry-run over a loopback server, their console output and exit status,
// signals, the folders and configuration files they cannot use, and the
// channel through which one Pullmark hands work to another.
#include "core/config/configfile.h"
#include "tests/support/programcopy.h"
#include "tests/support/testcontext.h"
#include "tests/support/testserver.h"

#include <QtTest>

#include <csignal>

using namespace pm;
using namespace pm::test;

namespace {
// A copy of the program whose configuration file names an output folder
// "out" and a log beside the program; `lines` add to or override it ("@" in
// them is the copy's folder).
struct Harvester : ProgramCopy {
    explicit Harvester(const QStringList& lines = {}, const QStringList& queue = {})
    {
        QStringList all{"\"bG_Disclaimer\",#TRUE#", "\"strG_StartURL\",\"none\"",
                        "\"strG_SavePath\",\"" + path("out") + "\"", "\"strG_LogFileName\",\"" + path("bin/run.log") + "\""};
        all += QStringList(lines).replaceInStrings("@", root.path());
        for (const QString& url : queue)
            all << "\"Queue\",\"" + url + "\"";
        writeFile(configuration, (all.join("\r\n") + "\r\n").toUtf8());
    }
    // The settings the configuration file holds.
    Settings savedSettings() const
    {
        TestContext scratch;
        ConfigurationLists lists;
        loadConfiguration(configuration, scratch.settings, lists, scratch.app.errors, scratch.app.log);
        return scratch.settings;
    }
    QString configuration = path("bin/Pullmark.ini");
    // The sign-in cookie sid=kept for 127.0.0.1, as the window's browser
    // keeps it for the downloads beside its profile.
    bool keepSignIn() const
    {
        if (!QDir().mkpath(path("bin/Pullmark-browser")))
            return false;
        writeFile(path("bin/Pullmark-browser/pullmark-cookies.txt"),
                  "sid=kept; HttpOnly; expires=Fri, 01-Jan-2100 00:00:00 GMT; domain=127.0.0.1; path=/\n");
        return true;
    }
};

// File names without the query of the address they come from: whether a
// saved name keeps it is no matter here.
QString withoutQuery(QString name)
{
    return name.remove(QRegularExpression("\\?.*$"));
}
QStringList savedFiles(const QString& folder)
{
    QStringList files = folderFiles(folder);
    for (QString& file : files)
        file = withoutQuery(file);
    return files;
}

// One output line made short: its outcome, then the file's name (or the
// reason) and the size.
QString shortLine(const QString& line)
{
    const QStringList fields = line.split('\t');
    if (fields.size() != 4)
        return "malformed: " + line;
    const QString text = fields[1].startsWith('/') ? withoutQuery(QFileInfo(fields[1]).fileName()) : fields[1];
    return QStringList{fields[0], text, fields[2]}.join(' ');
}

// The lines of a run's standard output, made short; the summary left out
// unless asked for.
QStringList entryLines(const QString& out, bool withSummary = false)
{
    QStringList lines;
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts))
        if (withSummary || !line.startsWith("summary\t"))
            lines << shortLine(line);
    return lines;
}
}  // namespace

class TestHeadless : public QObject {
    Q_OBJECT
private:
    TestServer m_server;
    QString url(const QString& path) const { return m_server.url(path); }
    QStringList urls(QStringList paths) const { return paths.replaceInStrings(QRegularExpression("^/"), m_server.baseUrl() + "/"); }

private slots:
    void initTestCase()
    {
        m_server.addPage("/g/a.jpg", patternBytes(2000), "image/jpeg");
        m_server.addPage("/g/b.jpg", patternBytes(3000), "image/jpeg");
        m_server.addPage("/g/small.jpg", patternBytes(100), "image/jpeg");
        m_server.addPage("/g/doc.pdf", patternBytes(400), "application/pdf");
        m_server.addPage("/g/pic.gif", patternBytes(500), "image/gif");
        m_server.addPage("/gallery.html", "<html><body><a href='/g/a.jpg'>a</a> <a href='/g/b.jpg'>b</a> "
                                          "<a href='/g/gone.jpg'>gone</a> <a href='/g/doc.pdf'>doc</a> "
                                          "<a href='/other.html'>other</a> <img src='/g/pic.gif'></body></html>");
        m_server.addPage("/loading.html", "<html><body><a href='/g/a.jpg'>a</a>"
                                          "<img src='/file/held.gif?size=10&hold=loading'></body></html>");
        m_server.addPage("/more.html", "<html><body><a href='/g/b.jpg'>b again</a> <a href='/g/small.jpg'>s</a>"
                                       "</body></html>");
        m_server.addPage("/vault.html", "<a href='/file/hv1.jpg?size=11&needcookie=sid%3Dkept'>members only</a>");
        m_server.moveToOwnThread();  // it serves while the test waits for the program
        QVERIFY(m_server.listen());
        // A file the server gives only to visitors of the page that links it.
        const auto onlyFrom = [this](const QString& page) { return QUrl::toPercentEncoding(url(page)); };
        m_server.addPage("/referred.html", "<html><body><a href='/file/kept.jpg?size=700&needreferer="
                                               + onlyFrom("/referred.html") + "'>k</a></body></html>");
        // A gallery of thumbnails, each leading to a page of its own with
        // the full-size picture; one of those pages is gone, one is on
        // another site, one is linked twice.
        m_server.addPage("/thumbs.html",
                         "<html><body><a href='/g/a.jpg'>a</a> <a href='/photo1.html'><img src='/g/pic.gif'></a> "
                         "<a href='/photo2.html'>2</a> <a href='/status/404'>gone</a> <a href='http://localhost:"
                             + QByteArray::number(m_server.port())
                             + "/photo1.html'>elsewhere</a> <a href='/photo1.html#top'>1 again</a></body></html>");
        m_server.addPage("/photo1.html",
                         "<html><body><img src='/file/big.jpg?size=700&needreferer=" + onlyFrom("/photo1.html") + "'></body></html>");
        m_server.addPage("/photo2.html", "<html><body><img src='/g/b.jpg'> <a href='/g/a.jpg'>a</a></body></html>");
    }

    void download_data()
    {
        QTest::addColumn<QStringList>("lines");      // configuration lines
        QTest::addColumn<QStringList>("queued");     // server paths
        QTest::addColumn<QStringList>("arguments");  // besides --download
        QTest::addColumn<QString>("folder");         // where the files go, relative to the copy
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("expected");   // the entry lines, made short
        QTest::addColumn<QStringList>("left");       // the stored queue afterwards
        QTest::addColumn<QString>("message");        // a part of standard error
        QTest::addColumn<QStringList>("predicted");  // a dry run's lines first, made short; none if empty

        const QStringList three{"/g/a.jpg", "/status/404", "/g/b.jpg"};
        const QString protectedFile = "/file/p.bin?size=9&auth=u%3Apw";
        QTest::newRow("skipped and too small count as done; a sign-in nobody can give fails, is listed and kept")
            << QStringList{"\"strG_FileDupOption\",\"Skip\"", "\"bG_SaveLarge\",#TRUE#", "\"sG_FileSize\",1"}
            << QStringList{"/g/a.jpg", "/g/small.jpg", protectedFile, "/g/b.jpg"} << QStringList{} << "out" << 1
            << QStringList{"skipped a.jpg 5", "too-small smaller than 1 KB, not saved 100",
                           "failed server answered 401 Unauthorized -", "saved b.jpg 3000"}
            << QStringList{protectedFile} << "asks for a user name and password"
            << QStringList{"skip will skip: a.jpg exists 2000", "too-small too small (size rule) 100",
                           "fail server answered 401 -", "new new 3000"};
        QTest::newRow("--out and --parallel for this run: a new folder, parents and all; predicted without asking")
            << QStringList{"\"strG_FileDupOption\",\"Rename\"", "\"bG_Probe\",#FALSE#"}
            << QStringList{"/g/a.jpg", "/g/b.jpg"}
            << QStringList{"--out", "../new/sub", "--parallel", "2"} << "new/sub" << 0
            << QStringList{"saved a.jpg 2000", "saved b.jpg 3000"} << QStringList{} << ""
            << QStringList{"rename will save as a0.jpg -", "new new -"};
        QTest::newRow("the Abort mode stops at the first failure")
            << QStringList{"\"strG_Unattended\",\"Abort\""} << three << QStringList{} << "out" << 1
            << QStringList{"saved a.jpg 2000", "stopped left in the queue -"} << three.mid(1) << "stopped at an error"
            << QStringList{"overwrite will overwrite a.jpg 2000", "fail not found (404) -", "new new 3000"};
        QTest::newRow("the Prompt mode: a question nobody answers stops the run")
            << QStringList{"\"strG_Unattended\",\"Prompt\""} << three << QStringList{} << "out" << 1
            << QStringList{"saved a.jpg 2000", "stopped left in the queue -"} << three.mid(1)
            << "404 Not Found. Abort?\npullmark: this needs an answer" << QStringList{};
    }
    // The stored queue downloaded with the configured engine: one line per
    // entry, failed and skipped ones included, a summary, the exit status;
    // failed entries stay queued; what the command line overrides is never
    // saved. A dry run before it tells what the session will do with each
    // entry, the found list's prediction, and changes nothing.
    void download()
    {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, queued);
        QFETCH(QStringList, arguments);
        QFETCH(QString, folder);
        QFETCH(int, status);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, left);
        QFETCH(QString, message);
        QFETCH(QStringList, predicted);
        Harvester h(lines, urls(queued));
        QDir().mkpath(h.path("out"));
        writeFile(h.path("out/a.jpg"), "kept!");
        if (!predicted.isEmpty()) {
            const QStringList before = h.files();
            const QByteArray configuration = readAll(h.configuration);
            const ProgramCopy::Result dry = h.runToEnd({"--download", "--dry-run"});
            QCOMPARE(entryLines(dry.out), predicted);
            QCOMPARE(dry.status, predicted.filter(QRegularExpression("^fail ")).isEmpty() ? 0 : 1);
            QCOMPARE(h.files(), before);
            QCOMPARE(readAll(h.configuration), configuration);
        }
        const ProgramCopy::Result run = h.runToEnd(QStringList{"--download"} + arguments);
        QCOMPARE(run.status, status);
        QCOMPARE(entryLines(run.out), expected);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY2(run.out.contains(QRegularExpression("\nsummary\t\\d+ saved, \\d+ skipped, \\d+ failed; \\d+ left")),
                 qPrintable(run.out));
        QCOMPARE(storedQueue(h.configuration), urls(left));
        for (const QString& line : expected)
            if (line.startsWith("saved "))
                QVERIFY(savedFiles(h.path(folder)).contains(line.section(' ', 1, 1)));
        const Settings saved = h.savedSettings();
        QCOMPARE(saved.outputFolder, h.path("out"));
        QCOMPARE(saved.parallelDownloads, 1);
    }

    void harvest_data()
    {
        QTest::addColumn<QStringList>("arguments");  // besides --harvest; "$" the server
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("expected");   // the lines, made short
        QTest::addColumn<QStringList>("left");       // the stored queue afterwards
        QTest::addColumn<QStringList>("files");      // in the output folder
        const QString gone = "failed server answered 404 Not Found -";
        QTest::newRow("a gallery: its jpg links, one gone")
            << QStringList{"$/gallery.html?p=%1A"} << 1 << QStringList{"saved a.jpg 2000", "saved b.jpg 3000", gone}
            << QStringList{"/g/gone.jpg"} << QStringList{"a.jpg", "b.jpg"};
        QTest::newRow("--ext and --images for this run")
            << QStringList{"$/gallery.html", "--ext", ".pdf,gif", "--images"} << 0
            << QStringList{"saved doc.pdf 400", "saved pic.gif 500"} << QStringList{}
            << QStringList{"doc.pdf", "pic.gif"};
        QTest::newRow("a page that cannot be read is listed and fails the run")
            << QStringList{"$/status/404", "$/more.html"} << 1
            << QStringList{"page-failed the server answered 404 -", "saved b.jpg 3000", "saved small.jpg 100"}
            << QStringList{} << QStringList{"b.jpg", "small.jpg"};
        QTest::newRow("a members' page, read and downloaded with the sign-in the window's browser keeps")
            << QStringList{"$/vault.html?needcookie=sid%3Dkept"} << 0 << QStringList{"saved hv1.jpg 11"} << QStringList{}
            << QStringList{"hv1.jpg"};
        const QString linkGone = "link-failed the server answered 404 -";
        QTest::newRow("--follow: the pages the gallery links to, their files after its own")
            << QStringList{"$/thumbs.html", "--follow"} << 0
            << QStringList{linkGone, "saved a.jpg 2000", "saved big.jpg 700", "saved b.jpg 3000"} << QStringList{}
            << QStringList{"a.jpg", "b.jpg", "big.jpg"};
        QTest::newRow("a dry run lists and changes nothing; it asks the server from the page too")
            << QStringList{"$/referred.html", "$/gallery.html", "--dry-run"} << 1
            << QStringList{"new new 700", "new new 2000", "new new 3000", "fail not found (404) -"} << QStringList{}
            << QStringList{};
    }
    // Pages loaded in a browser nobody sees, without a display, read under
    // the configured rules and the run's own, their files queued and
    // downloaded.
    void harvest()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, left);
        QFETCH(QStringList, files);
        Harvester h;
        if (arguments.join(' ').contains("needcookie"))
            QVERIFY(h.keepSignIn());
        const ProgramCopy::Result run = h.runToEnd(QStringList{"--harvest"} + arguments.replaceInStrings("$", m_server.baseUrl()));
        QCOMPARE(run.status, status);
        QCOMPARE(entryLines(run.out), expected);
        // Each page read is named as it is, a "%1A" in it too.
        for (const QString& page : arguments.filter(QRegularExpression("^http.*\\.html")))
            QVERIFY2(run.err.contains(page + " lists "), qPrintable(run.err));
        QCOMPARE(storedQueue(h.configuration), urls(left));
        QCOMPARE(savedFiles(h.path("out")), files);
        const Settings saved = h.savedSettings();
        QCOMPARE(saved.extensions, QString(kDefaultExtensions));
        QVERIFY(!saved.scanImages);
    }

    void preparation_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");        // a part of standard error
        QTest::addColumn<bool>("accepted");          // the legal notice, as saved afterwards
        const QString noNotice = "\"bG_Disclaimer\",#FALSE#";
        const QString ask = "\"bG_CreatePath\",#TRUE#";
        QTest::newRow("the legal notice needs --yes") << QStringList{noNotice} << QStringList{} << 3
                                                      << "run again with --yes" << false;
        QTest::newRow("--yes accepts the legal notice") << QStringList{noNotice} << QStringList{"--yes"} << 0
                                                        << "Legal Notice:" << true;
        QTest::newRow("creating the missing output folder needs --yes when asked")
            << QStringList{ask} << QStringList{} << 3 << "out does not exist. Create?" << true;
        QTest::newRow("the output folder is a file") << QStringList{"\"strG_SavePath\",\"@/file\""} << QStringList{}
                                                     << 3 << "is no folder" << true;
        QTest::newRow("the configuration file stops loading at an error")
            << QStringList{"\"strG_Unattended\",\"Abort\"", "\"bG_SaveLarge\",\"yes\""} << QStringList{} << 3
            << "reading it stopped at an error" << true;
    }
    // Whether a run can use its configuration file and output folder, and
    // the questions the window would ask, answered from the command line.
    void preparation()
    {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        QFETCH(bool, accepted);
        Harvester h(lines, {url("/g/a.jpg")});
        writeFile(h.path("file"), "a file");
        const ProgramCopy::Result run = h.runToEnd(QStringList{"--download"} + arguments);
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(h.savedSettings().legalNoticeAccepted, accepted);
        QCOMPARE(storedQueue(h.configuration).isEmpty(), status == 0);
    }

    void stopBySignal_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<QStringList>("arguments");  // "$" the server
        QTest::addColumn<QString>("awaited");        // the request the signal waits for
        QTest::addColumn<QStringList>("expected");   // the lines, made short
        const QStringList download{"--download"};
        const QStringList harvest{"--harvest", "$/loading.html"};
        const QStringList stopped{"stopped left in the queue -",
                                  "summary 0 saved, 0 skipped, 0 failed; 2 left in the queue 0"};
        const QStringList reading{"summary stopped before downloading; 2 in the queue -"};
        QTest::newRow("SIGTERM mid-download") << int(SIGTERM) << download << "/drip/slow.bin" << stopped;
        QTest::newRow("SIGINT mid-download") << int(SIGINT) << download << "/drip/slow.bin" << stopped;
        QTest::newRow("SIGTERM while a page loads") << int(SIGTERM) << harvest << "/file/held.gif" << reading;
    }
    // A signal stops a run cleanly: the entry in work and the ones after it
    // stay queued, nothing of a page being read is queued, and no file is
    // left, not even a part.
    void stopBySignal()
    {
        QFETCH(int, signalNumber);
        QFETCH(QStringList, arguments);
        QFETCH(QString, awaited);
        QFETCH(QStringList, expected);
        const QStringList queued = urls({"/drip/slow.bin?size=200000&chunk=1000&ms=20", "/g/b.jpg"});
        Harvester h({}, queued);
        const int before = m_server.requestCount(awaited);
        QProcess run;
        h.start(run, arguments.replaceInStrings("$", m_server.baseUrl()));
        QTRY_VERIFY_WITH_TIMEOUT(m_server.requestCount(awaited) > before, 60000);
        ::kill(run.processId(), signalNumber);
        QVERIFY(run.waitForFinished(60000));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), 1);
        QCOMPARE(entryLines(run.readAllStandardOutput(), true), expected);
        QCOMPARE(storedQueue(h.configuration), queued);
        QCOMPARE(folderFiles(h.path("out")), QStringList{});
    }

    // A run killed outright leaves its lock behind (addJoinsRun shows it
    // held); the next run sees that its holder has gone and takes the
    // configuration file.
    void killedRunGivesWay()
    {
        Harvester h({}, urls({"/drip/k.bin?size=200000&chunk=1000&ms=20"}));
        const int before = m_server.requestCount("/drip/k.bin");
        QProcess killed;
        h.start(killed, {"--download"});
        QTRY_VERIFY_WITH_TIMEOUT(m_server.requestCount("/drip/k.bin") > before, 60000);
        killed.kill();
        QVERIFY(killed.waitForFinished());
        const ProgramCopy::Result third = h.runToEnd({"--download", "--dry-run"});
        QCOMPARE(third.status, 0);
        QCOMPARE(entryLines(third.out), QStringList{"new new 200000"});
    }

    // Files added while a run downloads join that run's queue (the run holds
    // the configuration file, so --add never writes it) and are downloaded
    // by it; a second run of its own is refused.
    void addJoinsRun()
    {
        const QString held = url("/file/held.bin?size=100000&hold=addJoinsRun");
        Harvester h({}, {held});
        QProcess run;
        h.start(run, {"--download"});
        QTRY_VERIFY_WITH_TIMEOUT(m_server.requestCount("/file/held.bin") > 0, 60000);

        const ProgramCopy::Result added = h.runToEnd({"--add", url("/g/b.jpg"), held});
        QCOMPARE(added.status, 0);
        QVERIFY2(added.err.contains("the running Pullmark queued the new addresses: 1 added, 2 in its queue now"),
                 qPrintable(added.err));
        const ProgramCopy::Result second = h.runToEnd({"--download"});
        QCOMPARE(second.status, 3);
        QVERIFY2(second.err.contains(QString("another run of Pullmark (process %1) uses the configuration file %2")
                                         .arg(run.processId())
                                         .arg(h.configuration)),
                 qPrintable(second.err));

        m_server.release("addJoinsRun");
        QVERIFY(run.waitForFinished(120000));
        QCOMPARE(run.exitCode(), 0);
        QCOMPARE(entryLines(run.readAllStandardOutput()), (QStringList{"saved held.bin 100000", "saved b.jpg 3000"}));
        QCOMPARE(storedQueue(h.configuration), QStringList{});
        QCOMPARE(savedFiles(h.path("out")), (QStringList{"b.jpg", "held.bin"}));
    }

    // While the window runs, the command line hands it work through its
    // channel instead of writing its configuration file: --add joins its
    // live queue, --download starts its session; a run of its own is refused.
    void windowTakesRequests()
    {
        Harvester h({}, urls({"/g/a.jpg"}));
        QProcess window;
        h.start(window, {}, true);
        QTRY_VERIFY_WITH_TIMEOUT(!h.channelSocket().isEmpty(), 120000);


        const ProgramCopy::Result added = h.runToEnd({"--add", url("/g/b.jpg"), url("/g/a.jpg")});
        QCOMPARE(added.status, 0);
        QVERIFY2(added.err.contains("the running Pullmark queued the new addresses: 1 added, 2 in its queue now"),
                 qPrintable(added.err));
        for (const QStringList& arguments : {QStringList{"--download", "--out", h.path("elsewhere")},
                                             QStringList{"--harvest", url("/gallery.html")}}) {
            const ProgramCopy::Result own = h.runToEnd(arguments);
            QCOMPARE(own.status, 3);
            QVERIFY2(own.err.contains(QString("Pullmark's window (process %1) is open").arg(window.processId())),
                     qPrintable(own.err));
        }
        const ProgramCopy::Result download = h.runToEnd({"--download"});
        QCOMPARE(download.status, 0);
        QTRY_COMPARE_WITH_TIMEOUT(folderFiles(h.path("out")), (QStringList{"a.jpg", "b.jpg"}), 60000);
        window.terminate();
        QVERIFY(window.waitForFinished(60000));
        QCOMPARE(window.exitCode(), 0);
        QCOMPARE(storedQueue(h.configuration), QStringList{});
        QCOMPARE(QDir(h.runtime.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System), QStringList{});
    }
};

QTEST_GUILESS_MAIN(TestHeadless)
#include "test_headless.moc"
