#include "gui/downloadoptions.h"

#include "core/config/settings.h"
#include "core/diagnostics/errors.h"
#include "core/diagnostics/errorscope.h"
#include "core/textutil.h"
#include "gui/settingspage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cfloat>
#include <cmath>

namespace pm {

QString minimumSizeText(float size)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const double value = size;
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
        return locale.toString(qint64(value));
    return locale.toString(value, 'g', 7);
}

float minimumSizeFromText(const QString& text)
{
    const std::optional<double> value = parseNumber(text);
    if (!value || !std::isfinite(*value))
        throw RuntimeError::of(ErrTypeMismatch, text);
    if (std::fabs(*value) > FLT_MAX)
        throw RuntimeError::of(ErrOverflow, text);
    return float(*value);
}

DownloadOptions::DownloadOptions(ErrorReporter& errors, QWidget* parent) : m_errors(errors)
{
    m_abort = named(new QRadioButton(tr("&Abort Download")), "OptAbort");
    m_resume = named(new QRadioButton(tr("&Resume")), "OptResume");
    m_prompt = named(new QRadioButton(tr("&Prompt")), "OptPrompt");
    errorGroup = optionGroup(tr("If Error occurs"), "fraError", {m_abort, m_resume, m_prompt}, parent);

    m_overwrite = named(new QRadioButton(tr("&Overwrite")), "optOverWrite");
    m_rename = named(new QRadioButton(tr("Re&name")), "optRename");
    m_skip = named(new QRadioButton(tr("S&kip")), "optSkip");
    duplicateGroup = optionGroup(tr("If File Exists"), "fraFileDup", {m_overwrite, m_rename, m_skip}, parent);

    m_skipSmall = named(new QCheckBox(tr("Only Save Files &larger than"), parent), "chkSaveLarge");
    m_skipSmall->setToolTip(tr("Ignores small items such as icons"));
    m_minimumSize = named(new QLineEdit(parent), "txtFileSize");
    m_minimumSize->setAccessibleName(tr("Minimum size in KB"));
    m_minimumSize->setMaximumWidth(m_minimumSize->fontMetrics().horizontalAdvance(QStringLiteral("000000000")) + 12);
    auto* kbLabel = named(new QLabel(tr("KB"), parent), "lblKB");
    sizeRow = new QHBoxLayout;
    sizeRow->addWidget(m_skipSmall);
    sizeRow->addWidget(m_minimumSize);
    sizeRow->addWidget(kbLabel);
    sizeRow->addStretch();
    askBeforeCreatingBox =
        named(new QCheckBox(tr("Ask &before creating non existing paths"), parent), "chkCreatePath");

    // What the program knows before and after a download.
    m_skipArchived = named(new QCheckBox(tr("Skip files already &downloaded"), parent), "chkSkipArchived");
    m_skipArchived->setToolTip(tr("A work session passes over addresses the download archive holds"));
    m_probe = named(new QCheckBox(tr("&Check found files before downloading"), parent), "chkProbe");
    m_probe->setToolTip(tr("Asks the server for each found file's type and size"));
    knownColumn = new QVBoxLayout;
    knownColumn->addWidget(m_skipArchived);
    knownColumn->addWidget(m_probe);
    knownColumn->addStretch();
    m_keepBoth = named(new QRadioButton(tr("Keep both: &save the new file too")), "optKeepBoth");
    m_keepExisting = named(new QRadioButton(tr("Keep only the e&xisting file")), "optKeepExisting");
    sameContentGroup =
        optionGroup(tr("If the same content exists"), "fraSameContent", {m_keepBoth, m_keepExisting}, parent);

    QObject::connect(m_skipSmall, &QCheckBox::stateChanged, m_minimumSize,
                     [this] { m_minimumSize->setEnabled(isTicked(m_skipSmall)); });
}

void DownloadOptions::load(const Settings& settings)
{
    // An error mode the program does not know selects none; Apply then
    // keeps it.
    const QString& mode = settings.errorModeText;
    selectOption({m_abort, m_resume, m_prompt}, mode == QLatin1String("Abort")    ? m_abort
                                                : mode == QLatin1String("Resume") ? m_resume
                                                : mode == QLatin1String("Prompt") ? m_prompt
                                                                                  : nullptr);
    // The rule the downloads apply, an empty one (Overwrite) included.
    const DuplicateRule rule = settings.duplicateRule();
    selectOption({m_skip, m_rename, m_overwrite}, rule == DuplicateRule::Skip     ? m_skip
                                                  : rule == DuplicateRule::Rename ? m_rename
                                                                                  : m_overwrite);
    setTicked(m_skipSmall, settings.skipSmallFiles);
    m_minimumSize->setText(minimumSizeText(settings.minimumSizeKB));
    m_minimumSize->setEnabled(settings.skipSmallFiles);
    setTicked(askBeforeCreatingBox, settings.askBeforeCreatingFolders);
    setTicked(m_skipArchived, settings.skipArchived);
    setTicked(m_probe, settings.probeFoundFiles);
    selectOption({m_keepBoth, m_keepExisting},
                 settings.sameContentRule() == SameContentRule::KeepExisting ? m_keepExisting : m_keepBoth);
}

void DownloadOptions::save(Settings& settings) const
{
    if (m_abort->isChecked())
        settings.setErrorMode(ErrorMode::Abort);
    else if (m_resume->isChecked())
        settings.setErrorMode(ErrorMode::CarryOn);
    else if (m_prompt->isChecked())
        settings.setErrorMode(ErrorMode::Prompt);
    settings.askBeforeCreatingFolders = isTicked(askBeforeCreatingBox);
    settings.skipSmallFiles = isTicked(m_skipSmall);
    // The values below are written after a report that says "carry on",
    // not after an abort.
    ErrorScope scope(m_errors, QStringLiteral("cmdApplyClick."));
    if (!scope.step([&] { settings.minimumSizeKB = minimumSizeFromText(m_minimumSize->text()); }))
        return;
    settings.skipArchived = isTicked(m_skipArchived);
    settings.probeFoundFiles = isTicked(m_probe);
    settings.sameContent =
        int(m_keepExisting->isChecked() ? SameContentRule::KeepExisting : SameContentRule::KeepBoth);
    settings.setDuplicateRule(m_skip->isChecked()     ? DuplicateRule::Skip
                              : m_rename->isChecked() ? DuplicateRule::Rename
                                                      : DuplicateRule::Overwrite);
}

bool DownloadOptions::askBeforeCreating() const
{
    return isTicked(askBeforeCreatingBox);
}

}  // namespace pm
