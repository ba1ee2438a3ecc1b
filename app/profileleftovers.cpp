#include "app/profileleftovers.h"

#include <QDir>
#include <QFileInfo>

namespace pm {

void ProfileLeftovers::watch(const QString& folder)
{
    m_made.clear();
    for (QString path = QDir::cleanPath(folder); !QFileInfo::exists(path); path = QFileInfo(path).path())
        m_made << path;
}

ProfileLeftovers::~ProfileLeftovers()
{
    if (m_made.isEmpty())
        return;
    QDir(m_made.first()).removeRecursively();
    for (const QString& folder : m_made.mid(1))
        QDir().rmdir(folder);  // only while empty
}

}  // namespace pm
