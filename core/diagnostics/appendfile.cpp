#include "core/diagnostics/appendfile.h"

#include <cerrno>

#include <sys/stat.h>

namespace pm {

bool AppendFile::openFor(const QString& fileName)
{
    if (isOpenAs(fileName))
        return true;
    m_file.close();
    m_file.setFileName(fileName);
    errno = 0;
    struct stat opened {};
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)
        || ::fstat(m_file.handle(), &opened) != 0) {
        const int error = errno;
        m_file.close();
        errno = error;
        return false;
    }
    m_device = opened.st_dev;
    m_inode = opened.st_ino;
    return true;
}

bool AppendFile::write(const QByteArray& bytes)
{
    errno = 0;
    if (m_file.isOpen() && m_file.write(bytes) == bytes.size())
        return true;
    const int error = errno;
    m_file.close();
    errno = error;
    return false;
}

bool AppendFile::isOpenAs(const QString& fileName) const
{
    if (!m_file.isOpen() || m_file.fileName() != fileName)
        return false;
    struct stat named {};
    return ::stat(QFile::encodeName(fileName).constData(), &named) == 0 && named.st_dev == m_device
        && named.st_ino == m_inode;
}

}  // namespace pm
