#pragma once
// Pages written in the manner of today's sites, to measure what the found
// list holds of the media a person harvesting them wants: news articles with
// responsive images (srcset, <picture>, addresses with commas in them),
// photo blogs whose galleries load lazily with <noscript> fallbacks,
// encyclopedia articles, and video pages; players in frames of another site,
// advertisement and share-button frames of a third. Three origins serve
// them: the site's, the player's and the advertiser's (loopback servers).
//
// What a person wants of a page: every linked media file; for each image its
// largest version; each picture source, video, audio and video poster. Not
// wanted: an image's smaller versions, lazy loaders' placeholders,
// advertisements and their tracking pixels, and pages whose address only
// looks like a media file's (an encyclopedia's "File:x.jpg" pages).

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace pm::test {

struct SitePage {
    enum Origin { Site, Player, Ads };
    Origin origin = Site;
    QString path;
    QByteArray html;
};

struct SitePages {
    QList<SitePage> pages;      // every page and frame, by the origin that serves it
    QStringList opened;         // the pages to open, paths on the site's origin
    QHash<QString, QStringList> wanted;  // opened path -> the absolute addresses wanted
};

// `count` pages of the four kinds in turn, their details varied by `seed`;
// `site`, `player` and `ads` are the three origins' base addresses.
SitePages makeSitePages(int count, quint32 seed, const QString& site, const QString& player, const QString& ads);

// What found lists hold of the pages' wanted media, summed over pages.
struct HarvestCount {
    qsizetype wanted = 0;
    qsizetype wantedListed = 0;
    qsizetype listed = 0;
    QStringList missing;  // wanted, not listed

    // The wanted addresses `found` does not hold.
    static QStringList missingFrom(const QStringList& wanted, const QStringList& found);
    void add(const QStringList& wanted, const QStringList& found);
    qsizetype notWanted() const { return listed - wantedListed; }
};

// The extension list the measure uses.
inline constexpr const char* kSitePagesExtensions = "jpg jpeg png gif webp mp4 webm mpg mpeg wmv mov mp3";

}  // namespace pm::test
