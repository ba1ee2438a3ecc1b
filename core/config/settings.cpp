#include "core/config/settings.h"

namespace pm {

ErrorMode Settings::errorMode() const
{
    if (errorModeText == QLatin1String("Abort"))
        return ErrorMode::Abort;
    if (errorModeText == QLatin1String("Prompt"))
        return ErrorMode::Prompt;
    return ErrorMode::CarryOn;
}

DuplicateRule Settings::duplicateRule() const
{
    if (duplicateRuleText == QLatin1String("Skip"))
        return DuplicateRule::Skip;
    if (duplicateRuleText == QLatin1String("Rename"))
        return DuplicateRule::Rename;
    return DuplicateRule::Overwrite;
}

StartPage Settings::startPage() const
{
    if (startPageText.compare(QLatin1String("home"), Qt::CaseInsensitive) == 0)
        return StartPage::Home;
    if (startPageText.compare(QLatin1String("last"), Qt::CaseInsensitive) == 0)
        return StartPage::LastVisited;
    return StartPage::None;
}

void Settings::setErrorMode(ErrorMode mode)
{
    switch (mode) {
    case ErrorMode::CarryOn: errorModeText = QStringLiteral("Resume"); break;
    case ErrorMode::Abort: errorModeText = QStringLiteral("Abort"); break;
    case ErrorMode::Prompt: errorModeText = QStringLiteral("Prompt"); break;
    }
}

void Settings::setDuplicateRule(DuplicateRule rule)
{
    switch (rule) {
    case DuplicateRule::Overwrite: duplicateRuleText = QStringLiteral("Overwrite"); break;
    case DuplicateRule::Rename: duplicateRuleText = QStringLiteral("Rename"); break;
    case DuplicateRule::Skip: duplicateRuleText = QStringLiteral("Skip"); break;
    }
}

void Settings::setStartPage(StartPage page)
{
    switch (page) {
    case StartPage::Home: startPageText = QStringLiteral("Home"); break;
    case StartPage::LastVisited: startPageText = QStringLiteral("Last"); break;
    case StartPage::None: startPageText.clear(); break;
    }
}

}  // namespace pm
