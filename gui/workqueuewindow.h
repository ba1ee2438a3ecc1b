#pragma once
// The Work Queue window: the queue, its editing commands, the work session's
// statistics and the Start/Stop buttons. It views the program's download
// queue and drives its worker. Closing it during a session asks first; a
// closed window only hides, so the next use shows it as it was.

#include "core/download/sessionstatistics.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QListView;
class QProgressBar;
class QPushButton;
class QTimer;

namespace pm {

class AppContext;

class WorkQueueWindow : public QWidget {
    Q_OBJECT
public:
    explicit WorkQueueWindow(AppContext& context, QWidget* parent = nullptr);

    // Closes because the system ends the program: a running session is
    // stopped without a question.
    void closeForSystem();

    QListView* queueView() const { return m_list; }

public slots:
    void startSession();
    void stopSession();
    void removeSelected();
    void clearQueue();
    void moveSelected();
    // The queue count and the enabled state of the queue buttons.
    void updateQueueButtons();

signals:
    void sessionFinished();
    // The window was closed (it only hides).
    void closed();
    // F1: the user guide's section about this window.
    void helpRequested(const QString& section);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void createControls();
    void sessionEnded();
    void selectionChanged();
    void tickClock();
    void refreshFigures();
    void showProgress();
    int selectedCount() const;
    void stopWith(const QString& logLine);

    AppContext& m_context;
    QListView* m_list = nullptr;
    QPushButton* m_removeButton = nullptr;
    QPushButton* m_clearButton = nullptr;
    QLineEdit* m_positionBox = nullptr;
    QPushButton* m_moveButton = nullptr;
    QLineEdit* m_queueCount = nullptr;
    QLineEdit* m_completedCount = nullptr;
    QLineEdit* m_failedCount = nullptr;
    QLineEdit* m_activeCount = nullptr;
    QLineEdit* m_sessionStart = nullptr;
    QLineEdit* m_currentFile = nullptr;
    QLineEdit* m_sessionElapsed = nullptr;
    QLineEdit* m_itemStart = nullptr;
    QLineEdit* m_itemElapsed = nullptr;
    QLineEdit* m_lastFileSize = nullptr;
    QLineEdit* m_sessionEnd = nullptr;
    QLineEdit* m_downloadTime = nullptr;
    QLineEdit* m_sessionTotal = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_rate = nullptr;
    QPushButton* m_closeButton = nullptr;
    QPushButton* m_startButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QTimer* m_clock = nullptr;    // each second: the status dots and the elapsed times
    QTimer* m_refresh = nullptr;  // four times a second: figures and progress
    static constexpr int kRefreshMs = 250;
    // The bar turns busy when the same downloads have had no size for half
    // a second.
    SizeUnknownWatch m_sizeUnknown{500 / kRefreshMs};
    bool m_closingForSystem = false;
};

}  // namespace pm
