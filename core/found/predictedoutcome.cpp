#include "core/found/predictedoutcome.h"

#include "core/download/downloadarchive.h"
#include "core/download/targetrules.h"
#include "core/config/settings.h"

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

// What a decision that ends the entry shows; nullopt when the rules go on.
std::optional<PredictedOutcome> settled(const TargetDecision& decision)
{
    const QString name = QFileInfo(decision.target).fileName();
    switch (decision.kind) {
    case TargetDecision::Go:
        return std::nullopt;
    case TargetDecision::SkipArchived:
        return outcome(PredictedOutcome::AlreadyDownloaded, Texts::tr("already downloaded"), true);
    case TargetDecision::SkipExisting:
        return outcome(PredictedOutcome::SkipExists, Texts::tr("will skip: %1 exists").arg(name), true);
    case TargetDecision::TooSmall:
        return outcome(PredictedOutcome::TooSmall, Texts::tr("too small (size rule)"), true);
    case TargetDecision::Identical:
        return outcome(PredictedOutcome::Identical, Texts::tr("identical file exists: %1").arg(name), true);
    case TargetDecision::Refused:
        break;
    }
    if (decision.error.number == ErrBadFileName)
        return outcome(PredictedOutcome::Fails, Texts::tr("no usable file name"), true);
    if (decision.error.number == ErrOwnFile)
        return outcome(PredictedOutcome::Fails, Texts::tr("refused: %1 is Pullmark's own file").arg(name), true);
    return outcome(PredictedOutcome::Fails, Texts::tr("refused: %1").arg(decision.error.plainReason()), true);
}
}  // namespace

PredictedOutcome predictOutcome(const QString& url, const std::optional<ProbeResult>& probe, const Settings& settings,
                                const DownloadArchive* archive)
{
    const TargetRules rules(settings, archive);
    const auto byUrl = archive ? archive->findByUrl(url) : std::nullopt;
    const auto byFinalUrl = archive && !byUrl && probe && probe->finalUrl != url ? archive->findByUrl(probe->finalUrl)
                                                                                  : std::nullopt;
    const QString archivedAs = byUrl ? byUrl->savedPath : byFinalUrl ? byFinalUrl->savedPath : QString();
    const bool known = probe && probe->available();

    PredictedOutcome result = [&] {
        TargetDecision decision = rules.beforeFetch(url);
        if (const auto ended = settled(decision))
            return *ended;
        if (probe && !probe->available())
            return probeFailure(*probe);
        if (known) {
            decision = rules.onAnswer(url, {probe->contentDisposition, probe->contentType});
            if (const auto ended = settled(decision))
                return *ended;
        }
        const QString target = decision.target;
        const QString copy = known ? rules.likelyCopy(url, probe->finalUrl, QFileInfo(target).fileName(), probe->size)
                                   : QString();
        const QVariant size = known && probe->size >= 0 ? QVariant(probe->size) : QVariant();
        decision = rules.onBody(target, size, copy);
        if (const auto ended = settled(decision))
            return *ended;
        if (!archivedAs.isEmpty())
            return outcome(PredictedOutcome::AlreadyDownloaded, Texts::tr("already downloaded"), false);
        if (!copy.isEmpty())
            return outcome(PredictedOutcome::Identical,
                           Texts::tr("identical file exists: %1").arg(QFileInfo(copy).fileName()), false);
        if (decision.renamed)
            return outcome(PredictedOutcome::Rename,
                           Texts::tr("will save as %1").arg(QFileInfo(decision.target).fileName()), false);
        if (QFileInfo::exists(decision.target))
            return outcome(PredictedOutcome::Overwrite,
                           Texts::tr("will overwrite %1").arg(QFileInfo(decision.target).fileName()), false);
        return outcome(PredictedOutcome::New, Texts::tr("new"), false);
    }();
    result.archivedAs = archivedAs;
    return result;
}

}  // namespace pm
