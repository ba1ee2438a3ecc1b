#include "core/found/foundannotator.h"

#include "core/download/filenames.h"
#include "core/appcontext.h"
#include "core/found/foundlistmodel.h"
#include "core/found/predictedoutcome.h"
#include "core/textutil.h"

#include <QElapsedTimer>
#include <QFileInfo>

namespace pm {

FoundAnnotator::FoundAnnotator(FoundListModel& model, AppContext& context, QObject* parent)
    : QObject(parent), m_model(model), m_context(context)
{
    m_slice.setInterval(0);
    connect(&m_slice, &QTimer::timeout, this, &FoundAnnotator::predictSome);
    connect(&model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { listed(first, last); });
    connect(&model, &QAbstractItemModel::modelReset, this, [this] {
        m_pending.clear();
        m_queued.clear();
        if (m_model.rowCount() > 0)
            listed(0, m_model.rowCount() - 1);
    });
    connect(&context.prober, &UrlProber::probed, this, [this](const QString& url, const ProbeResult&) {
        if (m_model.rowOf(url) >= 0)
            predict(url);
    });
    followArchive();
}

void FoundAnnotator::followArchive()
{
    DownloadArchive* archive = m_context.archive();
    if (archive == m_archive)
        return;
    if (m_archive)
        m_archive->disconnect(this);
    m_archive = archive;
    if (archive) {
        connect(archive, &DownloadArchive::recordAdded, this, &FoundAnnotator::recordChanged);
        connect(archive, &DownloadArchive::recordsRemoved, this, &FoundAnnotator::refreshAll);
    }
}

void FoundAnnotator::newPage()
{
    m_context.prober.cancelAll();
    m_pending.clear();
    m_queued.clear();
}

void FoundAnnotator::refreshAll()
{
    for (int row = 0; row < m_model.rowCount(); ++row)
        queue(m_model.url(row));
}

void FoundAnnotator::listed(int first, int last)
{
    QList<int> rows;
    rows.reserve(last - first + 1);
    for (int row = first; row <= last; ++row) {
        queue(m_model.url(row));
        rows << row;
    }
    // Probed as a download would ask: with the page each entry was found
    // on as its Referer.
    if (m_context.settings.probeFoundFiles) {
        for (const FoundListModel::PageRun& run : m_model.runsByPage(rows))
            m_context.prober.probe(run.urls, run.page);
    }
}

void FoundAnnotator::queue(const QString& url)
{
    if (m_queued.contains(url))
        return;
    m_queued.insert(url);
    m_pending.push_back(url);
    if (!m_slice.isActive())
        m_slice.start();
}

void FoundAnnotator::predictSome()
{
    QElapsedTimer clock;
    clock.start();
    while (!m_pending.empty() && clock.elapsed() < kSliceMs) {
        const QString url = m_pending.front();
        m_pending.pop_front();
        m_queued.remove(url);
        if (m_model.rowOf(url) >= 0)
            predict(url);
    }
    if (m_pending.empty())
        m_slice.stop();
}

void FoundAnnotator::predict(const QString& url)
{
    followArchive();
    const std::optional<ProbeResult> probe = m_context.prober.result(url);
    const PredictedOutcome outcome = predictOutcome(url, probe, m_context.settings, m_context.archive());
    FoundDetails details;
    if (probe && probe->available()) {
        details.contentType = probe->contentType;
        details.savedName = savedFileName(url, {probe->contentDisposition, probe->contentType}).value_or(QString());
        details.size = probe->size;
    }
    details.outcome = outcome.text;
    details.wouldNotSave = outcome.greyed;
    // Nothing of it on disk or in the archive yet.
    details.isNew = outcome.kind == PredictedOutcome::New || outcome.kind == PredictedOutcome::TooSmall
        || outcome.kind == PredictedOutcome::Fails;
    m_model.setDetails(url, details);
}

void FoundAnnotator::recordChanged(const ArchiveRecord& record)
{
    // A finished download changes the outcome of the entries of its address
    // and of those that would save under its name.
    const QString name = QFileInfo(record.savedPath).fileName();
    for (int row = 0; row < m_model.rowCount(); ++row) {
        const QString url = m_model.url(row);
        if (url == record.url || url == record.finalUrl || shownFileName(url) == name)
            queue(url);
    }
}

}  // namespace pm
