#include "gui/workqueuewindow.h"

#include "core/appcontext.h"
#include "core/download/queuerules.h"
#include "core/textutil.h"
#include "core/userinteraction.h"
#include "gui/helpkey.h"
#include "gui/namedbutton.h"
#include "gui/paintthrottle.h"

#include <QAction>
#include <QApplication>
#include <QLocale>
#include <QPainter>
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
// The queue's list. Its rows are all of one size, so a change of a row's data
// only repaints that row: QListView would lay out every row again, which
// costs as much as the queue is long at every entry of a session.
class QueueListView : public QListView {
public:
    using QListView::QListView;

protected:
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) override
    {
        QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
    }
};

// One row of the queue: the entry's state as an icon (a tick for a waiting
// entry downloaded before), its file name, its size, and for a download in
// work or paused its progress. The address is the row's tooltip.
class QueueEntryDelegate : public QStyledItemDelegate {
public:
    explicit QueueEntryDelegate(QWidget* view)
        : QStyledItemDelegate(view),
          m_failed(view->style()->standardIcon(QStyle::SP_MessageBoxWarning)),
          m_paused(view->style()->standardIcon(QStyle::SP_MediaPause)),
          m_active(view->style()->standardIcon(QStyle::SP_ArrowRight)),
          m_archived(view->style()->standardIcon(QStyle::SP_DialogApplyButton))
    {
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem row = option;
        initStyleOption(&row, index);
        const QWidget* view = row.widget;
        QStyle* style = view ? view->style() : QApplication::style();
        const auto state = EntryState(index.data(DownloadQueue::StateRole).toInt());
        const qint64 received = index.data(DownloadQueue::ReceivedRole).toLongLong();
        const qint64 total = index.data(DownloadQueue::TotalRole).toLongLong();
        if (state == EntryState::Done) {
            row.icon = m_archived;  // finished; the row leaves in a moment
            row.features |= QStyleOptionViewItem::HasDecoration;
        } else if (state != EntryState::Waiting) {
            row.icon = state == EntryState::Failed ? m_failed : state == EntryState::Paused ? m_paused : m_active;
            row.features |= QStyleOptionViewItem::HasDecoration;
        } else if (!index.data(DownloadQueue::ArchivedRole).toString().isEmpty()) {
            row.icon = m_archived;  // downloaded before; the tooltip names the file
            row.features |= QStyleOptionViewItem::HasDecoration;
        }
        const QLocale locale;
        const QString size = total > 0 ? locale.formattedDataSize(total, 1, QLocale::DataSizeTraditionalFormat)
            : received > 0             ? locale.formattedDataSize(received, 1, QLocale::DataSizeTraditionalFormat)
                                       : QString();
        const bool bar = state == EntryState::Active || state == EntryState::Paused;
        const int barWidth = bar ? 120 : 0;
        const int sizeWidth = row.fontMetrics.horizontalAdvance(QStringLiteral("0000.0 MB")) + 8;

        // The row's background, selection and icon with the name, short of
        // the size and the bar on the right.
        row.text = index.data(DownloadQueue::FileNameRole).toString();
        row.textElideMode = Qt::ElideMiddle;
        const QRect whole = row.rect;
        row.rect.setRight(whole.right() - sizeWidth - barWidth);
        QStyleOptionViewItem background = option;
        background.rect = whole;
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, view);
        style->drawControl(QStyle::CE_ItemViewItem, &row, painter, view);

        const QRect sizeRect(whole.right() - sizeWidth - barWidth + 1, whole.top(), sizeWidth - 4, whole.height());
        painter->save();
        painter->setPen(row.palette.color(row.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(sizeRect, Qt::AlignRight | Qt::AlignVCenter, size);
        painter->restore();
        if (bar) {
            QStyleOptionProgressBar progress;
            progress.rect = QRect(whole.right() - barWidth + 1, whole.top() + 2, barWidth - 2, whole.height() - 4);
            progress.minimum = 0;
            progress.maximum = total > 0 ? 1000 : 0;
            progress.progress = total > 0 ? int(std::min<qint64>(1000, received * 1000 / total)) : 0;
            progress.state = QStyle::State_Enabled | QStyle::State_Horizontal;
            style->drawControl(QStyle::CE_ProgressBar, &progress, painter, view);
        }
    }

    // Every row has one height: a line of text beside an icon, whatever its
    // state. The view asks at every layout, which a session of small files
    // brings at every finished entry, so the answer is kept for the font it
    // was measured in. The width is the least a row needs: a row spans the
    // view and its name is elided, so the list never scrolls sideways.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (m_rowSize.isValid() && option.font == m_rowFont && option.decorationSize == m_rowDecoration)
            return m_rowSize;
        QStyleOptionViewItem row = option;
        initStyleOption(&row, index);
        row.text = QStringLiteral("M");
        row.icon = m_active;
        row.features |= QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasDisplay;
        const QWidget* view = option.widget;
        QStyle* style = view ? view->style() : QApplication::style();
        m_rowSize = style->sizeFromContents(QStyle::CT_ItemViewItem, &row, QSize(), view);
        m_rowFont = option.font;
        m_rowDecoration = option.decorationSize;
        return m_rowSize;
    }

private:
    QIcon m_failed;
    QIcon m_paused;
    QIcon m_active;
    QIcon m_archived;
    mutable QSize m_rowSize;  // invalid until first asked
    mutable QFont m_rowFont;
    mutable QSize m_rowDecoration;
};

// Sets a field's text only when it changes, so an unchanged field is not
// painted again at every refresh.
void setChangedText(QLineEdit* field, const QString& text)
{
    if (field->text() != text)
        field->setText(text);
}

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
}  // namespace

WorkQueueWindow::WorkQueueWindow(AppContext& context, QWidget* parent) : QWidget(parent, Qt::Window), m_context(context)
{
    setObjectName(QStringLiteral("frmProgress"));
    setWindowTitle(tr("Work Queue"));
    createControls();

    QueueWorker& worker = m_context.worker;
    connect(&worker, &QueueWorker::sessionEnded, this, &WorkQueueWindow::sessionEnded);
    DownloadQueue& queue = m_context.queue;
    // While a session runs, the count follows with the other figures, a few
    // times a second, rather than at every finished entry.
    auto queueChanged = [this] {
        if (!m_context.worker.running())
            updateQueueButtons();
    };
    connect(&queue, &QAbstractItemModel::rowsInserted, this, queueChanged);
    connect(&queue, &QAbstractItemModel::rowsRemoved, this, queueChanged);
    connect(&queue, &QAbstractItemModel::modelReset, this, queueChanged);
    updateQueueButtons();
}

void WorkQueueWindow::createControls()
{
    m_list = new QueueListView(this);
    m_list->setObjectName(QStringLiteral("lstQue"));
    new PaintThrottle(m_list, &m_context.queue, kRefreshMs);
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

    m_removeButton = namedButton("cmdDelSel", tr("&Remove Select"), this);
    m_clearButton = namedButton("cmdDelAll", tr("C&lear Queue"), this);
    m_positionBox = new QLineEdit(this);
    m_positionBox->setObjectName(QStringLiteral("txtPos"));
    m_positionBox->setAccessibleName(tr("Move the selected entry to position"));
    auto* positionCaption = caption("lblPosition", tr("Move Select to &position#"), m_positionBox, this);
    m_moveButton = namedButton("cmdMove", tr("&Move"), this);
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
    m_activeCount = statisticsField("txtActive", info);
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
    grid->addWidget(caption("lblActive", tr("Downloading now"), m_activeCount, info), row, 2);
    grid->addWidget(m_activeCount, row, 3);
    grid->addWidget(m_status, row + 1, 0, 1, 6);
    const int countWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12;
    for (QLineEdit* count : {m_queueCount, m_completedCount, m_failedCount, m_activeCount})
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

    m_closeButton = namedButton("cmdClose", tr("&Close"), this);
    m_startButton = namedButton("cmdStart", tr("&Start Download"), this);
    m_stopButton = namedButton("cmdCancel", tr("S&top Download"), this);
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
    m_refresh->setInterval(kRefreshMs);

    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, &WorkQueueWindow::selectionChanged);
    connect(m_positionBox, &QLineEdit::textChanged, this, &WorkQueueWindow::updateQueueButtons);
    connect(m_moveButton, &QPushButton::clicked, this, &WorkQueueWindow::moveSelected);
    connect(m_clearButton, &QPushButton::clicked, this, &WorkQueueWindow::clearQueue);
    connect(m_removeButton, &QPushButton::clicked, this, &WorkQueueWindow::removeSelected);
    connect(m_startButton, &QPushButton::clicked, this, &WorkQueueWindow::startSession);
    connect(m_stopButton, &QPushButton::clicked, this, &WorkQueueWindow::stopSession);
    connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);
    addHelpKey(this, [this] { emit helpRequested(QStringLiteral("the-work-queue-window")); });
    connect(m_clock, &QTimer::timeout, this, &WorkQueueWindow::tickClock);
    connect(m_refresh, &QTimer::timeout, this, [this] {
        refreshFigures();
        showProgress();
        updateQueueButtons();
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
    const QueueButtons b = queueButtonStates(m_context.queue.remaining(), m_context.worker.running(), selectedCount(),
                                             m_positionBox->text());
    m_startButton->setEnabled(b.start);
    m_clearButton->setEnabled(b.clear);
    m_removeButton->setEnabled(b.removeSel);
    m_moveButton->setEnabled(b.move);
    setChangedText(m_queueCount, QString::number(m_context.queue.remaining()));
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
    setChangedText(m_sessionElapsed, formatElapsed(worker.figures().sessionStart.secsTo(now)));
    setChangedText(m_itemElapsed, formatElapsed(worker.figures().itemStart.secsTo(now)));
}

void WorkQueueWindow::refreshFigures()
{
    const SessionFigures& f = m_context.worker.figures();
    auto dateText = [](const QDateTime& when) { return when.isValid() ? generalDateText(when) : QString(); };
    setChangedText(m_completedCount, QString::number(f.completed));
    setChangedText(m_failedCount, QString::number(f.failed));
    setChangedText(m_activeCount, QString::number(f.active));
    setChangedText(m_sessionStart, dateText(f.sessionStart));
    setChangedText(m_currentFile, f.currentFile);
    setChangedText(m_itemStart, dateText(f.itemStart));
    setChangedText(m_lastFileSize, f.lastFileSize);
    setChangedText(m_sessionEnd, dateText(f.sessionEnd));
    setChangedText(m_downloadTime, f.lastDownloadTime);
    setChangedText(m_sessionTotal, f.sessionTotal);
    setChangedText(m_queueCount, QString::number(m_context.queue.remaining()));
}

void WorkQueueWindow::showProgress()
{
    // The downloads in work, together. Between two entries the bar keeps
    // what it showed.
    const ActiveProgress now = m_context.worker.activeProgress();
    const SessionFigures& figures = m_context.worker.figures();
    const bool busy = m_sizeUnknown.busyAfter(figures.itemSerial, figures.active, now.total > 0);
    if (now.total > 0) {
        m_progress->setRange(0, 1000);
        m_progress->setValue(int(std::min<qint64>(1000, now.received * 1000 / now.total)));
    } else if (busy) {
        m_progress->setRange(0, 0);
    } else if (!m_context.worker.running()) {
        m_progress->setRange(0, 1000);
        m_progress->setValue(0);
    }
    if (now.rate > 0)
        m_rate->setText(tr("%1 KB/s").arg(standardNumberText(now.rate / 1024.0)));
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
