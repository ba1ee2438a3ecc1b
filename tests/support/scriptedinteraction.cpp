#include "tests/support/scriptedinteraction.h"

namespace pm::test {

int ScriptedInteraction::count(const QString& kind) const
{
    int n = 0;
    for (const AskedQuestion& q : asked)
        n += q.kind == kind ? 1 : 0;
    return n;
}

bool ScriptedInteraction::askYesNo(QWidget*, const QString& title, const QString& text, MessageIcon icon)
{
    asked.append({QStringLiteral("yesno"), title, text, icon, {}});
    if (yesNoAnswers.isEmpty()) {
        ++unexpected;
        return false;
    }
    return yesNoAnswers.dequeue();
}

void ScriptedInteraction::inform(QWidget*, const QString& title, const QString& text, MessageIcon icon)
{
    asked.append({QStringLiteral("inform"), title, text, icon, {}});
}

std::optional<QString> ScriptedInteraction::openFileName(QWidget*, const FileDialogRequest& request)
{
    asked.append({QStringLiteral("open"), request.caption, {}, MessageIcon::None, request});
    if (fileAnswers.isEmpty()) {
        ++unexpected;
        return std::nullopt;
    }
    return fileAnswers.dequeue();
}

std::optional<QString> ScriptedInteraction::saveFileName(QWidget*, const FileDialogRequest& request)
{
    asked.append({QStringLiteral("save"), request.caption, {}, MessageIcon::None, request});
    if (fileAnswers.isEmpty()) {
        ++unexpected;
        return std::nullopt;
    }
    return fileAnswers.dequeue();
}

std::optional<QString> ScriptedInteraction::promptText(QWidget*, const QString& title, const QString& prompt,
                                                       const QString&)
{
    asked.append({QStringLiteral("prompt"), title, prompt, MessageIcon::None, {}});
    if (promptAnswers.isEmpty()) {
        ++unexpected;
        return std::nullopt;
    }
    return promptAnswers.dequeue();
}

}  // namespace pm::test
