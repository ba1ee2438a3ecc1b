#pragma once
// The page scraper's rules without any widget: which addresses match the
// extension list, the found list's order and duplicates, and reading what the
// scraping script returns from the page.

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

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
    QString error;  // Unreadable: why (e.g. "SecurityError: ...")
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

// The script to run in the page; its result goes to parsePageScan.
QString scrapeScript(bool scanLinks, bool scanImages);

}  // namespace pm
