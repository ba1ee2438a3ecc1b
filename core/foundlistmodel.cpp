#include "core/foundlistmodel.h"

#include <QHash>
#include <QItemSelectionModel>
#include <QSet>

#include <algorithm>

namespace pm {

int FoundListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_urls.size());
}

QVariant FoundListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_urls.size() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return m_urls.at(index.row());
}

void FoundListModel::setStringList(const QStringList& urls)
{
    beginResetModel();
    m_urls = urls;
    endResetModel();
}

// Past this many separate insertions and removals, each of which a selection
// model and a view follow over all their rows, one reset is faster.
static constexpr int kMostSeparateChanges = 64;

void FoundListModel::merge(const QStringList& fresh, QItemSelectionModel* selection)
{
    if (fresh == m_urls)
        return;  // the usual rescan: nothing changed

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
        endRemoveRows();
        last = first;
    }

    // A kept entry takes the form the page has now, should its letter case
    // have changed.
    for (qsizetype row = 0; row < m_urls.size(); ++row) {
        const QString now = freshByKey.value(m_urls.at(row).toCaseFolded());
        if (now != m_urls.at(row)) {
            m_urls[row] = now;
            emit dataChanged(index(int(row)), index(int(row)));
        }
    }

    auto insertAt = [this](qsizetype row, const QStringList& urls) {
        if (urls.isEmpty())
            return;
        beginInsertRows({}, int(row), int(row + urls.size() - 1));
        m_urls.insert(row, urls.size(), QString());
        std::copy(urls.begin(), urls.end(), m_urls.begin() + row);
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
    QStringList merged = top;
    merged.reserve(fresh.size());
    QSet<QString> selectedKeys;
    for (qsizetype row = 0; row < m_urls.size(); ++row) {
        if (leaves[row])
            continue;
        const QString key = m_urls.at(row).toCaseFolded();
        if (selection && selection->isRowSelected(int(row)))
            selectedKeys.insert(key);
        merged.append(freshByKey.value(key));
        merged.append(following.value(key));
    }
    setStringList(merged);
    if (selectedKeys.isEmpty())
        return;
    QItemSelection kept;
    for (qsizetype row = 0; row < m_urls.size(); ++row) {
        if (!selectedKeys.contains(m_urls.at(row).toCaseFolded()))
            continue;
        qsizetype last = row;
        while (last + 1 < m_urls.size() && selectedKeys.contains(m_urls.at(last + 1).toCaseFolded()))
            ++last;
        kept.select(index(int(row)), index(int(last)));
        row = last;
    }
    selection->select(kept, QItemSelectionModel::Select);
}

}  // namespace pm
