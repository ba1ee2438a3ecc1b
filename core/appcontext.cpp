#include "core/appcontext.h"

#include "core/config/configfile.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace pm {

AppContext::AppContext(UserInteraction& ui) : ui(ui)
{
    worker.setSession(&session);
    prober.setSession(&session);
    QObject::connect(&queue, &DownloadQueue::entriesAdded, &queue, [this](const QStringList& urls, const QStringList& pages) {
        if (m_journalling) {
            m_journal.recordAdded(urls, pages);
            journalled();
        }
    });
    QObject::connect(&queue, &DownloadQueue::entriesRemoved, &queue, [this](const QStringList& urls) {
        if (m_journalling) {
            m_journal.recordRemoved(urls);
            journalled();
        }
    });
    QObject::connect(&queue, &DownloadQueue::partialChanged, &queue,
                     [this](const QString& url, const PartialDownload& partial) {
                         if (m_journalling)
                             m_journal.recordPartial(url, partial);
                     });
    QObject::connect(&worker, &QueueWorker::aboutToSave, &queue,
                     [this](const QString& temporaryFile, const ArchiveRecord& record) {
                         m_journal.recordSaving(temporaryFile, record);
                     });
    QObject::connect(&worker, &QueueWorker::recording, &queue,
                     [this](const ArchiveRecord& record) { m_journal.keepUntilArchived(record); });
}

void AppContext::setArchive(std::unique_ptr<DownloadArchive> archive)
{
    queue.setArchive(archive.get());
    worker.setArchive(archive.get());
    settings.archiveFile = archive ? archive->location() : QString();
    m_archive = std::move(archive);
    if (m_archive)
        QObject::connect(m_archive.get(), &DownloadArchive::recordAdded, &queue,
                         [this](const ArchiveRecord& record) { m_journal.archived(record); });
}

bool AppContext::writeArchiveNow()
{
    return !m_archive || writeWaitingRecords(*m_archive, log) == 0;
}

void AppContext::setProgramFolder(const QString& folder)
{
    setFileLocations(folder, fileLocations(folder, true, {}));
}

void AppContext::setFileLocations(const QString& programFolder, const FileLocations& locations)
{
    settings.programFolder = QDir::toNativeSeparators(programFolder);
    settings.defaultOutputFolder = locations.defaultOutputFolder;
    settings.defaultLogFile = locations.defaultLogFile;
    setConfigurationFile(locations.configurationFile);
}

void AppContext::setConfigurationFile(const QString& fileName)
{
    settings.configurationFile = fileName;
    m_journal.setFileName(ProgressJournal::fileNameFor(fileName));
}

void AppContext::journalled()
{
    // The fold rewrites the whole file: it runs from the event loop, not
    // inside the handler that changed the queue.
    if (m_journal.size() > kJournalLimit && !m_foldPending) {
        m_foldPending = true;
        QTimer::singleShot(0, &queue, [this] {
            m_foldPending = false;
            saveConfiguration(settings.configurationFile);
        });
    }
}

namespace {
// One name for a file however it is spelt.
QString fileKey(const QString& fileName)
{
    const QFileInfo info(fileName);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}
}  // namespace

bool AppContext::saveConfiguration(const QString& fileName)
{
    if (const QString key = m_filesToKeep.isEmpty() ? QString() : fileKey(fileName); m_filesToKeep.contains(key)) {
        if (!keepConfigurationCopy(fileName, errors, log))
            return false;
        m_filesToKeep.remove(key);
    }
    const bool saved = pm::saveConfiguration(fileName, m_storedSettings ? *m_storedSettings : settings,
                                             {history.entries(), queue.urls(), queue.foundOnPages()}, errors);
    if (saved && fileName == settings.configurationFile)
        m_journal.restart(queue.partials());
    return saved;
}

bool AppContext::load(const QString& fileName, bool replayJournal)
{
    ConfigurationLists lists{history.entries(), {}, {}};
    bool keepCopy = false;
    const bool loaded = pm::loadConfiguration(fileName, settings, lists, errors, log, &keepCopy);
    JournalContents journal;
    // The journal moves entries about: their pages follow them by address.
    QHash<QString, QString> pageOf;
    for (qsizetype i = 0; i < lists.queue.size(); ++i) {
        if (const QString page = lists.queuePages.value(i); !page.isEmpty())
            pageOf.insert(lists.queue.at(i), page);
    }
    const bool replayed =
        replayJournal && ProgressJournal::replay(ProgressJournal::fileNameFor(fileName), lists.queue, journal);
    if (replayed) {
        pageOf.insert(journal.pages);
        lists.queuePages.clear();
        for (const QString& url : std::as_const(lists.queue))
            lists.queuePages.append(pageOf.value(url));
    }
    history.setEntries(lists.history);
    if (replayJournal) {
        // What the file and its journal hold is no change to record.
        m_journalling = false;
        queue.replaceWaiting(lists.queue, lists.queuePages);
        resumeKeptParts(journal.partials);
        m_journalling = true;
        if (m_archive && !journal.records.isEmpty()) {
            for (const ArchiveRecord& record : std::as_const(journal.records))
                m_journal.keepUntilArchived(record);
            m_archive->restore(journal.records);
        }
    } else {
        queue.replaceWaiting(lists.queue, lists.queuePages);
    }
    log.writeWaiting();  // what the load logged before the file named the log
    if (keepCopy)
        m_filesToKeep.insert(fileKey(fileName));
    if (replayed && loaded)
        saveConfiguration(fileName);
    return loaded;
}

void AppContext::resumeKeptParts(QHash<QString, PartialDownload> partials)
{
    // Each kept part goes to the first waiting entry of its address.
    for (int row = 0; row < queue.count() && !partials.isEmpty(); ++row) {
        const PartialDownload partial = partials.take(queue.url(row));
        if (!partial.isValid() || queue.stateAt(row) == EntryState::Active || queue.stateAt(row) == EntryState::Done)
            continue;
        queue.setPartial(queue.idAt(row), partial);
        queue.setState(queue.idAt(row), EntryState::Paused);
    }
}

bool AppContext::loadStoredConfiguration()
{
    return load(settings.configurationFile, true);
}

bool AppContext::loadConfiguration(const QString& fileName)
{
    return load(fileName, false);
}

}  // namespace pm
