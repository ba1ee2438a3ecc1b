#include "core/diagnostics/errorreporter.h"

#include "core/diagnostics/activitylog.h"
#include "core/config/settings.h"
#include "core/userinteraction.h"

#include <QCoreApplication>

namespace pm {

ErrorReporter::ErrorReporter(const Settings& settings, ActivityLog& log, UserInteraction& ui)
    : m_settings(settings), m_log(log), m_ui(ui)
{
}

QString ErrorReporter::logText(int number, const QString& description, const QString& routine)
{
    // Negative numbers show as their 32-bit two's complement.
    const QString hex = QString::number(quint32(number), 16).toUpper();
    return QStringLiteral("Error #%1(&H%2) %3 in %4").arg(number).arg(hex, description, routine);
}

void ErrorReporter::log(const RuntimeError& error, const QString& routine)
{
    m_log.write(logText(error.number, error.description, routine));
}

bool ErrorReporter::report(const RuntimeError& error, const QString& routine)
{
    log(error, routine);

    bool abort = false;
    switch (m_settings.errorMode()) {
    case ErrorMode::Prompt:
        abort = m_ui.askYesNo(QCoreApplication::translate("pm::ErrorReporter", "Sorry, an error occurred"),
                              QCoreApplication::translate("pm::ErrorReporter", "%1 Error #%2 %3. Abort?")
                                  .arg(routine, QString::number(error.number), error.description),
                              MessageIcon::Critical);
        break;
    case ErrorMode::Abort:
        abort = true;
        break;
    case ErrorMode::CarryOn:
        break;
    }
    if (abort && m_abortTarget)
        m_abortTarget->abortSession();
    return abort;
}

}  // namespace pm
