#include "app/headlessrun.h"

#include "app/consoleinteraction.h"
#include "app/consolereport.h"
#include "core/appcontext.h"
#include "core/config/filelocations.h"
#include "core/config/pathcheck.h"
#include "core/found/predictedoutcome.h"
#include "core/textutil.h"
#include "gui/mainwindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>

namespace pm {

namespace {
// A dry run's word for each predicted outcome.
QString predictionWord(PredictedOutcome::Kind kind)
{
    switch (kind) {
    case PredictedOutcome::New: return QStringLiteral("new");
    case PredictedOutcome::Overwrite: return QStringLiteral("overwrite");
    case PredictedOutcome::Rename: return QStringLiteral("rename");
    case PredictedOutcome::SkipExists: return QStringLiteral("skip");
    case PredictedOutcome::TooSmall: return QStringLiteral("too-small");
    case PredictedOutcome::AlreadyDownloaded: return QStringLiteral("downloaded");
    case PredictedOutcome::Identical: return QStringLiteral("identical");
    case PredictedOutcome::Fails: return QStringLiteral("fail");
    }
    return {};
}
}  // namespace

HeadlessRun::HeadlessRun(AppContext& context, ConsoleInteraction& ui, ConsoleReport& report,
                         const HeadlessOptions& options, QObject* parent)
    : QObject(parent), m_context(context), m_ui(ui), m_report(report), m_options(options)
{
    m_clock.start();  // the summary's time includes reading the pages
    // A log that cannot be written is told once per file, as the window does.
    connect(&m_context.log, &ActivityLog::writeFailed, this, [this](const QString& fileName, const QString& reason) {
        m_report.message(tr("cannot write to %1 (%2); its entries are lost until it can.").arg(fileName, reason));
    });
    connect(&m_context.worker, &QueueWorker::entryFinished, this, &HeadlessRun::entryFinished);
    connect(&m_context.worker, &QueueWorker::sessionEnded, this, &HeadlessRun::sessionEnded);
}

std::optional<int> HeadlessRun::checkConfigurationFile()
{
    const QString fileName = m_context.settings.configurationFile;
    const QFileInfo file(fileName);
    if (file.exists()) {
        QFile reading(fileName);
        if (!file.isFile() || !reading.open(QIODevice::ReadOnly)) {
            m_report.message(tr("cannot read the configuration file %1.").arg(fileName));
            return ExitUnusable;
        }
    }
    // A save replaces the file through a new one beside it (beside the file
    // a link leads to).
    const QString folder = QFileInfo(file.exists() ? file.canonicalFilePath() : file.absoluteFilePath()).absolutePath();
    if (!m_options.dryRun && !folderIsWritable(folder)) {
        m_report.message(tr("cannot write the configuration file %1: its folder %2 cannot be written to.")
                             .arg(fileName, folder));
        return ExitUnusable;
    }
    return std::nullopt;
}

std::optional<int> HeadlessRun::prepare()
{
    if (const auto status = checkConfigurationFile())
        return status;
    Settings& settings = m_context.settings;
    if (!m_context.loadStoredConfiguration()) {
        m_report.message(tr("the configuration file %1 cannot be used: reading it stopped at an error (the "
                            "activity log %2 tells which).")
                             .arg(settings.configurationFile, settings.activityLogFile));
        return ExitUnusable;
    }
    // A dry run downloads nothing, so it needs no notice.
    if (!settings.legalNoticeAccepted && !m_options.dryRun) {
        if (!m_ui.askYesNo(tr("Legal Notice"), legalNoticeText(), MessageIcon::Question))
            return ExitUnusable;
        settings.legalNoticeAccepted = true;
    }

    // The overrides hold for this run; the file keeps what it held.
    m_context.storeSettingsAs(settings);
    if (!m_options.outputFolder.isEmpty())
        settings.outputFolder = m_options.outputFolder;
    if (!m_options.extensions.isEmpty())
        settings.extensions = m_options.extensions;
    if (m_options.images)
        settings.scanImages = true;
    if (m_options.parallel > 0)
        settings.parallelDownloads = m_options.parallel;
    return readyOutputFolder();
}

std::optional<int> HeadlessRun::readyOutputFolder()
{
    const Settings& settings = m_context.settings;
    const QString folder = settings.outputFolder;
    const QFileInfo info(folder);
    if (folder.isEmpty() || (info.exists() && !info.isDir())) {
        m_report.message(tr("the output folder \"%1\" cannot be used: it is no folder.").arg(folder));
        return ExitUnusable;
    }
    if (m_options.dryRun)
        return std::nullopt;  // nothing is made: a missing folder holds nothing yet
    // A folder named on the command line is made, parents and all; the
    // configured ones go through the program's path check (which may ask).
    if (!m_options.outputFolder.isEmpty() && !info.exists() && !QDir().mkpath(folder)) {
        m_report.message(tr("cannot create the output folder %1.").arg(folder));
        return ExitUnusable;
    }
    if (checkPaths(pathCheckInputFrom(settings), m_context.errors, m_ui) != PathDecline::None)
        return ExitUnusable;  // the question was printed
    if (!QFileInfo(folder).isDir() || !folderIsWritable(folder)) {
        m_report.message(tr("cannot write to the output folder %1.").arg(folder));
        return ExitUnusable;
    }
    return std::nullopt;
}

void HeadlessRun::run(const QList<FoundOnPage>& found)
{
    DownloadQueue& queue = m_context.queue;
    if (m_options.dryRun) {
        // What the queue holds, then what the pages would add to it.
        QList<FoundOnPage> entries;
        for (int row = 0; row < queue.count(); ++row)
            entries.append({queue.foundOnAt(row), {queue.url(row)}});
        for (const FoundOnPage& page : found) {
            FoundOnPage fresh{page.page, {}};
            for (const QString& url : page.files) {
                if (!queue.isQueued(url))
                    fresh.files << url;
            }
            entries << fresh;
        }
        listPredictions(entries);
        return;
    }
    for (const FoundOnPage& page : found)
        queue.addNew(page.files, page.page);
    m_report.startProgress([this] {
        const QueueWorker& worker = m_context.worker;
        const ActiveProgress active = worker.activeProgress();
        const int done = worker.figures().completed + worker.figures().failed;
        return RunProgress{done, worker.figures().completed + m_context.queue.remaining(), m_bytes + active.received,
                           active.rate, worker.figures().active > 0 ? worker.figures().currentFile : QString()};
    });
    m_context.worker.start();  // sessionEnded() follows
}

void HeadlessRun::listPredictions(const QList<FoundOnPage>& entries)
{
    m_predicting.clear();
    for (const FoundOnPage& page : entries)
        m_predicting << page.files;
    if (!m_context.settings.probeFoundFiles || m_predicting.isEmpty()) {
        QTimer::singleShot(0, this, &HeadlessRun::printPredictions);
        return;
    }
    // The outcomes follow once the servers have answered, each asked as the
    // download would ask it: from the page it was found on.
    connect(&m_context.prober, &UrlProber::idle, this, &HeadlessRun::printPredictions, Qt::SingleShotConnection);
    for (const FoundOnPage& page : entries)
        m_context.prober.probe(page.files, page.page);
}

void HeadlessRun::printPredictions()
{
    if (m_ended)
        return;
    int failing = 0;
    for (const QString& url : std::as_const(m_predicting)) {
        const std::optional<ProbeResult> probe = m_context.prober.result(url);
        const PredictedOutcome outcome = predictOutcome(url, probe, m_context.settings, m_context.archive());
        failing += outcome.kind == PredictedOutcome::Fails ? 1 : 0;
        m_report.line(predictionWord(outcome.kind), outcome.text, probe && probe->available() ? probe->size : -1, url);
    }
    m_report.line(QStringLiteral("summary"),
                  tr("%1 entries, %2 would fail; nothing downloaded").arg(m_predicting.size()).arg(failing),
                  -1, formatElapsed(m_clock.elapsed() / 1000));
    end(failing > 0 || m_pagesFailed > 0 ? ExitFailures : ExitDone);
}

void HeadlessRun::entryFinished(const EntryResult& result)
{
    QString word;
    QString text = result.file;
    switch (result.kind) {
    case EntryResult::Saved:
        word = QStringLiteral("saved");
        ++m_saved;
        m_bytes += std::max<qint64>(0, result.bytes);
        break;
    case EntryResult::Identical:
        word = QStringLiteral("identical");
        ++m_skipped;
        break;
    case EntryResult::TooSmall:
        word = QStringLiteral("too-small");
        text = tr("smaller than %1 KB, not saved").arg(QLocale::c().toString(m_context.settings.minimumSizeKB));
        ++m_skipped;
        break;
    case EntryResult::SkippedExisting:
        word = QStringLiteral("skipped");
        ++m_skipped;
        break;
    case EntryResult::SkippedArchived:
        word = QStringLiteral("downloaded");
        ++m_skipped;
        break;
    case EntryResult::Failed:
        word = QStringLiteral("failed");
        text = result.reason;
        ++m_failed;
        break;
    case EntryResult::Stopped:
        word = QStringLiteral("stopped");
        text = tr("left in the queue");
        break;
    }
    m_report.line(word, text, result.bytes, result.url);
}

void HeadlessRun::sessionEnded()
{
    m_report.stopProgress();
    const int left = m_context.queue.count();
    if (m_context.worker.stopRequested() && !m_stopping)
        m_report.message(tr("the work session stopped at an error; the activity log %1 tells which.")
                             .arg(m_context.settings.activityLogFile));
    m_report.line(QStringLiteral("summary"),
                  tr("%1 saved, %2 skipped, %3 failed; %4 left in the queue").arg(m_saved).arg(m_skipped).arg(m_failed).arg(left),
                  m_bytes, formatElapsed(m_clock.elapsed() / 1000));
    const bool clean = m_failed == 0 && m_pagesFailed == 0 && !m_stopping && left == 0;
    QTimer::singleShot(0, this, [this, clean] { end(clean ? ExitDone : ExitFailures); });
}

void HeadlessRun::pageFailed(const QString& url, const QString& reason)
{
    ++m_pagesFailed;
    m_report.line(QStringLiteral("page-failed"), reason, -1, url);
}

void HeadlessRun::linkedPageFailed(const QString& url, const QString& reason)
{
    m_report.line(QStringLiteral("link-failed"), reason, -1, url);
}

void HeadlessRun::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    m_report.message(tr("stopping; the entries in work stay queued."));
    if (m_context.worker.running()) {
        m_context.worker.requestStop();
        m_context.log.write(QStringLiteral("Cancelled operation, due to OS application termination"));
        return;  // sessionEnded() follows once the downloads have ended
    }
    // Stopped before any download: pages being read, or a dry run's probes.
    m_context.prober.cancelAll();
    m_report.line(QStringLiteral("summary"), tr("stopped before downloading; %1 in the queue").arg(m_context.queue.count()),
                  -1, formatElapsed(m_clock.elapsed() / 1000));
    QTimer::singleShot(0, this, [this] { end(ExitFailures); });
}

void HeadlessRun::end(int status)
{
    if (m_ended)
        return;
    m_ended = true;
    m_report.stopProgress();
    emit finished(status);
}

}  // namespace pm
