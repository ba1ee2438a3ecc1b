#pragma once
// The found list as a list model. A rescan of the page on display merges into
// it instead of replacing it, so that rows keep their place and a view's
// selection of them survives.

#include <QAbstractListModel>
#include <QStringList>

class QItemSelectionModel;

namespace pm {

class FoundListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const QStringList& stringList() const { return m_urls; }
    // Replaces the whole list; a view's selection is cleared.
    void setStringList(const QStringList& urls);

    // Brings the list to a rescan's list `fresh` (no two entries equal when
    // case is ignored). Entries also in `fresh`, ignoring case, stay in their
    // order, in the letter case `fresh` has; the others leave. Each new entry joins right
    // after the nearest entry that precedes it in `fresh` and was already
    // shown (at the top if there is none), so new entries keep the order of
    // `fresh`, and a list shown in that order ends equal to it. `selection`
    // (a view's, may be null) keeps the entries it had that stay. Rows move by
    // insertions and removals, which a view follows without a jump; when
    // there are too many separate ones, the list is replaced in one go and
    // the selection put back.
    void merge(const QStringList& fresh, QItemSelectionModel* selection);

private:
    void replaceKeepingSelection(const QStringList& fresh, const QHash<QString, QString>& freshByKey,
                                 const QList<bool>& leaves, const QStringList& top,
                                 const QHash<QString, QStringList>& following, QItemSelectionModel* selection);

    QStringList m_urls;
};

}  // namespace pm
