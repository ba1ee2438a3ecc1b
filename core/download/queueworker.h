#pragma once
// The queue worker: one work session over the download queue, driven by the
// downloads' signals. start() runs the session's first steps and returns;
// every later step runs when a download has ended, so the rest of the program
// keeps running in between. Up to the set number of downloads run at once.
//
// The worker holds each entry in work by its identity: the user may move,
// remove or add entries meanwhile. A failed entry stays in the queue, marked
// failed, and the session goes on with the next entry it has not tried.

#include "core/diagnostics/appendfile.h"
#include "core/download/downloadqueue.h"
#include "core/download/downloadtask.h"
#include "core/diagnostics/errorreporter.h"
#include "core/diagnostics/errorscope.h"
#include "core/download/sessionstatistics.h"
#include "core/textutil.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

namespace pm {

class ActivityLog;
class CurlMulti;
class DownloadArchive;
class Settings;
class WebSession;

// What the Work Queue window shows of a session.
struct SessionFigures {
    QDateTime sessionStart;     // whole seconds
    QDateTime itemStart;        // whole seconds; when the newest entry in work began
    QDateTime sessionEnd;       // invalid while a session runs
    QString currentFile;        // the file name of the newest entry in work
    QString lastFileSize;       // "2,048.00 KB"
    QString lastDownloadTime;   // "00:00:01"
    QString sessionTotal;       // "3.00 MB"
    QString endStatus;          // "Queue Empty", "Queue Stopped" or "N failed"
    int completed = 0;          // entries finished, skipped ones included
    int failed = 0;             // entries that failed in this session
    int active = 0;             // downloads running now
    int itemSerial = 0;         // counts the entries begun
};

// How a session left one entry it took up.
struct EntryResult {
    enum Kind {
        Saved,
        Identical,        // fetched, but a file with the same content is kept instead
        TooSmall,         // fetched, but not saved under the size rule
        SkippedExisting,  // not fetched: the "Skip" rule and a file of its name
        SkippedArchived,  // not fetched: downloaded before, and such addresses are skipped
        Failed,           // stays in the queue, marked failed
        Stopped,          // the session stopped; stays in the queue
    };
    Kind kind = Saved;
    QString url;
    QString file;       // the file written, or the one kept instead; "" when none
    QString reason;     // Failed: what went wrong, in plain words
    qint64 bytes = -1;  // the file's size; -1 when unknown
};

// The downloads running now, summed.
struct ActiveProgress {
    qint64 received = 0;
    qint64 total = -1;  // -1 when a size is unknown
    double rate = 0;    // bytes per second
};

class QueueWorker : public QObject, public AbortTarget {
    Q_OBJECT
public:
    // `saveConfiguration` writes the configuration file, the queue included.
    QueueWorker(const Settings& settings, ActivityLog& log, ErrorReporter& errors, DownloadQueue& queue,
                std::function<void()> saveConfiguration, QObject* parent = nullptr);
    ~QueueWorker() override;

    // Starts a session: logs it, saves the configuration, then works through
    // the queue. Failed entries are tried again.
    void start();
    bool running() const { return m_running; }
    // Cancels the running downloads and ends the session after them; their
    // entries stay in the queue.
    void requestStop();
    bool stopRequested() const { return m_stopRequested; }
    const SessionFigures& figures() const { return m_figures; }
    ActiveProgress activeProgress() const;
    // The archive that records each finished download and tells what was
    // downloaded before (nullptr: none).
    void setArchive(DownloadArchive* archive);
    // The session the downloads are made in (nullptr: plain requests). It
    // must outlive the worker.
    void setSession(WebSession* session);

    void abortSession() override { requestStop(); }

signals:
    void figuresChanged();
    // Bytes of one download in work (of the whole file, when resumed).
    void itemProgress(qint64 received, qint64 total);
    // A finished download's temporary file is about to become its target,
    // `record.savedPath`.
    void aboutToSave(const QString& temporaryFile, const ArchiveRecord& record);
    // A finished download's record goes to the archive.
    void recording(const ArchiveRecord& record);
    // The session is done with an entry for now: finished, failed, or left
    // in the queue by a stop.
    void entryFinished(const pm::EntryResult& result);
    void sessionEnded();

private:
    struct Slot {
        DownloadTask* task = nullptr;
        DownloadQueue::EntryId id = 0;  // no entry: the slot is free
        QString url;
        QString target;
        QDateTime start;        // whole seconds
        qint64 startSecond = 0; // the same, since the epoch
        QElapsedTimer clock;
        qint64 startOffset = 0;  // bytes the file held when the download began
        qint64 received = 0;
        qint64 total = -1;
    };

    void fillSlots();
    void afterDownload(Slot& slot, const DownloadOutcome& outcome);
    // Ends an entry under the Skip rule: `target` exists.
    EntryResult skipExisting(DownloadQueue::EntryId id, const QString& url, const QString& target);
    TargetRules rules() const { return {m_settings, m_archive, &m_ownFiles}; }
    // Returns whether the entry was counted and left the queue.
    bool countFinished(Slot& slot, const DownloadOutcome& outcome);
    void recordDownload(const DownloadOutcome& outcome);
    void finishEntry(DownloadQueue::EntryId id);
    void endSessionWhenIdle();
    void publishProgress();
    Slot* freeSlot();
    int busySlots() const;
    // The first entry not tried in this session whose file no running
    // download is writing, or -1.
    int nextStartableRow();
    // A log line's end: the file's name when several downloads run at once.
    QString whichFile(const QString& url) const;

    const Settings& m_settings;
    ActivityLog& m_log;
    ErrorReporter& m_errors;
    AppendFile m_csvFile;
    DownloadQueue& m_queue;
    CurlMulti* m_engine;  // the downloads' connections
    DownloadArchive* m_archive = nullptr;
    ProgramFiles m_ownFiles{m_settings};
    WebSession* m_session = nullptr;
    std::function<void()> m_saveConfiguration;
    std::optional<ErrorScope> m_scope;
    QList<Slot> m_slots;
    QTimer m_progressTimer;
    SessionFigures m_figures;
    SecondClock m_clock;
    SessionTotal m_total;
    QSet<DownloadQueue::EntryId> m_tried;
    int m_scanFrom = 0;  // every row before it has been tried in this session
    bool m_running = false;
    bool m_stopRequested = false;
};

}  // namespace pm
