#pragma once
// The running totals of a work session as the Work Queue window shows them.

#include <QString>
#include <QtGlobal>

namespace pm {

// An item's size as shown: always kilobytes ("2,048.00 KB").
QString itemSizeText(double bytes);

// The session total with its unit steps: KB, MB, GB, then " TB or bigger".
class SessionTotal {
public:
    // Adds one item's bytes in the current unit (the sum kept in single
    // precision, as the display has always had it).
    void add(double bytes);
    // The total in its unit, e.g. "3.00 MB".
    QString text() const;
    // One unit step when the total is strictly above 1024; at most one per item.
    void stepUnit();

private:
    float m_total = 0;
    qint64 m_unitSize = 1024;
    QString m_unitText = QStringLiteral(" KB");
};

// Whether the overall progress bar of a session turns busy: only when the
// same downloads stay in work with no size known for several refreshes in a
// row. Every small file spends a moment before its size is known; a bar
// that turned busy then would run its animation, which repaints the bar
// many times a second, through a whole session of small files.
class SizeUnknownWatch {
public:
    explicit SizeUnknownWatch(int refreshesBeforeBusy) : m_refreshesBeforeBusy(refreshesBeforeBusy) {}

    // One refresh: `begun` counts the downloads begun in the session,
    // `active` those in work now, `sizeKnown` whether their sizes are all
    // known. Returns whether the bar is to show busy.
    bool busyAfter(int begun, int active, bool sizeKnown);
    void reset() { m_unknownRefreshes = 0; }

private:
    int m_refreshesBeforeBusy;
    int m_unknownRefreshes = 0;  // in a row, with the same downloads in work
    int m_begun = -1;            // `begun` when they began
};

}  // namespace pm
