#pragma once
// The queue worker: one work session over the download queue, driven by the
// download's signals. start() runs the session's first steps and returns;
// every later step runs when the download of the entry in work has ended, so
// the rest of the program keeps running in between.
//
// The worker holds the entry in work by its identity: the user may move,
// remove or add entries meanwhile. A failed entry stays in the queue, marked
// failed, and the session goes on with the next entry it has not tried.

#include "core/downloadqueue.h"
#include "core/downloadtask.h"
#include "core/errorreporter.h"
#include "core/errorscope.h"
#include "core/sessionstatistics.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

class QNetworkAccessManager;

namespace pm {

class ActivityLog;
class Settings;

// What the Work Queue window shows of a session.
struct SessionFigures {
    QDateTime sessionStart;     // whole seconds
    QDateTime itemStart;        // whole seconds; when the entry in work began
    QDateTime sessionEnd;       // invalid while a session runs
    QString currentFile;        // the file name of the entry in work
    QString lastFileSize;       // "2,048.00 KB"
    QString lastDownloadTime;   // "00:00:01"
    QString sessionTotal;       // "3.00 MB"
    QString endStatus;          // "Queue Empty", "Queue Stopped" or "N failed"
    int completed = 0;          // entries finished, skipped ones included
    int failed = 0;             // entries that failed in this session
    int itemSerial = 0;         // counts the entries begun
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
    // Cancels the running download and ends the session after it; the entry
    // in work stays in the queue.
    void requestStop();
    bool stopRequested() const { return m_stopRequested; }
    const SessionFigures& figures() const { return m_figures; }
    DownloadTask* task() const { return m_task; }

    void abortSession() override { requestStop(); }

signals:
    void figuresChanged();
    void itemProgress(qint64 received, qint64 total);
    void sessionEnded();

private:
    void nextEntry();
    void afterDownload(const DownloadOutcome& outcome);
    void finishEntry();
    void endSession();
    // The first entry not tried in this session, or -1.
    int nextUntriedRow() const;

    const Settings& m_settings;
    ActivityLog& m_log;
    ErrorReporter& m_errors;
    DownloadQueue& m_queue;
    QNetworkAccessManager* m_network;
    DownloadTask* m_task;
    std::function<void()> m_saveConfiguration;
    std::optional<ErrorScope> m_scope;
    SessionFigures m_figures;
    SessionTotal m_total;
    QSet<DownloadQueue::EntryId> m_tried;
    DownloadQueue::EntryId m_current = 0;
    QString m_currentUrl;
    bool m_running = false;
    bool m_stopRequested = false;
};

}  // namespace pm
