#pragma once
// The Options dialog's Other page: the scanning, download and start-up
// options on one page. Each subject's controls, with how they load and
// save, sit in a part of their own; this page lays them out.

#include "gui/downloadoptions.h"
#include "gui/scanningoptions.h"
#include "gui/settingspage.h"
#include "gui/startupoptions.h"

namespace pm {

class ErrorReporter;

class OtherPage : public SettingsPage {
    Q_OBJECT
public:
    explicit OtherPage(ErrorReporter& errors, QWidget* parent = nullptr);

    void load(const Settings& settings) override;
    void save(Settings& settings) const override;
    bool askBeforeCreating() const { return m_downloads.askBeforeCreating(); }

private:
    QWidget* m_frame;
    ScanningOptions m_scanning;
    DownloadOptions m_downloads;
    StartupOptions m_startup;
};

}  // namespace pm
