#pragma once
// Where one entry's download goes, and whether it is saved at all: the file
// it is saved as, the duplicate-name rule, the size rule, the refusal of the
// program's own files and what the download archive knows. The found list's
// prediction, the queue worker and the download task all decide here, each
// at its stage, so that what the list promises is what a session does.
//
// The rules, in the order they apply:
//   before fetching, from the address alone (beforeFetch):
//     downloaded before  "Skip files already downloaded" and the archive has the address
//     refused            the address ends in "." or "..", or is no http(s) address
//     skipped            the Skip rule and a file of the address's name
//     refused            that name is one of the program's own files (but under Rename)
//   once the answer's headers are known, under the saved name (onAnswer):
//     skipped, refused   as above, when the server names the file otherwise
//   once the whole answer came (onBody):
//     too small          the size rule
//     identical          "Keep the existing file" and the archive has a file of the same content
//     refused            the Rename rule found no free name, or only one of the program's own files
//     saved              as the target, numbered under Rename when it is taken

#include "core/diagnostics/errors.h"
#include "core/download/filenames.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace pm {

class DownloadArchive;
class Settings;

// A size as the rules read it: a Content-Length text (blanks aside) or a
// byte count. nullopt when it is unknown or no number.
std::optional<double> sizeValue(const QVariant& size);
// The same for a step that fails: a size that is unknown or no number is a
// type mismatch.
double sizeNumber(const QVariant& size);

// The target's free name under the "Rename" rule: the target itself if free,
// else the counter put before the last "." of the target's file name (a.jpg:
// a0.jpg, a1.jpg, ...); a name without "." takes the counter at its end.
QString renamedTarget(const QString& target);

// Whether saving a download as `target` would replace one of the files the
// program itself writes: the configuration file in use, its backup and
// journal, the activity log, the CSV log or the download archive's files.
// Folders are compared as the file system resolves them, and a program file
// that is a link counts under the name it points to as well.
bool isProgramFile(const QString& target, const Settings& settings);

// The same question for many targets in a row, as a session asks it for
// every entry: the program's files and their links are resolved once, so
// that a target whose name is none of theirs costs no system call. They are
// resolved again when the settings name other files, and when the last
// resolution is more than a second old, so that a file replaced by a link
// meanwhile is seen soon.
class ProgramFiles {
public:
    explicit ProgramFiles(const Settings& settings) : m_settings(settings) {}
    bool contains(const QString& target) const;

private:
    struct Known {
        QString name;  // the file name a target must have to be this file
        QString path;  // the path of that folder entry, folder resolved
    };
    void resolveIfStale() const;

    const Settings& m_settings;
    // The settings' names the files were resolved for.
    mutable QString m_configurationFile;
    mutable QString m_logFile;
    mutable QString m_archiveFile;
    mutable QList<Known> m_known;
    mutable QElapsedTimer m_resolved;
};

// What the rules decide for an entry at one stage.
struct TargetDecision {
    enum Kind {
        Go,            // go on: fetch, read on, or save as `target`
        SkipArchived,  // downloaded before, as `target`, and such addresses are skipped
        SkipExisting,  // the Skip rule, and `target` exists
        TooSmall,      // below the size rule; `target` is the file it would have been
        Identical,     // `target` has the same content and is kept instead
        Refused,       // `error` tells why; nothing is written
    };
    Kind kind = Go;
    QString target;
    RuntimeError error;
    qint64 archivedBytes = -1;    // SkipArchived: the size the archive records
    bool renamed = false;         // Go after the body: `target` is the Rename rule's numbered name
    bool sizeUnreadable = false;  // the size rule met a size that is no number; the rules go on as if it passed
};

class TargetRules {
public:
    // All must outlive the rules; `archive` may be nullptr, and so may
    // `ownFiles`, which the rules then resolve at each question.
    TargetRules(const Settings& settings, const DownloadArchive* archive, const ProgramFiles* ownFiles = nullptr);

    // The file in the output folder called `name`.
    QString targetFor(const QString& name) const;
    // The file a download of `url` is saved as, as far as the address
    // tells (the entry's address before any answer came).
    QString addressTarget(const QString& url) const;

    TargetDecision beforeFetch(const QString& url) const;
    // `answer` is that of the response whose body is the file.
    TargetDecision onAnswer(const QString& url, const ServerAnswer& answer) const;
    // `target` is the one onAnswer() gave; `size` the Content-Length text or
    // the bytes received (invalid: unknown, the size rule passes); `sameAs`
    // the archived file with the same content, if any.
    TargetDecision onBody(const QString& target, const QVariant& size, const QString& sameAs) const;

    // The archived file still on disk with exactly this content; "" when
    // none (or no archive).
    QString sameContentFile(const QByteArray& sha256, qint64 bytes) const;
    // Before downloading the content is unknown: an archived file is likely
    // the same when it is on disk with the answer's size and bears one of
    // the entry's names (of the address, the final address or `savedName`).
    QString likelyCopy(const QString& url, const QString& finalUrl, const QString& savedName, qint64 size) const;

private:
    // The Skip rule and the program's own files, for a name known now.
    TargetDecision byName(const QString& name) const;
    bool isOwnFile(const QString& target) const;

    const Settings& m_settings;
    const DownloadArchive* m_archive;
    const ProgramFiles* m_ownFiles;
};

}  // namespace pm
