#pragma once
// The name a download is saved under. It comes from the address's path (its
// last segment, percent-decoded; query and fragment play no part) unless
// the server's answer names the file, and it is always made safe to create
// directly inside the output folder.

#include <QByteArray>
#include <QString>

#include <optional>

namespace pm {

// The longest file name the file system takes, in bytes.
inline constexpr int kLongestFileName = 255;

// `name` made safe to create inside a folder: only what follows its last
// "/" or "\", no control characters, no leading dot, at most
// kLongestFileName bytes (cut between characters, the extension kept when
// it can be). "" when nothing is left.
QString safeFileName(const QString& name);

// The last segment of the path of `url`, percent-decoded, without query or
// fragment, made safe. "" when the path ends in "/" or is empty (the answer's
// type names the file then); nullopt when the last segment is "." or "..",
// which names no file at all.
std::optional<QString> addressFileName(const QString& url);

// The file name a Content-Disposition header gives, not made safe yet: the
// `filename*` form (RFC 5987, UTF-8 or ISO-8859-1) before `filename`, as
// RFC 6266 asks. "" when the header names no file.
QString dispositionFileName(const QByteArray& header);

// What a server's answer tells about the file it sends.
struct ServerAnswer {
    QByteArray contentDisposition;  // the header as sent; empty when none
    QString contentType;            // the Content-Type header as sent
};

// The name a download of `url` is saved under: the name the answer's
// Content-Disposition gives, else the address's. A name that is empty once
// made safe becomes "index" plus the extension that matches the answer's
// type ("index" alone without an answer or a known type). nullopt when the
// address ends in "." or "..": such an entry is refused before it is fetched.
std::optional<QString> savedFileName(const QString& url, const ServerAnswer& answer = {});

// The name shown for an entry before it is fetched: its savedFileName()
// without an answer, or the address's last segment as it stands when that
// names no file.
QString shownFileName(const QString& url);

}  // namespace pm
