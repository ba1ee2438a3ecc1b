#include "core/downloadqueue.h"

namespace pm {

DownloadQueue::DownloadQueue(QObject* parent) : QAbstractListModel(parent) {}

int DownloadQueue::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant DownloadQueue::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const Entry& entry = m_entries[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case UrlRole: return entry.url;
    case Qt::ToolTipRole:
        return entry.state == EntryState::Failed ? entry.url + QStringLiteral("\nFailed: ") + entry.failureReason
                                                 : entry.url;
    case StateRole: return int(entry.state);
    case FailureReasonRole: return entry.failureReason;
    default: return {};
    }
}

int DownloadQueue::rowOf(EntryId id) const
{
    // Entries in work sit near the front, so a scan from there is short.
    for (int row = 0; row < count(); ++row) {
        if (m_entries[row].id == id)
            return row;
    }
    return -1;
}

bool DownloadQueue::isQueued(const QString& url) const
{
    return m_queuedKeys.contains(url.toCaseFolded());
}

QStringList DownloadQueue::urls() const
{
    QStringList list;
    list.reserve(count());
    for (const Entry& entry : m_entries)
        list.append(entry.url);
    return list;
}

int DownloadQueue::activeCount() const
{
    return int(std::count_if(m_entries.begin(), m_entries.end(),
                             [](const Entry& e) { return e.state == EntryState::Active; }));
}

int DownloadQueue::failedCount() const
{
    return int(std::count_if(m_entries.begin(), m_entries.end(),
                             [](const Entry& e) { return e.state == EntryState::Failed; }));
}

void DownloadQueue::appendEntries(const QStringList& urls)
{
    if (urls.isEmpty())
        return;
    beginInsertRows(QModelIndex(), count(), count() + int(urls.size()) - 1);
    for (const QString& url : urls) {
        m_entries.push_back({m_nextId++, url, EntryState::Waiting, QString()});
        ++m_queuedKeys[url.toCaseFolded()];
    }
    endInsertRows();
}

int DownloadQueue::addNew(const QStringList& urls)
{
    QStringList fresh;
    QSet<QString> seen;
    for (const QString& url : urls) {
        const QString key = url.toCaseFolded();
        if (m_queuedKeys.contains(key) || seen.contains(key))
            continue;
        seen.insert(key);
        fresh.append(url);
    }
    appendEntries(fresh);
    return int(fresh.size());
}

void DownloadQueue::append(const QStringList& urls)
{
    appendEntries(urls);
}

void DownloadQueue::replaceWaiting(const QStringList& urls)
{
    clearWaiting();
    appendEntries(urls);
}

void DownloadQueue::forget(const QString& url)
{
    const auto it = m_queuedKeys.find(url.toCaseFolded());
    if (it != m_queuedKeys.end() && --it.value() <= 0)
        m_queuedKeys.erase(it);
}

void DownloadQueue::removeRange(int first, int last)
{
    beginRemoveRows(QModelIndex(), first, last);
    for (int row = first; row <= last; ++row)
        forget(m_entries[row].url);
    m_entries.erase(m_entries.begin() + first, m_entries.begin() + last + 1);
    endRemoveRows();
}

void DownloadQueue::removeRows(const QList<int>& rows)
{
    QList<int> doomed;
    for (int row : rows) {
        if (row >= 0 && row < count() && m_entries[row].state != EntryState::Active)
            doomed.append(row);
    }
    std::sort(doomed.begin(), doomed.end());
    doomed.erase(std::unique(doomed.begin(), doomed.end()), doomed.end());
    // From the back, one contiguous range at a time.
    while (!doomed.isEmpty()) {
        int first = doomed.takeLast();
        const int last = first;
        while (!doomed.isEmpty() && doomed.last() == first - 1)
            first = doomed.takeLast();
        removeRange(first, last);
    }
}

void DownloadQueue::clearWaiting()
{
    int row = count() - 1;
    while (row >= 0) {
        if (m_entries[row].state == EntryState::Active) {
            --row;
            continue;
        }
        const int last = row;
        while (row > 0 && m_entries[row - 1].state != EntryState::Active)
            --row;
        removeRange(row, last);
        --row;
    }
}

void DownloadQueue::moveRow(int from, int to)
{
    if (from < 0 || from >= count() || to < 0 || to >= count() || from == to)
        return;
    // Qt's destination is the row the entry is inserted before, counted
    // before the move.
    beginMoveRows(QModelIndex(), from, from, QModelIndex(), to > from ? to + 1 : to);
    Entry moving = std::move(m_entries[from]);
    m_entries.erase(m_entries.begin() + from);
    m_entries.insert(m_entries.begin() + to, std::move(moving));
    endMoveRows();
}

void DownloadQueue::setState(EntryId id, EntryState state, const QString& failureReason)
{
    const int row = rowOf(id);
    if (row < 0)
        return;
    Entry& entry = m_entries[row];
    entry.state = state;
    entry.failureReason = state == EntryState::Failed ? failureReason : QString();
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed);
}

void DownloadQueue::remove(EntryId id)
{
    const int row = rowOf(id);
    if (row >= 0)
        removeRange(row, row);
}

}  // namespace pm
