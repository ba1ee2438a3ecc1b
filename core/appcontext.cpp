#include "core/appcontext.h"

#include "core/configfile.h"

#include <QDir>
#include <QFileInfo>

namespace pm {

AppContext::AppContext(UserInteraction& ui) : ui(ui) {}

void AppContext::setProgramFolder(const QString& folder)
{
    settings.programFolder = QDir::toNativeSeparators(folder);
    settings.configurationFile = settings.programFolder + QDir::separator() + QStringLiteral("Pullmark.ini");
}

namespace {
// One name for a file however it is spelt.
QString fileKey(const QString& fileName)
{
    const QFileInfo info(fileName);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}
}  // namespace

void AppContext::saveConfiguration(const QString& fileName)
{
    if (const QString key = m_filesToKeep.isEmpty() ? QString() : fileKey(fileName); m_filesToKeep.contains(key)) {
        if (!keepConfigurationCopy(fileName, errors, log))
            return;
        m_filesToKeep.remove(key);
    }
    pm::saveConfiguration(fileName, settings, {history.entries(), queue.urls()}, errors);
}

bool AppContext::loadConfiguration(const QString& fileName)
{
    ConfigurationLists lists{history.entries(), {}};
    bool keepCopy = false;
    const bool loaded = pm::loadConfiguration(fileName, settings, lists, errors, log, &keepCopy);
    history.setEntries(lists.history);
    queue.replaceWaiting(lists.queue);
    log.writeWaiting();  // what the load logged before the file named the log
    if (keepCopy)
        m_filesToKeep.insert(fileKey(fileName));
    return loaded;
}

}  // namespace pm
