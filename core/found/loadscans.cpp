#include "core/found/loadscans.h"

#include <utility>

namespace pm {

void LoadScans::begin(int generation)
{
    m_generation = generation;
    forgetReads();
    m_reports.clear();
    m_answers.clear();
    m_nonHtmlReported = false;
    m_skippedFramesNoted = false;
    m_listShown = false;
}

void LoadScans::forgetReads()
{
    m_reads.clear();
    m_lastPage.reset();
    m_list.reset();
    ++m_epoch;  // never given before, so the page reads every document anew
}

int LoadScans::prepareRead(const ScanRules& rules)
{
    // The extension list only filters what was read.
    ScanRules readRules = rules;
    readRules.extensions.clear();
    if (m_readRules != readRules) {
        m_readRules = readRules;
        forgetReads();
    }
    return m_epoch;
}

bool LoadScans::resolve(PageScan& page)
{
    QHash<QString, ScannedDocument> reads;  // only the documents still on the page
    for (ScannedDocument& doc : page.documents) {
        if (doc.kind != ScannedDocument::Read)
            continue;
        if (doc.unchanged || doc.grown) {
            const auto held = m_reads.constFind(doc.id);
            if (held == m_reads.constEnd()) {
                forgetReads();
                return false;
            }
            doc.links = doc.grown ? held->links + doc.links : held->links;
            doc.embedded = doc.grown ? held->embedded + doc.embedded : held->embedded;
            doc.grown = false;
        }
        reads.insert(doc.id, doc);
    }
    m_reads = std::move(reads);
    m_lastPage = page;
    return true;
}

bool LoadScans::keepFrameReport(FrameReport report)
{
    const QString path = report.path;
    m_reports.insert(path, {std::move(report), ++m_reportSerial});
    if (!m_lastPage)
        return false;
    for (const ScannedDocument& doc : std::as_const(m_lastPage->documents)) {
        if (doc.path == path)
            return doc.kind == ScannedDocument::Foreign;
    }
    return false;
}

void LoadScans::fillFrames(PageScan& page, const ScanRules& rules) const
{
    for (ScannedDocument& doc : page.documents) {
        if (doc.kind != ScannedDocument::Foreign)
            continue;
        const auto held = m_reports.constFind(doc.path);
        if (held == m_reports.constEnd())
            continue;
        // The report's number names what it holds, as a read document's id does.
        doc.kind = ScannedDocument::Read;
        doc.unchanged = true;
        doc.id = QStringLiteral("report %1").arg(held->serial);
        doc.links = held->report.links;
        doc.embedded = rules.imagesAsShown ? held->report.embeddedShown : held->report.embedded;
    }
}

std::optional<PageScan> LoadScans::rebuiltPage(const ScanRules& rules) const
{
    if (!m_lastPage)
        return std::nullopt;
    PageScan page = *m_lastPage;
    for (ScannedDocument& doc : page.documents)
        doc.unchanged = doc.kind == ScannedDocument::Read;
    fillFrames(page, rules);
    return page;
}

QStringList LoadScans::documentsOf(const PageScan& page)
{
    QStringList documents;
    documents.reserve(page.documents.size());
    for (const ScannedDocument& doc : page.documents)
        documents.append(doc.kind == ScannedDocument::Read ? doc.id : QString::number(-int(doc.kind)));
    return documents;
}

const FoundList* LoadScans::unchangedList(const PageScan& page, const ScanRules& rules) const
{
    if (!m_list)
        return nullptr;
    for (const ScannedDocument& doc : page.documents) {
        if (doc.kind == ScannedDocument::Read && !doc.unchanged)
            return nullptr;
    }
    if (documentsOf(page) != m_listDocuments || rules != m_listRules)
        return nullptr;
    return m_list.get();
}

void LoadScans::keepList(const PageScan& page, const ScanRules& rules, const FoundList& list)
{
    m_list = std::make_unique<FoundList>(list);
    m_listDocuments = documentsOf(page);
    m_listRules = rules;
}

std::optional<bool> LoadScans::answerFor(int position) const
{
    const auto answer = m_answers.constFind(position);
    if (answer == m_answers.constEnd())
        return std::nullopt;
    return *answer;
}

bool LoadScans::firstNonHtmlReport()
{
    return !std::exchange(m_nonHtmlReported, true);
}

bool LoadScans::firstSkippedFramesNote()
{
    return !std::exchange(m_skippedFramesNoted, true);
}

}  // namespace pm
