#pragma once
// The program's download archive: an SQLite database of one table, through
// Qt SQL. It is written ahead (WAL), so a crash or a kill in the middle of a
// write leaves every earlier record whole; each finished download is one
// small transaction that does not wait for the disk.
//
// Nothing is created until the first record. A database found damaged when
// it is opened, or one that holds other tables than the archive's (another
// program's database), is set aside under a new name, kept for the user,
// and a new one begun. A locked database (another program writing to it) keeps the
// records in memory and tries again later. Either, and any other failure,
// is told once per run: a line in the activity log and the log's failure
// notice, which the main window shows. Neither ever stops a download: an
// archive that cannot be read answers as if it held nothing.

#include "core/download/downloadarchive.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QSqlQuery>
#include <QTimer>
#include <QVariant>

class QSqlDatabase;
class QSqlError;

namespace pm {

class ErrorReporter;

class SqliteDownloadArchive : public DownloadArchive {
    Q_OBJECT
public:
    SqliteDownloadArchive(const QString& fileName, ErrorReporter& errors, QObject* parent = nullptr);
    ~SqliteDownloadArchive() override;

    QString location() const override { return m_fileName; }
    void add(const ArchiveRecord& record) override;
    void restore(const QList<ArchiveRecord>& records) override;
    int flush() override;
    std::optional<ArchiveRecord> findByUrl(const QString& url) const override;
    QHash<QString, QString> savedFiles(const QStringList& urls) const override;
    QList<ArchiveRecord> findBySize(qint64 size, const QByteArray& sha256 = {}) const override;
    QList<ArchiveRecord> records(const QString& search, int offset, int limit) const override;
    void remove(const QList<qint64>& ids) override;
    void clear() override;

    // Records not yet in the database: waiting for a locked database, or
    // for the next batch.
    int waitingCount() const { return int(m_waiting.size()); }
    // How long records wait after the database was found locked.
    void setRetryInterval(int ms) { m_retry.setInterval(ms); }

    // A locked database is waited for this long, at most, per statement.
    static constexpr int kBusyTimeoutMs = 250;
    // Records that follow a write within this time go in together after it
    // (or sooner, when this many wait or someone looks records up): one
    // transaction per batch instead of one per download.
    static constexpr int kBatchMs = 100;
    static constexpr int kBatchRecords = 100;

private:
    enum class State { Closed, Open, Unusable };
    enum class Failure { None, Damaged, Foreign, Locked, Other };
    struct Waiting {
        ArchiveRecord record;
        bool restored = false;  // it may be in the archive already
    };

    static Failure kindOf(const QSqlError& error);
    bool open(bool create) const;
    Failure setUp(QSqlError& error) const;
    bool setAside(Failure why) const;
    // Whether the open database holds the archive's table alone, or nothing.
    bool hasOwnSchema(QSqlQuery& query) const;
    QSqlDatabase database() const;
    // Runs a prepared query; a failure is handled (see failed()) and false returned.
    bool run(QSqlQuery& query) const;
    // Reports a failed statement; a database that is not merely locked is
    // given up for the run.
    void failed(const QSqlError& error) const;
    QString detail(const QSqlError& error) const;
    void report(int number, const QString& detail) const;
    QSqlQuery& prepared(const QString& statement) const;
    void close() const;
    // The records a statement after "SELECT ... FROM downloads" finds.
    QList<ArchiveRecord> select(const QString& where, const QVariantMap& values) const;
    void writeWaiting();
    // Lookups and changes see every record added so far.
    void writeWaitingBeforeReading() const;
    bool change(const QString& statement);

    QString m_fileName;
    QString m_connection;
    ErrorReporter& m_errors;
    QList<Waiting> m_waiting;
    QTimer m_retry;
    QTimer m_batch;
    QElapsedTimer m_sinceWrite;
    mutable QHash<QString, QSqlQuery> m_prepared;
    mutable State m_state = State::Closed;
    mutable bool m_reported = false;
};

}  // namespace pm
