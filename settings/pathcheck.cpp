#include "settings/pathcheck.h"

#include "common/errors.h"
#include "common/interaction.h"
#include "common/modal.h"
#include "logs/csvlog.h"
#include "logs/errorscope.h"
#include "settings/optionsdialog.h"
#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTabBar>

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

PathDecline checkPaths(const PathCheckInput& input, QWidget* questionParent)
{
    ErrorScope scope(QStringLiteral("CheckFileExists."));
    PathDecline declined = PathDecline::None;

    // One folder: asks when asked to, then creates it. False when the user
    // said No.
    auto ensureFolder = [&](const QString& folder, const QString& title) {
        bool accepted = true;
        scope.step([&] {
            if (folderExists(folder))
                return;
            if (input.askBeforeCreating
                && !interaction().askYesNo(questionParent, title, folder + QStringLiteral(" does not exist. Create?"),
                                           MessageIcon::Question)) {
                accepted = false;
                return;
            }
            createFolder(folder);
        });
        return accepted;
    };

    if (!ensureFolder(input.logFolder, QStringLiteral("Invalid Log File path")))
        return PathDecline::LogFolder;
    if (scope.aborted())
        return declined;
    if (!ensureFolder(input.outputFolder, QStringLiteral("Invalid Output path")))
        return PathDecline::OutputFolder;
    if (scope.aborted())
        return declined;

    scope.step([&] {
        if (!input.csvWanted)
            return;
        const QString csvName = csvPathFor(input.logFolder, input.logFileName);
        if (QFileInfo::exists(csvName))
            return;
        writeCsvHeader(csvName);
    });
    return declined;
}

void CheckFileExists()
{
    Settings& s = settings();
    s.bG_PathError = false;
    frmOptions& dialog = Options();
    const PathCheckInput input = dialog.pathCheckInput();
    QWidget* questionParent = dialog.isVisible() ? static_cast<QWidget*>(&dialog) : dialog.parentWidget();

    const PathDecline declined = checkPaths(input, questionParent);
    if (declined == PathDecline::None)
        return;
    const int page = declined == PathDecline::LogFolder ? 1 : 0;
    ShowOptionsTab(page);
    dialog.tbsOptions->setCurrentIndex(page);
    s.bG_PathError = true;
    if (!dialog.isVisible())
        runModal(dialog);
}

}  // namespace pm
