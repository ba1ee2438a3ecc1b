#include "tests/support/scriptedinteraction.h"

namespace pm::test {

namespace {
template <typename T>
T next(QQueue<T>& answers, const T& otherwise)
{
    return answers.isEmpty() ? otherwise : answers.dequeue();
}
}  // namespace

int ScriptedInteraction::count(const QString& kind) const
{
    return int(std::count_if(asked.begin(), asked.end(), [&](const AskedQuestion& q) { return q.kind == kind; }));
}

bool ScriptedInteraction::askYesNo(const QString& title, const QString& text, MessageIcon icon)
{
    asked.append({QStringLiteral("yesno"), title, text, icon});
    if (onQuestion)
        onQuestion();
    return next(yesNoAnswers, false);
}

void ScriptedInteraction::inform(const QString& title, const QString& text, MessageIcon icon)
{
    asked.append({QStringLiteral("inform"), title, text, icon});
}

std::optional<QString> ScriptedInteraction::openFileName(const FileDialogRequest& request)
{
    asked.append({QStringLiteral("open"), request.caption, request.initialName});
    return next(fileAnswers, std::optional<QString>());
}

std::optional<QString> ScriptedInteraction::saveFileName(const FileDialogRequest& request)
{
    asked.append({QStringLiteral("save"), request.caption, request.initialName});
    return next(fileAnswers, std::optional<QString>());
}

std::optional<QString> ScriptedInteraction::existingFolder(const FolderDialogRequest& request)
{
    asked.append({QStringLiteral("folder"), request.caption, request.initialFolder});
    return next(fileAnswers, std::optional<QString>());
}

std::optional<QString> ScriptedInteraction::promptText(const QString& title, const QString& prompt, const QString&)
{
    asked.append({QStringLiteral("prompt"), title, prompt});
    return next(promptAnswers, std::optional<QString>());
}

}  // namespace pm::test
