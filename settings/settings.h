#pragma once
// The one record of everything the user configures, with the program-wide
// values several parts share. There is exactly one instance: settings().

#include <QString>
#include <QStringList>

namespace pm {

struct Settings {
    // Configurable, in the order the configuration file writes them.
    QString strG_SavePath;       // output folder
    QString strG_LogFileName;    // activity log, folder + file
    QString strG_FileExt;        // extensions to harvest, blank separated
    bool bG_LogDownloads = false;
    QString strG_Unattended;     // error mode: "Abort", "Resume", "Prompt"
    QString strG_StartURL;       // "Home" or "Last", any case
    bool bG_LogCSV = false;
    bool bG_ScrapeLink = false;
    bool bG_ScrapeEmbedded = false;
    bool bG_MaintainHistory = false;  // true turns the history OFF
    bool bG_CreatePath = false;       // ask before creating missing folders
    bool bG_SaveLarge = false;
    float sG_FileSize = 0;            // kilobytes
    QString strG_FileDupOption;  // "Overwrite", "Rename", "Skip"
    bool bG_Disclaimer = false;

    // Program-wide values that are not configuration keys.
    QString strG_AppPath;        // the executable's folder
    QString strG_IniFileName;    // strG_AppPath + "/Pullmark.ini"
    QStringList colG_Queue;      // the stored work queue
    bool bG_PathError = false;
};

// The single instance, shared by the whole program.
inline Settings& settings()
{
    static Settings instance;
    return instance;
}

inline constexpr const char* kDefaultFileExt = "wmv mpg jpg gif mpeg";

}  // namespace pm
