#include "gui/qtinteraction.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

namespace pm {

namespace {
QWidget* dialogParent()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

QMessageBox::Icon toQt(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Critical: return QMessageBox::Critical;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

std::optional<QString> runFileDialog(const FileDialogRequest& request, bool save)
{
    QFileDialog dialog(dialogParent(), request.caption);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Open: the file must exist. Save: the folder must exist (the dialog
    // refuses others) and replacing a file is confirmed (the default).
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(request.filter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.selectFile(request.initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}
}  // namespace

bool QtInteraction::askYesNo(const QString& title, const QString& text, MessageIcon icon)
{
    QMessageBox box(toQt(icon), title, text, QMessageBox::Yes | QMessageBox::No, dialogParent());
    return box.exec() == QMessageBox::Yes;
}

void QtInteraction::inform(const QString& title, const QString& text, MessageIcon icon)
{
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok, dialogParent());
    box.exec();
}

std::optional<QString> QtInteraction::openFileName(const FileDialogRequest& request)
{
    return runFileDialog(request, false);
}

std::optional<QString> QtInteraction::saveFileName(const FileDialogRequest& request)
{
    return runFileDialog(request, true);
}

std::optional<QString> QtInteraction::existingFolder(const FolderDialogRequest& request)
{
    const QString folder = QFileDialog::getExistingDirectory(dialogParent(), request.caption, request.initialFolder);
    return folder.isEmpty() ? std::nullopt : std::optional<QString>(QDir::toNativeSeparators(folder));
}

std::optional<QString> QtInteraction::promptText(const QString& title, const QString& prompt, const QString& initial)
{
    bool ok = false;
    const QString text = QInputDialog::getText(dialogParent(), title, prompt, QLineEdit::Normal, initial, &ok);
    return ok ? std::optional<QString>(text) : std::nullopt;
}

std::optional<SignIn> QtInteraction::askSignIn(const QString& server, const QString& realm)
{
    auto tr = [](const char* text) { return QCoreApplication::translate("pm::QtInteraction", text); };
    QDialog dialog(dialogParent());
    dialog.setObjectName(QStringLiteral("dlgSignIn"));
    dialog.setWindowTitle(tr("Sign In"));
    // The realm is the server's text: shown as it is, never as markup.
    auto* text = new QLabel(tr("%1 asks for a user name and password for \"%2\".").arg(server, realm), &dialog);
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    auto* user = new QLineEdit(&dialog);
    user->setObjectName(QStringLiteral("txtUser"));
    auto* password = new QLineEdit(&dialog);
    password->setObjectName(QStringLiteral("txtPassword"));
    password->setEchoMode(QLineEdit::Password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* form = new QFormLayout(&dialog);
    form->addRow(text);
    form->addRow(tr("&User name:"), user);
    form->addRow(tr("&Password:"), password);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return SignIn{user->text(), password->text()};
}

QString QtInteraction::clipboardText()
{
    return QGuiApplication::clipboard()->text();
}

void QtInteraction::setClipboardText(const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
}

}  // namespace pm
