// Work sessions of the program as a user runs it without a window
// ("pullmark --download --config FILE", the pullmark beside this program),
// several downloads at once, killed with SIGKILL at random moments and
// started again, as a crash or the system would end the program.
// After every kill the folder is checked as a restart finds it: every saved
// file whole, recorded once in the download archive, never asked for again
// once saved, the stored queue exactly the unfinished entries, nothing else
// in the output folder but temporary files. Every 25th entry is a 2 MiB file,
// long enough to be killed in and gone on from.
//   pm_kill_loop [KILLS (60)] [PARALLEL (4)] [SEED (1)]
// Prints the kills, the files saved, the requests that asked for the rest
// of a kept part and every problem found; exits with 1 when there was one.
#include "archive/sqlitearchive.h"
#include "core/download/filenames.h"
#include "core/textutil.h"
#include "tests/support/testcontext.h"
#include "tests/support/testserver.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QTextStream>
#include <QUrlQuery>

using namespace pm;
using namespace pm::test;

namespace {
constexpr int kEntriesAtOnce = 200;

// What the restart after a kill finds wrong. `requestsWhenSaved` holds, for
// each file seen saved before, the requests made for it by then.
QStringList problemsAfterKill(AppContext& app, const QStringList& all, const QString& out, const TestServer& server,
                              QHash<QString, int>& requestsWhenSaved)
{
    QStringList problems;
    QHash<QString, int> records;  // address -> records of it
    for (const ArchiveRecord& record : app.archive()->records(QString(), 0, 10'000'000))
        ++records[record.url];
    QStringList unfinished;
    QSet<QString> saved;
    for (const QString& url : all) {
        const QString name = shownFileName(url);
        const QString file = out + QLatin1Char('/') + name;
        if (!QFileInfo::exists(file)) {
            unfinished << url;
            continue;
        }
        saved.insert(name);
        if (readAll(file) != patternBytes(QUrlQuery(QUrl(url)).queryItemValue(QStringLiteral("size")).toLongLong()))
            problems << QStringLiteral("not whole: ") + name;
        const auto record = app.archive()->findByUrl(url);
        if (!record || record->savedPath != file || records.value(url) != 1)
            problems << QStringLiteral("recorded %1 times: ").arg(records.value(url)) + name;
        // The server counts requests by their target: path and query.
        const int requests =
            server.requestCount(QUrl(url).toString(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::FullyEncoded));
        if (requests == 0)
            problems << QStringLiteral("saved but never asked for: ") + name;
        else if (requests > requestsWhenSaved.value(url, requests))
            problems << QStringLiteral("asked for again once saved: ") + name;
        requestsWhenSaved.insert(url, requests);
    }
    if (app.queue.urls() != unfinished)
        problems << QStringLiteral("stored queue of %1 entries, %2 unfinished").arg(app.queue.count()).arg(unfinished.size());
    // A numbered name would be a second fetch saved under "Rename"; the next
    // session removes the killed one's temporary files.
    for (const QString& name : folderFiles(out)) {
        if (!saved.contains(name) && !DownloadTask::isTemporaryFileName(name))
            problems << QStringLiteral("unexpected file: ") + name;
    }
    return problems;
}
}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int kills = args.value(1, QStringLiteral("60")).toInt();
    QRandomGenerator random(args.value(3, QStringLiteral("1")).toUInt());
    TestServer server;
    TestContext first;  // its folder is the program folder of every run
    const QString folder = first.dir.path();
    const QString out = first.path(QStringLiteral("out"));
    if (!server.listen() || !QDir().mkpath(out))
        return 2;
    QStringList all;
    auto more = [&] {
        QStringList urls;
        for (int n = int(all.size()); n < all.size() + kEntriesAtOnce; ++n)
            urls << (n % 25 == 0 ? server.url(QStringLiteral("/range/k%1.bin?size=2097152&etag=e&chunk=65536&ms=10").arg(n))
                                 : server.url(QStringLiteral("/file/k%1.bin?size=3000&delay=40").arg(n)));
        all += urls;
        return urls;
    };
    Settings& s = first.settings;
    s.outputFolder = out;
    s.activityLogFile = first.path(QStringLiteral("pulmark.log"));
    s.setDuplicateRule(DuplicateRule::Rename);
    s.setErrorMode(ErrorMode::CarryOn);
    s.parallelDownloads = args.value(2, QStringLiteral("4")).toInt();
    s.legalNoticeAccepted = true;  // as after the first start
    first.app.queue.append(more());
    first.app.saveConfiguration(s.configurationFile);

    // The program keeps its archive beside its configuration file when it
    // runs from a build folder.
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/pullmark");
    const QString archiveFile = folder + QStringLiteral("/Pullmark-archive.sqlite");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* proxy : {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"})
        environment.remove(QString::fromLatin1(proxy));  // the server is on 127.0.0.1
    QStringList problems;
    QHash<QString, int> requestsWhenSaved;
    int killed = 0;   // sessions killed while they ran
    int sessions = 0;
    for (; killed < kills && sessions < 2 * kills; ++sessions) {
        QProcess session;
        session.setProcessEnvironment(environment);
        session.setStandardOutputFile(QProcess::nullDevice());
        session.start(program, {QStringLiteral("--download"), QStringLiteral("--config"), s.configurationFile});
        if (!session.waitForStarted())
            return 2;
        QTest::qWait(random.bounded(100, 1000));
        // A session that ended before its kill did so because its queue
        // ran out, never because it could not start.
        if (session.state() == QProcess::NotRunning && session.exitCode() > 1)
            problems << QStringLiteral("session %1 ended with status %2: ").arg(sessions + 1).arg(session.exitCode())
                    + QString::fromLocal8Bit(session.readAllStandardError()).trimmed();
        if (session.state() == QProcess::Running)
            ++killed;
        session.kill();
        session.waitForFinished();

        TestContext restarted;
        restarted.app.setProgramFolder(folder);
        restarted.app.setArchive(std::make_unique<SqliteDownloadArchive>(archiveFile, restarted.app.errors));
        restarted.app.loadStoredConfiguration();
        for (const QString& problem : problemsAfterKill(restarted.app, all, out, server, requestsWhenSaved))
            problems << QStringLiteral("session %1: ").arg(sessions + 1) + problem;
        if (restarted.app.queue.count() < kEntriesAtOnce / 2) {
            restarted.app.queue.append(more());
            restarted.app.saveConfiguration(restarted.settings.configurationFile);
        }
    }
    QTextStream report(stdout);
    report << "kills " << killed << "\nsaved " << all.size() - storedQueue(s.configurationFile).size() << "\nresumed "
           << server.rangesAskedFor().size() << "\nproblems " << problems.size() << "\n";
    for (const QString& problem : problems)
        report << problem << "\n";
    return problems.isEmpty() ? 0 : 1;
}
