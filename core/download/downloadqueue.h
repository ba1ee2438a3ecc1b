#pragma once
// The work queue: the ordered list of URLs waiting to be downloaded, as a
// model the Work Queue window views. Each entry has an identity that stays
// with it while the user moves, removes or adds entries, so the worker always
// finishes the entry it started. Entries in work are never removed by the
// user's editing. Adding, and removing near the front where the entries in
// work are, cost the same whatever the queue's length.
//
// An entry a session finishes leaves the queue at once (the journal and the
// configuration file no longer hold it) but its row stays, marked Done, for
// a moment: the rows of finished entries are taken out together, a few
// times a second. A list view lays out all its rows again at each removal,
// which would cost as much as the queue is long at every small file.

#include "core/download/partialdownload.h"

#include <QAbstractListModel>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>

namespace pm {

class DownloadArchive;
struct ArchiveRecord;

enum class EntryState {
    Waiting,
    Active,  // being downloaded
    Failed,  // the last attempt failed; failureReason() tells why
    Paused,  // stopped part-way; the next attempt goes on from the part kept
    Done,    // finished in a session; its row leaves with the next sweep
};

class DownloadQueue : public QAbstractListModel {
    Q_OBJECT
public:
    using EntryId = quint64;

    enum Role {
        UrlRole = Qt::UserRole + 1,
        StateRole,          // EntryState as int
        FailureReasonRole,  // the reason of a failed entry
        FileNameRole,       // the name the file is saved under
        ReceivedRole,       // bytes of the file so far
        TotalRole,          // bytes of the whole file, -1 when unknown
        RateRole,           // bytes per second of the download in work
        ArchivedRole,       // the file an earlier download of the address was saved as; "" when none
    };

    explicit DownloadQueue(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The rows, finished ones waiting for the sweep included.
    int count() const { return int(m_entries.size()); }
    // The entries still queued: the rows less the finished ones.
    int remaining() const { return count() - m_doneRows; }
    bool isEmpty() const { return remaining() == 0; }
    QString url(int row) const { return m_entries.at(row).url; }
    EntryId idAt(int row) const { return m_entries.at(row).id; }
    EntryState stateAt(int row) const { return m_entries.at(row).state; }
    QString failureReasonAt(int row) const { return m_entries.at(row).failureReason; }
    PartialDownload partialAt(int row) const { return m_entries.at(row).partial; }
    // The page the entry was found on, the Referer of its download; "" when
    // unknown.
    QString foundOnAt(int row) const { return m_entries.at(row).foundOn; }
    // The row of an entry, or -1 when it is gone.
    int rowOf(EntryId id) const;
    bool isQueued(const QString& url) const;  // letter case ignored
    QStringList urls() const;
    // The page each entry was found on, in queue order ("" when unknown).
    QStringList foundOnPages() const;
    // The temporary files of the entries that go on from a kept part.
    QStringList partialFiles() const;
    // The kept parts, each with its entry's address, in queue order.
    QList<QPair<QString, PartialDownload>> partials() const;
    int failedCount() const;

    // Appends the addresses not queued yet (letter case ignored), in order,
    // each once, as found on the page `foundOn` ("" when unknown). Returns
    // how many were added.
    int addNew(const QStringList& urls, const QString& foundOn = QString());
    // Appends every address as given, duplicates included (a stored queue).
    void append(const QStringList& urls);
    // Replaces every entry that is not in work by `urls`, as given, found on
    // `pages` (by position; "" or missing when unknown).
    void replaceWaiting(const QStringList& urls, const QStringList& pages = {});

    // The user's editing; entries in work stay where they are.
    void removeRows(const QList<int>& rows);
    void clearWaiting();
    // Moves the entry at `from` so that it ends up at row `to`.
    void moveRow(int from, int to);

    // The download archive that tells which entries were downloaded before
    // (nullptr: none).
    void setArchive(const DownloadArchive* archive);

    // The worker's side.
    void setState(EntryId id, EntryState state, const QString& failureReason = QString());
    void setPartial(EntryId id, const PartialDownload& partial);
    void setProgress(EntryId id, qint64 received, qint64 total, double rate);
    void remove(EntryId id);
    // A session is done with the entry: it leaves the queue now and its row
    // with the next sweep.
    void finish(EntryId id);
    // Takes out the rows of finished entries now.
    void removeDoneRows();

signals:
    // Entries were added or removed: the queue the configuration file keeps
    // has changed.
    // `pages`: the page each was found on, by position ("" when unknown).
    void entriesAdded(const QStringList& urls, const QStringList& pages);
    void entriesRemoved(const QStringList& urls);
    // What an entry's download goes on from has changed (invalid: nothing).
    void partialChanged(const QString& url, const PartialDownload& partial);

private:
    struct Entry {
        EntryId id = 0;
        QString url;
        QString foundOn;
        EntryState state = EntryState::Waiting;
        QString failureReason;
        PartialDownload partial;
        qint64 received = 0;
        qint64 total = -1;
        double rate = 0;
        // What the archive said, while its generation is the queue's.
        mutable QString archivedAs;
        mutable quint64 archiveGeneration = 0;
    };

    Entry* find(EntryId id, int* row = nullptr);
    // The bookkeeping of an entry leaving the queue; its row stays.
    void forget(Entry& entry);
    void appendEntries(const QStringList& urls, const QStringList& pages = {});
    void removeRange(int first, int last);
    void changed(int row);
    QString archivedAs(int row) const;
    void archiveRecordAdded(const ArchiveRecord& record);
    void archiveChanged();

    std::deque<Entry> m_entries;
    QHash<QString, int> m_queuedKeys;  // case-folded URL -> how many entries have it
    EntryId m_nextId = 1;
    mutable int m_lastFoundRow = 0;  // where rowOf() begins its search
    int m_doneRows = 0;              // rows of finished entries, until the sweep
    QTimer m_sweep;
    const DownloadArchive* m_archive = nullptr;
    quint64 m_archiveGeneration = 1;
};

}  // namespace pm
