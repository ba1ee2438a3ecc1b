#pragma once
// The record of everything the user configures, with the few program-wide
// values that go with it. The program creates one (in AppContext) and passes
// it to whoever needs it; tests create their own.

#include <QString>

namespace pm {

// What an error report does after logging the error.
enum class ErrorMode {
    CarryOn,  // "Resume", and any text the program does not know
    Abort,    // "Abort": the running step and the work session stop
    Prompt,   // "Prompt": the user is asked whether to abort
};

// What a download does when a file of its name exists in the output folder.
enum class DuplicateRule {
    Overwrite,  // "Overwrite", an empty rule, and any text the program does not know
    Rename,     // "Rename": the new file is numbered (a0.jpg, a1.jpg, ...)
    Skip,       // "Skip": the entry is not fetched
};

// What a finished download does when the archive knows a file with the same
// content that is still on disk.
enum class SameContentRule {
    KeepBoth,      // stored as 0 (or any number the program does not know): the new file is saved too
    KeepExisting,  // stored as 1: the new file is discarded
};

// The page shown at start-up.
enum class StartPage {
    Home,         // "home" in any case: the start page shipped with the program
    LastVisited,  // "last" in any case: the newest address of the history
    None,         // any other text: nothing is loaded
};

inline constexpr const char* kDefaultExtensions = "wmv mpg jpg gif mpeg";

class Settings {
public:
    QString outputFolder;
    QString activityLogFile;         // folder and file name
    QString extensions;              // words; the classic scan searches them as one text
    bool logDownloads = false;       // progress lines of each download in the activity log
    bool logCsv = false;             // one CSV row per downloaded file
    bool scanLinks = false;
    bool scanImages = false;
    bool historyEnabled = true;
    bool askBeforeCreatingFolders = false;
    bool skipSmallFiles = false;
    float minimumSizeKB = 0;         // files smaller than this are not saved when skipSmallFiles is on
    bool legalNoticeAccepted = false;
    int parallelDownloads = 1;       // transfers at once in a work session, 1 to 8
    int retries = 2;                 // further attempts after a transient failure, 0 to 10
    bool skipArchived = false;       // a session skips addresses the download archive holds
    int sameContent = 0;             // SameContentRule as stored; see sameContentRule()
    bool probeFoundFiles = true;     // the found list asks the server about each entry
    bool classicScan = false;        // the page scan's first rules (see ScanRules)
    bool imagesAsShown = false;      // an image's displayed version instead of its largest
    bool followOtherSites = false;   // a harvest of linked pages also reads pages of other sites
    int linkedPagesLimit = 100;      // the most pages one harvest of linked pages reads, 1 to 1,000

    bool operator==(const Settings&) const = default;

    SameContentRule sameContentRule() const
    {
        return sameContent == 1 ? SameContentRule::KeepExisting : SameContentRule::KeepBoth;
    }

    // The modes are kept as the configuration file spells them, so that a
    // file is written back exactly as it was read; the program acts on the
    // enum each text stands for.
    ErrorMode errorMode() const;
    DuplicateRule duplicateRule() const;
    StartPage startPage() const;
    void setErrorMode(ErrorMode mode);
    void setDuplicateRule(DuplicateRule rule);
    void setStartPage(StartPage page);

    QString errorModeText;       // "Resume", "Abort", "Prompt"; exact
    QString duplicateRuleText;   // "Overwrite", "Rename", "Skip"; exact
    QString startPageText;       // "home" or "last", any case

    // Not stored in the configuration file.
    QString programFolder;       // the executable's folder
    QString configurationFile;   // the configuration file in use
    QString defaultOutputFolder; // the output folder when the file names none
    QString defaultLogFile;      // the activity log when the file names none
    QString archiveFile;         // the download archive's database, "" for none
};

}  // namespace pm
