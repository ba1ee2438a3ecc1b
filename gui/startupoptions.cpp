#include "gui/startupoptions.h"

#include "core/config/settings.h"
#include "gui/settingspage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>

namespace pm {

StartupOptions::StartupOptions(QWidget* parent)
{
    historyOff = named(new QCheckBox(tr("Do not track &history"), parent), "chkHistory");
    m_lastPage = named(new QRadioButton(tr("Las&t page visited")), "optLast");
    m_homePage = named(new QRadioButton(tr("Home Pa&ge")), "optHome");
    startGroup = optionGroup(tr("Startup Page"), "fraOpen", {m_lastPage, m_homePage}, parent);
    QObject::connect(historyOff, &QCheckBox::stateChanged, startGroup, [this] { historyToggled(); });
}

void StartupOptions::historyToggled()
{
    // Without a history there is no last page to start from.
    if (isTicked(historyOff))
        selectOption({m_homePage, m_lastPage}, m_homePage);
    m_lastPage->setEnabled(!isTicked(historyOff));
}

void StartupOptions::load(const Settings& settings)
{
    setTicked(historyOff, !settings.historyEnabled);
    selectOption({m_homePage, m_lastPage},
                 settings.startPage() == StartPage::LastVisited ? m_lastPage : m_homePage);
    historyToggled();
}

void StartupOptions::save(Settings& settings) const
{
    settings.setStartPage(m_lastPage->isChecked() ? StartPage::LastVisited : StartPage::Home);
    settings.historyEnabled = !isTicked(historyOff);
}

}  // namespace pm
