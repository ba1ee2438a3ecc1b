#pragma once
// The About window: title, version, the folder the program runs from, a
// description and a disclaimer, and a button that starts a
// system-information program.

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QPushButton;

namespace pm {

// How "System Info..." finds and starts its program. Tests replace it.
struct SystemInfoLauncher {
    // The full name of the program to start; empty when there is none.
    std::function<QString()> find;
    // Starts the program; false when it could not be started.
    std::function<bool(const QString& program)> start;
};
// The first of a few common system-information programs found on PATH, and
// a detached start.
SystemInfoLauncher defaultSystemInfoLauncher();
void setSystemInfoLauncher(SystemInfoLauncher launcher);
// Programs looked for, in this order.
QStringList systemInfoCandidates();

// "Version 1.2.32" from the build's version numbers.
QString versionText(int major, int minor, int revision);
// The program folder broken into lines of at most 45 characters once it is
// longer than 53 (CR LF between lines), after the "Exectuing from " line.
QString executingFromText(const QString& programFolder);

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    // Handlers.
    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void StartSysInfo();

    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblPath = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;
};

}  // namespace pm
