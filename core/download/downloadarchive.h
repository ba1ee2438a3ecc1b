#pragma once
// The download archive: a lasting record of every file a work session has
// saved, kept across runs, so that the program knows what was downloaded
// before (by address, or by content) and the user can look it up. This is
// the interface the core uses; the program's archive is a database (see
// archive/sqlitearchive.h), and without one everything works as before.
//
// An archive that cannot be used (damaged, locked, on a full disk) tells the
// user once and otherwise behaves as if it held nothing: it never stops a
// download.

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace pm {

struct ArchiveRecord {
    qint64 id = 0;          // the archive's own number, newest highest
    QString url;            // as queued
    QString finalUrl;       // after redirects
    QString savedPath;      // the file it was saved as (or, for identical content, the file that has it)
    qint64 size = -1;       // bytes
    QByteArray sha256;      // the content's digest, 32 bytes; empty when it could not be computed
    QDateTime when;         // when the download finished (UTC)
};

class DownloadArchive : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The file the archive lives in ("" for none), so no download replaces it.
    virtual QString location() const = 0;

    // Records a finished download; `record.id` is ignored. Quick: one small
    // transaction.
    virtual void add(const ArchiveRecord& record) = 0;
    // Records kept elsewhere (the journal) because the program ended before
    // the archive took them: each goes in unless the archive holds it
    // already (the same address, file and time).
    virtual void restore(const QList<ArchiveRecord>& records) = 0;
    // Writes the records that wait (for a batch, or for a locked database)
    // now. Returns how many still wait.
    virtual int flush() = 0;
    // The newest record whose address or final address is `url`.
    virtual std::optional<ArchiveRecord> findByUrl(const QString& url) const = 0;
    // For each of `urls` downloaded before, the file of its newest record
    // (by address or final address); the others are left out. One look-up
    // for a screenful of entries.
    virtual QHash<QString, QString> savedFiles(const QStringList& urls) const;
    // Records of files of `size` bytes, newest first; with a digest, only
    // those with that content.
    virtual QList<ArchiveRecord> findBySize(qint64 size, const QByteArray& sha256 = {}) const = 0;
    // Up to `limit` records from the `offset`th on, newest first, whose
    // address or file contains `search` (letter case ignored; "" for all).
    virtual QList<ArchiveRecord> records(const QString& search, int offset, int limit) const = 0;
    virtual void remove(const QList<qint64>& ids) = 0;
    virtual void clear() = 0;

signals:
    // The archive holds `record` now (added, or restored).
    void recordAdded(const ArchiveRecord& record);
    // Records were removed or the archive was cleared.
    void recordsRemoved();
};

class ActivityLog;

// Writes the records that wait for `archive` now. Those it cannot take
// (another program holds the database locked) are told in `log`, and the
// journal keeps them for the next start; returns how many wait.
int writeWaitingRecords(DownloadArchive& archive, ActivityLog& log);

// The file of the newest record with this content that is still on disk with
// that size, or "" when there is none. The file is not read again: the
// archive's digest and the size stand for its content.
QString existingFileWithContent(const DownloadArchive& archive, const QByteArray& sha256, qint64 size);

}  // namespace pm
