#include "core/download/downloadtask.h"

#include "core/diagnostics/activitylog.h"
#include "core/config/atomicfile.h"
#include "core/diagnostics/csvlog.h"
#include "core/download/downloadarchive.h"
#include "core/diagnostics/errorreporter.h"
#include "core/config/settings.h"
#include "core/textutil.h"
#include "core/download/websession.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace pm {

namespace {
const QString kRoutine = QStringLiteral("SaveToFile.");
// The pause before a further attempt never exceeds this, whatever the
// server asks for.
constexpr int kLongestPauseSeconds = 300;

// ".pullmark-" and 16 hex digits, then ".part": nothing a user names a file.
QString newTemporaryName()
{
    return QStringLiteral(".pullmark-%1.part").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
}
}  // namespace

bool DownloadTask::isTemporaryFileName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^\\.pullmark-[0-9a-f]{16}\\.part$"));
    return pattern.match(name).hasMatch();
}

void DownloadTask::removeLeftoverTemporaries(const QString& folder, const QStringList& keep)
{
    QDir dir(folder);
    const QStringList candidates =
        dir.entryList({QStringLiteral(".pullmark-*.part")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : candidates) {
        if (isTemporaryFileName(name) && !keep.contains(dir.filePath(name)))
            dir.remove(name);
    }
}

DownloadTask::DownloadTask(const Settings& settings, ActivityLog& log, ErrorReporter& errors,
                           CurlMulti* engine, std::function<bool()> stopRequested, QObject* parent)
    : QObject(parent),
      m_settings(settings),
      m_log(log),
      m_errors(errors),
      m_transfer(new Transfer(engine, this)),
      m_stopRequested(std::move(stopRequested))
{
    m_retryTimer.setSingleShot(true);
    m_retryTimer.setTimerType(Qt::PreciseTimer);  // a coarse timer may end a pause early
    connect(&m_retryTimer, &QTimer::timeout, this, &DownloadTask::fetch);
    connect(m_transfer, &Transfer::finished, this, [this] {
        if (m_busy)
            afterFetch();
    });
    connect(m_transfer, &Transfer::progress, this, &DownloadTask::announceResumable);
}

void DownloadTask::announceResumable(qint64 received, qint64 total)
{
    // Only a body large enough to be kept, whose response names its version.
    const QByteArray validator = m_transfer->validator();
    if (!m_busy || !m_temporary || received <= 0 || total < kKeepPartialFrom || validator.isEmpty()
        || validator == m_resumableAs || m_transfer->status() >= 400)
        return;
    m_resumableAs = validator;
    emit resumable({m_temporary->fileName(), received, validator});
}

DownloadTask::~DownloadTask()
{
    discardTemporary();
}

void DownloadTask::logProgress(const QStringList& lines)
{
    if (m_settings.logDownloads)
        m_log.write(lines);
}

void DownloadTask::setSession(WebSession* session)
{
    m_session = session;
    m_transfer->setSession(session);
}

void DownloadTask::start(const QString& url, const TargetDecision& decision, const PartialDownload& partial,
                         const QString& foundOn)
{
    Q_ASSERT(!m_busy);
    m_busy = true;
    m_url = url;
    m_foundOn = foundOn;
    m_size = QVariant();
    m_record = {};
    m_resumableAs = partial.validator;
    m_transfer->contentHash().reset();  // a kept body is hashed anew before it goes on
    m_attempt = 0;
    m_restarted = false;
    m_signInAsked = false;
    m_resume = {};
    discardTemporary();

    const QString folder = m_settings.outputFolder;
    m_target = decision.target;
    logProgress({QStringLiteral("Starting: ") + url, QStringLiteral("Saving downloaded file to ") + m_target});
    if (decision.kind != TargetDecision::Go)
        return failSoon(decision.error);  // no temporary file for what is never fetched
    // A kept body goes on where it ended, if it is still whole.
    if (partial.isValid() && QFileInfo(partial.file).size() == partial.size) {
        m_temporary = std::make_unique<QFile>(partial.file);
        if (m_temporary->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
            m_resume = {partial.size, partial.validator};
        else
            m_temporary.reset();
    } else if (partial.isValid()) {
        QFile::remove(partial.file);
    }
    if (!m_temporary) {
        m_temporary = std::make_unique<QFile>(folder + QDir::separator() + newTemporaryName());
        errno = 0;
        if (!m_temporary->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            const int savedErrno = errno;
            m_temporary.reset();
            return failSoon(fileOpenError(savedErrno, m_target, true));
        }
    }
    fetch();
}

void DownloadTask::fetch()
{
    if (hashKeptPiece())
        return m_retryTimer.start(0);  // the next piece from the event loop; cancel() ends it like a pause
    ++m_attempt;
    m_transfer->fetch(m_url, m_temporary.get(), m_resume, m_foundOn);
}

// The digest must cover the whole file: a body kept from an earlier session
// is read once, a piece per pass, before the rest is asked for. Returns
// whether more is left to read.
bool DownloadTask::hashKeptPiece()
{
    ContentHash& hash = m_transfer->contentHash();
    if (m_resume.offset <= 0 || hash.bytes() >= m_resume.offset || !hash.isValid())
        return false;
    QFile kept(m_temporary->fileName());
    const QByteArray piece = kept.open(QIODevice::ReadOnly) && kept.seek(hash.bytes())
        ? kept.read(std::min(kHashPiece, m_resume.offset - hash.bytes()))
        : QByteArray();
    if (piece.isEmpty()) {
        hash.invalidate();  // the download goes on without a digest
        return false;
    }
    hash.addData(piece);
    return hash.bytes() < m_resume.offset;
}

void DownloadTask::cancel()
{
    if (m_retryTimer.isActive()) {
        m_retryTimer.stop();
        // finished() never comes from inside cancel().
        QTimer::singleShot(0, this, [this] { finish(DownloadOutcome::Stopped); });
        return;
    }
    m_transfer->cancel();
}

void DownloadTask::failSoon(const RuntimeError& error)
{
    // finished() never comes from inside start().
    QTimer::singleShot(0, this, [this, error] { fail(error); });
}

void DownloadTask::fail(const RuntimeError& error)
{
    const bool aborted = m_errors.report(error, kRoutine);
    if (aborted || m_stopRequested())
        finish(DownloadOutcome::Stopped);
    else
        finish(DownloadOutcome::Failed, error.plainReason());
}

bool DownloadTask::retryLater()
{
    if (!m_transfer->transientFailure() || m_attempt > m_settings.retries)
        return false;
    // The pause doubles with each attempt, starting at one second, unless
    // the server's Retry-After says how long to wait.
    const int backoff = 1 << std::min(m_attempt - 1, 8);
    const int retryAfter = m_transfer->retryAfterSeconds();
    const int seconds = std::min(retryAfter >= 0 ? retryAfter : backoff, kLongestPauseSeconds);
    const PartialDownload kept = keepPartial();
    m_resume = {kept.size, kept.validator};
    if (!kept.isValid())
        m_temporary->resize(0);
    m_log.write(QStringLiteral("Retrying: %1 (%2) in %3 s")
                    .arg(m_url, m_transfer->error().plainReason(), QString::number(seconds)));
    m_retryTimer.start(seconds * 1000);
    return true;
}

// A server that wants a user name and password: the session asks the user
// once per server and realm, and this download once; with an answer it
// starts over.
bool DownloadTask::signInGiven()
{
    const std::optional<QString> realm = m_transfer->signInRealm();
    if (!realm || !m_session || m_signInAsked)
        return false;
    m_signInAsked = true;
    if (!m_session->askSignIn(QUrl(m_transfer->finalUrl()), *realm))
        return false;
    --m_attempt;
    return true;
}

void DownloadTask::afterFetch()
{
    if (m_stopRequested())  // a stop is no error, whatever the fetch did
        return finish(DownloadOutcome::Stopped);
    if (m_transfer->sinkFailed())
        return fail(fileWriteError(m_transfer->sinkErrno(), m_target));
    if (m_transfer->restartNeeded() && !m_restarted) {
        // The rest could not be had: the whole body once more.
        m_restarted = true;
        m_resume = {};
        m_temporary->resize(0);
        --m_attempt;
        return fetch();
    }
    if (m_transfer->failed()) {
        if (signInGiven())
            return m_stopRequested() ? finish(DownloadOutcome::Stopped) : fetch();
        if (retryLater())
            return;
        return fail(m_transfer->error());
    }
    save();
}

void DownloadTask::save()
{
    const QString length = m_transfer->headerText("content-length");
    if (m_transfer->bodyStart() > 0)
        m_size = m_transfer->totalSize();  // the whole file's, not the rest's
    else if (length.isEmpty())
        m_size = m_transfer->bytesReceived();
    else
        m_size = length;

    const TargetRules rules(m_settings, m_archive, &m_ownFiles);
    // The server may name the file otherwise than its address does.
    const TargetDecision named = rules.onAnswer(
        m_url, {m_transfer->headerText("content-disposition").toLatin1(), m_transfer->headerText("content-type")});
    m_target = named.target;
    if (named.kind == TargetDecision::SkipExisting)
        return finish(DownloadOutcome::SkippedExisting);
    if (named.kind == TargetDecision::Refused)
        return fail(named.error);

    const qint64 bytes = m_temporary->size();
    ContentHash& hash = m_transfer->contentHash();
    // Whole seconds: the record reads back the same from the journal.
    m_record = {0, m_url, m_transfer->finalUrl(), m_target, bytes, hash.bytes() == bytes ? hash.finish() : QByteArray(),
                QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC)};
    // Only the user who keeps one copy needs the archive asked.
    const QString sameAs = m_settings.sameContentRule() == SameContentRule::KeepExisting
        ? rules.sameContentFile(m_record.sha256, bytes)
        : QString();
    const TargetDecision decided = rules.onBody(m_target, m_size, sameAs);
    // A size that is no number is reported, and the rules go on.
    if (decided.sizeUnreadable
        && (m_errors.report(RuntimeError::of(ErrTypeMismatch, m_size.toString()), kRoutine) || m_stopRequested()))
        return finish(DownloadOutcome::Stopped);
    switch (decided.kind) {
    case TargetDecision::TooSmall:
        logProgress({QStringLiteral("Completed: ") + m_url, QStringLiteral("Not saved as it didn't meet size criteria")});
        return finish(DownloadOutcome::TooSmall);
    case TargetDecision::Identical:
        m_record.savedPath = decided.target;
        logProgress({QStringLiteral("Completed: ") + m_url});
        return finish(DownloadOutcome::Identical);
    case TargetDecision::Refused:
        return fail(decided.error);
    default:
        break;
    }
    m_target = decided.target;
    m_record.savedPath = m_target;

    // The complete body replaces the target in one rename.
    const QString temporaryName = m_temporary->fileName();
    errno = 0;
    m_temporary->close();
    if (m_temporary->error() != QFileDevice::NoError)
        return fail(fileWriteError(errno, m_target));
    emit aboutToCommit(temporaryName, m_record);
    if (!renameOver(temporaryName, m_target))
        return fail(fileWriteError(errno, m_target));
    m_temporary.reset();
    logProgress({QStringLiteral("Completed: ") + m_url});
    finish(DownloadOutcome::Saved);
}

PartialDownload DownloadTask::keepPartial()
{
    if (!m_temporary)
        return {};
    const qint64 held = m_temporary->size();
    // The last response's validator, or, when it sent no headers at all, the
    // one of the response the held bytes came from.
    const QByteArray validator = m_transfer->validator().isEmpty() ? m_resume.validator : m_transfer->validator();
    if (held < kKeepPartialFrom || validator.isEmpty())
        return {};
    return {m_temporary->fileName(), held, validator};
}

void DownloadTask::discardTemporary()
{
    if (m_temporary) {
        m_temporary->close();
        m_temporary->remove();
        m_temporary.reset();
    }
}

void DownloadTask::finish(DownloadOutcome::Kind kind, const QString& failureReason)
{
    DownloadOutcome outcome;
    outcome.kind = kind;
    outcome.size = kind == DownloadOutcome::Stopped ? QVariant() : m_size;
    outcome.failureReason = failureReason;
    outcome.target = kind == DownloadOutcome::Identical ? m_record.savedPath : m_target;
    if (kind == DownloadOutcome::Stopped || kind == DownloadOutcome::Failed)
        outcome.partial = keepPartial();
    if (kind == DownloadOutcome::Saved || kind == DownloadOutcome::Identical)
        outcome.record = m_record;
    if (outcome.partial.isValid()) {
        m_temporary->close();
        m_temporary.reset();  // the file stays for the next attempt
    }
    discardTemporary();
    m_busy = false;
    emit finished(outcome);
}

}  // namespace pm
