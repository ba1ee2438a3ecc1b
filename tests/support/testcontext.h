#pragma once
// The program's shared objects over a temporary program folder, with a
// scripted user and the activity log inside the folder; and reading files
// back.

#include "core/appcontext.h"
#include "tests/support/scriptedinteraction.h"

#include <QByteArray>
#include <QDir>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

namespace pm::test {

class TestContext {
public:
    // The folder is made in `parent` when given (say, a memory file system).
    explicit TestContext(const QString& parent = QString());

    QString path(const QString& name) const { return dir.path() + QDir::separator() + name; }
    // The text after the tab of each line of the activity log.
    QStringList logMessages() const;
    QStringList errorLines() const { return logMessages().filter(QRegularExpression(QStringLiteral("^Error #"))); }
    // The rows of the CSV log beside the activity log.
    QStringList csvRows() const;

    QTemporaryDir dir;
    ScriptedInteraction ui;
    AppContext app{ui};
    Settings& settings = app.settings;
};

// A file-size limit (as "ulimit -f" sets) while it lives, with SIGXFSZ
// ignored: a write past it fails with EFBIG, as on a full disk.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous);
        const rlimit limit{bytes, previous.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &previous); }
    rlimit previous{};
};

// A folder nobody may write to while it lives. Root ignores the mode, so as
// root the folder is made immutable instead; `taken` is false where neither
// works (tests skip then).
struct ReadOnlyFolder {
    explicit ReadOnlyFolder(const QString& folder);
    ~ReadOnlyFolder();
    const QString folder;
    bool taken = false;
};

QByteArray readAll(const QString& fileName);
void writeFile(const QString& fileName, const QByteArray& bytes);
// The lines of a CR LF text (without the line ends; no empty last entry).
QStringList crlfLines(const QByteArray& bytes);
// Every file in `folder`, hidden ones included, sorted.
inline QStringList folderFiles(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}
// The queue a configuration file holds.
QStringList storedQueue(const QString& configurationFile);

}  // namespace pm::test
