#include "app/consoleinteraction.h"

#include "app/commandline.h"

#include <cstdio>

namespace pm {

namespace {
QString oneLine(const QString& title, const QString& text)
{
    return QStringLiteral("pullmark: %1: %2\n").arg(title, QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
}
}  // namespace

bool ConsoleInteraction::askYesNo(const QString& title, const QString& text, MessageIcon)
{
    if (m_answerYes) {
        printText(stderr, oneLine(title, text + QLatin1Char(' ') + tr("Yes (--yes).")));
        return true;
    }
    unanswered(title, text);
    return false;
}

void ConsoleInteraction::inform(const QString& title, const QString& text, MessageIcon)
{
    printText(stderr, oneLine(title, text));
}

void ConsoleInteraction::unanswered(const QString& title, const QString& text)
{
    printText(stderr, oneLine(title, text)
                          + tr("pullmark: this needs an answer, and there is no one to ask: run again with --yes "
                               "to answer Yes.\n"));
    ++m_unansweredCount;
    if (m_unanswered)
        m_unanswered();
}

std::optional<QString> ConsoleInteraction::openFileName(const FileDialogRequest& request)
{
    unanswered(request.caption, request.initialName);
    return std::nullopt;
}

std::optional<QString> ConsoleInteraction::saveFileName(const FileDialogRequest& request)
{
    unanswered(request.caption, request.initialName);
    return std::nullopt;
}

std::optional<QString> ConsoleInteraction::existingFolder(const FolderDialogRequest& request)
{
    unanswered(request.caption, request.initialFolder);
    return std::nullopt;
}

std::optional<QString> ConsoleInteraction::promptText(const QString& title, const QString& prompt, const QString&)
{
    unanswered(title, prompt);
    return std::nullopt;
}

std::optional<SignIn> ConsoleInteraction::askSignIn(const QString& server, const QString& realm)
{
    printText(stderr, oneLine(tr("Sign In"), tr("%1 asks for a user name and password for \"%2\"; a run without a "
                                                "window cannot give them.")
                                                 .arg(server, realm)));
    return std::nullopt;
}

}  // namespace pm
