#pragma once
// Makes sure the log and output folders exist before anything is written
// into them, creating a missing one silently or after a question, and starts
// the CSV download log with its header row.

#include <QString>

class QWidget;

namespace pm {

// The paths as the Options dialog shows them.
struct PathCheckInput {
    QString outputFolder;
    QString logFolder;
    QString logFileName;
    bool askBeforeCreating = false;
    bool csvWanted = false;
};

// Which creation the user declined; the check stopped there.
enum class PathDecline { None, LogFolder, OutputFolder };

// Log folder, then output folder, then the CSV file. Questions are asked
// with `questionParent` as owner. Failures are reported under
// "CheckFileExists."; a report that says abort ends the check (None).
PathDecline checkPaths(const PathCheckInput& input, QWidget* questionParent);

// The CSV file the check starts: beside the log, named after it.
QString csvPathFor(const QString& logFolder, const QString& logFileName);

// Creates the last level of `folder` (its parent must exist); throws a
// RuntimeError on failure.
void createFolder(const QString& folder);

// Runs checkPaths on the Options dialog's fields (loading it hidden when it
// is not loaded) and sets settings().bG_PathError. A declined creation puts
// the dialog on the offending page and, when the dialog is hidden, shows it
// modally.
void CheckFileExists();

}  // namespace pm
