#pragma once
// Replacing a file in one step, so that a failed or interrupted write never
// leaves a truncated file under the real name.

#include <QString>
#include <QTemporaryFile>

namespace pm {

// Renames `from` over `to`, replacing an existing `to` in one step (unlike
// QFile::rename, which refuses an existing target). On failure returns false
// with errno set.
bool renameOver(const QString& from, const QString& to);

// Writes a file's new content beside it and renames it over the old one.
// Unlike QSaveFile it does not force the data to disk before the rename (the
// configuration is saved often, and a forced flush costs more than the save);
// on ext4 and most journalling file systems a rename over an existing file
// still never exposes an empty one. QSaveFile in Qt 6.4 also commits a file
// whose write came up short, which this class refuses.
//
// A target that is a symbolic link is written through it: the file the link
// names is replaced, and the link stays a link.
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(const QString& target);
    ~AtomicFileWriter();  // a file neither committed nor cancelled is discarded

    // Creates the temporary file in the target's folder; errno tells why not.
    bool open();
    bool isOpen() const { return m_temp.isOpen(); }
    // Gives the new file other permissions than the old one's; after open().
    bool setPermissions(QFileDevice::Permissions permissions) { return m_temp.setPermissions(permissions); }
    // Returns false on any failure, a short write included; errno tells why.
    bool write(const QByteArray& bytes);
    // Flushes, closes and renames over the target; errno tells why not.
    bool commit();
    void cancel();

private:
    QString m_target;
    QTemporaryFile m_temp;
};

}  // namespace pm
