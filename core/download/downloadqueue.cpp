#include "core/download/downloadqueue.h"

#include "core/download/filenames.h"
#include "core/download/downloadarchive.h"
#include "core/textutil.h"

#include <QCoreApplication>
#include <QFile>

namespace pm {

namespace {
// How long the rows of finished entries wait to leave together.
constexpr int kSweepMs = 250;

// An entry the user's editing leaves alone: in work, or finished and about
// to leave.
bool inWork(EntryState state)
{
    return state == EntryState::Active || state == EntryState::Done;
}
}  // namespace

DownloadQueue::DownloadQueue(QObject* parent) : QAbstractListModel(parent)
{
    m_sweep.setSingleShot(true);
    m_sweep.setInterval(kSweepMs);
    connect(&m_sweep, &QTimer::timeout, this, &DownloadQueue::removeDoneRows);
}

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
    case Qt::ToolTipRole: {
        if (entry.state == EntryState::Failed)
            return entry.url + QStringLiteral("\nFailed: ") + entry.failureReason;
        const QString archived = archivedAs(index.row());
        return archived.isEmpty()
            ? entry.url
            : entry.url + QLatin1Char('\n')
                + QCoreApplication::translate("pm::DownloadQueue", "Downloaded before as %1").arg(archived);
    }
    case StateRole: return int(entry.state);
    case FailureReasonRole: return entry.failureReason;
    case FileNameRole: return shownFileName(entry.url);
    case ReceivedRole: return entry.received;
    case TotalRole: return entry.total;
    case RateRole: return entry.rate;
    case ArchivedRole: return archivedAs(index.row());
    default: return {};
    }
}

QString DownloadQueue::archivedAs(int row) const
{
    // Asked only for the rows on screen, and kept until the archive changes.
    // The rows below are likely painted next: one look-up serves them too.
    constexpr int kRowsAtOnce = 64;
    const Entry& entry = m_entries[row];
    if (entry.archiveGeneration != m_archiveGeneration) {
        const int end = std::min(count(), row + kRowsAtOnce);
        QStringList urls;
        for (int r = row; r < end; ++r) {
            if (m_entries[r].archiveGeneration != m_archiveGeneration)
                urls << m_entries[r].url;
        }
        const QHash<QString, QString> files = m_archive ? m_archive->savedFiles(urls) : QHash<QString, QString>();
        for (int r = row; r < end; ++r) {
            const Entry& e = m_entries[r];
            if (e.archiveGeneration != m_archiveGeneration) {
                e.archivedAs = files.value(e.url);
                e.archiveGeneration = m_archiveGeneration;
            }
        }
    }
    return entry.archivedAs;
}

void DownloadQueue::setArchive(const DownloadArchive* archive)
{
    if (m_archive)
        m_archive->disconnect(this);
    m_archive = archive;
    if (archive) {
        connect(archive, &DownloadArchive::recordAdded, this, &DownloadQueue::archiveRecordAdded);
        connect(archive, &DownloadArchive::recordsRemoved, this, &DownloadQueue::archiveChanged);
    }
    archiveChanged();
}

void DownloadQueue::archiveRecordAdded(const ArchiveRecord& record)
{
    // The entry just downloaded is in work and leaves the queue next: only
    // other entries with its address change.
    for (const QString& url : {record.url, record.finalUrl}) {
        const int holding = m_queuedKeys.value(url.toCaseFolded());
        if (holding == 0)
            continue;
        const auto first = std::find_if(m_entries.begin(), m_entries.end(),
                                        [key = url.toCaseFolded()](const Entry& e) { return e.url.toCaseFolded() == key; });
        if (holding > 1 || first == m_entries.end() || first->state != EntryState::Active)
            return archiveChanged();
    }
}

void DownloadQueue::archiveChanged()
{
    ++m_archiveGeneration;
    if (count() > 0)
        emit dataChanged(index(0), index(count() - 1), {ArchivedRole, Qt::ToolTipRole});
}

int DownloadQueue::rowOf(EntryId id) const
{
    // Lookups are for the entries in work, which sit together, and each
    // moves by a few rows at most between two lookups: the search goes
    // outward from the row found last, so it costs the same however many
    // failed entries stay ahead of them.
    const int n = count();
    const int from = std::clamp(m_lastFoundRow, 0, std::max(0, n - 1));
    for (int distance = 0; from - distance >= 0 || from + distance < n; ++distance) {
        for (const int row : {from + distance, from - distance}) {
            if (row >= 0 && row < n && m_entries[row].id == id)
                return m_lastFoundRow = row;
        }
    }
    return -1;
}

DownloadQueue::Entry* DownloadQueue::find(EntryId id, int* row)
{
    const int found = rowOf(id);
    if (row)
        *row = found;
    return found < 0 ? nullptr : &m_entries[found];
}

bool DownloadQueue::isQueued(const QString& url) const
{
    return m_queuedKeys.contains(url.toCaseFolded());
}

QStringList DownloadQueue::foundOnPages() const
{
    QStringList list;
    list.reserve(count());
    for (const Entry& entry : m_entries) {
        if (entry.state != EntryState::Done)
            list.append(entry.foundOn);
    }
    return list;
}

QStringList DownloadQueue::urls() const
{
    QStringList list;
    list.reserve(count());
    for (const Entry& entry : m_entries) {
        if (entry.state != EntryState::Done)
            list.append(entry.url);
    }
    return list;
}

QStringList DownloadQueue::partialFiles() const
{
    QStringList files;
    for (const Entry& entry : m_entries) {
        if (entry.partial.isValid())
            files.append(entry.partial.file);
    }
    return files;
}

QList<QPair<QString, PartialDownload>> DownloadQueue::partials() const
{
    QList<QPair<QString, PartialDownload>> kept;
    for (const Entry& entry : m_entries) {
        if (entry.partial.isValid())
            kept.append({entry.url, entry.partial});
    }
    return kept;
}

int DownloadQueue::failedCount() const
{
    return int(std::count_if(m_entries.begin(), m_entries.end(),
                             [](const Entry& e) { return e.state == EntryState::Failed; }));
}

void DownloadQueue::appendEntries(const QStringList& urls, const QStringList& pages)
{
    if (urls.isEmpty())
        return;
    beginInsertRows(QModelIndex(), count(), count() + int(urls.size()) - 1);
    for (qsizetype i = 0; i < urls.size(); ++i) {
        const QString& url = urls.at(i);
        Entry entry;
        entry.id = m_nextId++;
        entry.url = url;
        entry.foundOn = pages.value(i);
        m_entries.push_back(std::move(entry));
        ++m_queuedKeys[url.toCaseFolded()];
    }
    endInsertRows();
    QStringList known = pages.mid(0, urls.size());
    known.resize(urls.size());
    emit entriesAdded(urls, known);
}

int DownloadQueue::addNew(const QStringList& urls, const QString& foundOn)
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
    appendEntries(fresh, QStringList(fresh.size(), foundOn));
    return int(fresh.size());
}

void DownloadQueue::append(const QStringList& urls)
{
    appendEntries(urls);
}

void DownloadQueue::replaceWaiting(const QStringList& urls, const QStringList& pages)
{
    clearWaiting();
    appendEntries(urls, pages);
}

void DownloadQueue::forget(Entry& entry)
{
    const auto key = m_queuedKeys.find(entry.url.toCaseFolded());
    if (key != m_queuedKeys.end() && --key.value() <= 0)
        m_queuedKeys.erase(key);
    if (entry.partial.isValid())
        QFile::remove(entry.partial.file);
    entry.partial = {};
}

void DownloadQueue::removeRange(int first, int last)
{
    QStringList gone;
    beginRemoveRows(QModelIndex(), first, last);
    for (int row = first; row <= last; ++row) {
        Entry& entry = m_entries[row];
        if (entry.state == EntryState::Done) {  // left the queue already
            --m_doneRows;
            continue;
        }
        forget(entry);
        gone.append(entry.url);
    }
    // A deque erases from whichever end is nearer: removals near the front
    // move only the entries before them.
    m_entries.erase(m_entries.begin() + first, m_entries.begin() + last + 1);
    endRemoveRows();
    if (!gone.isEmpty())
        emit entriesRemoved(gone);
}

void DownloadQueue::removeRows(const QList<int>& rows)
{
    QList<int> doomed;
    for (int row : rows) {
        if (row >= 0 && row < count() && !inWork(m_entries[row].state))
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
        if (inWork(m_entries[row].state)) {
            --row;
            continue;
        }
        const int last = row;
        while (row > 0 && !inWork(m_entries[row - 1].state))
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

void DownloadQueue::changed(int row)
{
    const QModelIndex at = index(row);
    emit dataChanged(at, at);
}

void DownloadQueue::setState(EntryId id, EntryState state, const QString& failureReason)
{
    int row = -1;
    Entry* entry = find(id, &row);
    if (!entry)
        return;
    entry->state = state;
    entry->failureReason = state == EntryState::Failed ? failureReason : QString();
    if (state != EntryState::Active)
        entry->rate = 0;
    changed(row);
}

void DownloadQueue::setPartial(EntryId id, const PartialDownload& partial)
{
    int row = -1;
    if (Entry* entry = find(id, &row)) {
        // Every finished download tells what it kept, mostly nothing: the
        // row is left alone then.
        if (entry->partial == partial && entry->received == partial.size)
            return;
        if (entry->partial.isValid() && entry->partial.file != partial.file)
            QFile::remove(entry->partial.file);
        const bool other = entry->partial.file != partial.file || entry->partial.validator != partial.validator;
        entry->partial = partial;
        entry->received = partial.size;
        changed(row);
        if (other)
            emit partialChanged(entry->url, partial);
    }
}

void DownloadQueue::setProgress(EntryId id, qint64 received, qint64 total, double rate)
{
    int row = -1;
    if (Entry* entry = find(id, &row)) {
        entry->received = received;
        entry->total = total;
        entry->rate = rate;
        changed(row);
    }
}

void DownloadQueue::remove(EntryId id)
{
    const int row = rowOf(id);
    if (row >= 0)
        removeRange(row, row);
}

void DownloadQueue::finish(EntryId id)
{
    int row = -1;
    Entry* entry = find(id, &row);
    if (!entry || entry->state == EntryState::Done)
        return;
    forget(*entry);
    entry->state = EntryState::Done;
    entry->failureReason.clear();
    entry->rate = 0;
    ++m_doneRows;
    changed(row);
    emit entriesRemoved({entry->url});
    if (!m_sweep.isActive())
        m_sweep.start();
}

void DownloadQueue::removeDoneRows()
{
    m_sweep.stop();
    // From the back, one run of finished rows at a time.
    for (int row = count() - 1; row >= 0 && m_doneRows > 0; --row) {
        if (m_entries[row].state != EntryState::Done)
            continue;
        const int last = row;
        while (row > 0 && m_entries[row - 1].state == EntryState::Done)
            --row;
        removeRange(row, last);
    }
}

}  // namespace pm
