#pragma once
// F1 in a window: the user guide opens in the main window's browser at the
// section about that window. The window says which section; the main window
// opens it.

#include <QAction>
#include <QKeySequence>
#include <QWidget>

#include <functional>

namespace pm {

inline void addHelpKey(QWidget* window, std::function<void()> onHelp)
{
    auto* help = new QAction(window);
    help->setObjectName(QStringLiteral("actHelp"));
    help->setShortcut(QKeySequence::HelpContents);
    help->setShortcutContext(Qt::WindowShortcut);
    window->addAction(help);
    QObject::connect(help, &QAction::triggered, window, std::move(onHelp));
}

}  // namespace pm
