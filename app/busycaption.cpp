#include "app/busycaption.h"

namespace pm {

QString nextBusyCaption(const QString& caption)
{
    const QString working = QStringLiteral("Working");
    if (caption.left(7).compare(working, Qt::CaseInsensitive) != 0)
        return working;
    const QString next = caption + QLatin1Char('.');
    return next.endsWith(QLatin1String("......")) ? working : next;
}

}  // namespace pm
