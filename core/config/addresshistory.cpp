#include "core/config/addresshistory.h"

#include "core/programpages.h"

namespace pm {

bool AddressHistory::entersHistory(const QString& address)
{
    // The guide's address, typed back into the address box, opens it again;
    // the start page is what Home is for, and at every start-up it would
    // push the user's own pages down.
    const bool programPage = address.startsWith(QLatin1String("qrc:"), Qt::CaseInsensitive)
        && !address.startsWith(QLatin1String(kUserGuideAddress));
    return !address.isEmpty() && address.compare(QLatin1String("http:///"), Qt::CaseInsensitive) != 0
        && address.compare(QLatin1String("about:blank"), Qt::CaseInsensitive) != 0 && !programPage;
}

int AddressHistory::find(const QString& address) const
{
    const QStringList list = m_model.stringList();
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).compare(address, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool AddressHistory::recordVisit(const QString& address)
{
    if (!entersHistory(address))
        return false;
    const int found = find(address);
    if (found == 0 && m_model.index(0).data().toString() == address)
        return true;
    if (found >= 0)
        m_model.removeRow(found);
    m_model.insertRow(0);
    m_model.setData(m_model.index(0), address);
    return true;
}

void AddressHistory::remove(const QString& address)
{
    const int found = find(address);
    if (found >= 0)
        m_model.removeRow(found);
}

}  // namespace pm
