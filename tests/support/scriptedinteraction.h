#pragma once
// Answers the program's questions and dialogs from a script, and records
// every one that was asked, so no test ever blocks on a real dialog.

#include "common/interaction.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

namespace pm::test {

struct AskedQuestion {
    QString kind;  // "yesno", "inform", "open", "save", "prompt"
    QString title;
    QString text;
    MessageIcon icon = MessageIcon::None;
    FileDialogRequest fileRequest;
};

class ScriptedInteraction : public Interaction {
public:
    ScriptedInteraction() { setInteraction(this); }
    ~ScriptedInteraction() override { setInteraction(nullptr); }

    // Scripted answers, used in order. A question without a scripted answer
    // is answered No / cancelled and recorded as unexpected.
    QQueue<bool> yesNoAnswers;
    QQueue<std::optional<QString>> fileAnswers;
    QQueue<std::optional<QString>> promptAnswers;
    QString clipboard;

    QList<AskedQuestion> asked;
    int unexpected = 0;

    int count(const QString& kind) const;

    bool askYesNo(QWidget*, const QString& title, const QString& text, MessageIcon icon) override;
    void inform(QWidget*, const QString& title, const QString& text, MessageIcon icon) override;
    std::optional<QString> openFileName(QWidget*, const FileDialogRequest& request) override;
    std::optional<QString> saveFileName(QWidget*, const FileDialogRequest& request) override;
    std::optional<QString> promptText(QWidget*, const QString& title, const QString& prompt,
                                      const QString& initial) override;
    QString clipboardText() override { return clipboard; }
    void setClipboardText(const QString& text) override { clipboard = text; }
};

}  // namespace pm::test
