#pragma once
// The Work Queue window: the queue list, its editing commands, the work
// session's statistics and the Start/Stop buttons. The window is never
// destroyed while the program runs: closing it runs the unload logic and
// hides it, and the next use loads it again.

#include "queue/queuerules.h"
#include "queue/workque.h"

#include <QElapsedTimer>
#include <QWidget>

#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;

namespace pm {

class Transfer;

class frmProgress : public QWidget, public QueueList {
    Q_OBJECT
public:
    explicit frmProgress(QWidget* parent = nullptr);
    ~frmProgress() override;

    // How the configuration file is written after every entry (the main
    // window's save, which brings colG_Queue up to date first). Without one,
    // the queue is stored and SaveINI writes settings and queue alone.
    void setConfigurationSaver(std::function<void()> saver) { m_saveConfiguration = std::move(saver); }
    // Whether the operating system is ending the program.
    void setSystemEndingQuery(std::function<bool()> query) { m_systemEnding = std::move(query); }

    // Loads the window (hidden) unless it is loaded.
    void ensureLoaded();
    bool isLoaded() const { return m_loaded; }

    // The queue list; each call loads the window when needed.
    int count() const override;
    QString entry(int index) const override;
    void removeAt(int index) override;
    void append(const QString& url);
    QStringList entries() const;

    // Copies the list into colG_Queue (done before every configuration save).
    void storeQueue();

    QueueFlags& flags() { return m_flags; }
    WorkQue* worker() const { return m_worker; }
    Transfer* transfer() const { return m_transfer; }

    // Handlers.
    void Form_Load();
    void Form_Activate();
    bool Form_QueryUnload();  // false refuses the closing
    void Form_Unload();
    void UpdateQueueCount();
    void lstQue_Click();
    void txtPos_Change();
    void cmdMove_Click();
    void cmdDelAll_Click();
    void cmdDelSel_Click();
    void cmdStart_Click();
    void cmdCancel_Click();
    void cmdClose_Click();
    void Timer1_Timer();

signals:
    void sessionFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void createControls();
    void applyDisplay();
    void afterSession();
    void applyButtons(const QueueButtons& b);
    QueueButtons currentButtons() const;
    int selectedCount() const;
    void place(QWidget* w, int left, int top, int width, int height);
    void showProgress(qint64 received, qint64 total);

    QueueFlags m_flags;
    Transfer* m_transfer = nullptr;
    WorkQue* m_worker = nullptr;
    std::function<void()> m_saveConfiguration;
    std::function<bool()> m_systemEnding;
    bool m_loaded = false;
    QElapsedTimer m_itemClock;  // since the item in work began
    int m_shownSerial = -1;

public:
    QLabel* lblQue = nullptr;
    QListWidget* lstQue = nullptr;
    QPushButton* cmdDelSel = nullptr;
    QPushButton* cmdDelAll = nullptr;
    QLabel* lblPosition = nullptr;
    QLineEdit* txtPos = nullptr;
    QPushButton* cmdMove = nullptr;
    QGroupBox* frainfo = nullptr;
    QLabel* lblStatus = nullptr;
    QLineEdit* txtQueueCount = nullptr;
    QLabel* lblItems = nullptr;
    QLineEdit* txtCompleteCount = nullptr;
    QLabel* lblQueStart = nullptr;
    QLineEdit* txtQueStart = nullptr;
    QLabel* lblcurrent = nullptr;
    QLineEdit* txtCurrent = nullptr;
    QLabel* lblElapse = nullptr;
    QLineEdit* txtElapse = nullptr;
    QLabel* lblTimestart = nullptr;
    QLineEdit* txtStartTime = nullptr;
    QLabel* lblItemElapse = nullptr;
    QLineEdit* txtItemElapse = nullptr;
    QLabel* lblFileSize = nullptr;
    QLineEdit* txtFileSize = nullptr;
    QLabel* lblComplete = nullptr;
    QLineEdit* txtCompleted = nullptr;
    QLabel* lbldwnldtime = nullptr;
    QLineEdit* txtDownloadtime = nullptr;
    QLabel* lblSize = nullptr;
    QLineEdit* txtSessionSize = nullptr;
    QLabel* lblFileProg = nullptr;
    QProgressBar* prgItem = nullptr;  // the item in work: bytes against Content-Length
    QLabel* lblRate = nullptr;        // its transfer rate
    QPushButton* cmdClose = nullptr;
    QPushButton* cmdStart = nullptr;
    QPushButton* cmdCancel = nullptr;
    QTimer* Timer1 = nullptr;
};

// Add to Queue: appends the addresses not yet queued (letter case ignored),
// in the given order, then refreshes the count.
void addToQueue(frmProgress& window, const QStringList& urls);

}  // namespace pm
