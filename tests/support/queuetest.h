#pragma once
// Helpers for the download-queue tests: a plain queue list, and the files an
// output folder holds.

#include "queue/workque.h"

#include <QDir>
#include <QStringList>

namespace pm::test {

class ListQueue : public QueueList {
public:
    QStringList items;
    int count() const override { return int(items.size()); }
    QString entry(int index) const override { return items.at(index); }
    void removeAt(int index) override { items.removeAt(index); }
};

// Every file in `folder`, hidden ones included, sorted.
inline QStringList folderFiles(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

}  // namespace pm::test
