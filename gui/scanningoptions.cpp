#include "gui/scanningoptions.h"

#include "core/config/settings.h"
#include "gui/settingspage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
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
    m_imagesAsShown = named(new QCheckBox(tr("List images as sho&wn"), scrapeGroup), "chkImagesAsShown");
    m_imagesAsShown->setToolTip(tr("Each image in the version the browser shows, instead of its largest version"));
    m_classicScan = named(new QCheckBox(tr("Classic scan r&ules"), scrapeGroup), "chkClassicScan");
    m_classicScan->setToolTip(tr("The first Pullmark's rules: a page with frames lists only its frames, an image "
                                 "its src, and the extension is everything after the last dot"));
    auto* scrapeLayout = new QVBoxLayout(scrapeGroup);
    scrapeLayout->addWidget(m_scanImages);
    scrapeLayout->addWidget(m_scanLinks);
    scrapeLayout->addWidget(m_imagesAsShown);
    scrapeLayout->addWidget(m_classicScan);

    linkedPagesGroup = named(new QGroupBox(tr("Harvest Linked Pages"), parent), "fraLinkedPages");
    m_followOtherSites =
        named(new QCheckBox(tr("&Follow links to other sites too"), linkedPagesGroup), "chkFollowOtherSites");
    m_followOtherSites->setToolTip(tr("Without it, only pages of the page's own site are read"));
    auto* limitLabel = new QLabel(tr("Linked pages per har&vest:"), linkedPagesGroup);
    m_linkedPagesLimit = named(new QSpinBox(linkedPagesGroup), "spnLinkedPages");
    m_linkedPagesLimit->setRange(1, 1000);
    limitLabel->setBuddy(m_linkedPagesLimit);
    auto* linkedLayout = new QHBoxLayout(linkedPagesGroup);
    linkedLayout->addWidget(m_followOtherSites);
    linkedLayout->addStretch();
    linkedLayout->addWidget(limitLabel);
    linkedLayout->addWidget(m_linkedPagesLimit);

    // At least one kind of item is always scanned.
    QObject::connect(m_scanImages, &QCheckBox::stateChanged, scrapeGroup, [this] {
        if (!isTicked(m_scanImages))
            setTicked(m_scanLinks, true);
    });
    QObject::connect(m_scanLinks, &QCheckBox::stateChanged, scrapeGroup, [this] {
        if (!isTicked(m_scanLinks))
            setTicked(m_scanImages, true);
    });
    // The classic rules take each image's src: there is no version to choose.
    QObject::connect(m_classicScan, &QCheckBox::stateChanged, scrapeGroup,
                     [this] { m_imagesAsShown->setEnabled(!isTicked(m_classicScan)); });
}

void ScanningOptions::load(const Settings& settings)
{
    extensions->setText(settings.extensions);
    setTicked(m_scanLinks, settings.scanLinks);
    setTicked(m_scanImages, settings.scanImages);
    setTicked(m_imagesAsShown, settings.imagesAsShown);
    setTicked(m_classicScan, settings.classicScan);
    m_imagesAsShown->setEnabled(!settings.classicScan);
    setTicked(m_followOtherSites, settings.followOtherSites);
    m_linkedPagesLimit->setValue(settings.linkedPagesLimit);
}

void ScanningOptions::save(Settings& settings) const
{
    settings.extensions = extensions->text();
    settings.scanLinks = isTicked(m_scanLinks);
    settings.scanImages = isTicked(m_scanImages);
    settings.imagesAsShown = isTicked(m_imagesAsShown);
    settings.classicScan = isTicked(m_classicScan);
    settings.followOtherSites = isTicked(m_followOtherSites);
    settings.linkedPagesLimit = m_linkedPagesLimit->value();
}

}  // namespace pm
