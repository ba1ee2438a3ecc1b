#include "logs/csvlog.h"

#include "common/errors.h"
#include "common/strings.h"
#include "logs/errorscope.h"
#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <cerrno>

namespace pm {

QString csvFileNameFor(const QString& logFileName)
{
    const qsizetype dot = logFileName.lastIndexOf(QLatin1Char('.'));
    return logFileName.left(dot + 1) + QStringLiteral("csv");
}

QString csvDateField(const QDateTime& when)
{
    const QString format = when.time() == QTime(0, 0) ? QStringLiteral("yyyy-MM-dd")
                                                      : QStringLiteral("yyyy-MM-dd HH:mm:ss");
    return QLatin1Char('#') + when.toString(format) + QLatin1Char('#');
}

QString csvTextField(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString csvField(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType: return QString();
    case QMetaType::QString: return csvTextField(value.toString());
    case QMetaType::QDateTime: return csvDateField(value.toDateTime());
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong: return QString::number(value.toLongLong());
    default: return value.toString();
    }
}

QString csvRecord(const QVariantList& fields)
{
    QStringList parts;
    parts.reserve(fields.size());
    for (const QVariant& field : fields)
        parts << csvField(field);
    return parts.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

QString csvHeaderRecord()
{
    return csvRecord({QStringLiteral("File Name"), QStringLiteral("File Path"), QStringLiteral("URL"),
                      QStringLiteral("Start Time"), QStringLiteral("Complete Time"), QStringLiteral("Download Time"),
                      QStringLiteral("File Size Bytes")});
}

void WriteCSV(const QString& firstQueueEntry, const QString& url, const QDateTime& start,
              const QDateTime& complete, const QString& downloadTime, const QVariant& size)
{
    ErrorScope scope(QStringLiteral("WriteCSV."));
    const Settings& s = settings();
    const QString csvName = csvFileNameFor(s.strG_LogFileName);
    const QString filePath = s.strG_SavePath + QDir::separator() + GetFileName(url);
    QFile file(csvName);

    if (!scope.step([&] {
            if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
                throw fileOpenError(errno, csvName, true);
        }))
        return;
    if (!scope.step([&] {
            if (!file.isOpen())
                throw RuntimeError::of(ErrBadFileName, csvName);
            const QString row = csvRecord({GetFileName(firstQueueEntry), filePath, url, start, complete,
                                           downloadTime, size});
            if (file.write(row.toUtf8()) < 0 || !file.flush())
                throw fileWriteError(errno, csvName);
        }))
        return;
    file.close();
}

}  // namespace pm
