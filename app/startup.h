#pragma once
// What every way of running the program does first: find its files (the
// configuration file the command line names, or the default one) and open
// the download archive.

#include "core/config/filelocations.h"

#include <QString>

namespace pm {

class AppContext;

// Points `context` at the program's files, with `configurationFile`
// (empty: the default one) as the configuration file, and makes the
// per-user folders they lie in.
FileLocations setUpFiles(AppContext& context, const QString& configurationFile);

// Opens the download archive that goes with the configuration file in use.
void openArchive(AppContext& context, const FileLocations& locations);

}  // namespace pm
