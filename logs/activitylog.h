#pragma once
// The activity log: one time-stamped line per event, appended to the file
// that strG_LogFileName names. Opened and closed for every line.

#include <QDateTime>
#include <QString>

namespace pm {

// Appends "<date-time><TAB><text><CR LF>". Never fails to its caller: a line
// that cannot be written is lost without a trace.
void WriteLog(const QString& text);

// The locale's general date format: short date, a blank, long time; the
// time is left out at exactly midnight.
QString generalDateText(const QDateTime& when);

}  // namespace pm
