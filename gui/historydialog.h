#pragma once
// The History window: the address history, from which the user deletes
// selected addresses or all of them; the configuration file keeps what is
// left. With a download
// archive, a second page lists the files downloaded, newest first, to
// search and to remove from the archive (the files stay on disk).

#include <QDialog>

class QLineEdit;
class QListView;
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

    // Clears the selection and reads the archive anew; run before each
    // showing.
    void reload();
    // Shows the archive's page (nullptr: none).
    void setArchive(DownloadArchive* archive);

signals:
    // F1: the user guide's section about the page shown.
    void helpRequested(const QString& section);

private:
    void deleteSelected();
    void deleteAll();
    void updateDeleteButton();
    QWidget* createArchivePage();
    void removeSelectedRecords();

    AddressHistory& m_history;
    QTabWidget* m_pages;
    QListView* m_list;
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
