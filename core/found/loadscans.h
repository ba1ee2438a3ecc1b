#pragma once
// What the scans of one page load share. A page is scanned each time one of
// its documents has been parsed, when it changes and when the load ends; a
// rescan reads anew only the documents that changed, the others come from
// the reads kept here, with the latest reports of the frames of other
// origins. A problem is reported once per load: the load's later scans
// apply the answer given then without asking again.

#include "core/found/scraper.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace pm {

class LoadScans {
public:
    // A new load: forgets the reads, the reports, the answers and the shown list.
    void begin(int generation);
    int generation() const { return m_generation; }

    // The epoch to give the script for a read under these rules. Reads made
    // under other rules are forgotten.
    int prepareRead(const ScanRules& rules);
    // Fills in the documents the page reports unchanged or grown and keeps
    // the fresh reads, and the page's documents for rebuilds. False when
    // such a document's earlier read is not held here (it never arrived):
    // the reads are forgotten and the page must be read again.
    bool resolve(PageScan& page);

    // A read's result is not used: the page's next read reads every
    // document anew, since the page now takes that read as known.
    void forgetReads();

    // Keeps the latest report of a frame of another origin. Returns true
    // when the page last read holds that frame, so that a rebuild of its
    // found list (rebuiltPage) takes the report in.
    bool keepFrameReport(FrameReport report);
    // Gives each frame of another origin in `page` what it last reported.
    void fillFrames(PageScan& page, const ScanRules& rules) const;
    // The page last read with the frames' latest reports, or null before
    // the load's first read.
    std::optional<PageScan> rebuiltPage(const ScanRules& rules) const;

    // The found list last built this load, when `page` holds the same
    // documents, all unchanged, and the rules are the same: the list would
    // come out the same. Otherwise null.
    const FoundList* unchangedList(const PageScan& page, const ScanRules& rules) const;
    void keepList(const PageScan& page, const ScanRules& rules, const FoundList& list);

    // The answer given this load about the unreadable frame at `position`:
    // true to carry on past it.
    std::optional<bool> answerFor(int position) const;
    void rememberAnswer(int position, bool carryOn) { m_answers.insert(position, carryOn); }
    // True the first time this load that the page is not an HTML document.
    bool firstNonHtmlReport();
    // True the first time this load that frames were skipped.
    bool firstSkippedFramesNote();

    // Whether a scan of this load has filled the found list yet.
    bool listShown() const { return m_listShown; }
    void setListShown() { m_listShown = true; }

private:
    struct HeldReport {
        FrameReport report;
        int serial = 0;  // tells one report of a frame from the next
    };

    static QStringList documentsOf(const PageScan& page);

    int m_generation = -1;
    int m_epoch = 0;
    std::optional<ScanRules> m_readRules;   // the rules of the kept reads
    QHash<QString, ScannedDocument> m_reads;  // by document id, this epoch
    std::optional<PageScan> m_lastPage;     // resolved, frames of other origins unfilled
    QHash<QString, HeldReport> m_reports;   // by frame path
    int m_reportSerial = 0;
    QHash<int, bool> m_answers;  // frame position -> carry on
    bool m_nonHtmlReported = false;
    bool m_skippedFramesNoted = false;
    bool m_listShown = false;
    std::unique_ptr<FoundList> m_list;  // the last one built, from:
    QStringList m_listDocuments;
    ScanRules m_listRules;
};

}  // namespace pm
