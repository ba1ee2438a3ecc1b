#pragma once
// Work sessions of pm_session_runner, several downloads at once, killed with
// SIGKILL at random moments and started again, as a crash or the system would
// end the program. After every kill the folder is checked as a restart finds
// it: every saved file whole, recorded once in the download archive and
// fetched once, the stored queue exactly the unfinished entries, nothing else
// in the output folder but the parts kept to go on from.

#include <QString>
#include <QStringList>

namespace pm::test {

class TestServer;

struct KillLoopOptions {
    int kills = 20;
    int parallel = 4;
    int largeEvery = 25;  // every Nth entry a 2 MiB file, long enough to be killed in and go on from
    quint32 seed = 1;
};

struct KillLoopReport {
    int kills = 0;
    int saved = 0;    // files saved in all
    int resumed = 0;  // requests that asked for the rest of a kept part
    QStringList problems;
};

// `folder` is the program folder; `runner` the session runner's path.
KillLoopReport runKillLoop(TestServer& server, const QString& runner, const QString& folder,
                           const KillLoopOptions& options);

}  // namespace pm::test
