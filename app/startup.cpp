#include "app/startup.h"

#include "archive/sqlitearchive.h"
#include "core/appcontext.h"

#include <QCoreApplication>

namespace pm {

FileLocations setUpFiles(AppContext& context, const QString& configurationFile)
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    const FileLocations locations = fileLocations(programFolder, runsPortable(programFolder), standardUserFolders());
    context.setFileLocations(programFolder, locations);
    if (!configurationFile.isEmpty())
        context.setConfigurationFile(configurationFile);
    createUserFolders(locations, context.settings.configurationFile);
    return locations;
}

void openArchive(AppContext& context, const FileLocations& locations)
{
    context.setArchive(std::make_unique<SqliteDownloadArchive>(
        archiveFileName(locations, context.settings.configurationFile), context.errors));
}

}  // namespace pm
