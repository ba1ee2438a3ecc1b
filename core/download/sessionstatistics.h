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

}  // namespace pm
