#include "core/diagnostics/csvlog.h"

#include "core/diagnostics/activitylog.h"
#include "core/diagnostics/appendfile.h"
#include "core/diagnostics/errorreporter.h"
#include "core/diagnostics/errors.h"
#include "core/diagnostics/errorscope.h"
#include "core/config/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>

namespace pm {

QString csvFileNameFor(const QString& logFileName)
{
    const qsizetype dot = logFileName.lastIndexOf(QLatin1Char('.'));
    return logFileName.left(dot + 1) + QStringLiteral("csv");
}

QString csvField(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType: return QString();
    case QMetaType::QString: return QLatin1Char('"') + value.toString() + QLatin1Char('"');
    case QMetaType::QDateTime: {
        const QDateTime when = value.toDateTime();
        const QString format = when.time() == QTime(0, 0) ? QStringLiteral("yyyy-MM-dd") : QStringLiteral("yyyy-MM-dd HH:mm:ss");
        return QLatin1Char('#') + when.toString(format) + QLatin1Char('#');
    }
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

void appendCsvRow(const Settings& settings, ErrorReporter& errors, AppendFile& file, const CsvRow& row)
{
    ErrorScope scope(errors, QStringLiteral("WriteCSV."));
    const QString csvName = csvFileNameFor(settings.activityLogFile);
    const QString fileName = QFileInfo(row.savedPath).fileName();
    // A failure is noted with the activity log too, so that the user hears of it.
    auto noted = [&](const RuntimeError& error) {
        errors.activityLog().noteWriteFailure(csvName, error);
        return error;
    };

    if (!scope.step([&] {
            if (!file.openFor(csvName))
                throw noted(fileOpenError(errno, csvName, true));
        }))
        return;
    scope.step([&] {
        if (!file.isOpen())
            throw RuntimeError::of(ErrBadFileName, csvName);
        const QString record = csvRecord({fileName, row.savedPath, row.url,
                                          row.start, row.complete, row.downloadTime, row.size});
        if (!file.write(record.toUtf8()))
            throw noted(fileWriteError(errno, csvName));
    });
}

}  // namespace pm
