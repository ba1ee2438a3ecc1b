#include "core/download/downloadarchive.h"

#include "core/diagnostics/activitylog.h"

#include <QFileInfo>

namespace pm {

QHash<QString, QString> DownloadArchive::savedFiles(const QStringList& urls) const
{
    QHash<QString, QString> files;
    for (const QString& url : urls) {
        if (const auto record = findByUrl(url))
            files.insert(url, record->savedPath);
    }
    return files;
}

int writeWaitingRecords(DownloadArchive& archive, ActivityLog& log)
{
    const int waiting = archive.flush();
    if (waiting > 0)
        log.write(QStringLiteral("Download archive %1 is locked: %2 wait; the journal keeps them for the next start")
                      .arg(archive.location(), waiting == 1 ? QStringLiteral("1 record")
                                                            : QString::number(waiting) + QStringLiteral(" records")));
    return waiting;
}

QString existingFileWithContent(const DownloadArchive& archive, const QByteArray& sha256, qint64 size)
{
    if (sha256.isEmpty() || size < 0)
        return {};
    for (const ArchiveRecord& record : archive.findBySize(size, sha256)) {
        const QFileInfo file(record.savedPath);
        if (file.isFile() && file.size() == size)
            return record.savedPath;
    }
    return {};
}

}  // namespace pm
