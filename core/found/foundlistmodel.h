#pragma once
// The found list as a table: each entry's file name, type, size, the page it
// was found on and what a download of it would do, with the full address and
// the page as its tooltip. A rescan of the page on display merges into it
// instead of replacing it, so that rows keep their place and a view's
// selection of them survives.
//
// The entries of the page on display come first; after them, those that
// pages the page links to hold (a harvest of linked pages), which stay while
// the page on display is rescanned and go when another page is shown.

#include <QAbstractTableModel>
#include <QHash>
#include <QStringList>

class QItemSelectionModel;

namespace pm {

// What is known of a found entry before it is downloaded.
struct FoundDetails {
    QString contentType;  // as the server names it; empty until it answered
    qint64 size = -1;     // bytes, -1 when unknown
    QString outcome;      // what a download would do, in words
    bool wouldNotSave = false;  // the download would fail or be skipped: shown greyed
    bool isNew = false;         // nothing of it is on disk or in the archive yet
    QString savedName;          // the name the download would be saved under, by the server's answer; "" until it answered

    bool operator==(const FoundDetails&) const = default;
};

class FoundListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, TypeColumn, SizeColumn, FoundOnColumn, OutcomeColumn, ColumnCount };
    enum Role {
        UrlRole = Qt::UserRole + 1,
        WouldNotSaveRole,  // bool
        FoundOnRole,       // the address of the page the entry was found on
    };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const QStringList& stringList() const { return m_urls; }
    QString url(int row) const { return m_urls.at(row); }
    // The page the entry at `row` was found on: a linked page's address for
    // the entries a linked page added, else the page on display's.
    QString foundOn(int row) const;
    // The entries at `rows`, in that order, in runs of consecutive entries
    // found on one page.
    struct PageRun {
        QString page;
        QStringList urls;
    };
    QList<PageRun> runsByPage(const QList<int>& rows) const;
    // How many entries linked pages added.
    int linkedCount() const { return int(m_linkedFrom.size()); }
    FoundDetails details(const QString& url) const { return m_details.value(url.toCaseFolded()); }
    // Sets what is known of `url`; its row, if it is listed, shows it. Kept
    // while the entry is listed again by a rescan.
    void setDetails(const QString& url, const FoundDetails& details);
    // The row of `url` (letter case ignored), or -1.
    int rowOf(const QString& url) const;
    // Replaces the whole list, the entries of linked pages included; a
    // view's selection is cleared.
    void setStringList(const QStringList& urls);
    // The address of the page on display, which its own entries were found
    // on ("" when none): the Referer of their probes and downloads.
    QString page() const { return m_page; }
    void setPage(const QString& page) { m_page = page; }
    // Appends what the linked page `page` holds, in order, after every entry
    // listed; an entry listed already (letter case ignored) keeps its place.
    // Returns how many were added.
    int addLinked(const QString& page, const QStringList& urls);

    // Brings the list to a rescan's list `fresh` of the page on display (no
    // two entries equal when case is ignored); the entries of linked pages
    // stay as they are, after the page's own. Entries also in `fresh`, ignoring case, stay in their
    // order, in the letter case `fresh` has; the others leave. Each new entry joins right
    // after the nearest entry that precedes it in `fresh` and was already
    // shown (at the top if there is none), so new entries keep the order of
    // `fresh`, and a list shown in that order ends equal to it. `selection`
    // (a view's, over this list or over a proxy of it such as a filter; may
    // be null) keeps the entries it had that stay. Rows move by insertions
    // and removals, which a view follows without a jump; when
    // there are too many separate ones, the list is replaced in one go and
    // the selection put back.
    void merge(const QStringList& fresh, QItemSelectionModel* selection);

private:
    // Replaces the rows; what is known of linked entries still listed stays.
    void resetRows(const QStringList& urls);
    void replaceKeepingSelection(const QStringList& fresh, const QHash<QString, QString>& freshByKey,
                                 const QList<bool>& leaves, const QStringList& top,
                                 const QHash<QString, QStringList>& following, QItemSelectionModel* selection);

    QStringList m_urls;
    QString m_page;
    QHash<QString, QString> m_linkedFrom;    // case-folded address of a linked page's entry -> that page
    QHash<QString, FoundDetails> m_details;  // case-folded address -> details
    mutable QHash<QString, int> m_rows;      // case-folded address -> row; rebuilt after the rows change
};

}  // namespace pm
