#include "common/interaction.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace pm {

namespace {
Interaction* g_current = nullptr;

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

std::optional<QString> runFileDialog(QWidget* parent, const FileDialogRequest& request, bool save)
{
    QFileDialog dialog(parent, request.caption);
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

Interaction& interaction()
{
    static QtInteraction qtInteraction;
    return g_current ? *g_current : qtInteraction;
}

void setInteraction(Interaction* replacement)
{
    g_current = replacement;
}

bool QtInteraction::askYesNo(QWidget* parent, const QString& title, const QString& text, MessageIcon icon)
{
    QMessageBox box(toQt(icon), title, text, QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

void QtInteraction::inform(QWidget* parent, const QString& title, const QString& text, MessageIcon icon)
{
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok, parent);
    box.exec();
}

std::optional<QString> QtInteraction::openFileName(QWidget* parent, const FileDialogRequest& request)
{
    return runFileDialog(parent, request, false);
}

std::optional<QString> QtInteraction::saveFileName(QWidget* parent, const FileDialogRequest& request)
{
    return runFileDialog(parent, request, true);
}

std::optional<QString> QtInteraction::promptText(QWidget* parent, const QString& title, const QString& prompt,
                                                 const QString& initial)
{
    bool ok = false;
    const QString text = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, initial, &ok);
    return ok ? std::optional<QString>(text) : std::nullopt;
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
