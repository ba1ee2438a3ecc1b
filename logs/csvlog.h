#pragma once
// The CSV download log beside the activity log: one row per processed item.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace pm {

// The CSV name: the log name up to and including its last ".", then "csv".
// Without any "." the name is just "csv".
QString csvFileNameFor(const QString& logFileName);

// #yyyy-mm-dd hh:mm:ss#, or #yyyy-mm-dd# at exactly midnight.
QString csvDateField(const QDateTime& when);
// A text between double quotes, unchanged.
QString csvTextField(const QString& text);
// One field for a value: a QString is quoted text, a whole number bare digits,
// a QDateTime a date field, an invalid QVariant nothing.
QString csvField(const QVariant& value);
// The fields joined by "," with CR LF at the end.
QString csvRecord(const QVariantList& fields);

// The header row's seven texts.
QString csvHeaderRecord();

// Appends one row for a processed item. `firstQueueEntry` is the queue's
// entry 0 (the item in work); `size` is what the saving step returned: text
// from Content-Length, a whole number of bytes, or invalid for none.
// Failures are reported under "WriteCSV.".
void WriteCSV(const QString& firstQueueEntry, const QString& url, const QDateTime& start,
              const QDateTime& complete, const QString& downloadTime, const QVariant& size);

}  // namespace pm
