#pragma once
// The History window: a copy of the address history from which the user
// deletes selected addresses or all of them. Every deletion applies to the
// history itself, which the configuration file keeps. With a download
// archive, a second page lists the files downloaded, newest first, to
// search and to remove from the archive (the files stay on disk).

#include <QDialog>

class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTimer;
class QTreeView;

namespace pm {

class AddressHistory;
class ArchiveListModel;
class DownloadArchive;

class HistoryDialog : public QDialog {
    Q_OBJECT
public:
    explicit HistoryDialog(AddressHistory& history, QWidget* parent = nullptr);

    // Fills the lists anew from the history and the archive; run before
    // each showing.
    void reload();
    // Shows the archive's page (nullptr: none).
    void setArchive(DownloadArchive* archive);

private:
    void deleteSelected();
    void deleteAll();
    void updateDeleteButton();
    QWidget* createArchivePage();
    void removeSelectedRecords();

    AddressHistory& m_history;
    QTabWidget* m_pages;
    QListWidget* m_list;
    QPushButton* m_deleteSelected;
    bool m_deleting = false;
    DownloadArchive* m_archive = nullptr;
    QWidget* m_archivePage = nullptr;
    ArchiveListModel* m_records = nullptr;
    QTreeView* m_recordView = nullptr;
    QLineEdit* m_search = nullptr;
    QPushButton* m_removeRecords = nullptr;
    QTimer* m_refresh = nullptr;  // downloads finishing while the window is open
};

}  // namespace pm
