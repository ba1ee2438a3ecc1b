#include "gui/workqueuewindow.h"

#include "core/appcontext.h"
#include "core/queuerules.h"
#include "core/textutil.h"
#include "core/userinteraction.h"

#include <QAction>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

namespace pm {

namespace {
// Shows each entry's state as an icon before its address.
class QueueEntryDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const auto state = EntryState(index.data(DownloadQueue::StateRole).toInt());
        if (state == EntryState::Waiting)
            return;
        const QStyle* style = option->widget ? option->widget->style() : nullptr;
        if (!style)
            return;
        option->icon = style->standardIcon(state == EntryState::Failed ? QStyle::SP_MessageBoxWarning
                                                                       : QStyle::SP_ArrowRight);
        option->features |= QStyleOptionViewItem::HasDecoration;
    }
};

QLineEdit* statisticsField(const char* name, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setReadOnly(true);
    return field;
}

QLabel* caption(const char* name, const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setBuddy(buddy);
    return label;
}

QPushButton* button(const char* name, const QString& text, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}
}  // namespace

WorkQueueWindow::WorkQueueWindow(AppContext& context, QWidget* parent) : QWidget(parent, Qt::Window), m_context(context)
{
    setObjectName(QStringLiteral("frmProgress"));
    setWindowTitle(tr("Work Queue"));
    createControls();

    QueueWorker& worker = m_context.worker;
    connect(&worker, &QueueWorker::sessionEnded, this, &WorkQueueWindow::sessionEnded);
    connect(&worker, &QueueWorker::itemProgress, this, [this](qint64 received, qint64 total) {
        if (m_context.worker.figures().itemSerial != m_shownSerial) {
            m_shownSerial = m_context.worker.figures().itemSerial;
            m_itemClock.start();
        }
        m_received = received;
        m_total = total;
    });
    DownloadQueue& queue = m_context.queue;
    connect(&queue, &QAbstractItemModel::rowsInserted, this, &WorkQueueWindow::updateQueueButtons);
    connect(&queue, &QAbstractItemModel::rowsRemoved, this, &WorkQueueWindow::updateQueueButtons);
    connect(&queue, &QAbstractItemModel::modelReset, this, &WorkQueueWindow::updateQueueButtons);
    updateQueueButtons();
}

void WorkQueueWindow::createControls()
{
    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("lstQue"));
    m_list->setModel(&m_context.queue);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setUniformItemSizes(true);
    m_list->setItemDelegate(new QueueEntryDelegate(m_list));
    m_list->setAccessibleName(tr("Work queue"));
    auto* listCaption = caption("lblQue", tr("Work &Queue"), m_list, this);
    auto* removeKey = new QAction(m_list);
    removeKey->setShortcut(QKeySequence::Delete);
    removeKey->setShortcutContext(Qt::WidgetShortcut);
    m_list->addAction(removeKey);
    connect(removeKey, &QAction::triggered, this, &WorkQueueWindow::removeSelected);

    m_removeButton = button("cmdDelSel", tr("&Remove Select"), this);
    m_clearButton = button("cmdDelAll", tr("C&lear Queue"), this);
    m_positionBox = new QLineEdit(this);
    m_positionBox->setObjectName(QStringLiteral("txtPos"));
    m_positionBox->setAccessibleName(tr("Move the selected entry to position"));
    auto* positionCaption = caption("lblPosition", tr("Move Select to &position#"), m_positionBox, this);
    m_moveButton = button("cmdMove", tr("&Move"), this);
    m_moveButton->setEnabled(false);

    auto* info = new QGroupBox(this);
    info->setObjectName(QStringLiteral("frainfo"));
    m_queueCount = statisticsField("txtQueueCount", info);
    m_completedCount = statisticsField("txtCompleteCount", info);
    m_sessionStart = statisticsField("txtQueStart", info);
    m_currentFile = statisticsField("txtCurrent", info);
    m_sessionElapsed = statisticsField("txtElapse", info);
    m_itemStart = statisticsField("txtStartTime", info);
    m_itemElapsed = statisticsField("txtItemElapse", info);
    m_lastFileSize = statisticsField("txtFileSize", info);
    m_sessionEnd = statisticsField("txtCompleted", info);
    m_downloadTime = statisticsField("txtDownloadtime", info);
    m_sessionTotal = statisticsField("txtSessionSize", info);
    m_failedCount = statisticsField("txtFailedCount", info);
    m_status = new QLabel(tr("Working..."), info);
    m_status->setObjectName(QStringLiteral("lblFileProg"));
    QFont bold = m_status->font();
    bold.setBold(true);
    m_status->setFont(bold);
    m_status->setAlignment(Qt::AlignCenter);
    m_status->hide();
    // The first row's captions read as one sentence with its fields; alone,
    // each field gets a name of its own.
    m_queueCount->setAccessibleName(tr("Items in the queue"));
    m_completedCount->setAccessibleName(tr("Items completed"));
    m_sessionStart->setAccessibleName(tr("Session started at"));

    // The statistics read as sentences, row by row; a date-and-time field is
    // wide enough for its whole text.
    auto* grid = new QGridLayout(info);
    grid->addWidget(caption("lblStatus", tr("Queue Contains"), m_queueCount, info), 0, 0);
    grid->addWidget(m_queueCount, 0, 1);
    grid->addWidget(caption("lblItems", tr("items. Completed"), m_completedCount, info), 0, 2);
    grid->addWidget(m_completedCount, 0, 3);
    grid->addWidget(caption("lblQueStart", tr("items. Session Started at"), m_sessionStart, info), 0, 4);
    grid->addWidget(m_sessionStart, 0, 5);
    const struct {
        const char* leftName;
        QString leftText;
        QLineEdit* leftField;
        const char* rightName;
        QString rightText;
        QLineEdit* rightField;
    } rows[] = {
        {"lblcurrent", tr("Currently Working on"), m_currentFile, "lblElapse", tr("Session elapsed"), m_sessionElapsed},
        {"lblTimestart", tr("Started at"), m_itemStart, "lblItemElapse", tr("Item elapsed"), m_itemElapsed},
        {"lblFileSize", tr("Last file was"), m_lastFileSize, "lblComplete", tr("Session Completed at"), m_sessionEnd},
        {"lbldwnldtime", tr("Was downloaded in"), m_downloadTime, "lblSize", tr("Total downloaded in session"),
         m_sessionTotal},
    };
    int row = 1;
    for (const auto& r : rows) {
        grid->addWidget(caption(r.leftName, r.leftText, r.leftField, info), row, 0);
        grid->addWidget(r.leftField, row, 1, 1, 3);
        grid->addWidget(caption(r.rightName, r.rightText, r.rightField, info), row, 4);
        grid->addWidget(r.rightField, row, 5);
        ++row;
    }
    grid->addWidget(caption("lblFailed", tr("Failed in session"), m_failedCount, info), row, 0);
    grid->addWidget(m_failedCount, row, 1);
    grid->addWidget(m_status, row + 1, 0, 1, 6);
    const int countWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12;
    for (QLineEdit* count : {m_queueCount, m_completedCount, m_failedCount})
        count->setMaximumWidth(countWidth);
    const int dateWidth = fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000 00:00:00 MM")) + 16;
    for (QLineEdit* date : {m_sessionStart, m_itemStart, m_sessionEnd, m_sessionTotal, m_sessionElapsed, m_itemElapsed})
        date->setMinimumWidth(dateWidth);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setColumnStretch(5, 2);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("prgItem"));
    m_progress->setAccessibleName(tr("Progress of the file in work"));
    m_progress->setRange(0, 1000);
    m_progress->setValue(0);
    m_rate = new QLabel(this);
    m_rate->setObjectName(QStringLiteral("lblRate"));

    m_closeButton = button("cmdClose", tr("&Close"), this);
    m_startButton = button("cmdStart", tr("&Start Download"), this);
    m_stopButton = button("cmdCancel", tr("S&top Download"), this);
    m_stopButton->setEnabled(false);

    auto* side = new QVBoxLayout;
    side->addWidget(m_removeButton);
    side->addWidget(m_clearButton);
    side->addSpacing(12);
    side->addWidget(positionCaption);
    auto* moveRow = new QHBoxLayout;
    moveRow->addWidget(m_positionBox);
    moveRow->addWidget(m_moveButton);
    side->addLayout(moveRow);
    side->addStretch();
    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(listCaption);
    listColumn->addWidget(m_list, 1);
    auto* top = new QHBoxLayout;
    top->addLayout(listColumn, 1);
    top->addLayout(side);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_rate);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_closeButton);
    buttons->addStretch();
    buttons->addWidget(m_startButton);
    buttons->addStretch();
    buttons->addWidget(m_stopButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(info);
    layout->addLayout(progressRow);
    layout->addLayout(buttons);
    resize(sizeHint().expandedTo(QSize(640, 480)));

    m_clock = new QTimer(this);
    m_clock->setInterval(1000);
    m_refresh = new QTimer(this);
    m_refresh->setInterval(100);

    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, &WorkQueueWindow::selectionChanged);
    connect(m_positionBox, &QLineEdit::textChanged, this, &WorkQueueWindow::updateQueueButtons);
    connect(m_moveButton, &QPushButton::clicked, this, &WorkQueueWindow::moveSelected);
    connect(m_clearButton, &QPushButton::clicked, this, &WorkQueueWindow::clearQueue);
    connect(m_removeButton, &QPushButton::clicked, this, &WorkQueueWindow::removeSelected);
    connect(m_startButton, &QPushButton::clicked, this, &WorkQueueWindow::startSession);
    connect(m_stopButton, &QPushButton::clicked, this, &WorkQueueWindow::stopSession);
    connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(m_clock, &QTimer::timeout, this, &WorkQueueWindow::tickClock);
    connect(m_refresh, &QTimer::timeout, this, [this] {
        refreshFigures();
        showProgress();
    });
}

int WorkQueueWindow::selectedCount() const
{
    int count = 0;
    for (const QItemSelectionRange& range : m_list->selectionModel()->selection())
        count += range.height();
    return count;
}

void WorkQueueWindow::updateQueueButtons()
{
    const QueueButtons b = queueButtonStates(m_context.queue.count(), m_context.worker.running(), selectedCount(),
                                             m_positionBox->text());
    m_startButton->setEnabled(b.start);
    m_clearButton->setEnabled(b.clear);
    m_removeButton->setEnabled(b.removeSel);
    m_moveButton->setEnabled(b.move);
    m_queueCount->setText(QString::number(m_context.queue.count()));
}

void WorkQueueWindow::selectionChanged()
{
    // The entries in work cannot be selected, so they cannot be removed.
    if (m_context.worker.running()) {
        const QModelIndexList selected = m_list->selectionModel()->selectedRows();
        for (const QModelIndex& index : selected) {
            if (EntryState(index.data(DownloadQueue::StateRole).toInt()) == EntryState::Active)
                m_list->selectionModel()->select(index, QItemSelectionModel::Deselect);
        }
    }
    updateQueueButtons();
}

void WorkQueueWindow::moveSelected()
{
    const int from = m_list->currentIndex().row();
    if (from < 0 || selectedCount() != 1)
        return;
    const MoveTarget target = moveTarget(m_positionBox->text(), m_context.queue.count());
    m_positionBox->setText(target.posText);
    m_context.queue.moveRow(from, target.row);
    m_list->clearSelection();
    m_moveButton->setEnabled(false);
}

void WorkQueueWindow::clearQueue()
{
    m_context.queue.clearWaiting();
    updateQueueButtons();
}

void WorkQueueWindow::removeSelected()
{
    QList<int> rows;
    for (const QModelIndex& index : m_list->selectionModel()->selectedRows())
        rows.append(index.row());
    m_context.queue.removeRows(rows);
    updateQueueButtons();
}

void WorkQueueWindow::startSession()
{
    QueueWorker& worker = m_context.worker;
    if (worker.running())
        return;
    setWindowTitle(tr("In Progress..."));
    m_stopButton->setEnabled(true);
    m_closeButton->setEnabled(false);
    m_startButton->setEnabled(false);
    m_status->show();
    m_clock->start();
    m_refresh->start();
    worker.start();  // sessionEnded() follows when the session is over
}

void WorkQueueWindow::sessionEnded()
{
    m_clock->stop();
    m_refresh->stop();
    setWindowTitle(tr("Work Queue"));
    m_stopButton->setEnabled(false);
    m_closeButton->setEnabled(true);
    refreshFigures();
    showProgress();
    m_status->setText(m_context.worker.figures().endStatus);
    m_status->show();
    updateQueueButtons();
    emit sessionFinished();
}

void WorkQueueWindow::stopWith(const QString& logLine)
{
    m_context.worker.requestStop();
    m_context.log.write(logLine);
}

void WorkQueueWindow::stopSession()
{
    if (m_context.worker.running())
        stopWith(QStringLiteral("User cancelled operation"));
}

void WorkQueueWindow::tickClock()
{
    const QueueWorker& worker = m_context.worker;
    m_status->setText(nextBusyText(m_status->text(), worker.stopRequested() ? tr("Stopping") : tr("Working"), 10));
    updateQueueButtons();
    const QDateTime now = QDateTime::currentDateTime();
    m_sessionElapsed->setText(formatElapsed(worker.figures().sessionStart.secsTo(now)));
    m_itemElapsed->setText(formatElapsed(worker.figures().itemStart.secsTo(now)));
}

void WorkQueueWindow::refreshFigures()
{
    const SessionFigures& f = m_context.worker.figures();
    m_completedCount->setText(QString::number(f.completed));
    m_failedCount->setText(QString::number(f.failed));
    m_sessionStart->setText(f.sessionStart.isValid() ? generalDateText(f.sessionStart) : QString());
    m_currentFile->setText(f.currentFile);
    m_itemStart->setText(f.itemStart.isValid() ? generalDateText(f.itemStart) : QString());
    m_lastFileSize->setText(f.lastFileSize);
    m_sessionEnd->setText(f.sessionEnd.isValid() ? generalDateText(f.sessionEnd) : QString());
    m_downloadTime->setText(f.lastDownloadTime);
    m_sessionTotal->setText(f.sessionTotal);
    m_queueCount->setText(QString::number(m_context.queue.count()));
    if (f.itemSerial != m_shownSerial) {
        m_shownSerial = f.itemSerial;
        m_itemClock.start();
        m_received = 0;
        m_total = -1;
    }
}

void WorkQueueWindow::showProgress()
{
    if (m_total > 0) {
        m_progress->setRange(0, 1000);
        m_progress->setValue(int(std::min<qint64>(1000, m_received * 1000 / m_total)));
    } else if (m_context.worker.running()) {
        m_progress->setRange(0, 0);  // busy: the size is unknown
    } else {
        m_progress->setRange(0, 1000);
        m_progress->setValue(0);
    }
    const qint64 ms = m_itemClock.isValid() ? m_itemClock.elapsed() : 0;
    if (ms > 0 && m_received > 0)
        m_rate->setText(tr("%1 KB/s").arg(standardNumberText(double(m_received) / 1024.0 * 1000.0 / double(ms))));
    else
        m_rate->clear();
}

void WorkQueueWindow::closeEvent(QCloseEvent* event)
{
    if (m_context.worker.running()) {
        if (m_closingForSystem) {
            stopWith(QStringLiteral("Cancelled operation, due to OS application termination"));
        } else if (m_context.ui.askYesNo(
                       tr("Are you sure"),
                       tr("Download in progress, closing will cancel download. Do you wish to continue?"),
                       MessageIcon::Question)) {
            stopWith(QStringLiteral("Cancelled operation, due to user application exiting"));
        } else {
            event->ignore();
            return;
        }
    }
    event->accept();
    emit closed();
}

void WorkQueueWindow::closeForSystem()
{
    m_closingForSystem = true;
    close();
    m_closingForSystem = false;
}

void WorkQueueWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        updateQueueButtons();
}

}  // namespace pm
