#include "logs/activitylog.h"

#include "settings/settings.h"

#include <QFile>
#include <QLocale>

namespace pm {

QString generalDateText(const QDateTime& when)
{
    const QLocale locale;
    QString text = locale.toString(when.date(), QLocale::ShortFormat);
    if (when.time() != QTime(0, 0))
        text += QLatin1Char(' ') + locale.toString(when.time(), QLocale::LongFormat);
    return text;
}

void WriteLog(const QString& text)
{
    const QString& fileName = settings().strG_LogFileName;
    if (fileName.isEmpty())
        return;
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const QString line = generalDateText(QDateTime::currentDateTime()) + QLatin1Char('\t') + text + QStringLiteral("\r\n");
    file.write(line.toUtf8());
    file.close();
}

}  // namespace pm
