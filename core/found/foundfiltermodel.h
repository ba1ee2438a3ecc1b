#pragma once
// The found list as the window shows it: the entries a FoundFilter accepts,
// in the list's own order. It follows the found list as entries come, leave
// and become known (a probe's answer may show or hide an entry).

#include "core/found/foundfilter.h"

#include <QSortFilterProxyModel>

namespace pm {

class FoundListModel;

class FoundFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit FoundFilterModel(FoundListModel& source, QObject* parent = nullptr);

    const FoundFilter& filter() const { return m_filter; }
    void setFilter(const FoundFilter& filter);
    // Listed entries the filter does not show.
    int hiddenCount() const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    FoundListModel& m_source;
    FoundFilter m_filter;
};

}  // namespace pm
