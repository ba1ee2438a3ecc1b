#pragma once
// The About window: title, version, the folder the program runs from, the
// configuration file in use, a description and a disclaimer, and a button
// that starts a system-information program.

#include <QDialog>
#include <QString>

#include <functional>

namespace pm {

class UserInteraction;

// How "System Info..." finds and starts its program.
struct SystemInfoLauncher {
    // The full name of the program to start; empty when there is none.
    std::function<QString()> find;
    // Starts the program; false when it could not be started.
    std::function<bool(const QString& program)> start;
};

// The first of a few common system-information programs found on PATH, and
// a detached start.
SystemInfoLauncher defaultSystemInfoLauncher();

// "Executing from", a line break, then the program folder broken into lines
// of at most 45 characters once it is longer than 53 (CR LF between lines).
QString executingFromText(const QString& programFolder);

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    AboutDialog(const QString& programFolder, const QString& configurationFile, UserInteraction& ui,
                QWidget* parent = nullptr);

    void setSystemInfoLauncher(SystemInfoLauncher launcher) { m_launcher = std::move(launcher); }

private:
    void startSystemInfo();

    UserInteraction& m_ui;
    SystemInfoLauncher m_launcher = defaultSystemInfoLauncher();
};

}  // namespace pm
