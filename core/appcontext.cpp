#include "core/appcontext.h"

#include "core/configfile.h"

#include <QDir>

namespace pm {

AppContext::AppContext(UserInteraction& ui) : ui(ui) {}

void AppContext::setProgramFolder(const QString& folder)
{
    settings.programFolder = QDir::toNativeSeparators(folder);
    settings.configurationFile = settings.programFolder + QDir::separator() + QStringLiteral("Pullmark.ini");
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
    log.writeWaiting();  // what the load logged before the file named the log
    return loaded;
}

}  // namespace pm
