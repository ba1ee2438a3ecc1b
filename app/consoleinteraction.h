#pragma once
// The interaction seam of a run without a window: no dialog ever opens.
// Questions are answered Yes when the command line says so (--yes);
// otherwise the question is printed, answered No, and the run is told that
// an answer was needed, so it can end with a clear message. Messages go to
// standard error.

#include "core/userinteraction.h"

#include <QCoreApplication>

#include <functional>

namespace pm {

class ConsoleInteraction : public UserInteraction {
    Q_DECLARE_TR_FUNCTIONS(ConsoleInteraction)
public:
    explicit ConsoleInteraction(bool answerYes) : m_answerYes(answerYes) {}

    // Called after a question went unanswered (it has been printed).
    void setUnansweredHandler(std::function<void()> handler) { m_unanswered = std::move(handler); }
    bool questionUnanswered() const { return m_unansweredCount > 0; }

    bool askYesNo(const QString& title, const QString& text, MessageIcon icon) override;
    void inform(const QString& title, const QString& text, MessageIcon icon) override;
    std::optional<QString> openFileName(const FileDialogRequest& request) override;
    std::optional<QString> saveFileName(const FileDialogRequest& request) override;
    std::optional<QString> existingFolder(const FolderDialogRequest& request) override;
    std::optional<QString> promptText(const QString& title, const QString& prompt, const QString& initial) override;
    // Told, not asked: the download that wanted it fails, and the run goes
    // on.
    std::optional<SignIn> askSignIn(const QString& server, const QString& realm) override;
    QString clipboardText() override { return m_clipboard; }
    void setClipboardText(const QString& text) override { m_clipboard = text; }

private:
    void unanswered(const QString& title, const QString& text);

    bool m_answerYes;
    int m_unansweredCount = 0;
    std::function<void()> m_unanswered;
    QString m_clipboard;  // a run's own; the desktop's is not touched
};

}  // namespace pm
