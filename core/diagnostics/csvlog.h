#pragma once
// The CSV download log beside the activity log: a header row (written by the
// path check) and one row per downloaded item.

#include <QDateTime>
#include <QString>
#include <QVariant>

namespace pm {

class AppendFile;
class ErrorReporter;
class Settings;

// The CSV name: the log name up to and including its last ".", then "csv".
// Without any "." the name is just "csv".
QString csvFileNameFor(const QString& logFileName);

// One field for a value: a QString is quoted text (unchanged, quotes
// included), a whole number bare digits, a QDateTime #yyyy-mm-dd hh:mm:ss#
// (#yyyy-mm-dd# at exactly midnight), an invalid QVariant nothing.
QString csvField(const QVariant& value);
// The fields joined by "," with CR LF at the end.
QString csvRecord(const QVariantList& fields);
// The header row.
QString csvHeaderRecord();

// One finished item as its row records it. `size` is the Content-Length text,
// or the byte count when the response had none.
struct CsvRow {
    QString url;
    QDateTime start;
    QDateTime complete;
    QString downloadTime;  // "hh:mm:ss"
    QVariant size;
    QString savedPath;  // the file saved, or that would have been saved
};

// Appends the row to the CSV log named after the settings' activity log,
// through `file`, which stays open for the next row. Failures are reported
// under "WriteCSV.".
void appendCsvRow(const Settings& settings, ErrorReporter& errors, AppendFile& file, const CsvRow& row);

}  // namespace pm
