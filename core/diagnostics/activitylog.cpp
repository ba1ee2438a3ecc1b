#include "core/diagnostics/activitylog.h"

#include "core/diagnostics/errors.h"
#include "core/config/settings.h"
#include "core/textutil.h"

#include <QDateTime>

#include <cerrno>

namespace pm {

namespace {
// Enough for every line of a start-up; more would only grow without end.
constexpr qsizetype kMaxWaitingLines = 1000;
}  // namespace

ActivityLog::ActivityLog(const Settings& settings, QObject* parent) : QObject(parent), m_settings(settings) {}

void ActivityLog::write(const QString& text)
{
    write(QStringList{text});
}

void ActivityLog::write(const QStringList& lines)
{
    for (const QString& text : lines) {
        if (m_waiting.size() < kMaxWaitingLines)
            m_waiting.append(stampNow() + QLatin1Char('\t') + text + QStringLiteral("\r\n"));
    }
    writeWaiting();
}

const QString& ActivityLog::stampNow()
{
    // A session of small files writes thousands of lines a second. The
    // clock's second is cheap to read; the local date and time of it cost a
    // time-zone look-up and a formatting, so each second is written once.
    const qint64 second = QDateTime::currentSecsSinceEpoch();
    const QLocale locale;
    if (second != m_stampSecond || locale != m_stampLocale) {
        m_stamp = generalDateText(QDateTime::fromSecsSinceEpoch(second));
        m_stampSecond = second;
        m_stampLocale = locale;
    }
    return m_stamp;
}

void ActivityLog::writeWaiting()
{
    const QString& fileName = m_settings.activityLogFile;
    if (fileName.isEmpty() || m_waiting.isEmpty())
        return;
    const QByteArray bytes = m_waiting.join(QString()).toUtf8();
    m_waiting.clear();
    if (!m_file.openFor(fileName))
        return noteWriteFailure(fileName, fileOpenError(errno, fileName, true));
    if (!m_file.write(bytes))
        noteWriteFailure(fileName, fileWriteError(errno, fileName));
}

void ActivityLog::noteWriteFailure(const QString& fileName, const RuntimeError& error)
{
    if (m_failedFiles.contains(fileName))
        return;
    m_failedFiles.insert(fileName);
    emit writeFailed(fileName, errorDescription(error.number));
}

}  // namespace pm
