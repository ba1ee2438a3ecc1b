#pragma once
// The Options dialog: every setting but the legal-notice flag, on three
// pages, applied to the settings only by Apply or OK. Each opening fills it
// from the settings anew.

#include "core/config/pathcheck.h"

#include <QDialog>

class QPushButton;
class QTabWidget;

namespace pm {

class AppContext;
class LoggingPage;
class OtherPage;
class OutputPage;
class SettingsPage;

class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    enum Page { Output, Logging, Other };

    explicit OptionsDialog(AppContext& context, QWidget* parent = nullptr);

    // Fills every control from the settings and shows the first page.
    void loadFromSettings();
    void showPage(Page page);
    Page currentPage() const;

    // The paths as the dialog's controls give them.
    PathCheckInput pathCheckInput() const;
    // Checks the paths the controls give; a declined creation shows the page
    // with the offending path. Returns false then.
    bool checkPaths();

public slots:
    // Checks the paths, then writes the controls to the settings. Returns
    // false, applying nothing, when the user declined to create a folder.
    bool apply();

signals:
    // The controls were written to the settings.
    void applied();
    // F1: the user guide's section about the page shown.
    void helpRequested(const QString& section);

protected:
    void accept() override;

private:
    void pathBoxLeft(QWidget* chooser);
    // In the order of their tabs.
    QList<SettingsPage*> pages() const;

    AppContext& m_context;
    QTabWidget* m_tabs;
    OutputPage* m_outputPage;
    LoggingPage* m_loggingPage;
    OtherPage* m_otherPage;
    bool m_checkingPaths = false;
};

}  // namespace pm
