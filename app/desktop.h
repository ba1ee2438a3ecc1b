#pragma once
// What makes the program a desktop application beyond its windows: its icon
// and the translations for the user's language.

#include <QIcon>

class QCoreApplication;

namespace pm {

// The program's icon in every size it is drawn in.
QIcon applicationIcon();

// Installs the program's translation for the system's language from the
// install's translations folder, and Qt's own from Qt's, when they exist.
// A language without a translation keeps the English texts.
void installTranslations(QCoreApplication& app);

// "major.minor.patch" of this build.
QString versionText();

}  // namespace pm
