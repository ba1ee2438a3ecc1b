#pragma once
// The running statistics of a work session: the number texts and the session
// total with its unit steps (KB, MB, GB, then " TB or bigger").

#include <QString>
#include <QtGlobal>

namespace pm {

// The "standard" number text: digit grouping and exactly two decimals in the
// current locale ("1,234.50" in English).
QString formatStandard(double value);

// An item's size as shown: always kilobytes ("2,048.00 KB").
QString itemSizeText(double bytes);

class SessionTotal {
public:
    // Adds one item's bytes in the current unit (the sum kept in single
    // precision, as the display has always had it).
    void add(double bytes);
    // The total in its unit, e.g. "3.00 MB".
    QString text() const;
    // One unit step when the total is strictly above 1024; at most one per item.
    void stepUnit();

    float total() const { return m_total; }
    qint64 unitSize() const { return m_unitSize; }
    const QString& unitText() const { return m_unitText; }

private:
    float m_total = 0;
    qint64 m_unitSize = 1024;
    QString m_unitText = QStringLiteral(" KB");
};

}  // namespace pm
