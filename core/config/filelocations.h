#pragma once
// Where the program keeps its own files. Run from a folder it may write to
// (the build folder, a copy unpacked somewhere), it is portable: the
// configuration file, the default output folder and the default activity log
// sit beside the executable. Installed, or in a folder it may not write to,
// it keeps them in the user's standard folders instead and never writes to
// its own folder.

#include <QString>

namespace pm {

// The user's standard folders that the per-user files go into.
struct UserFolders {
    QString configFolder;    // the program's configuration folder, e.g. ~/.config/Pullmark
    QString downloadFolder;  // the user's downloads, e.g. ~/Downloads
    QString dataFolder;      // the program's data folder, e.g. ~/.local/share/Pullmark
};

struct FileLocations {
    bool portable = true;
    QString configurationFile;    // the configuration file read at start-up and saved to
    QString defaultOutputFolder;  // used when the configuration names none
    QString defaultLogFile;       // used when the configuration names none
    QString dataFolder;           // the program folder, or the user's data folder
};

// The locations for a program in `programFolder`: beside it when it runs
// portable, in `user`'s folders otherwise.
FileLocations fileLocations(const QString& programFolder, bool portable, const UserFolders& user);

// The download archive's database: beside the configuration file in use
// when the program runs portable, in the user's data folder otherwise.
QString archiveFileName(const FileLocations& locations, const QString& configurationFile);

// The name of the browser's profile.
QString browserProfileName();

// The browser's profile (its cookies, site storage and cache): beside the
// configuration file in use when the program runs portable, in the user's
// data folder otherwise, where Qt keeps a profile of that name unless told
// otherwise.
QString browserProfileFolder(const FileLocations& locations, const QString& configurationFile);

// The file in the browser's profile folder in which the downloads keep their
// persistent cookies.
QString downloadCookieFile(const QString& profileFolder);

// The user's folders as Qt's standard paths give them (the XDG base
// directories and the user's download folder).
UserFolders standardUserFolders();

// True when a file can be created in `folder` (tried with a temporary file
// that is removed at once; a permission check alone says yes to root).
bool folderIsWritable(const QString& folder);

// True when the program in `programFolder` was installed (under a prefix
// that holds its menu entry, as "make install" and the package lay it out).
bool isInstalledProgramFolder(const QString& programFolder);

// Portable unless installed or unable to write to its folder.
bool runsPortable(const QString& programFolder);

// Creates the per-user folders that `configurationFile`, the default log
// and the default output folder lie in (nothing for a portable program).
// False when one cannot be made.
bool createUserFolders(const FileLocations& locations, const QString& configurationFile);

}  // namespace pm
