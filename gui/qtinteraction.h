#pragma once
// The real dialogs and clipboard behind the interaction seam. Each box is
// owned by the window that is active when it opens, so it stays in front of
// the window the user works in.

#include "core/userinteraction.h"

namespace pm {

class QtInteraction : public UserInteraction {
public:
    bool askYesNo(const QString& title, const QString& text, MessageIcon icon) override;
    void inform(const QString& title, const QString& text, MessageIcon icon) override;
    std::optional<QString> openFileName(const FileDialogRequest& request) override;
    std::optional<QString> saveFileName(const FileDialogRequest& request) override;
    std::optional<QString> existingFolder(const FolderDialogRequest& request) override;
    std::optional<QString> promptText(const QString& title, const QString& prompt, const QString& initial) override;
    std::optional<SignIn> askSignIn(const QString& server, const QString& realm) override;
    QString clipboardText() override;
    void setClipboardText(const QString& text) override;
};

}  // namespace pm
