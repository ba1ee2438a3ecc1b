#pragma once
// The page scraper without any widget: the scripts that read the page on
// display, reading what they return, and building the found list from it.
//
// Two scans exist. The classic scan reads each frame's links and images (or
// the page's own when it has no frames) from the top document, and reports
// a frame of another origin as an error. The default scan reads the page's
// own document and then every frame at any depth, in document order; a frame
// of another origin reads itself and reports what it holds (FrameReport).

#include "core/found/scanrules.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

namespace pm {

// One document the scan looked at: the page's own or a frame's.
struct ScannedDocument {
    enum Kind {
        Read,        // `links` and `embedded` hold what it holds
        Missing,     // no document (a frame still empty)
        Unreadable,  // reading it failed: `error` says why
        Foreign,     // another origin's frame: its report tells what it holds
    };
    Kind kind = Missing;
    QString path;            // default scan: the frame's positions from the top ("" the page, "1.0")
    QString id;              // Read: the page's name for this document
    bool unchanged = false;  // Read: as when last read; LoadScans fills the lists
    bool grown = false;      // Read: the lists hold what was gained since the last read
    QString error;
    QStringList links;
    QStringList embedded;  // images (classic) or embedded items (default)
};

// What a scan script read from the page.
struct PageScan {
    // False when the page gave nothing back: no document is loaded, or it went
    // away while the script ran.
    bool hasDocument = false;
    QString error;  // set when the page could not be read as an HTML document
    QString href;   // location.href when the script ran
    QString url;    // the document's address
    QList<ScannedDocument> documents;  // in document order
};

PageScan parsePageScan(const QVariant& result);

// What a frame of another origin reported of its own document.
struct FrameReport {
    QString path;
    QString id;         // the frame's document
    QString topOrigin;  // the origin of the page the frame is in, as the frame sees it
    QStringList links;
    QStringList embedded;       // each image's largest version
    QStringList embeddedShown;  // each image as shown
};
// Null when `json` is not a report.
std::optional<FrameReport> parseFrameReport(const QString& json);

// The classic scan's script: run in the top document, its result goes to
// parsePageScan. `epoch` comes from LoadScans::prepareRead.
QString classicScanScript(bool scanLinks, bool scanImages, int epoch);

// The default scan's reader. `token` is the page's secret: the reader's
// console messages begin with it. attach: the script every document runs
// once parsed. read: run in the top document; its result goes to
// parsePageScan.
QString readerAttachScript(const QString& token);
QString readerReadScript(const QString& token, const ScanRules& rules, int epoch);

// The found list of one scan: the matching addresses of each document in
// document order, links before embedded items. Under the classic rules
// `unreadable(position, error)` decides about each frame that could not be
// read: true goes on with the next one, false stops the list there
// (`stopped`). Under the default rules such frames, and frames of another
// origin that have not reported, are skipped and counted.
struct FoundList {
    QStringList urls;
    bool stopped = false;
    int skippedFrames = 0;
};
FoundList buildFoundList(const PageScan& page, const ScanRules& rules,
                         const std::function<bool(int position, const QString& error)>& unreadable);

}  // namespace pm
