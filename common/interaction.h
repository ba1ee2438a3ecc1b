#pragma once
// Every modal interaction with the user goes through this seam: message
// boxes, questions, file dialogs, the text prompt and the clipboard. The
// program installs QtInteraction; tests install a scripted one.

#include <QString>
#include <optional>

class QWidget;

namespace pm {

enum class MessageIcon { None, Information, Question, Warning, Critical };

// What a file dialog is asked to do.
struct FileDialogRequest {
    QString caption;
    QString filter;         // e.g. "INI File (*.ini)"
    QString defaultSuffix;  // without the dot
    QString initialName;    // full file name shown first
};

class Interaction {
public:
    virtual ~Interaction() = default;

    // Yes/No question; true for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& title, const QString& text, MessageIcon icon) = 0;
    // Message with only an OK button.
    virtual void inform(QWidget* parent, const QString& title, const QString& text, MessageIcon icon) = 0;
    // Open dialog whose file must exist; nullopt when the user cancels.
    virtual std::optional<QString> openFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    // Save dialog whose folder must exist and that confirms replacing a file.
    virtual std::optional<QString> saveFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    // One-line text prompt; nullopt when cancelled.
    virtual std::optional<QString> promptText(QWidget* parent, const QString& title, const QString& prompt,
                                              const QString& initial) = 0;
    virtual QString clipboardText() = 0;
    virtual void setClipboardText(const QString& text) = 0;
};

// The interaction in force. Never null: the Qt one until another is set.
Interaction& interaction();
// Installs `replacement` (nullptr restores the Qt one). The caller keeps ownership.
void setInteraction(Interaction* replacement);

// The real dialogs and clipboard.
class QtInteraction : public Interaction {
public:
    bool askYesNo(QWidget* parent, const QString& title, const QString& text, MessageIcon icon) override;
    void inform(QWidget* parent, const QString& title, const QString& text, MessageIcon icon) override;
    std::optional<QString> openFileName(QWidget* parent, const FileDialogRequest& request) override;
    std::optional<QString> saveFileName(QWidget* parent, const FileDialogRequest& request) override;
    std::optional<QString> promptText(QWidget* parent, const QString& title, const QString& prompt,
                                      const QString& initial) override;
    QString clipboardText() override;
    void setClipboardText(const QString& text) override;
};

}  // namespace pm
