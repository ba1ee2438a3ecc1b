#include "core/appcontext.h"

#include "core/configfile.h"

#include <QDir>

namespace pm {

AppContext::AppContext(UserInteraction& ui) : ui(ui) {}

void AppContext::setProgramFolder(const QString& folder)
{
    setFileLocations(folder, fileLocations(folder, true, {}));
}

void AppContext::setFileLocations(const QString& programFolder, const FileLocations& locations)
{
    settings.programFolder = QDir::toNativeSeparators(programFolder);
    settings.configurationFile = locations.configurationFile;
    settings.defaultOutputFolder = locations.defaultOutputFolder;
    settings.defaultLogFile = locations.defaultLogFile;
}

void AppContext::saveConfiguration(const QString& fileName)
{
    pm::saveConfiguration(fileName, settings, {history.entries(), queue.urls()}, errors);
}

bool AppContext::loadConfiguration(const QString& fileName)
{
    ConfigurationLists lists{history.entries(), {}};
    const bool loaded = pm::loadConfiguration(fileName, settings, lists, errors, log);
    history.setEntries(lists.history);
    queue.replaceWaiting(lists.queue);
    return loaded;
}

}  // namespace pm
