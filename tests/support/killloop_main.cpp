// The kill loop at length, outside the test suite:
//   pm_kill_loop [KILLS (60)] [PARALLEL (4)] [SEED (1)]
// prints the kills, the files saved, the requests that went on from a kept
// part and every problem found; exits with 1 when there was one.
#include "tests/support/killloop.h"
#include "tests/support/testserver.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    pm::test::KillLoopOptions options;
    options.kills = args.value(1, QStringLiteral("60")).toInt();
    options.parallel = args.value(2, QStringLiteral("4")).toInt();
    options.seed = args.value(3, QStringLiteral("1")).toUInt();
    pm::test::TestServer server;
    QTemporaryDir folder;
    if (!server.listen() || !folder.isValid())
        return 2;
    const pm::test::KillLoopReport report = pm::test::runKillLoop(
        server, QCoreApplication::applicationDirPath() + QStringLiteral("/pm_session_runner"), folder.path(), options);
    QTextStream out(stdout);
    out << "kills " << report.kills << "\nsaved " << report.saved << "\nresumed " << report.resumed << "\nproblems "
        << report.problems.size() << "\n";
    for (const QString& problem : report.problems)
        out << problem << "\n";
    return report.problems.isEmpty() && report.kills == options.kills ? 0 : 1;
}
