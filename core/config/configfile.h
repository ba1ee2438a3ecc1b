#pragma once
// The configuration file: the settings, the address history and the stored
// work queue, one "key",value line each, with CR LF line ends.

#include <QString>
#include <QStringList>

namespace pm {

class ActivityLog;
class ErrorReporter;
class Settings;

// What the configuration file holds besides the settings.
struct ConfigurationLists {
    QStringList history;  // the address history, newest first ("URL<n>" lines)
    QStringList queue;    // the stored work queue, in order ("Queue" lines)
    // The page each stored entry was found on, by position in `queue` ("" or
    // missing when unknown): a "QueueFrom" line right after its "Queue" line.
    QStringList queuePages;
};

// The text a save writes.
QString configurationText(const Settings& settings, const ConfigurationLists& lists);

// Writes the configuration to `fileName`. The file is replaced atomically: a
// failed save leaves the old file intact. Failures are reported under
// "SaveINI."; returns whether the file now holds the configuration.
bool saveConfiguration(const QString& fileName, const Settings& settings, const ConfigurationLists& lists,
                       ErrorReporter& errors);

// Merges `fileName` into `settings` and `lists`, then applies the defaults
// for whatever is still unset. A missing file is no error. Queue lines are
// appended. History lines are taken in the order of their indexes: each
// replaces the item at its index, and one whose index is taken already or
// lies beyond the end goes to the next place, so none is lost.
//
// Every line is read, whatever the error mode. A line that cannot be read is
// reported under "LoadINI." with its line number and skipped; only the first
// report of a load may ask the user or abort, later ones are logged. Returns
// false when that report said abort (the caller then skips what would follow
// the load). `keepCopy`, when given, tells whether the file held anything the
// next save will not write back as it was (a reported line, an unrecognised
// one, text that was not UTF-8): see keepConfigurationCopy().
bool loadConfiguration(const QString& fileName, Settings& settings, ConfigurationLists& lists, ErrorReporter& errors,
                       ActivityLog& log, bool* keepCopy = nullptr);

// Copies `fileName` as it is to `fileName` + ".bak" (replacing an older
// copy, atomically, with the file's permissions) and logs it. Failures are
// reported under "SaveINI."; returns false then. A missing file or one that
// is no regular file needs no copy.
bool keepConfigurationCopy(const QString& fileName, ErrorReporter& errors, ActivityLog& log);

}  // namespace pm
