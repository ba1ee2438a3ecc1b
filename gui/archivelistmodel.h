#pragma once
// The download archive as a table for the History window: newest first,
// narrowed by a search text, read a page at a time as the view scrolls, so
// an archive of any size opens at once.

#include "core/download/downloadarchive.h"

#include <QAbstractTableModel>

namespace pm {

class ArchiveListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { SavedColumn, FileColumn, AddressColumn, SizeColumn, ColumnCount };

    explicit ArchiveListModel(QObject* parent = nullptr);

    void setArchive(const DownloadArchive* archive);
    // Shows the records whose address or file contains `text` ("" for all).
    void setSearch(const QString& text);
    // Reads the first page anew.
    void reload();
    qint64 idAt(int row) const { return m_records.at(row).id; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    static constexpr int kPage = 200;

private:
    const DownloadArchive* m_archive = nullptr;
    QString m_search;
    QList<ArchiveRecord> m_records;
    bool m_more = false;
};

}  // namespace pm
