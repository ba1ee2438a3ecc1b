#include "core/activitylog.h"

#include "core/settings.h"
#include "core/textutil.h"

#include <QFile>

namespace pm {

void ActivityLog::write(const QString& text)
{
    const QString& fileName = m_settings.activityLogFile;
    if (fileName.isEmpty())
        return;
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const QString line = generalDateText(QDateTime::currentDateTime()) + QLatin1Char('\t') + text + QStringLiteral("\r\n");
    file.write(line.toUtf8());
}

}  // namespace pm
