#pragma once
// Which of a page's links lead to pages worth reading for their files: a
// gallery's thumbnails link to pages of their own that hold the full-size
// photo or the video. A link is followed when it leads to a web page (http
// or https, not a file on the extension list), is not the page itself, and
// stays on the page's site unless the user widens it to other sites.

#include "core/found/scanrules.h"

#include <QString>
#include <QStringList>

class QUrl;

namespace pm {

// Whether two addresses are on the same site: the same host, or two host
// names under the same registrable domain ("www.example.com" and
// "example.com", "img.example.co.uk" and "www.example.co.uk"), as the
// public suffix list draws it. Ports do not matter; an IP address is only
// its own site.
bool sameSite(const QUrl& a, const QUrl& b);

struct LinkedPageRules {
    ScanRules scan;          // the extension list tells files from pages
    bool otherSites = false; // follow links that leave the page's site too
    int limit = 100;         // the most pages followed

    static LinkedPageRules from(const Settings& settings);
};

// The pages `links` lead to, in link order, each once, at most `rules.limit`
// of them. A link's fragment is no part of the page it leads to.
QStringList linkedPagesToFollow(const QString& pageUrl, const QStringList& links, const LinkedPageRules& rules);

}  // namespace pm
