#pragma once
// The program's command line: pullmark [options] [URL].
//
// It is read before any window system is touched, so --help, --version and
// a mistake work without a display and write nothing.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace pm {

class CommandLine {
    Q_DECLARE_TR_FUNCTIONS(CommandLine)
public:
    enum class Outcome { Run, Help, Version, Error };

    CommandLine();

    // Reads `arguments` (the program's name first). Relative file names are
    // taken from `workingFolder`.
    Outcome parse(const QStringList& arguments, const QString& workingFolder);

    // After Run: the configuration file named by --config (empty: the
    // default), and the page to open first (empty: the start page the
    // settings name).
    QString configurationFile() const { return m_configurationFile; }
    QUrl firstPage() const { return m_firstPage; }

    // Prints what an outcome other than Run shows (help and version on
    // standard output, a mistake on standard error) and gives the exit
    // status: 0, or 2 for a mistake.
    int finish(Outcome outcome) const;

private:
    Outcome fail(const QString& message);

    QCommandLineParser m_parser;
    QCommandLineOption m_help;
    QCommandLineOption m_version;
    QCommandLineOption m_config;
    QString m_error;
    QString m_configurationFile;
    QUrl m_firstPage;
};

// The arguments as the program was given them.
QStringList commandLineArguments(int argc, char* argv[]);

}  // namespace pm
