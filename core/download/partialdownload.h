#pragma once
// The start of a body kept in its temporary file, so that the next attempt,
// in this run or after a restart, asks the server only for the rest.

#include <QByteArray>
#include <QString>

namespace pm {

struct PartialDownload {
    QString file;          // the temporary file
    qint64 size = 0;       // bytes it holds
    QByteArray validator;  // ETag or Last-Modified of the response they came from
    bool isValid() const { return !file.isEmpty(); }
    bool operator==(const PartialDownload&) const = default;
};

}  // namespace pm
