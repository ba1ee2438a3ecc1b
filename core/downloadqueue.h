#pragma once
// The work queue: the ordered list of URLs waiting to be downloaded, as a
// model the Work Queue window views. Each entry has an identity that stays
// with it while the user moves, removes or adds entries, so the worker always
// finishes the entry it started. Entries in work are never removed by the
// user's editing.

#include <QAbstractListModel>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <deque>

namespace pm {

enum class EntryState {
    Waiting,
    Active,  // being downloaded
    Failed,  // the last attempt failed; failureReason() tells why
};

class DownloadQueue : public QAbstractListModel {
    Q_OBJECT
public:
    using EntryId = quint64;

    enum Role {
        UrlRole = Qt::UserRole + 1,
        StateRole,          // EntryState as int
        FailureReasonRole,  // the reason of a failed entry
    };

    explicit DownloadQueue(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    int count() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }
    QString url(int row) const { return m_entries.at(row).url; }
    EntryId idAt(int row) const { return m_entries.at(row).id; }
    EntryState stateAt(int row) const { return m_entries.at(row).state; }
    QString failureReasonAt(int row) const { return m_entries.at(row).failureReason; }
    // The row of an entry, or -1 when it is gone.
    int rowOf(EntryId id) const;
    bool isQueued(const QString& url) const;  // letter case ignored
    QStringList urls() const;
    int activeCount() const;
    int failedCount() const;

    // Appends the addresses not queued yet (letter case ignored), in order,
    // each once. Returns how many were added.
    int addNew(const QStringList& urls);
    // Appends every address as given, duplicates included (a stored queue).
    void append(const QStringList& urls);
    // Replaces every entry that is not in work by `urls`, as given.
    void replaceWaiting(const QStringList& urls);

    // The user's editing; entries in work stay where they are.
    void removeRows(const QList<int>& rows);
    void clearWaiting();
    // Moves the entry at `from` so that it ends up at row `to`.
    void moveRow(int from, int to);

    // The worker's side.
    void setState(EntryId id, EntryState state, const QString& failureReason = QString());
    void remove(EntryId id);

private:
    struct Entry {
        EntryId id = 0;
        QString url;
        EntryState state = EntryState::Waiting;
        QString failureReason;
    };

    void appendEntries(const QStringList& urls);
    void removeRange(int first, int last);
    void forget(const QString& url);

    std::deque<Entry> m_entries;
    QHash<QString, int> m_queuedKeys;  // case-folded URL -> how many entries have it
    EntryId m_nextId = 1;
};

}  // namespace pm
