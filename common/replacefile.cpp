#include "common/replacefile.h"

#include <QFileInfo>

#include <cerrno>
#include <cstdio>

namespace pm {

ReplaceFile::ReplaceFile(const QString& target) : m_target(target), m_temp(target + QStringLiteral(".XXXXXX"))
{
    m_temp.setAutoRemove(true);
}

ReplaceFile::~ReplaceFile()
{
    cancel();
}

bool ReplaceFile::open()
{
    errno = 0;
    if (QFileInfo(m_target).isDir()) {
        errno = EISDIR;
        return false;
    }
    if (!m_temp.open())
        return false;
    // The new file keeps the old one's permissions; a new one gets the usual
    // read-for-all rather than the temporary file's owner-only mode.
    const QFileInfo existing(m_target);
    m_temp.setPermissions(existing.exists() ? existing.permissions()
                                            : QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                  | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    return true;
}

bool ReplaceFile::write(const QByteArray& bytes)
{
    errno = 0;
    return m_temp.isOpen() && m_temp.write(bytes) == bytes.size();
}

bool ReplaceFile::commit()
{
    errno = 0;
    if (!m_temp.isOpen() || !m_temp.flush())
        return false;
    const QByteArray from = QFile::encodeName(m_temp.fileName());
    m_temp.close();
    if (m_temp.error() != QFileDevice::NoError)
        return false;
    // QFile::rename refuses an existing target; the system call replaces it
    // in one step.
    if (std::rename(from.constData(), QFile::encodeName(m_target).constData()) != 0)
        return false;
    m_temp.setAutoRemove(false);
    return true;
}

void ReplaceFile::cancel()
{
    if (m_temp.isOpen())
        m_temp.close();
    if (m_temp.autoRemove())
        m_temp.remove();
}

}  // namespace pm
