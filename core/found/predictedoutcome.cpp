#include "core/found/predictedoutcome.h"

#include "core/download/downloadarchive.h"
#include "core/download/downloadtask.h"
#include "core/config/settings.h"
#include "core/textutil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace pm {

namespace {
// The found list's texts, translated like the windows' own.
struct Texts {
    Q_DECLARE_TR_FUNCTIONS(pm::PredictedOutcome)
};

PredictedOutcome outcome(PredictedOutcome::Kind kind, const QString& text, bool greyed)
{
    return {kind, text, greyed, {}};
}

// A file of the archive that is likely the same as the probed one: on disk
// with the probe's size, under one of the entry's names.
QString likelyCopy(const DownloadArchive& archive, const QString& url, const ProbeResult& probe)
{
    const QStringList names{fileNameOf(url), fileNameOf(probe.finalUrl)};
    for (const ArchiveRecord& record : archive.findBySize(probe.size)) {
        const QFileInfo file(record.savedPath);
        const bool named = names.contains(fileNameOf(record.url)) || names.contains(fileNameOf(record.finalUrl))
            || names.contains(file.fileName());
        if (named && file.isFile() && file.size() == probe.size)
            return record.savedPath;
    }
    return {};
}

PredictedOutcome probeFailure(const ProbeResult& probe)
{
    if (!probe.reached())
        return outcome(PredictedOutcome::Fails, Texts::tr("not reachable"), true);
    const int status = probe.status;
    if (status == 404 || status == 410)
        return outcome(PredictedOutcome::Fails, Texts::tr("not found (%1)").arg(status), true);
    const bool mayPass = status == 408 || status == 429 || status == 500 || status == 502 || status == 503 || status == 504;
    return outcome(PredictedOutcome::Fails, Texts::tr("server answered %1").arg(status), !mayPass);
}
}  // namespace

PredictedOutcome predictOutcome(const QString& url, const std::optional<ProbeResult>& probe, const Settings& settings,
                                const DownloadArchive* archive)
{
    const QString name = fileNameOf(url);
    const QString target = settings.outputFolder + QDir::separator() + name;
    const auto byUrl = archive ? archive->findByUrl(url) : std::nullopt;
    const auto byFinalUrl = archive && !byUrl && probe && probe->finalUrl != url ? archive->findByUrl(probe->finalUrl)
                                                                                  : std::nullopt;
    const QString archivedAs = byUrl ? byUrl->savedPath : byFinalUrl ? byFinalUrl->savedPath : QString();
    const bool known = probe && probe->available();
    const QString copy = known && probe->size >= 0 && archive ? likelyCopy(*archive, url, *probe) : QString();
    const bool keepExisting = settings.sameContentRule() == SameContentRule::KeepExisting;
    const DuplicateRule rule = settings.duplicateRule();

    PredictedOutcome result;
    if (settings.skipArchived && byUrl)
        result = outcome(PredictedOutcome::AlreadyDownloaded, Texts::tr("already downloaded"), true);
    else if (!usableFileName(name))
        result = outcome(PredictedOutcome::Fails, Texts::tr("no usable file name"), true);
    else if (rule == DuplicateRule::Skip && QFileInfo::exists(target))
        result = outcome(PredictedOutcome::SkipExists, Texts::tr("will skip: %1 exists").arg(name), true);
    else if (probe && !probe->available())
        result = probeFailure(*probe);
    else if (known && settings.skipSmallFiles && probe->size >= 0
             && double(probe->size) < double(settings.minimumSizeKB * 1024.0f))
        result = outcome(PredictedOutcome::TooSmall, Texts::tr("too small (size rule)"), true);
    else if (!copy.isEmpty() && keepExisting)
        result = outcome(PredictedOutcome::Identical, Texts::tr("identical file exists: %1").arg(QFileInfo(copy).fileName()), true);
    else if (!archivedAs.isEmpty())
        result = outcome(PredictedOutcome::AlreadyDownloaded, Texts::tr("already downloaded"), false);
    else if (!copy.isEmpty())
        result = outcome(PredictedOutcome::Identical, Texts::tr("identical file exists: %1").arg(QFileInfo(copy).fileName()), false);
    else if (!QFileInfo::exists(target))
        result = outcome(PredictedOutcome::New, Texts::tr("new"), false);
    else if (rule == DuplicateRule::Rename)
        result = outcome(PredictedOutcome::Rename, Texts::tr("will save as %1").arg(QFileInfo(renamedTarget(target)).fileName()), false);
    else
        result = outcome(PredictedOutcome::Overwrite, Texts::tr("will overwrite %1").arg(name), false);
    result.archivedAs = archivedAs;
    return result;
}

}  // namespace pm
