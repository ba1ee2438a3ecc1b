#pragma once
// Makes sure the log and output folders exist before anything is written
// into them, creating a missing one silently or after a question, and starts
// the CSV download log with its header row.

#include <QString>

namespace pm {

class ErrorReporter;
class Settings;
class UserInteraction;

// The paths to check, as the settings or the Options dialog give them.
struct PathCheckInput {
    QString outputFolder;
    QString logFolder;
    QString logFileName;
    bool askBeforeCreating = false;
    bool csvWanted = false;
};

// The paths the settings name: the log folder and file name are the
// activity log's path split at its last separator.
PathCheckInput pathCheckInputFrom(const Settings& settings);

// Which creation the user declined; the check stopped there.
enum class PathDecline { None, LogFolder, OutputFolder };

// Log folder, then output folder, then the CSV file. Failures are reported
// under "CheckFileExists."; a report that says abort ends the check (None).
PathDecline checkPaths(const PathCheckInput& input, ErrorReporter& errors, UserInteraction& ui);

// The CSV file the check starts: beside the log, named after it.
QString csvPathFor(const QString& logFolder, const QString& logFileName);

// Creates the last level of `folder` (its parent must exist); throws a
// RuntimeError on failure.
void createFolder(const QString& folder);

}  // namespace pm
