#pragma once
// The configuration file: the settings, the address history and the stored
// work queue, one "key",value line each.

#include <QString>
#include <QStringList>

namespace pm {

// Writes settings(), `history` and settings().colG_Queue to `fileName`.
// The file is replaced atomically: a failed save leaves the old file intact.
// Failures are reported under "SaveINI.".
void SaveINI(const QString& fileName, const QStringList& history);

// The text SaveINI writes, CR LF line ends included.
QString configurationText(const QStringList& history);

// Merges `fileName` into settings(), `history` and colG_Queue, then applies
// the defaults. A missing file is no error. Failures are reported under
// "LoadINI."; returns false when a report aborted the load (the defaults
// have then not been applied).
bool LoadINI(const QString& fileName, QStringList& history);

}  // namespace pm
