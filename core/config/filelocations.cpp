#include "core/config/filelocations.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace pm {

namespace {
const QString kConfigurationName = QStringLiteral("Pullmark.ini");
const QString kLogName = QStringLiteral("pulmark.log");
const QString kOutputName = QStringLiteral("Pullmark");
const QString kArchiveName = QStringLiteral("Pullmark-archive.sqlite");
const QString kBrowserFolderName = QStringLiteral("Pullmark-browser");

QString joined(const QString& folder, const QString& name)
{
    return QDir::toNativeSeparators(folder) + QDir::separator() + name;
}
}  // namespace

FileLocations fileLocations(const QString& programFolder, bool portable, const UserFolders& user)
{
    FileLocations where;
    where.portable = portable;
    if (portable) {
        where.configurationFile = joined(programFolder, kConfigurationName);
        where.defaultOutputFolder = QDir::toNativeSeparators(programFolder);
        where.defaultLogFile = joined(programFolder, kLogName);
        where.dataFolder = QDir::toNativeSeparators(programFolder);
    } else {
        where.configurationFile = joined(user.configFolder, kConfigurationName);
        where.defaultOutputFolder = joined(user.downloadFolder, kOutputName);
        where.defaultLogFile = joined(user.dataFolder, kLogName);
        where.dataFolder = QDir::toNativeSeparators(user.dataFolder);
    }
    return where;
}

QString archiveFileName(const FileLocations& locations, const QString& configurationFile)
{
    const QString folder = locations.portable ? QFileInfo(configurationFile).absolutePath() : locations.dataFolder;
    return joined(folder, kArchiveName);
}

QString browserProfileName()
{
    return QStringLiteral("Pullmark");
}

QString browserProfileFolder(const FileLocations& locations, const QString& configurationFile)
{
    if (locations.portable)
        return joined(QFileInfo(configurationFile).absolutePath(), kBrowserFolderName);
    return joined(locations.dataFolder, QStringLiteral("QtWebEngine") + QDir::separator() + browserProfileName());
}

QString downloadCookieFile(const QString& profileFolder)
{
    return joined(profileFolder, QStringLiteral("pullmark-cookies.txt"));
}

UserFolders standardUserFolders()
{
    return {QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
            QStandardPaths::writableLocation(QStandardPaths::DownloadLocation),
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)};
}

bool folderIsWritable(const QString& folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".pullmark-write-test-XXXXXX")));
    return probe.open();  // removed again when `probe` goes
}

bool isInstalledProgramFolder(const QString& programFolder)
{
    return QFileInfo::exists(QDir(programFolder).filePath(QStringLiteral("../share/applications/pullmark.desktop")));
}

bool runsPortable(const QString& programFolder)
{
    return !isInstalledProgramFolder(programFolder) && folderIsWritable(programFolder);
}

bool createUserFolders(const FileLocations& locations, const QString& configurationFile)
{
    if (locations.portable)
        return true;
    // The user's download folder may be missing on a fresh account; the
    // output folder inside it is left to the path check after loading, which
    // asks first when the user wants to be asked.
    bool made = true;
    for (const QString& file : {configurationFile, locations.defaultLogFile, locations.defaultOutputFolder})
        made = QDir().mkpath(QFileInfo(file).absolutePath()) && made;
    return made;
}

}  // namespace pm
