#pragma once
// The Other page's options for the program's start: the page it opens, and
// whether it keeps a history of the addresses visited.

#include <QCoreApplication>

class QCheckBox;
class QGroupBox;
class QRadioButton;
class QWidget;

namespace pm {

class Settings;

class StartupOptions {
    Q_DECLARE_TR_FUNCTIONS(pm::StartupOptions)
public:
    explicit StartupOptions(QWidget* parent);

    void load(const Settings& settings);
    void save(Settings& settings) const;

    // Where the page places them.
    QGroupBox* startGroup;
    QCheckBox* historyOff;

private:
    void historyToggled();

    QRadioButton* m_lastPage;
    QRadioButton* m_homePage;
};

}  // namespace pm
