#include "logs/errorreport.h"

#include "common/interaction.h"
#include "logs/activitylog.h"
#include "settings/settings.h"

#include <QPointer>
#include <QWidget>

namespace pm {

namespace {
AbortTarget* g_abortTarget = nullptr;
QPointer<QWidget> g_dialogParent;
}  // namespace

void setAbortTarget(AbortTarget* target)
{
    g_abortTarget = target;
}

AbortTarget* abortTarget()
{
    return g_abortTarget;
}

void setErrorDialogParent(QWidget* parent)
{
    g_dialogParent = parent;
}

QString errorLogText(int number, const QString& description, const QString& routine)
{
    // Negative numbers show as their 32-bit two's complement.
    const QString hex = QString::number(quint32(number), 16).toUpper();
    return QStringLiteral("Error #") + QString::number(number) + QStringLiteral("(&H") + hex + QStringLiteral(") ")
        + description + QStringLiteral(" in ") + routine;
}

bool ReportError(int number, const QString& description, const QString& routine)
{
    WriteLog(errorLogText(number, description, routine));

    const QString& mode = settings().strG_Unattended;
    bool abort = false;
    if (mode == QLatin1String("Prompt")) {
        const QString question = routine + QStringLiteral(" Error #") + QString::number(number) + QLatin1Char(' ')
            + description + QStringLiteral(". Abort?");
        abort = interaction().askYesNo(g_dialogParent, QStringLiteral("Sorry, error occured"), question,
                                       MessageIcon::Critical);
    } else if (mode == QLatin1String("Abort")) {
        abort = true;
    }
    if (!abort)
        return false;

    if (g_abortTarget) {
        if (g_abortTarget->transferRunning())
            g_abortTarget->cancelTransfer();
        g_abortTarget->setStopFlag();
    }
    return true;
}

}  // namespace pm
