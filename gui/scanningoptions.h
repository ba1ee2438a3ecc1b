#pragma once
// The Other page's options for what a scan of a page lists: the file
// extensions, whether linked and embedded items count, and by which rules;
// and which pages Harvest Linked Pages reads.

#include <QCoreApplication>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QWidget;

namespace pm {

class Settings;

class ScanningOptions {
    Q_DECLARE_TR_FUNCTIONS(pm::ScanningOptions)
public:
    explicit ScanningOptions(QWidget* parent);

    void load(const Settings& settings);
    void save(Settings& settings) const;

    // Where the page places them.
    QLabel* extensionsLabel;
    QLineEdit* extensions;
    QGroupBox* scrapeGroup;
    QGroupBox* linkedPagesGroup;

private:
    QCheckBox* m_scanImages;
    QCheckBox* m_scanLinks;
    QCheckBox* m_classicScan;
    QCheckBox* m_imagesAsShown;
    QCheckBox* m_followOtherSites;
    QSpinBox* m_linkedPagesLimit;
};

}  // namespace pm
