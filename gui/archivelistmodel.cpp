#include "gui/archivelistmodel.h"

#include "core/textutil.h"

#include <QFileInfo>
#include <QLocale>

namespace pm {

ArchiveListModel::ArchiveListModel(QObject* parent) : QAbstractTableModel(parent) {}

void ArchiveListModel::setArchive(const DownloadArchive* archive)
{
    m_archive = archive;
    reload();
}

void ArchiveListModel::setSearch(const QString& text)
{
    m_search = text;
    reload();
}

void ArchiveListModel::reload()
{
    beginResetModel();
    m_records = m_archive ? m_archive->records(m_search, 0, kPage) : QList<ArchiveRecord>();
    m_more = m_records.size() == kPage;
    endResetModel();
}

bool ArchiveListModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && m_more;
}

void ArchiveListModel::fetchMore(const QModelIndex& parent)
{
    if (parent.isValid() || !m_more || !m_archive)
        return;
    const QList<ArchiveRecord> page = m_archive->records(m_search, int(m_records.size()), kPage);
    m_more = page.size() == kPage;
    if (page.isEmpty())
        return;
    beginInsertRows(QModelIndex(), int(m_records.size()), int(m_records.size() + page.size()) - 1);
    m_records += page;
    endInsertRows();
}

int ArchiveListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_records.size());
}

int ArchiveListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ArchiveListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_records.size())
        return {};
    const ArchiveRecord& record = m_records.at(index.row());
    if (role == Qt::ToolTipRole) {
        if (index.column() == FileColumn)
            return record.savedPath;
        if (index.column() == AddressColumn)
            return record.finalUrl == record.url ? record.url : record.url + QStringLiteral("\n") + record.finalUrl;
        return {};
    }
    if (role == Qt::TextAlignmentRole && index.column() == SizeColumn)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case SavedColumn: return generalDateText(record.when.toLocalTime());
    case FileColumn: return QFileInfo(record.savedPath).fileName();
    case AddressColumn: return record.url;
    case SizeColumn: return QLocale().formattedDataSize(record.size, 1, QLocale::DataSizeTraditionalFormat);
    default: return {};
    }
}

QVariant ArchiveListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case SavedColumn: return tr("Downloaded");
    case FileColumn: return tr("File");
    case AddressColumn: return tr("Address");
    case SizeColumn: return tr("Size");
    default: return {};
    }
}

}  // namespace pm
