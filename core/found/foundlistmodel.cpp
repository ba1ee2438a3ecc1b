#include "core/found/foundlistmodel.h"

#include "core/download/filenames.h"
#include "core/textutil.h"

#include <QAbstractProxyModel>
#include <QCoreApplication>
#include <QHash>
#include <QItemSelectionModel>
#include <QLocale>
#include <QSet>
#include <QUrl>

#include <algorithm>

namespace pm {

namespace {
// A page's address as the Found on column shows it: without its scheme.
QString pageLabel(const QString& page)
{
    const QUrl url(page);
    if (url.host().isEmpty())
        return page;
    return url.toDisplayString(QUrl::RemoveScheme | QUrl::RemoveUserInfo).mid(2);  // after the "//"
}
}  // namespace

int FoundListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_urls.size());
}

int FoundListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FoundListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_urls.size())
        return {};
    const QString& url = m_urls.at(index.row());
    switch (role) {
    case UrlRole: return url;
    case FoundOnRole: return foundOn(index.row());
    case Qt::ToolTipRole:
        return foundOn(index.row()).isEmpty()
            ? url
            : url + QLatin1Char('\n') + QCoreApplication::translate("pm::FoundListModel", "Found on %1").arg(foundOn(index.row()));
    case WouldNotSaveRole: return details(url).wouldNotSave;
    case Qt::TextAlignmentRole:
        return index.column() == SizeColumn ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    case Qt::DisplayRole: break;
    default: return {};
    }
    const FoundDetails d = details(url);
    switch (index.column()) {
    case NameColumn: return d.savedName.isEmpty() ? shownFileName(url) : d.savedName;
    case TypeColumn: return d.contentType.isEmpty() ? fileExtension(fileNameOf(url)).section(QLatin1Char('?'), 0, 0).toLower()
                                                    : d.contentType.section(QLatin1Char(';'), 0, 0);
    case SizeColumn:
        return d.size < 0 ? QString() : QLocale().formattedDataSize(d.size, 1, QLocale::DataSizeTraditionalFormat);
    case FoundOnColumn: return pageLabel(foundOn(index.row()));
    case OutcomeColumn: return d.outcome;
    default: return {};
    }
}

QVariant FoundListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case NameColumn: return QCoreApplication::translate("pm::FoundListModel", "File");
    case TypeColumn: return QCoreApplication::translate("pm::FoundListModel", "Type");
    case SizeColumn: return QCoreApplication::translate("pm::FoundListModel", "Size");
    case FoundOnColumn: return QCoreApplication::translate("pm::FoundListModel", "Found on");
    case OutcomeColumn: return QCoreApplication::translate("pm::FoundListModel", "Download would");
    default: return {};
    }
}

int FoundListModel::rowOf(const QString& url) const
{
    if (m_rows.size() != m_urls.size()) {
        m_rows.clear();
        m_rows.reserve(m_urls.size());
        for (int row = 0; row < m_urls.size(); ++row)
            m_rows.insert(m_urls.at(row).toCaseFolded(), row);
    }
    return m_rows.value(url.toCaseFolded(), -1);
}

void FoundListModel::setDetails(const QString& url, const FoundDetails& details)
{
    const QString key = url.toCaseFolded();
    const auto known = m_details.constFind(key);
    if (known != m_details.cend() && *known == details)
        return;
    m_details.insert(key, details);
    const int row = rowOf(url);
    if (row >= 0)
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

QString FoundListModel::foundOn(int row) const
{
    if (m_linkedFrom.isEmpty())
        return m_page;
    return m_linkedFrom.value(m_urls.at(row).toCaseFolded(), m_page);
}

QList<FoundListModel::PageRun> FoundListModel::runsByPage(const QList<int>& rows) const
{
    QList<PageRun> runs;
    for (int row : rows) {
        const QString page = foundOn(row);
        if (runs.isEmpty() || runs.last().page != page)
            runs.append({page, {}});
        runs.last().urls.append(m_urls.at(row));
    }
    return runs;
}

void FoundListModel::setStringList(const QStringList& urls)
{
    m_linkedFrom.clear();
    resetRows(urls);
}

int FoundListModel::addLinked(const QString& page, const QStringList& urls)
{
    QStringList added;
    QSet<QString> addedKeys;
    for (const QString& url : urls) {
        QString key = url.toCaseFolded();
        if (rowOf(url) >= 0 || addedKeys.contains(key))
            continue;
        addedKeys.insert(std::move(key));
        added.append(url);
    }
    if (added.isEmpty())
        return 0;
    beginInsertRows({}, int(m_urls.size()), int(m_urls.size() + added.size() - 1));
    m_urls.append(added);
    for (const QString& key : std::as_const(addedKeys))
        m_linkedFrom.insert(key, page);
    m_rows.clear();
    endInsertRows();
    return int(added.size());
}

void FoundListModel::resetRows(const QStringList& urls)
{
    beginResetModel();
    m_urls = urls;
    m_rows.clear();
    // What was known of the entries no longer listed goes with them.
    QHash<QString, FoundDetails> kept;
    for (const QString& url : urls)
        if (const auto known = m_details.constFind(url.toCaseFolded()); known != m_details.cend())
            kept.insert(known.key(), *known);
    m_details.swap(kept);
    endResetModel();
}

// Past this many separate insertions and removals, each of which a selection
// model and a view follow over all their rows, one reset is faster.
static constexpr int kMostSeparateChanges = 64;

void FoundListModel::merge(const QStringList& pageList, QItemSelectionModel* selection)
{
    // The linked pages' entries follow the page's own, as shown; an entry
    // the page now lists too stays where a linked page put it.
    QStringList fresh;
    if (m_linkedFrom.isEmpty()) {
        fresh = pageList;
    } else {
        fresh.reserve(pageList.size() + m_linkedFrom.size());
        for (const QString& url : pageList)
            if (!m_linkedFrom.contains(url.toCaseFolded()))
                fresh.append(url);
        fresh.append(m_urls.mid(m_urls.size() - m_linkedFrom.size()));
    }
    if (fresh == m_urls)
        return;  // the usual rescan: nothing changed
    // A page that grows (a gallery that loads as it scrolls): the new
    // entries follow the ones shown, which stay as they are.
    if (fresh.size() > m_urls.size() && std::equal(m_urls.cbegin(), m_urls.cend(), fresh.cbegin())) {
        beginInsertRows({}, int(m_urls.size()), int(fresh.size() - 1));
        m_urls = fresh;
        m_rows.clear();
        endInsertRows();
        return;
    }

    QHash<QString, QString> freshByKey;
    freshByKey.reserve(fresh.size());
    for (const QString& url : fresh)
        freshByKey.insert(url.toCaseFolded(), url);

    // Entries that leave: not in `fresh`, or a repeat of an earlier entry.
    // Removed from the bottom up, a run of rows at a time.
    QSet<QString> keptKeys;
    QList<bool> leaves(m_urls.size());
    int changes = 0;
    for (qsizetype row = 0; row < m_urls.size(); ++row) {
        const QString key = m_urls.at(row).toCaseFolded();
        leaves[row] = !freshByKey.contains(key) || keptKeys.contains(key);
        if (!leaves[row])
            keptKeys.insert(key);
        else if (row == 0 || !leaves[row - 1])
            ++changes;
    }

    // New entries, grouped by the kept entry they follow in `fresh`.
    QStringList top;
    QHash<QString, QStringList> following;
    QString anchor;
    bool anchored = false;
    for (const QString& url : fresh) {
        QString key = url.toCaseFolded();
        if (keptKeys.contains(key)) {
            anchor = std::move(key);
            anchored = true;
        } else {
            (anchored ? following[anchor] : top).append(url);
        }
    }
    changes += int(following.size()) + (top.isEmpty() ? 0 : 1);
    if (changes > kMostSeparateChanges) {
        replaceKeepingSelection(fresh, freshByKey, leaves, top, following, selection);
        return;
    }

    for (qsizetype last = m_urls.size() - 1; last >= 0; --last) {
        if (!leaves[last])
            continue;
        qsizetype first = last;
        while (first > 0 && leaves[first - 1])
            --first;
        beginRemoveRows({}, int(first), int(last));
        m_urls.remove(first, last - first + 1);
        m_rows.clear();
        endRemoveRows();
        last = first;
    }

    // A kept entry takes the form the page has now, should its letter case
    // have changed.
    for (qsizetype row = 0; row < m_urls.size(); ++row) {
        const QString now = freshByKey.value(m_urls.at(row).toCaseFolded());
        if (now != m_urls.at(row)) {
            m_urls[row] = now;
            emit dataChanged(index(int(row), 0), index(int(row), ColumnCount - 1));
        }
    }

    auto insertAt = [this](qsizetype row, const QStringList& urls) {
        if (urls.isEmpty())
            return;
        beginInsertRows({}, int(row), int(row + urls.size() - 1));
        m_urls.insert(row, urls.size(), QString());
        std::copy(urls.begin(), urls.end(), m_urls.begin() + row);
        m_rows.clear();
        endInsertRows();
    };
    // Inserting behind a kept row leaves the rows above it in place, so the
    // walk goes top down with the row numbers of the growing list.
    insertAt(0, top);
    for (qsizetype row = top.size(); row < m_urls.size(); ++row) {
        const QStringList urls = following.take(m_urls.at(row).toCaseFolded());
        insertAt(row + 1, urls);
        row += urls.size();
    }
}

void FoundListModel::replaceKeepingSelection(const QStringList& fresh, const QHash<QString, QString>& freshByKey,
                                             const QList<bool>& leaves, const QStringList& top,
                                             const QHash<QString, QStringList>& following,
                                             QItemSelectionModel* selection)
{
    // The view may show this list through a filter: its selection is
    // mapped to this list's rows and back.
    const auto* shown = selection ? qobject_cast<const QAbstractProxyModel*>(selection->model()) : nullptr;
    QSet<QString> selectedKeys;
    if (selection) {
        const QItemSelection selected =
            shown ? shown->mapSelectionToSource(selection->selection()) : selection->selection();
        for (const QItemSelectionRange& range : selected)
            for (int row = range.top(); row <= range.bottom(); ++row)
                if (!leaves[row])
                    selectedKeys.insert(m_urls.at(row).toCaseFolded());
    }
    QStringList merged = top;
    merged.reserve(fresh.size());
    for (qsizetype row = 0; row < m_urls.size(); ++row) {
        if (leaves[row])
            continue;
        const QString key = m_urls.at(row).toCaseFolded();
        merged.append(freshByKey.value(key));
        merged.append(following.value(key));
    }
    resetRows(merged);
    if (selectedKeys.isEmpty())
        return;
    QItemSelection kept;
    for (qsizetype row = 0; row < m_urls.size(); ++row) {
        if (!selectedKeys.contains(m_urls.at(row).toCaseFolded()))
            continue;
        qsizetype last = row;
        while (last + 1 < m_urls.size() && selectedKeys.contains(m_urls.at(last + 1).toCaseFolded()))
            ++last;
        kept.select(index(int(row), 0), index(int(last), ColumnCount - 1));
        row = last;
    }
    selection->select(shown ? shown->mapSelectionFromSource(kept) : kept, QItemSelectionModel::Select);
}

}  // namespace pm
