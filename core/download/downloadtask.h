#pragma once
// Downloading one queue entry: fetch its URL, work out its size, choose the
// target in the output folder (the "Rename" numbering, the size rule) and
// save it. The body streams into a temporary file in the output folder; only
// a complete, accepted item is renamed over its target, so no partial file
// ever carries a real name. A failure that may pass (a refused or dropped
// connection, a busy server) is tried again after a pause; a large partial
// body is kept so the next attempt asks only for the rest. Errors are
// reported under "SaveToFile.".

#include "core/diagnostics/errors.h"
#include "core/download/downloadarchive.h"
#include "core/download/partialdownload.h"
#include "core/download/targetrules.h"
#include "core/download/transfer.h"

#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariant>

#include <functional>
#include <memory>

namespace pm {

class ActivityLog;
class CurlMulti;
class DownloadArchive;
class ErrorReporter;
class Settings;
class WebSession;

// How one entry's download ended.
struct DownloadOutcome {
    enum Kind {
        Saved,
        TooSmall,  // fetched, but not saved under the size rule
        SkippedExisting,  // fetched, but the server named a file that exists, under the Skip rule
        Identical, // fetched, but a file with the same content is kept instead
        Stopped,   // the session is stopping; nothing was saved
        Failed,
    };
    Kind kind = Stopped;
    // The Content-Length text, the received byte count when the response had
    // none, or invalid when the download ended before the size was known.
    QVariant size;
    QString failureReason;    // Failed: what went wrong, in plain words
    // The file saved, the one kept instead (Identical), or the one the
    // download was going to be saved as.
    QString target;
    PartialDownload partial;  // Stopped or Failed: what the next attempt can go on from
    // Saved or Identical: what the download archive records (the digest is
    // empty when it could not be computed). For Identical the file is the
    // one kept.
    ArchiveRecord record;
};

class DownloadTask : public QObject {
    Q_OBJECT
public:
    // `stopRequested` tells whether the session is stopping.
    DownloadTask(const Settings& settings, ActivityLog& log, ErrorReporter& errors, CurlMulti* engine,
                 std::function<bool()> stopRequested, QObject* parent = nullptr);
    ~DownloadTask() override;

    // Downloads `url`, going on from `partial` when it is valid; `foundOn`
    // is the page the address was found on ("" when unknown). `decision` is
    // what TargetRules::beforeFetch() said of it: Go, or Refused (reported
    // as failed). finished() follows from the event loop.
    void start(const QString& url, const TargetDecision& decision, const PartialDownload& partial = {},
               const QString& foundOn = QString());
    bool busy() const { return m_busy; }
    // Ends the running fetch, or the pause before the next attempt; finished()
    // reports it as stopped.
    void cancel();
    Transfer* transfer() const { return m_transfer; }
    // The archive that tells whether the content exists already (nullptr: none).
    void setArchive(const DownloadArchive* archive) { m_archive = archive; }
    // The session the requests are made in, which asks the user for a
    // sign-in a server wants (nullptr: plain requests, no questions).
    void setSession(WebSession* session);

    // A cut-off body larger than this is kept for the next attempt.
    static constexpr qint64 kKeepPartialFrom = 1024 * 1024;
    // A kept body is hashed this much per pass of the event loop.
    static constexpr qint64 kHashPiece = 8 * 1024 * 1024;

    // Whether `name` is one of the temporary files this class creates.
    static bool isTemporaryFileName(const QString& name);
    // Removes the temporary files a killed earlier run left in `folder`,
    // except those in `keep` (partial bodies the queue still goes on from).
    static void removeLeftoverTemporaries(const QString& folder, const QStringList& keep = {});

signals:
    // The complete body in `temporaryFile` is about to be renamed over its
    // target, `record.savedPath`.
    void aboutToCommit(const QString& temporaryFile, const ArchiveRecord& record);
    // The body now arriving can be gone on from after an interruption, even
    // of the program: its temporary file and the response's validator.
    void resumable(const PartialDownload& partial);
    void finished(const DownloadOutcome& outcome);

private:
    void fetch();
    bool hashKeptPiece();
    void afterFetch();
    void save();
    bool retryLater();
    bool signInGiven();
    // Reports `error`; the entry ends as failed, or as stopped after an abort.
    void fail(const RuntimeError& error);
    void failSoon(const RuntimeError& error);
    void finish(DownloadOutcome::Kind kind, const QString& failureReason = QString());
    PartialDownload keepPartial();
    void discardTemporary();
    void logProgress(const QStringList& lines);
    void announceResumable(qint64 received, qint64 total);

    const Settings& m_settings;
    ActivityLog& m_log;
    ErrorReporter& m_errors;
    Transfer* m_transfer;
    std::function<bool()> m_stopRequested;
    std::unique_ptr<QFile> m_temporary;
    ResumePoint m_resume;
    QTimer m_retryTimer;
    QString m_url;
    QString m_foundOn;
    QString m_target;
    QVariant m_size;
    const DownloadArchive* m_archive = nullptr;
    ProgramFiles m_ownFiles{m_settings};
    ArchiveRecord m_record;  // what the archive records of a finished download
    QByteArray m_resumableAs;  // the validator resumable() told last
    WebSession* m_session = nullptr;
    int m_attempt = 0;
    bool m_restarted = false;
    bool m_signInAsked = false;
    bool m_busy = false;
};

}  // namespace pm
