#include "core/config/atomicfile.h"

#include <QFileInfo>

#include <cerrno>
#include <cstdio>

namespace pm {

bool renameOver(const QString& from, const QString& to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

namespace {
// The file a write to `name` replaces: `name`, or the file its chain of links
// ends at, existing or not. As many links are followed as the system itself
// follows; a loop ends there.
QString linkedFile(const QString& name)
{
    QString file = name;
    for (int hops = 0; hops < 40 && QFileInfo(file).isSymLink(); ++hops)
        file = QFileInfo(file).symLinkTarget();
    return file;
}
}  // namespace

AtomicFileWriter::AtomicFileWriter(const QString& target)
    : m_target(linkedFile(target)), m_temp(m_target + QStringLiteral(".XXXXXX"))
{
    m_temp.setAutoRemove(true);
}

AtomicFileWriter::~AtomicFileWriter()
{
    cancel();
}

bool AtomicFileWriter::open()
{
    errno = 0;
    const QFileInfo existing(m_target);
    if (existing.isDir()) {
        errno = EISDIR;
        return false;
    }
    if (!m_temp.open())
        return false;
    // The new file keeps the old one's permissions; a new one gets the usual
    // read-for-all rather than the temporary file's owner-only mode.
    m_temp.setPermissions(existing.exists() ? existing.permissions()
                                            : QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                  | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    return true;
}

bool AtomicFileWriter::write(const QByteArray& bytes)
{
    errno = 0;
    return m_temp.isOpen() && m_temp.write(bytes) == bytes.size();
}

bool AtomicFileWriter::commit()
{
    errno = 0;
    if (!m_temp.isOpen() || !m_temp.flush())
        return false;
    const QString from = m_temp.fileName();
    m_temp.close();
    if (m_temp.error() != QFileDevice::NoError || !renameOver(from, m_target))
        return false;
    m_temp.setAutoRemove(false);
    return true;
}

void AtomicFileWriter::cancel()
{
    if (m_temp.isOpen())
        m_temp.close();
    if (m_temp.autoRemove())
        m_temp.remove();
}

}  // namespace pm
