#pragma once
// The page scraper's rules without any widget: which addresses match the
// extension list, the found list's order and duplicates, reading what the
// scraping script returns from the page, and what the scans of one page load
// share.

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

namespace pm {

// True when fileExtension(address) occurs anywhere inside `extensionList`,
// ignoring case. The list is searched as one text, never split, so parts of
// entries and text across the blank between entries match too. An empty
// extension (address ending in ".") matches any non-empty list; an empty list
// matches nothing.
bool extensionMatches(const QString& address, const QString& extensionList);

// Builds a found list: matching addresses in the order they are offered, an
// address equal to one already listed (ignoring case) left out. Each offer
// costs one hash look-up, so 100,000 links stay fast.
class FoundListBuilder {
public:
    explicit FoundListBuilder(QString extensionList) : m_extensionList(std::move(extensionList)) {}

    // Appends `address` if it matches and is new. Returns true if appended.
    bool offer(const QString& address);
    void offerAll(const QStringList& addresses);

    const QStringList& urls() const { return m_urls; }
    int count() const { return int(m_urls.size()); }

private:
    QString m_extensionList;
    QSet<QString> m_keys;  // case-folded forms of m_urls
    QStringList m_urls;
};

// One document the scan looked at: a frame's document, or the page itself
// when it has no frames.
struct ScannedDocument {
    enum Kind { Read, Missing, Unreadable };
    Kind kind = Missing;
    int id = 0;              // Read: the page's number for this document
    bool unchanged = false;  // Read: as when last read; LoadScans fills the lists
    QString error;           // Unreadable: why (e.g. "SecurityError: ...")
    QStringList links;
    QStringList images;
};

// What the scraping script found in the page.
struct PageScan {
    // False when the page gave nothing back: no document is loaded, or it went
    // away while the script ran.
    bool hasDocument = false;
    QString error;  // set when the page could not be read as an HTML document
    QString href;   // location.href when the script ran
    QString url;    // the document's address
    QList<ScannedDocument> documents;  // in frame order
};

PageScan parsePageScan(const QVariant& result);

// The script to run in the page; its result goes to parsePageScan. `epoch`
// comes from LoadScans::prepareRead.
QString scrapeScript(bool scanLinks, bool scanImages, int epoch);

// The found list of one scan: the matching addresses of each document in
// frame order, links before images. `unreadable(position, error)` decides
// about each frame that could not be read: true goes on with the next one,
// false stops the list there (`stopped`).
struct FoundList {
    QStringList urls;
    bool stopped = false;
};
FoundList buildFoundList(const PageScan& page, const QString& extensionList, bool scanLinks, bool scanImages,
                         const std::function<bool(int position, const QString& error)>& unreadable);

// What the scans of one page load share. A page is scanned each time one of
// its documents has been parsed and again when the load ends; a rescan reads
// anew only the documents that changed, the others come from the reads kept
// here. A problem is reported once per load: the load's later scans apply
// the answer given then without asking again.
class LoadScans {
public:
    // A new load: forgets the reads, the answers and the shown list.
    void begin(int generation);
    int generation() const { return m_generation; }

    // The epoch to give the script for a read with these options. Other
    // options than the kept reads were made with forget those reads.
    int prepareRead(bool scanLinks, bool scanImages);
    // Fills in the documents the page reports unchanged and keeps the fresh
    // reads. False when an unchanged document's read is not held here (it
    // never arrived): the reads are forgotten and the page must be read again.
    bool resolve(PageScan& page);

    // The found list last built this load, when `page` holds the same
    // documents, all unchanged, and the rules are the same: the list would
    // come out the same. Otherwise null.
    const FoundList* unchangedList(const PageScan& page, const QString& extensionList, bool scanLinks,
                                   bool scanImages) const;
    void keepList(const PageScan& page, const QString& extensionList, bool scanLinks, bool scanImages,
                  const FoundList& list);

    // The answer given this load about the unreadable frame at `position`:
    // true to carry on past it.
    std::optional<bool> answerFor(int position) const;
    void rememberAnswer(int position, bool carryOn) { m_answers.insert(position, carryOn); }
    // True the first time this load that the page is not an HTML document.
    bool firstNonHtmlReport();

    // Whether a scan of this load has filled the found list yet.
    bool listShown() const { return m_listShown; }
    void setListShown() { m_listShown = true; }

private:
    void forgetReads();
    static QList<int> documentsOf(const PageScan& page);
    static QString rulesOf(const QString& extensionList, bool scanLinks, bool scanImages);

    int m_generation = -1;
    int m_epoch = 0;
    bool m_scanLinks = false;
    bool m_scanImages = false;
    QHash<int, ScannedDocument> m_reads;  // by document number, this epoch
    QHash<int, bool> m_answers;           // frame position -> carry on
    bool m_nonHtmlReported = false;
    bool m_listShown = false;
    std::unique_ptr<FoundList> m_list;  // the last one built, from:
    QList<int> m_listDocuments;
    QString m_listRules;
};

}  // namespace pm
