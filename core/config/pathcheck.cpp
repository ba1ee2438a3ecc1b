#include "core/config/pathcheck.h"

#include "core/diagnostics/csvlog.h"
#include "core/diagnostics/errors.h"
#include "core/diagnostics/errorscope.h"
#include "core/config/settings.h"
#include "core/textutil.h"
#include "core/userinteraction.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace pm {

namespace {
bool folderExists(const QString& folder)
{
    return !folder.isEmpty() && QFileInfo(folder).isDir();
}

void writeCsvHeader(const QString& csvName)
{
    QFile file(csvName);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw fileOpenError(errno, csvName, true);
    const QByteArray header = csvHeaderRecord().toUtf8();
    errno = 0;
    if (file.write(header) != header.size() || !file.flush())
        throw fileWriteError(errno, csvName);
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw fileWriteError(errno, csvName);
}
}  // namespace

PathCheckInput pathCheckInputFrom(const Settings& settings)
{
    const PathParts log = splitPath(settings.activityLogFile);
    return {settings.outputFolder, log.folder, log.fileName, settings.askBeforeCreatingFolders, settings.logCsv};
}

QString csvPathFor(const QString& logFolder, const QString& logFileName)
{
    return logFolder + QDir::separator() + csvFileNameFor(logFileName);
}

void createFolder(const QString& folder)
{
    if (folder.isEmpty())
        throw RuntimeError::of(ErrPathFileAccess, folder);
    const QFileInfo info(folder);
    if (info.exists())
        throw RuntimeError::of(ErrPathFileAccess, folder);
    if (!QFileInfo(info.absolutePath()).isDir())
        throw RuntimeError::of(ErrPathNotFound, folder);
    if (!QDir().mkdir(folder))
        throw RuntimeError::of(ErrPathFileAccess, folder);
}

PathDecline checkPaths(const PathCheckInput& input, ErrorReporter& errors, UserInteraction& ui)
{
    ErrorScope scope(errors, QStringLiteral("CheckFileExists."));

    // One folder: asks when asked to, then creates it. False when the user
    // said No.
    auto ensureFolder = [&](const QString& folder, const QString& title) {
        bool accepted = true;
        scope.step([&] {
            if (folderExists(folder))
                return;
            const QString question = QCoreApplication::translate("pm::PathCheck", "%1 does not exist. Create?");
            if (input.askBeforeCreating && !ui.askYesNo(title, question.arg(folder), MessageIcon::Question)) {
                accepted = false;
                return;
            }
            createFolder(folder);
        });
        return accepted;
    };

    if (!ensureFolder(input.logFolder, QCoreApplication::translate("pm::PathCheck", "Invalid Log File path")))
        return PathDecline::LogFolder;
    if (scope.aborted())
        return PathDecline::None;
    if (!ensureFolder(input.outputFolder, QCoreApplication::translate("pm::PathCheck", "Invalid Output path")))
        return PathDecline::OutputFolder;
    if (scope.aborted())
        return PathDecline::None;

    scope.step([&] {
        if (!input.csvWanted)
            return;
        const QString csvName = csvPathFor(input.logFolder, input.logFileName);
        if (!QFileInfo::exists(csvName))
            writeCsvHeader(csvName);
    });
    return PathDecline::None;
}

}  // namespace pm
