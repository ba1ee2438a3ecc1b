#pragma once
// The real program copied into a folder "bin" of a temporary folder, with
// the user's folders beside it and a runtime folder of its own, run as a
// separate process.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#include <csignal>
#include <sys/resource.h>

namespace pm::test {

struct ProgramCopy {
    ProgramCopy()
    {
        QDir().mkpath(path("bin"));
        QFile::copy(QCoreApplication::applicationDirPath() + "/pullmark", program);
    }
    QString path(const QString& name) const { return root.filePath(name); }
    QStringList files() const  // relative to the root, sorted
    {
        QStringList found;
        for (QDirIterator it(root.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
            found << QDir(root.path()).relativeFilePath(it.next());
        found.sort();
        return found;
    }
    // Starts the program in `folder` (the bin folder unless given), with the
    // user's folders in the temporary folder, without a display or with the
    // tests' headless one.
    void start(QProcess& process, const QStringList& arguments, bool display = false, const QString& folder = {}) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", path("home"));
        env.insert("XDG_CONFIG_HOME", path("home/config"));
        env.insert("XDG_DATA_HOME", path("home/data"));
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            if (!display)
                env.remove(name);
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(folder.isEmpty() ? path("bin") : folder);
        process.start(program, arguments);
    }
    // Runs the program without a display to its end: the exit status (-1
    // for a crash or a time-out), standard output and standard error.
    struct Result {
        int status = -1;
        QString out;
        QString err;
    };
    Result runToEnd(const QStringList& arguments, int timeoutMs = 120000) const
    {
        QProcess process;
        start(process, arguments);
        const bool ended = process.waitForFinished(timeoutMs);
        if (!ended)
            process.kill();
        process.waitForFinished();
        const bool normal = ended && process.exitStatus() == QProcess::NormalExit;
        return {normal ? process.exitCode() : -1, process.readAllStandardOutput(), process.readAllStandardError()};
    }
    // The window's channel socket, or its lock alone (`lockOnly`: the
    // channel is claimed, the window may not have started); "" when none.
    QString channelSocket(bool lockOnly = false) const
    {
        const QStringList found = QDir(runtime.path()).entryList({lockOnly ? "pullmark-*.lock" : "pullmark-*.socket"},
                                                                 QDir::System | QDir::Files | QDir::Hidden);
        return found.size() == 1 ? runtime.filePath(found.first()) : QString();
    }
    // Runs the window on the tests' headless display in `folder` until
    // `ready` holds, serving this thread's events meanwhile, then ends it
    // with SIGTERM; under a file-size limit (ulimit -f) if given. The exit
    // status; -1 for a crash, -2 if it ended before SIGTERM.
    int runWindowUntil(const QStringList& arguments, const QString& folder, const std::function<bool()>& ready,
                       int sizeLimit = 0) const
    {
        QProcess process;
        process.setChildProcessModifier([sizeLimit] {
            std::signal(SIGXFSZ, SIG_DFL);  // as a shell starts it: the program must see to it itself
            const rlimit limit{rlim_t(sizeLimit), rlim_t(sizeLimit)};
            if (sizeLimit > 0)
                setrlimit(RLIMIT_FSIZE, &limit);
        });
        start(process, arguments, true, folder);
        const QDeadlineTimer deadline(120000);
        while (!ready() && !deadline.hasExpired()) {
            if (process.state() == QProcess::NotRunning)
                return -2;
            QTest::qWait(20);
        }
        process.terminate();
        process.waitForFinished(120000);
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QTemporaryDir root;
    QTemporaryDir runtime;  // the user's runtime folder: private, as a session's is
    QString program = path("bin/pullmark");
};

}  // namespace pm::test
