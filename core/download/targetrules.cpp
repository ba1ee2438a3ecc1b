#include "core/download/targetrules.h"

#include "core/config/settings.h"
#include "core/diagnostics/csvlog.h"
#include "core/download/downloadarchive.h"
#include "core/download/transfer.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <climits>

namespace pm {

std::optional<double> sizeValue(const QVariant& size)
{
    if (!size.isValid())
        return std::nullopt;
    bool ok = false;
    const double value = size.typeId() == QMetaType::QString ? size.toString().trimmed().toDouble(&ok)
                                                               : size.toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

double sizeNumber(const QVariant& size)
{
    const std::optional<double> value = sizeValue(size);
    if (!value)
        throw RuntimeError::of(ErrTypeMismatch, size.toString());
    return *value;
}

QString renamedTarget(const QString& target)
{
    if (!QFileInfo::exists(target))
        return target;
    const qsizetype nameStart = target.lastIndexOf(QDir::separator()) + 1;
    qsizetype dot = target.lastIndexOf(QLatin1Char('.'));
    if (dot < nameStart)
        dot = target.size();  // no "." in the name: number at the end
    const QString head = target.left(dot);
    const QString tail = target.mid(dot);
    for (qint64 counter = 0; counter <= INT_MAX; ++counter) {
        const QString candidate = head + QString::number(counter) + tail;
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
    throw RuntimeError::of(ErrFileExists, target);
}

namespace {
// The path of the folder entry `path` names: its folder resolved, links and
// all, followed by its own name (a link there is not followed).
QString entryPath(const QString& path)
{
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') + info.fileName();
}

TargetDecision decision(TargetDecision::Kind kind, const QString& target, const RuntimeError& error = {})
{
    TargetDecision result;
    result.kind = kind;
    result.target = target;
    result.error = error;
    return result;
}
}  // namespace

namespace {
// The files the program itself writes, as the settings name them.
QStringList programFileNames(const Settings& settings)
{
    QStringList own;
    if (const QString& ini = settings.configurationFile; !ini.isEmpty())
        own << ini << ini + QStringLiteral(".bak") << ini + QStringLiteral(".journal");
    if (const QString& log = settings.activityLogFile; !log.isEmpty())
        own << log << csvFileNameFor(log);
    if (const QString& archive = settings.archiveFile; !archive.isEmpty())
        own << archive << archive + QStringLiteral("-wal") << archive + QStringLiteral("-shm")
            << archive + QStringLiteral("-journal");
    return own;
}
}  // namespace

bool isProgramFile(const QString& target, const Settings& settings)
{
    return ProgramFiles(settings).contains(target);
}

void ProgramFiles::resolveIfStale() const
{
    if (m_resolved.isValid() && m_resolved.elapsed() < 1000 && m_configurationFile == m_settings.configurationFile
        && m_logFile == m_settings.activityLogFile && m_archiveFile == m_settings.archiveFile)
        return;
    m_configurationFile = m_settings.configurationFile;
    m_logFile = m_settings.activityLogFile;
    m_archiveFile = m_settings.archiveFile;
    m_known.clear();
    for (const QString& file : programFileNames(m_settings)) {
        const QFileInfo info(file);
        m_known.append({info.fileName(), entryPath(file)});
        // A link counts under the name of the file it leads to as well.
        if (const QString linked = info.isSymLink() ? info.canonicalFilePath() : QString(); !linked.isEmpty())
            m_known.append({QFileInfo(linked).fileName(), linked});
    }
    m_resolved.start();
}

bool ProgramFiles::contains(const QString& target) const
{
    resolveIfStale();
    const QString name = QFileInfo(target).fileName();
    QString targetPath;  // resolved only for a target named as one of the files
    for (const Known& known : std::as_const(m_known)) {
        if (known.name != name)
            continue;
        if (targetPath.isEmpty())
            targetPath = entryPath(target);
        if (known.path == targetPath)
            return true;
    }
    return false;
}

TargetRules::TargetRules(const Settings& settings, const DownloadArchive* archive, const ProgramFiles* ownFiles)
    : m_settings(settings), m_archive(archive), m_ownFiles(ownFiles)
{
}

bool TargetRules::isOwnFile(const QString& target) const
{
    return m_ownFiles ? m_ownFiles->contains(target) : isProgramFile(target, m_settings);
}

QString TargetRules::targetFor(const QString& name) const
{
    return m_settings.outputFolder + QDir::separator() + name;
}

QString TargetRules::addressTarget(const QString& url) const
{
    return targetFor(shownFileName(url));
}

TargetDecision TargetRules::byName(const QString& name) const
{
    const QString target = targetFor(name);
    const DuplicateRule rule = m_settings.duplicateRule();
    if (rule == DuplicateRule::Skip && QFileInfo::exists(target))
        return decision(TargetDecision::SkipExisting, target);
    // "Rename" looks after the body, when the numbered name is known.
    if (rule != DuplicateRule::Rename && isOwnFile(target))
        return decision(TargetDecision::Refused, target, RuntimeError::of(ErrOwnFile, target));
    return decision(TargetDecision::Go, target);
}

TargetDecision TargetRules::beforeFetch(const QString& url) const
{
    if (m_settings.skipArchived && m_archive) {
        if (const std::optional<ArchiveRecord> done = m_archive->findByUrl(url)) {
            TargetDecision skipped = decision(TargetDecision::SkipArchived, done->savedPath);
            skipped.archivedBytes = done->size;
            return skipped;
        }
    }
    const std::optional<QString> name = addressFileName(url);
    if (!name)
        return decision(TargetDecision::Refused, addressTarget(url), RuntimeError::of(ErrBadFileName, addressTarget(url)));
    if (const QUrl address(url); !address.isValid() || !Transfer::supportedScheme(address))
        return decision(TargetDecision::Refused, addressTarget(url), RuntimeError::of(ErrUnsupportedScheme, url));
    // An address ending in "/" is named by its answer's type: nothing to
    // check before it comes.
    if (name->isEmpty())
        return decision(TargetDecision::Go, addressTarget(url));
    return byName(*name);
}

TargetDecision TargetRules::onAnswer(const QString& url, const ServerAnswer& answer) const
{
    const std::optional<QString> name = savedFileName(url, answer);
    if (!name)
        return decision(TargetDecision::Refused, addressTarget(url), RuntimeError::of(ErrBadFileName, addressTarget(url)));
    return byName(*name);
}

TargetDecision TargetRules::onBody(const QString& target, const QVariant& size, const QString& sameAs) const
{
    TargetDecision result = decision(TargetDecision::Go, target);
    // The size rule: strictly below the limit is not saved.
    if (m_settings.skipSmallFiles && size.isValid()) {
        const std::optional<double> bytes = sizeValue(size);
        if (!bytes)
            result.sizeUnreadable = true;
        else if (*bytes < double(m_settings.minimumSizeKB * 1024.0f))
            return decision(TargetDecision::TooSmall, target);
    }
    if (!sameAs.isEmpty() && m_settings.sameContentRule() == SameContentRule::KeepExisting) {
        result.kind = TargetDecision::Identical;
        result.target = sameAs;
        return result;
    }
    if (m_settings.duplicateRule() == DuplicateRule::Rename) {
        try {
            result.target = renamedTarget(target);
        } catch (const RuntimeError& error) {
            result.kind = TargetDecision::Refused;
            result.error = error;
            return result;
        }
        result.renamed = result.target != target;
        if (isOwnFile(result.target)) {
            result.kind = TargetDecision::Refused;
            result.error = RuntimeError::of(ErrOwnFile, result.target);
        }
    }
    return result;
}

QString TargetRules::sameContentFile(const QByteArray& sha256, qint64 bytes) const
{
    return m_archive ? existingFileWithContent(*m_archive, sha256, bytes) : QString();
}

QString TargetRules::likelyCopy(const QString& url, const QString& finalUrl, const QString& savedName, qint64 size) const
{
    if (!m_archive || size < 0)
        return {};
    const QStringList names{shownFileName(url), shownFileName(finalUrl), savedName};
    for (const ArchiveRecord& record : m_archive->findBySize(size)) {
        const QFileInfo file(record.savedPath);
        const bool named = names.contains(shownFileName(record.url)) || names.contains(shownFileName(record.finalUrl))
            || names.contains(file.fileName());
        if (named && file.isFile() && file.size() == size)
            return record.savedPath;
    }
    return {};
}

}  // namespace pm
