#pragma once
// The queue worker: one work session over the queue list, driven by the
// transfer's signals. start() runs the session's first steps and returns;
// every later step runs when the fetch of the entry in work has ended, so the
// rest of the program keeps running in between. sessionEnded() tells the
// window that the session is over.

#include "logs/errorreport.h"
#include "logs/errorscope.h"
#include "queue/statistics.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

namespace pm {

class SaveToFile;
class Transfer;

// The queue list as the worker sees it: entry 0 is the entry in work.
class QueueList {
public:
    virtual ~QueueList() = default;
    virtual int count() const = 0;
    virtual QString entry(int index) const = 0;
    virtual void removeAt(int index) = 0;
};

// The two session flags of the Work Queue window.
struct QueueFlags {
    bool chkInProgress = false;  // a session runs
    bool chkContinue = false;    // a stop was requested
};

// The statistics the worker writes; the window shows them as they are.
struct SessionDisplay {
    QString txtQueueCount;
    QString txtCompleteCount;
    QString txtQueStart;
    QString txtCurrent;
    QString txtStartTime;
    QString txtFileSize;
    QString txtCompleted;
    QString txtDownloadtime;
    QString txtSessionSize;
    QString lblFileProg;
    QDateTime queStart;   // what txtQueStart shows, whole seconds
    QDateTime itemStart;  // what txtStartTime shows, whole seconds
    bool cmdStartEnabled = true;
    bool cmdCloseEnabled = true;
    bool timerOn = false;
    int itemSerial = 0;   // counts the entries begun, for the progress display
};

class WorkQue : public QObject, public AbortTarget {
    Q_OBJECT
public:
    // `saveConfiguration` writes the configuration file (with the live queue).
    WorkQue(QueueList& queue, QueueFlags& flags, Transfer* transfer, std::function<void()> saveConfiguration,
            QObject* parent = nullptr);
    ~WorkQue() override;

    // Runs a session: steps 1-9, then the first entry.
    void start();
    bool running() const { return m_running; }
    const SessionDisplay& display() const { return m_display; }
    const SessionTotal& sessionTotal() const { return m_total; }
    int completedCount() const { return m_completed; }
    Transfer* transfer() const { return m_transfer; }

    // AbortTarget: what an aborting error report and Stop use.
    bool transferRunning() const override;
    void cancelTransfer() override;
    void setStopFlag() override { m_flags.chkContinue = true; }

signals:
    void displayChanged();
    void sessionEnded();

private:
    void nextEntry();
    void afterSave(const QVariant& size);
    bool finishEntry();
    void endSession();
    QString now() const;

    QueueList& m_queue;
    QueueFlags& m_flags;
    Transfer* m_transfer;
    SaveToFile* m_saver;
    std::function<void()> m_saveConfiguration;
    std::optional<ErrorScope> m_scope;
    SessionDisplay m_display;
    SessionTotal m_total;
    int m_completed = 0;
    bool m_running = false;
};

}  // namespace pm
