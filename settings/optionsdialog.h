#pragma once
// The Options dialog: every setting except the legal-notice flag, edited on
// three tabs and applied to settings() only by Apply or OK.
//
// There is one dialog, owned by the main window. It is "loaded" on first use
// (Form_Load fills it from settings()) and stays loaded, hidden or shown,
// until OK, Cancel or the close box unloads it; the next use loads it again.

#include <QDialog>
#include <QList>
#include <QString>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabBar;
class QStackedWidget;

namespace pm {

class DriveList;
class FolderList;
struct PathCheckInput;

class frmOptions : public QDialog {
    Q_OBJECT
public:
    explicit frmOptions(QWidget* parent = nullptr);

    bool loaded() const { return m_loaded; }
    // Loads the dialog when it is not loaded (Form_Load); a loaded dialog
    // keeps its values.
    void ensureLoaded();
    // Unloads: hides the dialog; the next use fills it again.
    void unload();

    // What the path check reads: the dialog's path boxes and check boxes.
    PathCheckInput pathCheckInput() const;

    // Handlers.
    void Form_Load();
    void tbsOptions_Click();
    void chkHistory_Click();
    void chkSaveLarge_Click();
    void chkScrapeEmbed_Click();
    void chkScrapeLink_Click();
    void DrivePath_Change();
    void DirPath_Change();
    void DirPath_Click(const QString& folder);
    void DriveLog_Change();
    void DirLog_Change();
    void DirLog_Click(const QString& folder);
    void txtPath_LostFocus();
    void txtLogPath_LostFocus();
    void cmdNewFolder_Click();
    void cmdNewLogPath_Click();
    void cmdApply_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    // Returns true when the key was handled (Ctrl+Tab).
    bool Form_KeyDown(int key, Qt::KeyboardModifiers modifiers);

    // The page shown: its panel in front and enabled, the others disabled.
    void showPage(int page);
    int pageShown() const;

    // Controls, named as the rest of the program and the tests know them.
    QTabBar* tbsOptions = nullptr;
    QStackedWidget* pages = nullptr;
    QList<QWidget*> picOptions;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdApply = nullptr;

    QGroupBox* fraOutput = nullptr;
    QLabel* lblPath = nullptr;
    QLineEdit* txtPath = nullptr;
    DriveList* DrivePath = nullptr;
    FolderList* DirPath = nullptr;
    QPushButton* cmdNewFolder = nullptr;

    QGroupBox* fraLog = nullptr;
    QLabel* lblLog = nullptr;
    QLineEdit* txtLogPath = nullptr;
    DriveList* DriveLog = nullptr;
    FolderList* DirLog = nullptr;
    QPushButton* cmdNewLogPath = nullptr;
    QLabel* lblLogFileName = nullptr;
    QLineEdit* txtLogFileName = nullptr;
    QCheckBox* chkLogDnlds = nullptr;
    QCheckBox* chkLogCSV = nullptr;

    QGroupBox* fraOther = nullptr;
    QLabel* lblExt = nullptr;
    QLineEdit* txtExt = nullptr;
    QGroupBox* fraError = nullptr;
    QRadioButton* OptAbort = nullptr;
    QRadioButton* OptResume = nullptr;
    QRadioButton* OptPrompt = nullptr;
    QGroupBox* fraFileDup = nullptr;
    QRadioButton* optOverWrite = nullptr;
    QRadioButton* optRename = nullptr;
    QRadioButton* optSkip = nullptr;
    QCheckBox* chkSaveLarge = nullptr;
    QLineEdit* txtFileSize = nullptr;
    QLabel* lblKB = nullptr;
    QCheckBox* chkCreatePath = nullptr;
    QGroupBox* fraScrape = nullptr;
    QCheckBox* chkScrapeEmbed = nullptr;
    QCheckBox* chkScrapeLink = nullptr;
    QCheckBox* chkHistory = nullptr;
    QGroupBox* fraOpen = nullptr;
    QRadioButton* optLast = nullptr;
    QRadioButton* optHome = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void createControls();
    QWidget* createOutputPage();
    QWidget* createLoggingPage();
    QWidget* createOtherPage();
    void newFolder(const QString& routine, QLineEdit* box, FolderList* list);
    void watchKeys();

    bool m_loaded = false;
    bool m_inLostFocus = false;
};

// The one Options dialog, created (not loaded) on first call, with the
// owner set by setOptionsOwner.
frmOptions& optionsDialog();
// The dialog loaded: loads it hidden when it is not loaded.
frmOptions& Options();
// The window that owns the dialog (the main window); reparents a dialog that
// exists already.
void setOptionsOwner(QWidget* owner);
// The owner goes away: its dialog goes with it.
void releaseOptionsOwner(QWidget* owner);
// Deletes the dialog (tests start each case with a new one).
void destroyOptionsDialog();

// Shows page `page` (0-based) of the loaded dialog.
void ShowOptionsTab(int page);

// A check box's value counts as ticked unless it is cleared.
bool ticked(const QCheckBox* box);

// Text forms of the size box: the number as the dialog shows it, and the
// conversion Apply performs (throws a RuntimeError for a bad text).
QString fileSizeText(float size);
float fileSizeFromText(const QString& text);

}  // namespace pm
