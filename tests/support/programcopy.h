#pragma once
// The real program copied into a folder "bin" of a temporary folder, with
// the user's folders beside it and a runtime folder of its own, run as a
// separate process.

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

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
    // The user's folders in the temporary folder; no display unless asked.
    QProcessEnvironment environment(bool display) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", path("home"));
        env.insert("XDG_CONFIG_HOME", path("home/config"));
        env.insert("XDG_DATA_HOME", path("home/data"));
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            if (!display)
                env.remove(name);
        return env;
    }
    // Starts the program in the bin folder, without a display or with the
    // tests' headless one.
    void start(QProcess& process, const QStringList& arguments, bool display = false) const
    {
        process.setProcessEnvironment(environment(display));
        process.setWorkingDirectory(path("bin"));
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
    // Runs the program without a display, or with the tests' headless one for
    // `runMs` before SIGTERM ends it, under a file-size limit (ulimit -f) if
    // given. The exit status; -1 for a crash, -2 if it ended before SIGTERM.
    int run(const QStringList& arguments, const QString& workingFolder, int runMs, QString* output = nullptr,
            int sizeLimit = 0)
    {
        QProcess process;
        process.setProcessEnvironment(environment(runMs > 0));
        process.setWorkingDirectory(workingFolder);
        process.setChildProcessModifier([sizeLimit] {
            std::signal(SIGXFSZ, SIG_DFL);  // as a shell starts it: the program must see to it itself
            const rlimit limit{rlim_t(sizeLimit), rlim_t(sizeLimit)};
            if (sizeLimit > 0)
                setrlimit(RLIMIT_FSIZE, &limit);
        });
        process.start(program, arguments);
        if (runMs > 0 && process.waitForStarted()) {
            QTest::qWait(runMs);
            if (process.state() != QProcess::Running)
                return -2;
            process.terminate();
        }
        process.waitForFinished(20000);
        if (output)
            *output = process.readAllStandardOutput() + process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QTemporaryDir root;
    QTemporaryDir runtime;  // the user's runtime folder: private, as a session's is
    QString program = path("bin/pullmark");
};

}  // namespace pm::test
