#include "core/found/foundfiltermodel.h"

#include "core/found/foundlistmodel.h"

namespace pm {

FoundFilterModel::FoundFilterModel(FoundListModel& source, QObject* parent)
    : QSortFilterProxyModel(parent), m_source(source)
{
    setSourceModel(&source);
}

void FoundFilterModel::setFilter(const FoundFilter& filter)
{
    m_filter = filter;
    invalidateFilter();
}

int FoundFilterModel::hiddenCount() const
{
    return m_source.rowCount() - rowCount();
}

bool FoundFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    if (!m_filter.isActive())
        return true;
    const QString url = m_source.url(sourceRow);
    return m_filter.accepts(url, m_source.details(url));
}

}  // namespace pm
