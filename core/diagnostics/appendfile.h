#pragma once
// A log file kept open for appending between lines. Opening and closing the
// file for every line cost more than the rest of a small download's work;
// kept open, a line is one write. Before each line the name is looked up
// again: when it no longer leads to the open file (the log was rotated,
// deleted or replaced, or another name is asked for) the file is opened
// anew, so another program can still read, rotate or remove the log at any
// time.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sys/types.h>

namespace pm {

class AppendFile {
public:
    // Makes `fileName` the open file, creating it when missing; nothing to
    // do when it already is. False, with errno telling why, when it cannot
    // be opened.
    bool openFor(const QString& fileName);
    bool isOpen() const { return m_file.isOpen(); }

    // Appends to the open file. False, with errno telling why, on a failure;
    // the file is then closed, so that the next line opens it anew.
    bool write(const QByteArray& bytes);

private:
    bool isOpenAs(const QString& fileName) const;

    QFile m_file;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

}  // namespace pm
