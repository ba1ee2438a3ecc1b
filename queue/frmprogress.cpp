#include "queue/frmprogress.h"

#include "common/interaction.h"
#include "common/strings.h"
#include "common/twips.h"
#include "logs/activitylog.h"
#include "queue/transfer.h"
#include "settings/configfile.h"
#include "settings/settings.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QSignalBlocker>
#include <QTimer>

namespace pm {

namespace {
constexpr int kWindowWidthTwips = 9525;
constexpr int kWindowHeightTwips = 7170;
constexpr int kWindowOffsetTwips = 100;

}  // namespace

frmProgress::frmProgress(QWidget* parent) : QWidget(parent, Qt::Window)
{
    m_transfer = new Transfer(this);
    m_worker = new WorkQue(*this, m_flags, m_transfer, [this] {
        if (m_saveConfiguration) {
            m_saveConfiguration();
        } else {
            storeQueue();
            SaveINI(settings().strG_IniFileName, QStringList());
        }
    }, this);
    createControls();
    connect(m_worker, &WorkQue::displayChanged, this, &frmProgress::applyDisplay);
    connect(m_worker, &WorkQue::sessionEnded, this, &frmProgress::afterSession);
    connect(m_transfer, &Transfer::progress, this, &frmProgress::showProgress);
    Form_Load();
}

frmProgress::~frmProgress() = default;

void frmProgress::place(QWidget* w, int left, int top, int width, int height)
{
    const qreal dx = logicalDpiX();
    const qreal dy = logicalDpiY();
    w->setGeometry(twipsToPixels(left, dx), twipsToPixels(top, dy), twipsToPixels(width, dx),
                   twipsToPixels(height, dy));
}

void frmProgress::createControls()
{
    auto label = [this](QWidget* parent, const char* name, const QString& text) {
        auto* l = new QLabel(text, parent);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    auto box = [this](QWidget* parent, const char* name) {
        auto* t = new QLineEdit(parent);
        t->setObjectName(QLatin1String(name));
        t->setReadOnly(true);
        return t;
    };
    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };

    lblQue = label(this, "lblQue", QStringLiteral("Work Queue"));
    lstQue = new QListWidget(this);
    lstQue->setObjectName(QStringLiteral("lstQue"));
    lstQue->setSelectionMode(QAbstractItemView::ExtendedSelection);
    cmdDelSel = button("cmdDelSel", QStringLiteral("Remove Select"));
    cmdDelAll = button("cmdDelAll", QStringLiteral("Clear Queue"));
    lblPosition = label(this, "lblPosition", QStringLiteral("Move Select to position#"));
    txtPos = new QLineEdit(this);
    txtPos->setObjectName(QStringLiteral("txtPos"));
    cmdMove = button("cmdMove", QStringLiteral("Move"));
    cmdMove->setEnabled(false);

    frainfo = new QGroupBox(this);
    frainfo->setObjectName(QStringLiteral("frainfo"));
    lblStatus = label(frainfo, "lblStatus", QStringLiteral("Queue Contains"));
    txtQueueCount = box(frainfo, "txtQueueCount");
    lblItems = label(frainfo, "lblItems", QStringLiteral("items. Completed"));
    txtCompleteCount = box(frainfo, "txtCompleteCount");
    lblQueStart = label(frainfo, "lblQueStart", QStringLiteral("items. Session Started at"));
    txtQueStart = box(frainfo, "txtQueStart");
    lblcurrent = label(frainfo, "lblcurrent", QStringLiteral("Currently Working on"));
    txtCurrent = box(frainfo, "txtCurrent");
    lblElapse = label(frainfo, "lblElapse", QStringLiteral("Session Elapse"));
    txtElapse = box(frainfo, "txtElapse");
    lblTimestart = label(frainfo, "lblTimestart", QStringLiteral("Started at"));
    txtStartTime = box(frainfo, "txtStartTime");
    lblItemElapse = label(frainfo, "lblItemElapse", QStringLiteral("Item Elapse"));
    txtItemElapse = box(frainfo, "txtItemElapse");
    lblFileSize = label(frainfo, "lblFileSize", QStringLiteral("Last file was"));
    txtFileSize = box(frainfo, "txtFileSize");
    lblComplete = label(frainfo, "lblComplete", QStringLiteral("Session Completed at"));
    txtCompleted = box(frainfo, "txtCompleted");
    lbldwnldtime = label(frainfo, "lbldwnldtime", QStringLiteral("Was downloaded in"));
    txtDownloadtime = box(frainfo, "txtDownloadtime");
    lblSize = label(frainfo, "lblSize", QStringLiteral("Total dowloaded in session"));
    txtSessionSize = box(frainfo, "txtSessionSize");
    lblFileProg = label(frainfo, "lblFileProg", QStringLiteral("Working..."));
    QFont bold = lblFileProg->font();
    bold.setBold(true);
    lblFileProg->setFont(bold);
    lblFileProg->setAlignment(Qt::AlignCenter);

    prgItem = new QProgressBar(this);
    prgItem->setObjectName(QStringLiteral("prgItem"));
    prgItem->setRange(0, 1000);
    prgItem->setValue(0);
    lblRate = label(this, "lblRate", QString());

    cmdClose = button("cmdClose", QStringLiteral("Close"));
    cmdStart = button("cmdStart", QStringLiteral("Start Download"));
    cmdCancel = button("cmdCancel", QStringLiteral("Stop Download"));
    cmdCancel->setEnabled(false);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    // Placement in twips, inside a client area of the window's fixed size.
    place(lblQue, 120, 60, 3000, 255);
    place(lstQue, 120, 330, 6600, 2850);
    place(cmdDelSel, 6900, 330, 2400, 375);
    place(cmdDelAll, 6900, 810, 2400, 375);
    place(lblPosition, 6900, 1320, 2400, 255);
    place(txtPos, 6900, 1600, 1100, 330);
    place(cmdMove, 8100, 1580, 1200, 375);
    place(frainfo, 120, 3240, 9180, 2520);
    // The statistics go in a grid, so every caption keeps its full text
    // whatever the font: the first row has three label/box pairs, the others
    // a label with a wide box and a second pair under the third column.
    auto* grid = new QGridLayout(frainfo);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    grid->addWidget(lblStatus, 0, 0);
    grid->addWidget(txtQueueCount, 0, 1);
    grid->addWidget(lblItems, 0, 2);
    grid->addWidget(txtCompleteCount, 0, 3);
    grid->addWidget(lblQueStart, 0, 4);
    grid->addWidget(txtQueStart, 0, 5);
    const QList<QList<QWidget*>> rows = {{lblcurrent, txtCurrent, lblElapse, txtElapse},
                                         {lblTimestart, txtStartTime, lblItemElapse, txtItemElapse},
                                         {lblFileSize, txtFileSize, lblComplete, txtCompleted},
                                         {lbldwnldtime, txtDownloadtime, lblSize, txtSessionSize}};
    for (int r = 0; r < rows.size(); ++r) {
        grid->addWidget(rows[r][0], r + 1, 0);
        grid->addWidget(rows[r][1], r + 1, 1, 1, 3);
        grid->addWidget(rows[r][2], r + 1, 4);
        grid->addWidget(rows[r][3], r + 1, 5);
    }
    grid->addWidget(lblFileProg, rows.size() + 1, 0, 1, 6);
    for (QLineEdit* count : {txtQueueCount, txtCompleteCount})
        count->setMaximumWidth(twipsToPixels(900, logicalDpiX()));
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setColumnStretch(5, 3);
    place(prgItem, 120, 5850, 6600, 240);
    place(lblRate, 6900, 5850, 2400, 240);
    place(cmdClose, 120, 6200, 1600, 420);
    place(cmdStart, 3950, 6200, 1600, 420);
    place(cmdCancel, 7700, 6200, 1600, 420);
    // Form_Resize: the window has one size; the frame takes its share.
    setFixedSize(twipsToPixels(kWindowWidthTwips - 120, logicalDpiX()),
                 twipsToPixels(kWindowHeightTwips - 450, logicalDpiY()));

    connect(lstQue, &QListWidget::itemSelectionChanged, this, &frmProgress::lstQue_Click);
    connect(txtPos, &QLineEdit::textChanged, this, [this] { txtPos_Change(); });
    connect(cmdMove, &QPushButton::clicked, this, &frmProgress::cmdMove_Click);
    connect(cmdDelAll, &QPushButton::clicked, this, &frmProgress::cmdDelAll_Click);
    connect(cmdDelSel, &QPushButton::clicked, this, &frmProgress::cmdDelSel_Click);
    connect(cmdStart, &QPushButton::clicked, this, &frmProgress::cmdStart_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmProgress::cmdCancel_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmProgress::cmdClose_Click);
    connect(Timer1, &QTimer::timeout, this, &frmProgress::Timer1_Timer);
}

void frmProgress::ensureLoaded()
{
    if (!m_loaded)
        Form_Load();
}

int frmProgress::count() const
{
    const_cast<frmProgress*>(this)->ensureLoaded();
    return lstQue->count();
}

QString frmProgress::entry(int index) const
{
    const_cast<frmProgress*>(this)->ensureLoaded();
    const QListWidgetItem* item = lstQue->item(index);
    if (!item)
        throw RuntimeError::of(ErrInvalidIndex);
    return item->text();
}

void frmProgress::removeAt(int index)
{
    ensureLoaded();
    delete lstQue->takeItem(index);
}

void frmProgress::append(const QString& url)
{
    ensureLoaded();
    lstQue->addItem(url);
}

QStringList frmProgress::entries() const
{
    QStringList list;
    const int n = count();
    list.reserve(n);
    for (int i = 0; i < n; ++i)
        list.append(lstQue->item(i)->text());
    return list;
}

void frmProgress::storeQueue()
{
    if (m_loaded)
        settings().colG_Queue = entries();
}

void frmProgress::Form_Load()
{
    m_loaded = true;
    cmdDelSel->setEnabled(false);  // 1
    {
        const QSignalBlocker blocker(lstQue);
        lstQue->clear();
        lstQue->addItems(settings().colG_Queue);  // 2
    }
    setWindowTitle(QStringLiteral("Work Queue"));  // 3
    lblFileProg->hide();                           // 4
    if (!m_flags.chkInProgress) {                  // 5: a running session keeps its flags
        m_flags.chkContinue = false;
        m_flags.chkInProgress = false;
    }
    // 6: 100 twips from the screen's top left corner.
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QPoint origin = screen ? screen->geometry().topLeft() : QPoint();
    move(origin + QPoint(twipsToPixels(kWindowOffsetTwips, logicalDpiX()),
                         twipsToPixels(kWindowOffsetTwips, logicalDpiY())));
}

void frmProgress::Form_Activate()
{
    UpdateQueueCount();
}

bool frmProgress::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        Form_Activate();
    return QWidget::event(e);
}

void frmProgress::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    // Form_Resize: one size only; a maximized window is restored.
    if (e->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized))
        QTimer::singleShot(0, this, [this] { showNormal(); });
}

bool frmProgress::Form_QueryUnload()
{
    if (!m_flags.chkInProgress)
        return true;
    if (m_systemEnding && m_systemEnding()) {
        m_worker->cancelTransfer();
        m_flags.chkContinue = true;
        WriteLog(QStringLiteral("Cancelled operation, due to OS application termination"));
        return true;
    }
    const bool yes = interaction().askYesNo(
        this, QStringLiteral("Are you sure"),
        QStringLiteral("Download in progress, closing will cancel download. Do you wish to continue?"),
        MessageIcon::Question);
    if (!yes)
        return false;
    m_worker->cancelTransfer();
    m_flags.chkContinue = true;
    WriteLog(QStringLiteral("Cancelled operation, due to user application exiting"));
    return true;
}

void frmProgress::Form_Unload()
{
    storeQueue();
    m_loaded = false;
}

void frmProgress::closeEvent(QCloseEvent* e)
{
    if (!m_loaded) {
        e->accept();
        return;
    }
    if (!Form_QueryUnload()) {
        e->ignore();
        return;
    }
    Form_Unload();
    e->accept();
}

int frmProgress::selectedCount() const
{
    return int(lstQue->selectedItems().size());
}

QueueButtons frmProgress::currentButtons() const
{
    return {cmdStart->isEnabled(), cmdDelAll->isEnabled(), cmdDelSel->isEnabled(), cmdMove->isEnabled()};
}

void frmProgress::applyButtons(const QueueButtons& b)
{
    cmdStart->setEnabled(b.start);
    cmdDelAll->setEnabled(b.clear);
    cmdDelSel->setEnabled(b.removeSel);
    cmdMove->setEnabled(b.move);
}

void frmProgress::UpdateQueueCount()
{
    ensureLoaded();
    const int n = lstQue->count();
    applyButtons(queueCountState(n, m_flags.chkInProgress, selectedCount(), txtPos->text(), currentButtons()));
    txtQueueCount->setText(QString::number(n));
}

void frmProgress::lstQue_Click()
{
    QListWidgetItem* first = lstQue->item(0);
    if (m_flags.chkInProgress && first && lstQue->currentRow() == 0) {
        const QSignalBlocker blocker(lstQue);
        first->setSelected(false);
        cmdDelSel->setEnabled(false);
    } else {
        cmdDelSel->setEnabled(true);
    }
    txtPos_Change();
}

void frmProgress::txtPos_Change()
{
    cmdMove->setEnabled(isNumericText(txtPos->text()) && selectedCount() == 1);
}

void frmProgress::cmdMove_Click()
{
    const int current = lstQue->currentRow();
    if (current < 0)
        return;
    const MoveTarget target = moveTarget(txtPos->text(), lstQue->count());
    txtPos->setText(target.posText);
    {
        const QSignalBlocker blocker(lstQue);
        QListWidgetItem* item = lstQue->takeItem(current);
        lstQue->insertItem(std::clamp(target.index, 0, lstQue->count()), item);
        lstQue->clearSelection();
    }
    cmdMove->setEnabled(false);
}

void frmProgress::cmdDelAll_Click()
{
    {
        const QSignalBlocker blocker(lstQue);
        if (!m_flags.chkInProgress) {
            lstQue->clear();
        } else {
            while (lstQue->count() > 1)
                delete lstQue->takeItem(1);
        }
    }
    cmdStart->setEnabled(false);
    cmdDelAll->setEnabled(false);
    cmdDelSel->setEnabled(false);
    txtQueueCount->setText(QString::number(lstQue->count()));
    UpdateQueueCount();
}

void frmProgress::cmdDelSel_Click()
{
    QList<bool> selected;
    for (int i = 0; i < lstQue->count(); ++i)
        selected.append(lstQue->item(i)->isSelected());
    const QList<int> doomed = indexesToRemove(selected, m_flags.chkInProgress ? 1 : 0);
    {
        const QSignalBlocker blocker(lstQue);
        for (auto it = doomed.crbegin(); it != doomed.crend(); ++it)
            delete lstQue->takeItem(*it);
    }
    txtQueueCount->setText(QString::number(lstQue->count()));
    UpdateQueueCount();
}

void frmProgress::cmdStart_Click()
{
    if (m_worker->running())
        return;
    WriteLog(QStringLiteral("Starting a work session"));  // 1
    m_flags.chkInProgress = true;                          // 2
    cmdCancel->setEnabled(true);                           // 3
    lblFileProg->show();                                   // 4
    setWindowTitle(QStringLiteral("In Progress..."));      // 5
    m_worker->start();  // 6: afterSession() runs when the session has ended
}

void frmProgress::afterSession()
{
    setWindowTitle(QStringLiteral("Work Queue"));  // 7
    cmdCancel->setEnabled(false);                  // 8
    lblFileProg->show();                           // 9
    m_flags.chkInProgress = false;                 // 10
    WriteLog(QStringLiteral("Completed a work session"));  // 11
    UpdateQueueCount();                                    // 12
    emit sessionFinished();
}

void frmProgress::cmdCancel_Click()
{
    m_worker->cancelTransfer();  // the fetch ends from the event loop, after this handler
    m_flags.chkContinue = true;
    WriteLog(QStringLiteral("User cancelled operation"));
}

void frmProgress::cmdClose_Click()
{
    close();
}

void frmProgress::Timer1_Timer()
{
    lblFileProg->setText(nextStatusText(lblFileProg->text(), m_flags.chkContinue));  // 1
    UpdateQueueCount();                                                             // 2
    const QDateTime now = QDateTime::currentDateTime();
    const SessionDisplay& d = m_worker->display();
    txtElapse->setText(FormatElapsed(d.queStart.secsTo(now)));       // 3
    txtItemElapse->setText(FormatElapsed(d.itemStart.secsTo(now)));  // 4
    txtElapse->repaint();                                            // 5
}

void frmProgress::applyDisplay()
{
    const SessionDisplay& d = m_worker->display();
    txtQueueCount->setText(d.txtQueueCount);
    txtCompleteCount->setText(d.txtCompleteCount);
    txtQueStart->setText(d.txtQueStart);
    txtCurrent->setText(d.txtCurrent);
    txtStartTime->setText(d.txtStartTime);
    txtFileSize->setText(d.txtFileSize);
    txtCompleted->setText(d.txtCompleted);
    txtDownloadtime->setText(d.txtDownloadtime);
    txtSessionSize->setText(d.txtSessionSize);
    if (!m_worker->running())
        lblFileProg->setText(d.lblFileProg);
    cmdStart->setEnabled(d.cmdStartEnabled);
    cmdClose->setEnabled(d.cmdCloseEnabled);
    if (d.timerOn && !Timer1->isActive())
        Timer1->start();
    else if (!d.timerOn)
        Timer1->stop();

    if (d.itemSerial != m_shownSerial) {
        m_shownSerial = d.itemSerial;
        m_itemClock.start();
        prgItem->setRange(0, 1000);
        prgItem->setValue(0);
        lblRate->clear();
    }
}

void frmProgress::showProgress(qint64 received, qint64 total)
{
    if (total > 0) {
        prgItem->setRange(0, 1000);
        prgItem->setValue(int(std::min<qint64>(1000, received * 1000 / total)));
    } else {
        prgItem->setRange(0, 0);  // busy: the size is unknown
    }
    const qint64 ms = m_itemClock.isValid() ? m_itemClock.elapsed() : 0;
    if (ms > 0)
        lblRate->setText(formatStandard(double(received) / 1024.0 * 1000.0 / double(ms)) + QStringLiteral(" KB/s"));
}

void addToQueue(frmProgress& window, const QStringList& urls)
{
    QSet<QString> queued;
    for (const QString& entry : window.entries())
        queued.insert(entry.toCaseFolded());
    for (const QString& url : urls) {
        const QString key = url.toCaseFolded();
        if (queued.contains(key))
            continue;
        queued.insert(key);
        window.append(url);
    }
    window.UpdateQueueCount();
}

}  // namespace pm
