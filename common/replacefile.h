#pragma once
// Writes a file's new content beside it and replaces it in one rename, so a
// failed or interrupted write never leaves a truncated file under the real
// name. Unlike QSaveFile it does not force the data to disk before the rename:
// the configuration is saved after every downloaded item, and a forced flush
// there costs more than the download itself. On ext4 and most journalling file
// systems a rename over an existing file still never exposes an empty one.

#include <QString>
#include <QTemporaryFile>

namespace pm {

class ReplaceFile {
public:
    explicit ReplaceFile(const QString& target);
    ~ReplaceFile();  // a file neither committed nor cancelled is discarded

    // Creates the temporary file in the target's folder; errno tells why not.
    bool open();
    bool isOpen() const { return m_temp.isOpen(); }
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
