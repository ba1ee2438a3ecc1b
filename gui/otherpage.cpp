#include "gui/otherpage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace pm {

OtherPage::OtherPage(ErrorReporter& errors, QWidget* parent)
    : SettingsPage(parent),
      m_frame(framedPage(this, tr("Extensions"), "fraOther")),
      m_scanning(m_frame),
      m_downloads(errors, m_frame),
      m_startup(m_frame)
{
    auto* grid = new QGridLayout(m_frame);
    grid->addWidget(m_scanning.extensionsLabel, 0, 0, 1, 2);
    grid->addWidget(m_scanning.extensions, 1, 0, 1, 2);
    grid->addWidget(m_downloads.errorGroup, 2, 0);
    grid->addWidget(m_downloads.duplicateGroup, 2, 1);
    grid->addLayout(m_downloads.sizeRow, 3, 0, 1, 2);
    grid->addWidget(m_downloads.askBeforeCreatingBox, 4, 0, 1, 2);
    grid->addWidget(m_scanning.scrapeGroup, 5, 0);
    grid->addWidget(m_startup.startGroup, 5, 1);
    grid->addWidget(m_startup.historyOff, 6, 0, 1, 2);
    grid->addLayout(m_downloads.knownColumn, 7, 0);
    grid->addWidget(m_downloads.sameContentGroup, 7, 1);
    grid->addWidget(m_scanning.linkedPagesGroup, 8, 0, 1, 2);
    setTabOrderByRows(*grid);
}

void OtherPage::load(const Settings& settings)
{
    m_scanning.load(settings);
    m_downloads.load(settings);
    m_startup.load(settings);
}

void OtherPage::save(Settings& settings) const
{
    // The download options go last: a report that aborts their save leaves
    // the others saved.
    m_scanning.save(settings);
    m_startup.save(settings);
    m_downloads.save(settings);
}

}  // namespace pm
