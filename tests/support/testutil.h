#pragma once
// Helpers shared by the tests: a fresh settings record over a temporary
// program folder, and reading files back.

#include "settings/settings.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace pm::test {

// A temporary program folder with settings() reset to the process-start
// values, strG_AppPath set and the activity log inside the folder.
class FreshSettings {
public:
    FreshSettings()
    {
        settings() = Settings{};
        settings().strG_AppPath = dir.path();
        settings().strG_IniFileName = path(QStringLiteral("Pullmark.ini"));
    }
    ~FreshSettings() { settings() = Settings{}; }

    QString path(const QString& name) const { return dir.path() + QDir::separator() + name; }
    // Logs into the folder: <folder>/test.log
    void logHere() { settings().strG_LogFileName = path(QStringLiteral("test.log")); }
    QStringList logMessages() const;  // the text after the tab of each log line

    QTemporaryDir dir;
};

QByteArray readAll(const QString& fileName);
void writeFile(const QString& fileName, const QByteArray& bytes);
// The lines of a CR LF text (without the line ends; no empty last entry).
QStringList crlfLines(const QByteArray& bytes);

}  // namespace pm::test
