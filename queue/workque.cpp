#include "queue/workque.h"

#include "common/strings.h"
#include "logs/activitylog.h"
#include "logs/csvlog.h"
#include "queue/savetofile.h"
#include "queue/transfer.h"
#include "settings/settings.h"

#include <QDir>
#include <QFileInfo>

namespace pm {

namespace {
QDateTime wholeSecondsNow()
{
    QDateTime t = QDateTime::currentDateTime();
    t.setTime(QTime(t.time().hour(), t.time().minute(), t.time().second()));
    return t;
}

// A size as a number: text is converted, an empty size is a type mismatch.
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

WorkQue::WorkQue(QueueList& queue, QueueFlags& flags, Transfer* transfer, std::function<void()> saveConfiguration,
                 QObject* parent)
    : QObject(parent),
      m_queue(queue),
      m_flags(flags),
      m_transfer(transfer),
      m_saver(new SaveToFile(transfer, [this] { return m_flags.chkContinue; }, this)),
      m_saveConfiguration(std::move(saveConfiguration))
{
    connect(m_saver, &SaveToFile::done, this, &WorkQue::afterSave);
    setAbortTarget(this);
}

WorkQue::~WorkQue()
{
    if (abortTarget() == this)
        setAbortTarget(nullptr);
}

bool WorkQue::transferRunning() const
{
    return m_transfer->running();
}

void WorkQue::cancelTransfer()
{
    m_transfer->cancel();
}

QString WorkQue::now() const
{
    return generalDateText(QDateTime::currentDateTime());
}

void WorkQue::start()
{
    Q_ASSERT(!m_running);
    m_running = true;
    m_scope.emplace(QStringLiteral("WorkQue."));
    ErrorScope& scope = *m_scope;
    SaveToFile::removeLeftoverTemporaries(settings().strG_SavePath);
    // 1 needs no object here; 2: the configuration as the session starts.
    if (m_saveConfiguration)
        m_saveConfiguration();
    m_total = SessionTotal();                                                         // 3
    m_display.txtQueueCount = QString::number(m_queue.count());                       // 4
    m_display.timerOn = true;                                                         // 5
    m_display.cmdStartEnabled = false;                                                // 6
    m_display.cmdCloseEnabled = false;
    m_flags.chkContinue = false;                                                      // 7
    m_display.txtCompleted.clear();                                                   // 8
    m_completed = 0;
    scope.step([&] {                                                                  // 9
        m_display.queStart = wholeSecondsNow();
        m_display.txtQueStart = generalDateText(m_display.queStart);
    });
    emit displayChanged();
    nextEntry();
}

void WorkQue::nextEntry()
{
    ErrorScope& scope = *m_scope;
    while (m_queue.count() > 0) {
        const bool go = scope.step([&] { m_display.txtCurrent = GetFileName(m_queue.entry(0)); })  // 10
            && scope.step([&] {                                                                      // 11
                   m_display.itemStart = wholeSecondsNow();
                   m_display.txtStartTime = generalDateText(m_display.itemStart);
                   ++m_display.itemSerial;
               });
        if (!go)
            return endSession();
        bool exists = false;  // 12: a failed test counts as no such file
        scope.step([&] {
            const QString target = settings().strG_SavePath + QDir::separator() + GetFileName(m_queue.entry(0));
            exists = QFileInfo::exists(target);
        });
        if (scope.aborted())
            return endSession();
        emit displayChanged();

        // 13: "Skip": no fetch, no statistics, no CSV row.
        if (settings().strG_FileDupOption == QLatin1String("Skip") && exists) {
            if (settings().bG_LogDownloads) {
                WriteLog(QStringLiteral("Completed: ") + m_queue.entry(0));
                WriteLog(QStringLiteral("Not saved as duplicate filename exists"));
            }
            if (!finishEntry())
                return endSession();
            continue;
        }
        m_saver->start(m_queue.entry(0));  // 14; afterSave() goes on
        return;
    }
    endSession();
}

void WorkQue::afterSave(const QVariant& size)
{
    ErrorScope& scope = *m_scope;
    if (m_flags.chkContinue)  // 15
        return endSession();

    // 16-18: the statistics.
    const bool go = scope.step([&] { m_total.add(sizeNumber(size)); })
        && scope.step([&] { m_display.txtFileSize = itemSizeText(sizeNumber(size)); })
        && scope.step([&] { m_display.txtSessionSize = m_total.text(); });
    if (!go)
        return endSession();
    m_total.stepUnit();  // 19

    const QDateTime completion = QDateTime::currentDateTime();  // 20
    m_display.txtDownloadtime = FormatElapsed(m_display.itemStart.secsTo(completion));
    if (settings().bG_LogCSV && m_queue.count() > 0)  // 21
        WriteCSV(m_queue.entry(0), m_queue.entry(0), m_display.itemStart, completion, m_display.txtDownloadtime,
                 size);
    if (settings().bG_LogDownloads)  // 22
        WriteLog(QStringLiteral("Downloaded ") + m_display.txtFileSize + QStringLiteral(" in ")
                 + m_display.txtDownloadtime);
    if (!finishEntry())
        return endSession();
    nextEntry();
}

bool WorkQue::finishEntry()
{
    if (m_queue.count() > 0)  // 23
        m_queue.removeAt(0);
    m_display.txtQueueCount = QString::number(m_queue.count());  // 24
    ++m_completed;                                               // 25
    m_display.txtCompleteCount = QString::number(m_completed);
    emit displayChanged();
    if (m_saveConfiguration)  // 26
        m_saveConfiguration();
    return !m_scope->aborted();
}

void WorkQue::endSession()
{
    if (m_queue.count() > 0) {  // 27
        m_display.lblFileProg = QStringLiteral("Queue Stopped");
        m_display.cmdStartEnabled = true;
    } else {
        m_display.lblFileProg = QStringLiteral("Queue Empty");
        m_display.cmdStartEnabled = false;
    }
    m_display.timerOn = false;                                  // 28
    m_display.cmdCloseEnabled = true;                           // 29
    m_display.txtCompleted = now();                             // 30
    m_running = false;
    m_scope.reset();
    emit displayChanged();
    emit sessionEnded();
}

}  // namespace pm
