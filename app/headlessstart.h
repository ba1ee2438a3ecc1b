#pragma once
// The program without a window: --harvest, --download and --add.

namespace pm {

class CommandLine;

// Runs what `commandLine` asks for and gives the exit status. `programName`
// is argv[0].
int runWithoutWindow(const CommandLine& commandLine, char* programName);

}  // namespace pm
