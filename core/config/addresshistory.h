#pragma once
// The address history of the browser's address box: most recent first, one
// entry per address whatever its letter case. The address box shows the
// model; the configuration file stores its entries.

#include <QString>
#include <QStringList>
#include <QStringListModel>

namespace pm {

class AddressHistory {
public:
    QStringListModel* model() { return &m_model; }
    QStringList entries() const { return m_model.stringList(); }
    void setEntries(const QStringList& entries) { m_model.setStringList(entries); }
    int count() const { return m_model.rowCount(); }

    // Whether a visited address enters the history. Empty and blank pages,
    // the program's own pages (qrc:) but the user guide, and "http:///",
    // what the browser reports for a navigation that never got an address,
    // never do.
    static bool entersHistory(const QString& address);

    // Puts `address` at the top, removing an entry equal to it without regard
    // to case. Returns false, changing nothing, for an address that never
    // enters the history.
    bool recordVisit(const QString& address);
    // Removes the first entry equal to `address` without regard to case.
    void remove(const QString& address);

private:
    int find(const QString& address) const;

    QStringListModel m_model;
};

}  // namespace pm
