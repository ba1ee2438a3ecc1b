#include "gui/historydialog.h"

#include "core/config/addresshistory.h"
#include "core/download/downloadarchive.h"
#include "gui/archivelistmodel.h"
#include "gui/helpkey.h"
#include "gui/namedbutton.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QStringListModel>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace pm {

HistoryDialog::HistoryDialog(AddressHistory& history, QWidget* parent)
    : QDialog(parent), m_history(history), m_pages(new QTabWidget(this)), m_list(new QListView(this)),
      m_deleteSelected(new QPushButton(tr("&Delete Selected"), this))
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(tr("History"));
    m_pages->setObjectName(QStringLiteral("tbsHistory"));
    m_pages->setTabBarAutoHide(true);  // one page without an archive
    auto* addresses = new QWidget(m_pages);

    auto* caption = new QLabel(tr("Current history &buffer"), this);
    caption->setObjectName(QStringLiteral("lblHistory"));
    caption->setBuddy(m_list);
    m_list->setObjectName(QStringLiteral("lstUrl"));
    m_list->setAccessibleName(tr("History"));
    m_list->setModel(m_history.model());
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_deleteSelected->setObjectName(QStringLiteral("cmdDelSel"));
    auto* deleteAll = new QPushButton(tr("Delete &all"), this);
    deleteAll->setObjectName(QStringLiteral("cmdDelAll"));
    m_archivePage = createArchivePage();  // here, so Tab reaches it before Close
    auto* close = new QPushButton(tr("&Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    for (QPushButton* button : {m_deleteSelected, deleteAll, close})
        button->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_deleteSelected);
    buttons->addWidget(deleteAll);
    buttons->addStretch();
    auto* page = new QVBoxLayout(addresses);
    page->addWidget(caption);
    page->addWidget(m_list, 1);
    page->addLayout(buttons);
    m_pages->addTab(addresses, tr("&Visited pages"));
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addLayout(bottom);
    resize(720, 420);

    // Deleting changes the selection too; only the user's clicks count.
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_deleting)
            updateDeleteButton();
    });
    connect(m_deleteSelected, &QPushButton::clicked, this, &HistoryDialog::deleteSelected);
    connect(deleteAll, &QPushButton::clicked, this, &HistoryDialog::deleteAll);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    addHelpKey(this, [this] {
        emit helpRequested(m_pages->currentWidget() == m_archivePage ? QStringLiteral("history-downloaded-files")
                                                                     : QStringLiteral("history-visited-pages"));
    });
    reload();
}

void HistoryDialog::reload()
{
    m_deleting = true;
    m_list->clearSelection();
    m_deleting = false;
    m_deleteSelected->setEnabled(false);
    if (m_records)
        m_records->reload();
}

QWidget* HistoryDialog::createArchivePage()
{
    auto* page = new QWidget(this);
    page->hide();  // a page of its own once there is an archive
    m_search = new QLineEdit(page);
    m_search->setObjectName(QStringLiteral("txtArchiveSearch"));
    m_search->setPlaceholderText(tr("Part of an address or a file name"));
    m_search->setClearButtonEnabled(true);
    auto* searchCaption = new QLabel(tr("&Find:"), page);
    searchCaption->setObjectName(QStringLiteral("lblArchiveSearch"));
    searchCaption->setBuddy(m_search);
    m_records = new ArchiveListModel(this);
    m_recordView = new QTreeView(page);
    m_recordView->setObjectName(QStringLiteral("lstArchive"));
    m_recordView->setAccessibleName(tr("Downloaded files, newest first"));
    m_recordView->setModel(m_records);
    m_recordView->setRootIsDecorated(false);
    m_recordView->setUniformRowHeights(true);
    m_recordView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_recordView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_recordView->header()->setSectionResizeMode(ArchiveListModel::AddressColumn, QHeaderView::Stretch);
    m_recordView->header()->setStretchLastSection(false);
    m_removeRecords = namedButton("cmdArchiveRemove", tr("&Remove selected"), page);
    m_removeRecords->setToolTip(tr("Removes the entries from the archive; the files stay"));
    auto* clear = namedButton("cmdArchiveClear", tr("C&lear"), page);
    clear->setToolTip(tr("Empties the archive; the files stay"));

    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(searchCaption);
    searchRow->addWidget(m_search, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_removeRecords);
    buttons->addWidget(clear);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(searchRow);
    layout->addWidget(m_recordView, 1);
    layout->addLayout(buttons);

    m_refresh = new QTimer(this);
    m_refresh->setSingleShot(true);
    m_refresh->setInterval(500);
    connect(m_refresh, &QTimer::timeout, m_records, &ArchiveListModel::reload);
    connect(m_search, &QLineEdit::textChanged, m_records, &ArchiveListModel::setSearch);
    connect(m_records, &QAbstractItemModel::modelReset, this, [this] { m_removeRecords->setEnabled(false); });
    connect(m_recordView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { m_removeRecords->setEnabled(m_recordView->selectionModel()->hasSelection()); });
    connect(m_removeRecords, &QPushButton::clicked, this, &HistoryDialog::removeSelectedRecords);
    connect(clear, &QPushButton::clicked, this, [this] {
        if (m_archive)
            m_archive->clear();
    });
    return page;
}

void HistoryDialog::setArchive(DownloadArchive* archive)
{
    if (m_archive)
        m_archive->disconnect(this);
    m_archive = archive;
    const int at = m_pages->indexOf(m_archivePage);
    if (archive && at < 0)
        m_pages->addTab(m_archivePage, tr("Do&wnloaded files"));
    else if (!archive && at >= 0)
        m_pages->removeTab(at);
    m_records->setArchive(archive);
    if (archive) {
        connect(archive, &DownloadArchive::recordsRemoved, m_records, &ArchiveListModel::reload);
        connect(archive, &DownloadArchive::recordAdded, this, [this] {
            if (isVisible())
                m_refresh->start();  // one reload for a burst of downloads
        });
    }
}

void HistoryDialog::removeSelectedRecords()
{
    QList<qint64> ids;
    for (const QModelIndex& row : m_recordView->selectionModel()->selectedRows())
        ids.append(m_records->idAt(row.row()));
    if (m_archive && !ids.isEmpty())
        m_archive->remove(ids);
}

void HistoryDialog::updateDeleteButton()
{
    m_deleteSelected->setEnabled(m_list->selectionModel()->hasSelection());
}

void HistoryDialog::deleteSelected()
{
    QList<int> rows;
    for (const QModelIndex& index : m_list->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end(), std::greater<int>());  // bottom up: the rows above keep their numbers
    m_deleting = true;
    for (int row : rows)
        m_history.model()->removeRow(row);
    m_deleting = false;
}

void HistoryDialog::deleteAll()
{
    m_deleting = true;
    m_history.setEntries({});
    m_deleting = false;
}
}  // namespace pm
