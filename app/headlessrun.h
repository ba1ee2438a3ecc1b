#pragma once
// A run without a window: the stored configuration with the command line's
// overrides for this run, the folders made ready without a dialog, then one
// work session over the queue with the program's own engine (its rules,
// logs, archive and journal), told line by line on the console. A dry run
// lists what a session would do with each entry and changes nothing.

#include "app/commandline.h"
#include "app/pageharvest.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>

#include <optional>

namespace pm {

class AppContext;
class ConsoleInteraction;
class ConsoleReport;
struct EntryResult;

// The exit statuses of a run without a window.
enum ExitStatus {
    ExitDone = 0,          // every entry saved or deliberately skipped
    ExitFailures = 1,      // an entry or a page failed, or the run was stopped
    ExitBadArguments = 2,  // a mistake on the command line
    ExitUnusable = 3,      // the configuration file or the output folder cannot be used
};

class HeadlessRun : public QObject {
    Q_OBJECT
public:
    HeadlessRun(AppContext& context, ConsoleInteraction& ui, ConsoleReport& report, const HeadlessOptions& options,
                QObject* parent = nullptr);

    // Reads the configuration file, takes the legal notice and applies the
    // overrides, then makes sure the output folder can be written. Returns
    // the exit status when the run cannot go on (the reason is printed).
    std::optional<int> prepare();

    // Downloads the whole queue with `found` added at its end (entries
    // queued already are not added twice), each file with the page it was
    // found on; a dry run lists them instead. finished() follows from the
    // event loop.
    void run(const QList<FoundOnPage>& found = {});

    // A page of a harvest that could not be read: it is listed, and the run
    // ends with ExitFailures.
    void pageFailed(const QString& url, const QString& reason);
    // A page a harvested page links to that could not be read: it is
    // listed, and the run goes on as the window's command does.
    void linkedPageFailed(const QString& url, const QString& reason);
    // Ends the run early (a signal, a question nobody can answer): the
    // downloads in work are cancelled, their entries stay queued.
    void stop();
    bool stopping() const { return m_stopping; }

signals:
    void finished(int status);

private:
    std::optional<int> checkConfigurationFile();
    std::optional<int> readyOutputFolder();
    void listPredictions(const QList<FoundOnPage>& entries);
    void printPredictions();
    void entryFinished(const EntryResult& result);
    void sessionEnded();
    void end(int status);

    AppContext& m_context;
    ConsoleInteraction& m_ui;
    ConsoleReport& m_report;
    HeadlessOptions m_options;
    QElapsedTimer m_clock;
    QStringList m_predicting;  // a dry run's entries
    int m_saved = 0;
    int m_skipped = 0;
    int m_failed = 0;
    int m_pagesFailed = 0;
    qint64 m_bytes = 0;
    bool m_stopping = false;
    bool m_ended = false;
};

}  // namespace pm
