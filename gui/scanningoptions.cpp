#include "gui/scanningoptions.h"

#include "core/config/settings.h"
#include "gui/settingspage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace pm {

ScanningOptions::ScanningOptions(QWidget* parent)
{
    extensionsLabel = named(new QLabel(tr("File &Extensions to find:"), parent), "lblExt");
    extensions = named(new QLineEdit(parent), "txtExt");
    extensionsLabel->setBuddy(extensions);

    scrapeGroup = named(new QGroupBox(tr("Scrape"), parent), "fraScrape");
    m_scanImages = named(new QCheckBox(tr("E&mbedded items"), scrapeGroup), "chkScrapeEmbed");
    m_scanLinks = named(new QCheckBox(tr("L&inked items"), scrapeGroup), "chkScrapeLink");
    auto* scrapeLayout = new QVBoxLayout(scrapeGroup);
    scrapeLayout->addWidget(m_scanImages);
    scrapeLayout->addWidget(m_scanLinks);

    // At least one kind of item is always scanned.
    QObject::connect(m_scanImages, &QCheckBox::stateChanged, scrapeGroup, [this] {
        if (!isTicked(m_scanImages))
            setTicked(m_scanLinks, true);
    });
    QObject::connect(m_scanLinks, &QCheckBox::stateChanged, scrapeGroup, [this] {
        if (!isTicked(m_scanLinks))
            setTicked(m_scanImages, true);
    });
}

void ScanningOptions::load(const Settings& settings)
{
    extensions->setText(settings.extensions);
    setTicked(m_scanLinks, settings.scanLinks);
    setTicked(m_scanImages, settings.scanImages);
}

void ScanningOptions::save(Settings& settings) const
{
    settings.extensions = extensions->text();
    settings.scanLinks = isTicked(m_scanLinks);
    settings.scanImages = isTicked(m_scanImages);
}

}  // namespace pm
