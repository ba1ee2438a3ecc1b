#pragma once
// Answers the program's questions and dialogs from a script, and records
// every one that was asked, so no test ever blocks on a real dialog.

#include "core/userinteraction.h"

#include <QList>
#include <QQueue>
#include <QString>

#include <functional>

namespace pm::test {

struct AskedQuestion {
    QString kind;  // "yesno", "inform", "open", "save", "folder", "prompt"
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
    QString clipboard;
    QList<AskedQuestion> asked;
    // Runs while a question is open, before it is answered.
    std::function<void()> onQuestion;

    int count(const QString& kind) const;

    bool askYesNo(const QString& title, const QString& text, MessageIcon icon) override;
    void inform(const QString& title, const QString& text, MessageIcon icon) override;
    std::optional<QString> openFileName(const FileDialogRequest& request) override;
    std::optional<QString> saveFileName(const FileDialogRequest& request) override;
    std::optional<QString> existingFolder(const FolderDialogRequest& request) override;
    std::optional<QString> promptText(const QString& title, const QString& prompt, const QString& initial) override;
    QString clipboardText() override { return clipboard; }
    void setClipboardText(const QString& text) override { clipboard = text; }
};

}  // namespace pm::test
