#pragma once
// What a work session would do with an address if it were queued now: the
// found list shows it beside each entry. It follows the session's own rules
// in the session's order, from what can be known before downloading: the
// address, the server's answer to a probe (when there is one), the
// settings, the output folder and the download archive.
//
// The decisions are those of TargetRules, taken with the probe's answer in
// place of the download's; the first that applies, in this order:
//   already downloaded     "Skip files already downloaded" is on and the archive has the address
//   no usable file name    the address ends in "." or ".."
//   refused: ...           no http(s) address
//   will skip: NAME exists the Skip rule and a file of the name
//   refused: ...           the name is one of Pullmark's own files
//   not reachable, not found (404), server answered 503
//                          the probe got no answer, or an error status
//   will skip, refused     as above, under the name the server's answer gives
//   too small (size rule)  the size rule is on and the probe's size is below it
//   identical file exists  "Keep the existing file" is on and a likely copy is archived (below)
//   already downloaded     the archive has the address or the probe's final address
//   identical file exists  a likely copy is archived, and both files will be kept
//   will save as NAME0.jpg, will overwrite NAME, new
//                          by the duplicate-name rule and the output folder
// Greyed are the skips, and the failures but for the statuses a retry may
// get past (408, 429, 500, 502, 503, 504).
//
// Identical content is only known once a download has been hashed, so the
// prediction takes as a likely copy an archived file that is still on disk
// with the probe's size and bears the same file name (of the address, the
// final address or the saved file). The session itself decides by content.
// Under the Rename rule each entry is predicted alone: two entries of the
// same name both show the first free number.

#include "core/found/urlprober.h"

#include <QString>

#include <optional>

namespace pm {

class DownloadArchive;
class Settings;

struct PredictedOutcome {
    enum Kind {
        New,
        Overwrite,
        Rename,
        SkipExists,
        TooSmall,
        AlreadyDownloaded,
        Identical,
        Fails,
    };
    Kind kind = New;
    QString text;           // what the found list shows
    bool greyed = false;    // the session would skip the entry, or its download would fail
    QString archivedAs;     // the file an earlier download of the address was saved as; "" when none
};

// Reads the output folder and the archive; costs a few file-system look-ups
// and at most three archive queries, so ask for the entries on screen.
PredictedOutcome predictOutcome(const QString& url, const std::optional<ProbeResult>& probe, const Settings& settings,
                                const DownloadArchive* archive);

}  // namespace pm
