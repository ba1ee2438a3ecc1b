#pragma once
// Which addresses the found list takes. Two sets of rules exist: the
// default scan's, which look at an address the way a download will (its
// path's extension, http and https only), and the classic scan's, which
// search the extension list for everything after the address's last dot.

#include <QSet>
#include <QString>
#include <QStringList>

namespace pm {

class Settings;

// The settings a scan of a page follows.
struct ScanRules {
    bool classic = false;        // the classic scan's rules
    bool links = true;           // linked items
    bool embedded = false;       // embedded items
    bool imagesAsShown = false;  // an image's displayed version instead of its largest
    QString extensions;

    static ScanRules from(const Settings& settings);
    bool operator==(const ScanRules&) const = default;
};

// Classic rule: true when fileExtension(address) occurs anywhere inside
// `extensionList`, ignoring case. The list is searched as one text, never
// split, so parts of entries and text across the blank between entries match
// too. An empty extension (address ending in ".") matches any non-empty list;
// an empty list matches nothing.
bool extensionMatches(const QString& address, const QString& extensionList);

// True for the addresses a download can fetch: http and https.
bool isFetchable(QStringView address);

// The extension of an absolute address's path: the text after the last "."
// of the path's last segment, percent-decoded; query and fragment are not
// part of it. Null when the segment has no "." ("" when it ends in one).
QString pathExtension(QStringView address);

// The extension list split into words at blanks, commas and semicolons, a
// leading "." dropped ("jpg, .png;gif" is jpg, png and gif).
QStringList extensionWords(const QString& extensionList);

// Whether the found list takes an address, by either set of rules.
class AddressMatcher {
public:
    explicit AddressMatcher(const ScanRules& rules);
    bool matches(const QString& address) const;

private:
    bool m_classic;
    QString m_list;       // classic: searched as one text
    QSet<QString> m_words;  // default: case-folded extensions
};

// Builds a found list: matching addresses in the order they are offered, an
// address equal to one already listed (ignoring case) left out. Each offer
// costs one hash look-up, so 100,000 links stay fast.
class FoundListBuilder {
public:
    explicit FoundListBuilder(const ScanRules& rules) : m_matcher(rules) {}

    // Appends `address` if it matches and is new. Returns true if appended.
    bool offer(const QString& address);
    void offerAll(const QStringList& addresses);

    const QStringList& urls() const { return m_urls; }
    int count() const { return int(m_urls.size()); }

private:
    AddressMatcher m_matcher;
    QSet<QString> m_keys;  // case-folded forms of m_urls
    QStringList m_urls;
};

}  // namespace pm
