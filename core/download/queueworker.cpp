#include "core/download/queueworker.h"

#include "core/diagnostics/activitylog.h"
#include "core/diagnostics/csvlog.h"
#include "core/download/downloadarchive.h"
#include "core/config/settings.h"
#include "core/textutil.h"
#include "core/download/curlmulti.h"
#include "core/download/transfer.h"
#include "core/download/websession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace pm {

namespace {
constexpr int kMostParallel = 8;

}  // namespace

QueueWorker::QueueWorker(const Settings& settings, ActivityLog& log, ErrorReporter& errors, DownloadQueue& queue,
                         std::function<void()> saveConfiguration, QObject* parent)
    : QObject(parent),
      m_settings(settings),
      m_log(log),
      m_errors(errors),
      m_queue(queue),
      m_engine(new CurlMulti(this)),
      m_saveConfiguration(std::move(saveConfiguration))
{
    m_slots.resize(kMostParallel);  // never grows: references to slots stay valid
    // Four times a second the rows in work show their progress, however
    // often the data arrives.
    m_progressTimer.setInterval(250);
    connect(&m_progressTimer, &QTimer::timeout, this, &QueueWorker::publishProgress);
    m_errors.setAbortTarget(this);
    // The rows before m_scanFrom stay tried ones whatever the user edits.
    connect(&m_queue, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int) {
        m_scanFrom = std::min(m_scanFrom, first);
    });
    connect(&m_queue, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex&, int first, int last) {
        if (first < m_scanFrom)
            m_scanFrom -= std::min(m_scanFrom, last + 1) - first;
    });
    connect(&m_queue, &QAbstractItemModel::rowsMoved, this, [this] { m_scanFrom = 0; });
    connect(&m_queue, &QAbstractItemModel::layoutChanged, this, [this] { m_scanFrom = 0; });
    connect(&m_queue, &QAbstractItemModel::modelReset, this, [this] { m_scanFrom = 0; });
}

QueueWorker::~QueueWorker()
{
    m_errors.setAbortTarget(nullptr);
}

void QueueWorker::setArchive(DownloadArchive* archive)
{
    m_archive = archive;
    for (Slot& slot : m_slots) {
        if (slot.task)
            slot.task->setArchive(archive);
    }
}

void QueueWorker::setSession(WebSession* session)
{
    m_session = session;
    for (Slot& slot : m_slots) {
        if (slot.task)
            slot.task->setSession(session);
    }
}

void QueueWorker::recordDownload(const DownloadOutcome& outcome)
{
    if (!m_archive)
        return;
    emit recording(outcome.record);
    m_archive->add(outcome.record);
}

QueueWorker::Slot* QueueWorker::freeSlot()
{
    const int limit = std::clamp(m_settings.parallelDownloads, 1, kMostParallel);
    for (int i = 0; i < limit; ++i) {
        Slot& slot = m_slots[i];
        if (slot.id != 0)
            continue;
        if (!slot.task) {
            slot.task = new DownloadTask(m_settings, m_log, m_errors, m_engine, [this] { return m_stopRequested; },
                                         this);
            slot.task->setArchive(m_archive);
            slot.task->setSession(m_session);
            connect(slot.task, &DownloadTask::finished, this,
                    [this, i](const DownloadOutcome& outcome) { afterDownload(m_slots[i], outcome); });
            connect(slot.task, &DownloadTask::aboutToCommit, this, &QueueWorker::aboutToSave);
            connect(slot.task, &DownloadTask::resumable, this,
                    [this, i](const PartialDownload& partial) { m_queue.setPartial(m_slots[i].id, partial); });
            connect(slot.task->transfer(), &Transfer::progress, this, [this, i](qint64 received, qint64 total) {
                m_slots[i].received = received;
                m_slots[i].total = total;
                emit itemProgress(received, total);
            });
        }
        return &slot;
    }
    return nullptr;
}

int QueueWorker::busySlots() const
{
    return int(std::count_if(m_slots.begin(), m_slots.end(), [](const Slot& s) { return s.id != 0; }));
}

ActiveProgress QueueWorker::activeProgress() const
{
    ActiveProgress sum{0, 0, 0};
    for (const Slot& slot : m_slots) {
        if (slot.id == 0)
            continue;
        sum.received += slot.received;
        sum.total = (sum.total < 0 || slot.total < 0) ? -1 : sum.total + slot.total;
        const qint64 ms = slot.clock.elapsed();
        if (ms > 0)
            sum.rate += double(slot.received - slot.startOffset) * 1000.0 / double(ms);
    }
    if (busySlots() == 0)
        sum.total = -1;
    return sum;
}

void QueueWorker::publishProgress()
{
    for (const Slot& slot : m_slots) {
        if (slot.id == 0)
            continue;
        const qint64 ms = slot.clock.elapsed();
        const double rate = ms > 0 ? double(slot.received - slot.startOffset) * 1000.0 / double(ms) : 0;
        m_queue.setProgress(slot.id, slot.received, slot.total, rate);
    }
}

QString QueueWorker::whichFile(const QString& url) const
{
    return m_settings.parallelDownloads > 1 ? QStringLiteral(" (%1)").arg(shownFileName(url)) : QString();
}

void QueueWorker::requestStop()
{
    m_stopRequested = true;
    // The downloads end from the event loop, after the caller's handler.
    for (Slot& slot : m_slots) {
        if (slot.id != 0)
            slot.task->cancel();
    }
}

void QueueWorker::start()
{
    Q_ASSERT(!m_running);
    m_running = true;
    m_stopRequested = false;
    m_tried.clear();
    m_scanFrom = 0;
    m_log.write(QStringLiteral("Starting a work session"));
    m_scope.emplace(m_errors, QStringLiteral("WorkQueue."));
    DownloadTask::removeLeftoverTemporaries(m_settings.outputFolder, m_queue.partialFiles());
    m_saveConfiguration();

    m_total = SessionTotal();
    m_figures.completed = 0;
    m_figures.failed = 0;
    m_figures.sessionEnd = QDateTime();
    m_figures.endStatus.clear();
    m_figures.sessionStart = m_clock.now();
    m_progressTimer.start();
    emit figuresChanged();
    fillSlots();
}

int QueueWorker::nextStartableRow()
{
    // The rows before m_scanFrom have all been tried: failed entries that
    // stay in the queue are passed over once, not at every entry.
    auto tried = [this](int row) {
        const EntryState state = m_queue.stateAt(row);
        return state == EntryState::Active || state == EntryState::Done || m_tried.contains(m_queue.idAt(row));
    };
    while (m_scanFrom < m_queue.count() && tried(m_scanFrom))
        ++m_scanFrom;
    for (int row = m_scanFrom; row < m_queue.count(); ++row) {
        if (tried(row))
            continue;
        // Two downloads never write the same file at once: the second waits.
        if (busySlots() == 0)
            return row;
        const QString target = rules().addressTarget(m_queue.url(row));
        const bool writing = std::any_of(m_slots.begin(), m_slots.end(),
                                         [&](const Slot& s) { return s.id != 0 && s.target == target; });
        if (!writing)
            return row;
    }
    return -1;
}

void QueueWorker::fillSlots()
{
    while (!m_stopRequested && !m_scope->aborted()) {
        Slot* slot = freeSlot();
        if (!slot)
            break;
        const int row = nextStartableRow();
        if (row < 0)
            break;
        const DownloadQueue::EntryId id = m_queue.idAt(row);
        const QString url = m_queue.url(row);
        m_tried.insert(id);
        const TargetDecision decision = rules().beforeFetch(url);
        m_figures.currentFile = QFileInfo(decision.target).fileName();
        m_figures.itemStart = m_clock.now();
        ++m_figures.itemSerial;

        // An address downloaded before, when the user skips those: no fetch,
        // counted and removed like "Skip".
        if (decision.kind == TargetDecision::SkipArchived) {
            m_log.write(QStringLiteral("Skipped: %1 (already downloaded as %2)").arg(url, decision.target));
            emit figuresChanged();
            finishEntry(id);
            emit entryFinished({EntryResult::SkippedArchived, url, decision.target, {}, decision.archivedBytes});
            continue;
        }
        // "Skip": no fetch, no size, no CSV row; counted and removed.
        if (decision.kind == TargetDecision::SkipExisting) {
            emit figuresChanged();
            emit entryFinished(skipExisting(id, url, decision.target));
            continue;
        }
        const PartialDownload partial = m_queue.partialAt(row);
        *slot = {slot->task, id, url, decision.target, m_figures.itemStart, m_clock.second(), {},
                 partial.size, partial.size, -1};
        slot->clock.start();
        m_queue.setState(id, EntryState::Active);
        m_figures.active = busySlots();
        emit figuresChanged();
        slot->task->start(url, decision, partial, m_queue.foundOnAt(row));  // afterDownload() goes on
    }
    endSessionWhenIdle();
}

void QueueWorker::afterDownload(Slot& slot, const DownloadOutcome& outcome)
{
    const DownloadQueue::EntryId id = slot.id;
    const QString url = slot.url;
    m_queue.setPartial(id, outcome.partial);
    EntryResult result{EntryResult::Stopped, url, outcome.record.savedPath, outcome.failureReason, outcome.record.size};
    switch (outcome.kind) {
    case DownloadOutcome::Stopped:
        m_queue.setState(id, outcome.partial.isValid() ? EntryState::Paused : EntryState::Waiting);
        break;
    case DownloadOutcome::Failed:
        m_queue.setState(id, EntryState::Failed, outcome.failureReason);
        m_log.write(QStringLiteral("Failed: %1 (%2)").arg(url, outcome.failureReason) + whichFile(url));
        ++m_figures.failed;
        result.kind = EntryResult::Failed;
        break;
    case DownloadOutcome::SkippedExisting:  // the server named a file that exists
        result = skipExisting(id, url, outcome.target);
        break;
    case DownloadOutcome::Identical:
        m_log.write(QStringLiteral("Identical: %1 (same as %2)").arg(url, outcome.record.savedPath));
        [[fallthrough]];
    case DownloadOutcome::Saved:
        recordDownload(outcome);
        [[fallthrough]];
    case DownloadOutcome::TooSmall:
        if (countFinished(slot, outcome))  // else an abort left it queued
            result.kind = outcome.kind == DownloadOutcome::Saved       ? EntryResult::Saved
                        : outcome.kind == DownloadOutcome::Identical ? EntryResult::Identical
                                                                     : EntryResult::TooSmall;
        if (outcome.kind == DownloadOutcome::TooSmall)
            result.bytes = qint64(sizeValue(outcome.size).value_or(-1));
        break;
    }
    slot.id = 0;
    m_figures.active = busySlots();
    emit figuresChanged();
    emit entryFinished(result);
    fillSlots();
}

EntryResult QueueWorker::skipExisting(DownloadQueue::EntryId id, const QString& url, const QString& target)
{
    if (m_settings.logDownloads) {
        m_log.write({QStringLiteral("Completed: ") + url, QStringLiteral("Not saved as duplicate filename exists")});
    }
    finishEntry(id);
    return {EntryResult::SkippedExisting, url, target, {}, QFileInfo(target).size()};
}

bool QueueWorker::countFinished(Slot& slot, const DownloadOutcome& outcome)
{
    // Saved, or fetched and left out by the size rule: both count.
    ErrorScope& scope = *m_scope;
    const bool go = scope.step([&] { m_total.add(sizeNumber(outcome.size)); })
        && scope.step([&] { m_figures.lastFileSize = itemSizeText(sizeNumber(outcome.size)); });
    if (!go) {
        m_queue.setState(slot.id, EntryState::Waiting);
        return false;
    }
    m_figures.sessionTotal = m_total.text();
    m_total.stepUnit();

    // Both in whole seconds, counted from the epoch: the difference of two
    // local times would look their time zone up again.
    const QDateTime completion = m_clock.now();
    m_figures.lastDownloadTime = formatElapsed(m_clock.second() - slot.startSecond);
    if (m_settings.logCsv)
        appendCsvRow(m_settings, m_errors, m_csvFile, {slot.url, slot.start, completion, m_figures.lastDownloadTime, outcome.size, outcome.target});
    if (m_settings.logDownloads)
        m_log.write(QStringLiteral("Downloaded %1 in %2").arg(m_figures.lastFileSize, m_figures.lastDownloadTime)
                    + whichFile(slot.url));
    finishEntry(slot.id);
    return true;
}

void QueueWorker::finishEntry(DownloadQueue::EntryId id)
{
    m_queue.finish(id);
    ++m_figures.completed;
    emit figuresChanged();
}

void QueueWorker::endSessionWhenIdle()
{
    if (busySlots() > 0)
        return;
    m_queue.removeDoneRows();  // the list is as the session leaves it
    if (m_queue.isEmpty())
        m_figures.endStatus = QCoreApplication::translate("pm::QueueWorker", "Queue Empty");
    else if (m_stopRequested || m_scope->aborted() || m_queue.failedCount() == 0)
        m_figures.endStatus = QCoreApplication::translate("pm::QueueWorker", "Queue Stopped");
    else
        m_figures.endStatus = QCoreApplication::translate("pm::QueueWorker", "%1 failed").arg(m_queue.failedCount());
    // Records the archive cannot take now wait in the journal; the window says so.
    if (const int waiting = m_archive ? writeWaitingRecords(*m_archive, m_log) : 0; waiting > 0)
        m_figures.endStatus += waiting == 1
            ? QCoreApplication::translate("pm::QueueWorker", "; 1 download record waits for the archive")
            : QCoreApplication::translate("pm::QueueWorker", "; %1 download records wait for the archive").arg(waiting);
    m_figures.sessionEnd = QDateTime::currentDateTime();
    m_figures.active = 0;
    m_progressTimer.stop();
    m_running = false;
    m_scope.reset();
    m_saveConfiguration();
    m_log.write(QStringLiteral("Completed a work session"));
    emit figuresChanged();
    emit sessionEnded();
}

}  // namespace pm
