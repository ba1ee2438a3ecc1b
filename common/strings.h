#pragma once
// Small text routines shared by the scraper, the queue and the settings.

#include <QString>

namespace pm {

// Everything after the last "." (the whole text when there is none; "" when
// the text ends in "."). Query strings and fragments are kept.
QString GetFileExt(const QString& text);

// Everything after the last "/" or "\".
QString GetFileName(const QString& text);

// Splits a full file name at its last native separator into folder (without
// the separator) and file name. Without a separator the folder is empty.
void SplitPath(const QString& fullName, QString& folder, QString& fileName);

// Whole seconds as "hh:mm:ss": two digits per field, hours widen past 99.
// Negative counts give negative fields, as the clock arithmetic yields them.
QString FormatElapsed(qint64 seconds);

}  // namespace pm
