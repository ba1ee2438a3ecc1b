#include "tests/support/killloop.h"

#include "archive/sqlitearchive.h"
#include "core/textutil.h"
#include "tests/support/testcontext.h"
#include "tests/support/testserver.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QUrlQuery>

namespace pm::test {

namespace {
constexpr int kEntriesAtOnce = 200;
constexpr qint64 kLargeSize = 2 * 1024 * 1024;

// What the restart after a kill finds wrong.
QStringList problemsAfterKill(AppContext& app, const QStringList& all, const QString& out)
{
    QStringList problems;
    QHash<QString, int> records;  // address -> records of it
    for (const ArchiveRecord& record : app.archive()->records(QString(), 0, 10'000'000))
        ++records[record.url];
    QStringList unfinished;
    QSet<QString> expected;
    for (const QString& url : all) {
        const QString name = fileNameOf(url);
        const QString file = out + QLatin1Char('/') + name;
        if (!QFileInfo::exists(file)) {
            unfinished << url;
            continue;
        }
        expected.insert(name);
        if (readAll(file) != patternBytes(QUrlQuery(QUrl(url)).queryItemValue(QStringLiteral("size")).toLongLong()))
            problems << QStringLiteral("not whole: ") + name;
        const auto record = app.archive()->findByUrl(url);
        if (!record || record->savedPath != file || records.value(url) != 1)
            problems << QStringLiteral("recorded %1 times: ").arg(records.value(url)) + name;
    }
    if (app.queue.urls() != unfinished)
        problems << QStringLiteral("stored queue of %1 entries, %2 unfinished").arg(app.queue.count()).arg(unfinished.size());
    for (const QString& name : folderFiles(out)) {
        // A numbered name would be a second fetch saved under "Rename". The
        // next session removes the temporary files of the killed one.
        if (!expected.contains(name) && !DownloadTask::isTemporaryFileName(name))
            problems << QStringLiteral("unexpected file: ") + name;
    }
    return problems;
}
}  // namespace

KillLoopReport runKillLoop(TestServer& server, const QString& runner, const QString& folder,
                           const KillLoopOptions& options)
{
    KillLoopReport report;
    const QString out = folder + QStringLiteral("/out");
    QDir().mkpath(out);
    QStringList all;
    auto more = [&] {
        QStringList urls;
        for (int i = 0; i < kEntriesAtOnce; ++i) {
            const int n = int(all.size() + urls.size());
            urls << (options.largeEvery > 0 && n % options.largeEvery == 0
                         ? server.url(QStringLiteral("/range/k%1.bin?size=%2&etag=e&chunk=65536&ms=10").arg(n).arg(kLargeSize))
                         : server.url(QStringLiteral("/file/k%1.bin?size=3000&delay=40").arg(n)));
        }
        all += urls;
        return urls;
    };
    {
        TestContext first;
        first.app.setProgramFolder(folder);
        Settings& s = first.settings;
        s.outputFolder = out;
        s.activityLogFile = folder + QStringLiteral("/pulmark.log");
        s.setDuplicateRule(DuplicateRule::Rename);
        s.setErrorMode(ErrorMode::CarryOn);
        s.parallelDownloads = options.parallel;
        first.app.queue.append(more());
        first.app.saveConfiguration(s.configurationFile);
    }
    const int rangesBefore = int(server.rangesAskedFor().size());
    QRandomGenerator random(options.seed);
    for (int kill = 0; kill < options.kills; ++kill) {
        QProcess session;
        session.start(runner, {folder});
        if (!session.waitForStarted()) {
            report.problems << QStringLiteral("the session runner did not start");
            break;
        }
        QTest::qWait(random.bounded(100, 600));
        session.kill();
        session.waitForFinished();
        ++report.kills;

        TestContext restarted;
        restarted.app.setProgramFolder(folder);
        restarted.app.setArchive(std::make_unique<SqliteDownloadArchive>(folder + QStringLiteral("/archive.sqlite"),
                                                                         restarted.app.errors));
        restarted.app.loadStoredConfiguration();
        for (const QString& problem : problemsAfterKill(restarted.app, all, out))
            report.problems << QStringLiteral("kill %1: ").arg(kill + 1) + problem;
        if (restarted.app.queue.count() < kEntriesAtOnce / 2) {
            restarted.app.queue.append(more());
            restarted.app.saveConfiguration(restarted.settings.configurationFile);
        }
    }
    report.saved = int(all.size()) - int(storedQueue(folder + QStringLiteral("/Pullmark.ini")).size());
    report.resumed = int(server.rangesAskedFor().size()) - rangesBefore;
    return report;
}

}  // namespace pm::test
