#include "core/diagnostics/activitylog.h"

#include "core/diagnostics/errors.h"
#include "core/config/settings.h"
#include "core/textutil.h"

#include <cerrno>

namespace pm {

namespace {
// Enough for every line of a start-up; more would only grow without end.
constexpr qsizetype kMaxWaitingLines = 1000;
}  // namespace

ActivityLog::ActivityLog(const Settings& settings, QObject* parent) : QObject(parent), m_settings(settings) {}

void ActivityLog::write(const QString& text)
{
    if (m_waiting.size() < kMaxWaitingLines)
        m_waiting.append(generalDateText(QDateTime::currentDateTime()) + QLatin1Char('\t') + text + QStringLiteral("\r\n"));
    writeWaiting();
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
