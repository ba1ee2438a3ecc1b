#pragma once
// The objects the whole program shares: the settings, the activity log, the
// error reporter, the download queue with its worker and the address history.
// The program creates one at start-up and passes it to its windows; tests
// create their own.

#include "core/activitylog.h"
#include "core/addresshistory.h"
#include "core/downloadqueue.h"
#include "core/errorreporter.h"
#include "core/queueworker.h"
#include "core/settings.h"

#include <QSet>
#include <QString>

namespace pm {

class UserInteraction;

class AppContext {
public:
    explicit AppContext(UserInteraction& ui);

    // The program folder, with the configuration file "Pullmark.ini" in it.
    void setProgramFolder(const QString& folder);

    // Writes the settings, the history and the live queue to `fileName`.
    // When that file's last load met lines it could not read, the first save
    // keeps a copy of the file as it was (see keepConfigurationCopy); a copy
    // that fails leaves the file unsaved.
    void saveConfiguration(const QString& fileName);
    // Reads `fileName`: its queue replaces the queue (entries in work stay),
    // its history lines and settings are merged in. Returns false when an
    // error report aborted the load.
    bool loadConfiguration(const QString& fileName);

    UserInteraction& ui;
    Settings settings;
    ActivityLog log{settings};
    ErrorReporter errors{settings, log, ui};
    DownloadQueue queue;
    AddressHistory history;
    QueueWorker worker{settings, log, errors, queue, [this] { saveConfiguration(settings.configurationFile); }};

private:
    QSet<QString> m_filesToKeep;  // loaded with lines a save drops; not copied yet
};

}  // namespace pm
