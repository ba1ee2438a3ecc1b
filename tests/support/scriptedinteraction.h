#pragma once
// Answers the program's questions and dialogs from a script, and records
// every one that was asked, so no test ever blocks on a real dialog.

#include "core/userinteraction.h"

#include <QList>
#include <QQueue>
#include <QString>

namespace pm::test {

struct AskedQuestion {
    QString kind;  // "yesno", "inform", "open", "save", "folder", "prompt", "signin"
    QString title;
    QString text;
    MessageIcon icon = MessageIcon::None;
};

class ScriptedInteraction : public UserInteraction {
public:
    // Scripted answers, used in order. A question without one is answered
    // No / cancelled.
    QQueue<bool> yesNoAnswers;
    QQueue<std::optional<QString>> fileAnswers;  // file and folder dialogs
    QQueue<std::optional<QString>> promptAnswers;
    QQueue<std::optional<SignIn>> signInAnswers;
    QString clipboard;
    QList<AskedQuestion> asked;

    int count(const QString& kind) const
    {
        return int(std::count_if(asked.begin(), asked.end(), [&](const AskedQuestion& q) { return q.kind == kind; }));
    }

    bool askYesNo(const QString& title, const QString& text, MessageIcon icon) override
    {
        asked.append({QStringLiteral("yesno"), title, text, icon});
        return !yesNoAnswers.isEmpty() && yesNoAnswers.dequeue();
    }
    void inform(const QString& title, const QString& text, MessageIcon icon) override
    {
        asked.append({QStringLiteral("inform"), title, text, icon});
    }
    std::optional<QString> openFileName(const FileDialogRequest& request) override
    {
        return answer(fileAnswers, "open", request.caption, request.initialName);
    }
    std::optional<QString> saveFileName(const FileDialogRequest& request) override
    {
        return answer(fileAnswers, "save", request.caption, request.initialName);
    }
    std::optional<QString> existingFolder(const FolderDialogRequest& request) override
    {
        return answer(fileAnswers, "folder", request.caption, request.initialFolder);
    }
    std::optional<QString> promptText(const QString& title, const QString& prompt, const QString&) override
    {
        return answer(promptAnswers, "prompt", title, prompt);
    }
    std::optional<SignIn> askSignIn(const QString& server, const QString& realm) override
    {
        asked.append({QStringLiteral("signin"), server, realm});
        return signInAnswers.isEmpty() ? std::nullopt : signInAnswers.dequeue();
    }
    QString clipboardText() override { return clipboard; }
    void setClipboardText(const QString& text) override { clipboard = text; }

private:
    std::optional<QString> answer(QQueue<std::optional<QString>>& answers, const char* kind, const QString& title,
                                  const QString& text)
    {
        asked.append({QLatin1String(kind), title, text});
        return answers.isEmpty() ? std::nullopt : answers.dequeue();
    }
};

}  // namespace pm::test
