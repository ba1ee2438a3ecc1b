#include "core/queueworker.h"

#include "core/activitylog.h"
#include "core/csvlog.h"
#include "core/settings.h"
#include "core/textutil.h"
#include "core/transfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>

namespace pm {

namespace {
QDateTime wholeSecondsNow()
{
    QDateTime now = QDateTime::currentDateTime();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    return now;
}

// A size as a number: text is converted; an empty size is a type mismatch.
double sizeNumber(const QVariant& size)
{
    if (!size.isValid())
        throw RuntimeError::of(ErrTypeMismatch);
    if (size.typeId() == QMetaType::QString) {
        bool ok = false;
        const double value = size.toString().trimmed().toDouble(&ok);
        if (!ok)
            throw RuntimeError::of(ErrTypeMismatch, size.toString());
        return value;
    }
    return size.toDouble();
}
}  // namespace

QueueWorker::QueueWorker(const Settings& settings, ActivityLog& log, ErrorReporter& errors, DownloadQueue& queue,
                         std::function<void()> saveConfiguration, QObject* parent)
    : QObject(parent),
      m_settings(settings),
      m_log(log),
      m_errors(errors),
      m_queue(queue),
      m_network(new QNetworkAccessManager(this)),
      m_task(new DownloadTask(settings, log, errors, m_network, [this] { return m_stopRequested; }, this)),
      m_saveConfiguration(std::move(saveConfiguration))
{
    connect(m_task, &DownloadTask::finished, this, &QueueWorker::afterDownload);
    connect(m_task->transfer(), &Transfer::progress, this, &QueueWorker::itemProgress);
    m_errors.setAbortTarget(this);
}

QueueWorker::~QueueWorker()
{
    m_errors.setAbortTarget(nullptr);
}

void QueueWorker::requestStop()
{
    m_stopRequested = true;
    m_task->cancel();  // the download ends from the event loop, after the caller's handler
}

void QueueWorker::start()
{
    Q_ASSERT(!m_running);
    m_running = true;
    m_stopRequested = false;
    m_tried.clear();
    m_log.write(QStringLiteral("Starting a work session"));
    m_scope.emplace(m_errors, QStringLiteral("WorkQue."));
    DownloadTask::removeLeftoverTemporaries(m_settings.outputFolder);
    m_saveConfiguration();

    m_total = SessionTotal();
    m_figures.completed = 0;
    m_figures.failed = 0;
    m_figures.sessionEnd = QDateTime();
    m_figures.endStatus.clear();
    m_figures.sessionStart = wholeSecondsNow();
    emit figuresChanged();
    nextEntry();
}

int QueueWorker::nextUntriedRow() const
{
    for (int row = 0; row < m_queue.count(); ++row) {
        if (m_queue.stateAt(row) != EntryState::Active && !m_tried.contains(m_queue.idAt(row)))
            return row;
    }
    return -1;
}

void QueueWorker::nextEntry()
{
    while (!m_stopRequested && !m_scope->aborted()) {
        const int row = nextUntriedRow();
        if (row < 0)
            break;
        m_current = m_queue.idAt(row);
        m_currentUrl = m_queue.url(row);
        m_tried.insert(m_current);
        m_figures.currentFile = fileNameOf(m_currentUrl);
        m_figures.itemStart = wholeSecondsNow();
        ++m_figures.itemSerial;
        const QString target = m_settings.outputFolder + QDir::separator() + fileNameOf(m_currentUrl);
        const bool exists = QFileInfo::exists(target);
        emit figuresChanged();

        // "Skip": no fetch, no size, no CSV row; counted and removed.
        if (m_settings.duplicateRule() == DuplicateRule::Skip && exists) {
            if (m_settings.logDownloads) {
                m_log.write(QStringLiteral("Completed: ") + m_currentUrl);
                m_log.write(QStringLiteral("Not saved as duplicate filename exists"));
            }
            finishEntry();
            continue;
        }
        m_queue.setState(m_current, EntryState::Active);
        m_task->start(m_currentUrl);  // afterDownload() goes on
        return;
    }
    endSession();
}

void QueueWorker::afterDownload(const DownloadOutcome& outcome)
{
    ErrorScope& scope = *m_scope;
    if (outcome.kind == DownloadOutcome::Stopped) {
        m_queue.setState(m_current, EntryState::Waiting);
        return endSession();
    }
    if (outcome.kind == DownloadOutcome::Failed) {
        m_queue.setState(m_current, EntryState::Failed, outcome.failureReason);
        m_log.write(QStringLiteral("Failed: %1 (%2)").arg(m_currentUrl, outcome.failureReason));
        ++m_figures.failed;
        emit figuresChanged();
        return nextEntry();
    }

    // Saved, or fetched and left out by the size rule: both count.
    const bool go = scope.step([&] { m_total.add(sizeNumber(outcome.size)); })
        && scope.step([&] { m_figures.lastFileSize = itemSizeText(sizeNumber(outcome.size)); })
        && scope.step([&] { m_figures.sessionTotal = m_total.text(); });
    if (!go) {
        m_queue.setState(m_current, EntryState::Waiting);
        return endSession();
    }
    m_total.stepUnit();

    const QDateTime completion = QDateTime::currentDateTime();
    m_figures.lastDownloadTime = formatElapsed(m_figures.itemStart.secsTo(completion));
    if (m_settings.logCsv)
        appendCsvRow(m_settings, m_errors,
                     {m_currentUrl, m_figures.itemStart, completion, m_figures.lastDownloadTime, outcome.size});
    if (m_settings.logDownloads)
        m_log.write(QStringLiteral("Downloaded %1 in %2").arg(m_figures.lastFileSize, m_figures.lastDownloadTime));
    finishEntry();
    nextEntry();
}

void QueueWorker::finishEntry()
{
    m_queue.remove(m_current);
    m_current = 0;
    ++m_figures.completed;
    emit figuresChanged();
    m_saveConfiguration();
}

void QueueWorker::endSession()
{
    if (m_queue.isEmpty())
        m_figures.endStatus = QCoreApplication::translate("pm::QueueWorker", "Queue Empty");
    else if (m_stopRequested || m_scope->aborted() || m_queue.failedCount() == 0)
        m_figures.endStatus = QCoreApplication::translate("pm::QueueWorker", "Queue Stopped");
    else
        m_figures.endStatus = QCoreApplication::translate("pm::QueueWorker", "%1 failed").arg(m_queue.failedCount());
    m_figures.sessionEnd = QDateTime::currentDateTime();
    m_running = false;
    m_scope.reset();
    m_current = 0;
    m_log.write(QStringLiteral("Completed a work session"));
    emit figuresChanged();
    emit sessionEnded();
}

}  // namespace pm
