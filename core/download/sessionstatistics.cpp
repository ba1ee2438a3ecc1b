#include "core/download/sessionstatistics.h"

#include "core/textutil.h"

namespace pm {

QString itemSizeText(double bytes)
{
    return standardNumberText(bytes / 1024.0) + QStringLiteral(" KB");
}

void SessionTotal::add(double bytes)
{
    m_total = float(double(m_total) + bytes / double(m_unitSize));
}

QString SessionTotal::text() const
{
    return standardNumberText(m_total) + m_unitText;
}

void SessionTotal::stepUnit()
{
    if (!(m_total > 1024.0f))
        return;
    // Past the top unit the size keeps growing but the text stays.
    if (m_unitSize <= (qint64(1) << 52))
        m_unitSize *= 1024;
    m_total = float(double(m_total) / 1024.0);
    switch (m_unitSize) {
    case qint64(1) << 20: m_unitText = QStringLiteral(" MB"); break;
    case qint64(1) << 30: m_unitText = QStringLiteral(" GB"); break;
    default: m_unitText = QStringLiteral(" TB or bigger"); break;
    }
}

bool SizeUnknownWatch::busyAfter(int begun, int active, bool sizeKnown)
{
    if (sizeKnown || active == 0 || begun != m_begun) {
        m_unknownRefreshes = 0;
        m_begun = begun;
    }
    if (!sizeKnown && active > 0)
        ++m_unknownRefreshes;
    return m_unknownRefreshes >= m_refreshesBeforeBusy;
}

}  // namespace pm
