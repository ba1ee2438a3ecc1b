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
};

// The text a save writes.
QString configurationText(const Settings& settings, const ConfigurationLists& lists);

// Writes the configuration to `fileName`. The file is replaced atomically: a
// failed save leaves the old file intact. Failures are reported under
// "SaveINI."; returns whether the file now holds the configuration.
bool saveConfiguration(const QString& fileName, const Settings& settings, const ConfigurationLists& lists,
                       ErrorReporter& errors);

// Merges `fileName` into `settings` and `lists` (history lines replace the
// entry at their index, queue lines are appended), then applies the defaults
// for whatever is still unset. A missing file is no error. Failures are
// reported under "LoadINI."; returns false when a report aborted the load,
// in which case the defaults have not been applied.
bool loadConfiguration(const QString& fileName, Settings& settings, ConfigurationLists& lists, ErrorReporter& errors,
                       ActivityLog& log);

}  // namespace pm
