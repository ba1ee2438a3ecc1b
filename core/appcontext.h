#pragma once
// The objects the whole program shares: the settings, the activity log, the
// error reporter, the download queue with its worker and the address history.
// The program creates one at start-up and passes it to its windows; tests
// create their own.

#include "core/activitylog.h"
#include "core/addresshistory.h"
#include "core/downloadqueue.h"
#include "core/errorreporter.h"
#include "core/filelocations.h"
#include "core/queueworker.h"
#include "core/settings.h"

namespace pm {

class UserInteraction;

class AppContext {
public:
    explicit AppContext(UserInteraction& ui);

    // The program folder, with the configuration file "Pullmark.ini", the
    // default output folder and the default log in it (a portable program).
    void setProgramFolder(const QString& folder);
    // The program folder and where the program's files go.
    void setFileLocations(const QString& programFolder, const FileLocations& locations);

    // Writes the settings, the history and the live queue to `fileName`.
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
};

}  // namespace pm
