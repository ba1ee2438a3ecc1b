#pragma once
// The program's command line:
//   pullmark [--config FILE] [URL]                      the window
//   pullmark --harvest URL... [run options]             harvest pages without a window
//   pullmark --download [run options]                   download the stored queue without a window
//   pullmark --add URL...                               add entries to the stored queue
//
// It is read before any window system is touched, so --help, --version and
// a mistake work without a display and write nothing.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QUrl>

class QDir;

namespace pm {

// What the program is asked to do.
enum class RunMode { Window, Harvest, Download, Add };

// A run without a window, as the command line asks for it. The overrides
// hold for this run only: they are never saved.
struct HeadlessOptions {
    QStringList urls;        // --harvest: the pages; --add: the files
    QString outputFolder;    // --out, absolute; "" for the configured one
    QString extensions;      // --ext, blank-separated; "" for the configured ones
    bool images = false;     // --images: embedded images are harvested too
    bool follow = false;     // --follow: the pages each page links to are harvested too
    int parallel = 0;        // --parallel; 0 for the configured number
    bool dryRun = false;     // --dry-run: list what would happen, change nothing
    bool yes = false;        // --yes: every question is answered Yes

    // Whether the run changes what the program would do beyond the stored
    // settings (such a run cannot be handed to a running window).
    bool overridesSettings() const
    {
        return !outputFolder.isEmpty() || !extensions.isEmpty() || images || follow || parallel > 0 || dryRun;
    }
};

class CommandLine {
    Q_DECLARE_TR_FUNCTIONS(CommandLine)
public:
    enum class Outcome { Run, Help, Version, Error };

    // The most downloads a run may make at once.
    static constexpr int kMostParallel = 8;

    CommandLine();

    // Reads `arguments` (the program's name first). Relative file names are
    // taken from `workingFolder`.
    Outcome parse(const QStringList& arguments, const QString& workingFolder);

    // After Run: what to do, the configuration file named by --config
    // (empty: the default), the page the window opens first (empty: the
    // start page the settings name) and the options of a run without a
    // window.
    RunMode mode() const { return m_mode; }
    QString configurationFile() const { return m_configurationFile; }
    QUrl firstPage() const { return m_firstPage; }
    const HeadlessOptions& headless() const { return m_headless; }

    // Prints what an outcome other than Run shows (help and version on
    // standard output, a mistake on standard error) and gives the exit
    // status: 0, or 2 for a mistake.
    int finish(Outcome outcome) const;

private:
    Outcome fail(const QString& message);
    Outcome readMode();
    Outcome readRunOptions(const QDir& working);
    Outcome readAddresses(const QDir& working);

    QCommandLineParser m_parser;
    QCommandLineOption m_help;
    QCommandLineOption m_version;
    QCommandLineOption m_config;
    QCommandLineOption m_harvest;
    QCommandLineOption m_download;
    QCommandLineOption m_add;
    QCommandLineOption m_out;
    QCommandLineOption m_ext;
    QCommandLineOption m_images;
    QCommandLineOption m_follow;
    QCommandLineOption m_parallel;
    QCommandLineOption m_dryRun;
    QCommandLineOption m_yes;
    QString m_error;
    RunMode m_mode = RunMode::Window;
    QString m_configurationFile;
    QUrl m_firstPage;
    HeadlessOptions m_headless;
};

// The arguments as the program was given them.
QStringList commandLineArguments(int argc, char* argv[]);

// Prints `text` on `stream` (stdout or stderr) in the system's encoding.
void printText(FILE* stream, const QString& text);

}  // namespace pm
