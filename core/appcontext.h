#pragma once
// The objects the whole program shares: the settings, the activity log, the
// error reporter, the download queue with its worker, the address history,
// the journal that keeps the queue's changes between configuration saves,
// the download archive, the prober that asks servers about found files and
// the web session their transfers are made in.
// The program creates one at start-up and passes it to its windows; tests
// create their own.

#include "core/diagnostics/activitylog.h"
#include "core/config/addresshistory.h"
#include "core/download/downloadarchive.h"
#include "core/download/downloadqueue.h"
#include "core/diagnostics/errorreporter.h"
#include "core/config/filelocations.h"
#include "core/config/progressjournal.h"
#include "core/download/queueworker.h"
#include "core/config/settings.h"
#include "core/found/urlprober.h"
#include "core/download/websession.h"

#include <QSet>
#include <QString>

#include <memory>
#include <optional>

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
    // The configuration file the program reads at start-up and keeps.
    void setConfigurationFile(const QString& fileName);

    // Reads the configuration file in use, then replays onto its queue what
    // a journal left by a crash holds, and writes the result back. Returns
    // false when an error report aborted the load.
    bool loadStoredConfiguration();
    // Writes the settings, the history and the live queue to `fileName`.
    // When that file's last load met lines it could not read, the first save
    // keeps a copy of the file as it was (see keepConfigurationCopy); a copy
    // that fails leaves the file unsaved. Returns whether it was written;
    // writing the configuration file in use empties the journal.
    bool saveConfiguration(const QString& fileName);
    // From now on saves write `stored` instead of the settings in use, so
    // that changes made for one run only (the command line's) never reach
    // the configuration file.
    void storeSettingsAs(const Settings& stored) { m_storedSettings = stored; }
    // Reads `fileName`: its queue replaces the queue (entries in work stay),
    // its history lines and settings are merged in. Returns false when an
    // error report aborted the load.
    bool loadConfiguration(const QString& fileName);

    // The download archive in use (nullptr: none; everything works without).
    DownloadArchive* archive() const { return m_archive.get(); }
    void setArchive(std::unique_ptr<DownloadArchive> archive);
    // Writes the records that wait for the archive now, as the program ends.
    // Those it cannot take (a locked database) stay in the journal for the
    // next start, which the activity log says; returns false then.
    bool writeArchiveNow();

    // The journal is folded into the configuration file once it is this long.
    static constexpr qint64 kJournalLimit = 256 * 1024;

    UserInteraction& ui;
    Settings settings;
    ActivityLog log{settings};
    ErrorReporter errors{settings, log, ui};
    // The browser's cookies, user agent and sign-ins, which every transfer
    // carries; it outlives the worker and the prober.
    WebSession session{ui};

private:
    std::unique_ptr<DownloadArchive> m_archive;  // outlives the queue and the worker, which use it

public:
    DownloadQueue queue;
    AddressHistory history;
    QueueWorker worker{settings, log, errors, queue, [this] { saveConfiguration(settings.configurationFile); }};
    UrlProber prober;

private:
    bool load(const QString& fileName, bool replayJournal);
    // Gives the queue's entries the parts a journal kept, by address.
    void resumeKeptParts(QHash<QString, PartialDownload> partials);
    void journalled();

    ProgressJournal m_journal;
    std::optional<Settings> m_storedSettings;
    bool m_journalling = true;
    bool m_foldPending = false;
    QSet<QString> m_filesToKeep;  // loaded with lines a save drops; not copied yet
};

}  // namespace pm
