#pragma once
// Every modal interaction with the user goes through this seam: message
// boxes, questions, file dialogs, the text prompt, the sign-in prompt and
// the clipboard. The program passes a Qt implementation; tests pass a
// scripted one.

#include <QString>

#include <optional>

namespace pm {

enum class MessageIcon { None, Information, Question, Warning, Critical };

// What a file dialog is asked to do.
struct FileDialogRequest {
    QString caption;
    QString filter;         // e.g. "INI File (*.ini)"
    QString defaultSuffix;  // without the dot
    QString initialName;    // full file name shown first
};

// A user name and password for a server that asks for them.
struct SignIn {
    QString user;
    QString password;
};

// What a folder dialog is asked to do.
struct FolderDialogRequest {
    QString caption;
    QString initialFolder;  // shown first
};

class UserInteraction {
public:
    virtual ~UserInteraction() = default;

    // Yes/No question; true for Yes.
    virtual bool askYesNo(const QString& title, const QString& text, MessageIcon icon) = 0;
    // Message with only an OK button.
    virtual void inform(const QString& title, const QString& text, MessageIcon icon) = 0;
    // Open dialog whose file must exist; nullopt when the user cancels.
    virtual std::optional<QString> openFileName(const FileDialogRequest& request) = 0;
    // Save dialog whose folder must exist and that confirms replacing a file.
    virtual std::optional<QString> saveFileName(const FileDialogRequest& request) = 0;
    // The system's dialog for choosing an existing folder; nullopt when the
    // user cancels.
    virtual std::optional<QString> existingFolder(const FolderDialogRequest& request) = 0;
    // One-line text prompt; nullopt when cancelled.
    virtual std::optional<QString> promptText(const QString& title, const QString& prompt, const QString& initial) = 0;
    // The user name and password `server` asks for to enter `realm` (the
    // name the server gives the protected area); nullopt when cancelled.
    virtual std::optional<SignIn> askSignIn(const QString& server, const QString& realm) = 0;
    virtual QString clipboardText() = 0;
    virtual void setClipboardText(const QString& text) = 0;
};

}  // namespace pm
