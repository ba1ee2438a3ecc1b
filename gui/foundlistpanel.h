#pragma once
// The main window's lower part: the found list of the page on display (and
// of the pages it links to, once harvested), its filter, the user's
// selection in it and the status line that counts both, and the buttons
// that take the selection to the work queue.

#include "core/found/foundfilter.h"

#include <QList>
#include <QStringList>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QTreeView;

namespace pm {

class AppContext;
class FoundAnnotator;
class FoundFilterModel;
class FoundListModel;

class FoundListPanel : public QWidget {
    Q_OBJECT
public:
    explicit FoundListPanel(AppContext& context, QWidget* parent = nullptr);

    FoundListModel* model() const { return m_model; }
    // The selected entries' addresses, in list order.
    QStringList selectedUrls() const;
    // Its controls in the order Tab visits them.
    QList<QWidget*> tabOrder() const;

    // Another page is on its way: the list empties and the status counts 0.
    void clear();
    // Shows a scan's list. The load's first scan replaces the list; its later
    // scans merge into it (`mergeIntoShown`), which keeps the order of the
    // entries shown and the user's selection. `page` is the address the scan
    // read; probes and downloads of the entries give it as their Referer.
    // The status is left to showScanStatus().
    void showList(const QStringList& urls, bool mergeIntoShown, const QString& page);
    // Adds what the linked page `page` holds after the entries listed;
    // returns how many were new.
    int addLinked(const QString& page, const QStringList& urls);
    // A line on what runs besides (a harvest of linked pages), shown after
    // the counts until another page is shown; "" for none.
    void setActivityText(const QString& text);
    void setHarvestEnabled(bool enabled);
    // After a scan: counts the entries, and the selected ones if there are any.
    void showScanStatus();
    // The window's start: no status, nothing to add.
    void clearStatus();

public slots:
    void selectAll();
    void selectNone();
    void addSelectionToQueue();
    // The settings, the output folder or the archive changed: what downloads
    // of the entries would do is worked out again.
    void refreshDetails();

signals:
    void showQueueRequested();
    void harvestRequested();

private:
    void filterChanged();
    int selectedCount() const;
    QString hiddenText() const;
    // The status line after the counts: what is hidden, what runs besides.
    QString statusTail() const;
    QList<int> selectedRows() const;
    void showFoundCount();
    // The Found on column, while linked pages' entries are listed.
    void showFoundOnColumn();
    void updateSelectionStatus();

    AppContext& m_context;
    FoundListModel* m_model;
    FoundFilterModel* m_shown;  // what the view shows of m_model
    FoundAnnotator* m_annotator;
    QLabel* m_status = nullptr;
    QLineEdit* m_filterBox = nullptr;
    QComboBox* m_kindBox = nullptr;
    QComboBox* m_outcomeBox = nullptr;
    QTreeView* m_view = nullptr;
    QPushButton* m_selectAll = nullptr;
    QPushButton* m_selectNone = nullptr;
    QPushButton* m_harvestButton = nullptr;
    QPushButton* m_addButton = nullptr;
    QPushButton* m_showQueue = nullptr;
    QTimer* m_statusRefresh = nullptr;
    QString m_activityText;
    bool m_statusShowsSelection = false;  // the status counts the selected entries
    bool m_selectingInBulk = false;       // Select All/None and scans report once, at the end
};

}  // namespace pm
