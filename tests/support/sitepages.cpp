#include "tests/support/sitepages.h"

#include <QRandomGenerator>

namespace pm::test {

namespace {

const char* const kPlaceholder = "data:image/gif;base64,R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7";

// Writes the pages of one opened page: its own and those of its frames.
class PageWriter {
public:
    PageWriter(SitePages& out, int number, QRandomGenerator& random, const QString& site, const QString& player,
               const QString& ads)
        : m_out(out), m_number(QString::number(number)), m_random(random), m_site(site), m_player(player), m_ads(ads)
    {
    }

    void write(int kind)
    {
        m_path = QStringLiteral("/page-%1.html").arg(m_number);
        m_html = "<!DOCTYPE html><html><head><meta charset='utf-8'><title>Page " + m_number.toUtf8()
            + "</title></head><body>\n";
        navigation();
        switch (kind % 4) {
        case 0: newsArticle(); break;
        case 1: photoBlog(); break;
        case 2: encyclopedia(); break;
        case 3: videoPage(); break;
        }
        footer();
        m_html += "</body></html>\n";
        m_out.pages.append({SitePage::Site, m_path, m_html.toUtf8()});
        m_out.opened.append(m_path);
        m_out.wanted.insert(m_path, m_wanted);
    }

private:
    QString id(int i) const { return m_number + QLatin1Char('-') + QString::number(i); }
    int between(int low, int high) { return int(m_random.bounded(low, high + 1)); }
    void want(const QString& address) { m_wanted.append(address); }

    void navigation()
    {
        m_html += "<header><a href='" + m_site + "/'><img src='" + m_site + "/static/logo.png' alt='Site'></a><nav>";
        for (const char* section : {"news", "world", "sport", "culture", "photos", "video"})
            m_html += "<a href='" + m_site + "/" + section + "/'>" + section + "</a> ";
        m_html += "</nav></header>\n";
        want(m_site + QStringLiteral("/static/logo.png"));
    }

    void footer()
    {
        // A share-button frame of the third origin: links to pages only.
        const QString share = QStringLiteral("/share-%1.html").arg(m_number);
        m_out.pages.append({SitePage::Ads, share,
                            ("<html><body><a href='" + m_ads + "/share?u=" + m_number + "'>Share</a> <a href='" + m_ads
                             + "/tweet?u=" + m_number + "'>Post</a></body></html>")
                                .toUtf8()});
        m_html += "<footer><iframe src='" + m_ads + share + "' width='200' height='30'></iframe>";
        for (int i = 0; i < 8; ++i)
            m_html += "<a href='" + m_site + "/about/" + QString::number(i) + ".html'>about</a> ";
        m_html += "</footer>\n";
    }

    // An advertisement frame of the third origin: a banner and a tracking
    // pixel, neither wanted.
    void advertisement()
    {
        const QString slot = QStringLiteral("/slot-%1-%2.html").arg(m_number).arg(m_adCount++);
        m_out.pages.append({SitePage::Ads, slot,
                            ("<html><body><a href='" + m_ads + "/click?slot=" + m_number + "'><img src='" + m_ads
                             + "/creative/banner-" + m_number + ".gif'></a><img src='" + m_ads + "/px.gif?s="
                             + m_number + "' width='1' height='1'></body></html>")
                                .toUtf8()});
        m_html += "<aside><iframe src='" + m_ads + slot + "' width='300' height='250'></iframe></aside>\n";
    }

    // A player of the second origin in a frame: a poster and the video in
    // two formats, and inside the player a frame of its own with an
    // advertisement.
    void playerFrame(int i)
    {
        const QString embed = QStringLiteral("/embed/v-%1.html").arg(id(i));
        const QString media = m_player + QStringLiteral("/media/v-") + id(i);
        const QString inner = QStringLiteral("/embed/related-%1.html").arg(id(i));
        m_out.pages.append({SitePage::Player, embed,
                            ("<html><body><video controls preload='none' poster='" + m_player + "/poster/v-" + id(i)
                             + ".jpg?w=1280'><source src='" + media + ".mp4' type='video/mp4'><source src='" + media
                             + ".webm' type='video/webm'></video><iframe src='" + m_player + inner
                             + "'></iframe></body></html>")
                                .toUtf8()});
        m_out.pages.append({SitePage::Player, inner,
                            ("<html><body><a href='" + m_player + "/watch/next-" + id(i) + ".html'><img src='"
                             + m_player + "/thumbs/next-" + id(i) + ".jpg'></a></body></html>")
                                .toUtf8()});
        m_html += "<iframe src='" + m_player + embed + "' width='640' height='360' allowfullscreen></iframe>\n";
        want(m_player + QStringLiteral("/poster/v-") + id(i) + QStringLiteral(".jpg?w=1280"));
        want(media + QStringLiteral(".mp4"));
        want(media + QStringLiteral(".webm"));
        want(m_player + QStringLiteral("/thumbs/next-") + id(i) + QStringLiteral(".jpg"));
    }

    // A responsive image served by an image service whose addresses hold
    // commas: its largest version is wanted.
    QString responsiveImage(const QString& name)
    {
        const QString base = m_site + QStringLiteral("/image/upload/");
        const QString largest = base + QStringLiteral("c_fit,w_1880,q_auto/") + name;
        m_html += "<img src='" + base + "c_fit,w_470,q_auto/" + name + "' srcset='" + base + "c_fit,w_470,q_auto/"
            + name + " 470w, " + base + "c_fit,w_940,q_auto/" + name + " 940w," + largest
            + " 1880w' sizes='(min-width: 60em) 50vw, 100vw' alt=''>";
        return largest;
    }

    void newsArticle()
    {
        // The hero picture: each source's largest and the image.
        const QString hero = m_site + QStringLiteral("/image/upload/");
        const QString name = QStringLiteral("hero-") + m_number;
        m_html += "<article><picture><source type='image/webp' srcset='" + hero + "c_fill,w_800/" + name + ".webp 800w, "
            + hero + "c_fill,w_1600/" + name + ".webp 1600w'><source srcset='" + hero + "c_fill,w_800/" + name
            + ".jpg 800w, " + hero + "c_fill,w_1600/" + name + ".jpg 1600w'><img src='" + hero + "c_fill,w_1600/"
            + name + ".jpg' alt=''></picture>\n";
        want(hero + QStringLiteral("c_fill,w_1600/") + name + QStringLiteral(".webp"));
        want(hero + QStringLiteral("c_fill,w_1600/") + name + QStringLiteral(".jpg"));
        m_html += "<h1>Headline</h1><p>Text of the article.</p>\n";
        const int figures = between(3, 6);
        for (int i = 0; i < figures; ++i) {
            m_html += "<figure>";
            want(responsiveImage(QStringLiteral("photo-") + id(i) + QStringLiteral(".jpg")));
            m_html += "<figcaption>Caption <a href='" + m_site + "/full/photo-" + id(i)
                + ".jpg?download=1'>full size</a></figcaption></figure>\n";
            want(m_site + QStringLiteral("/full/photo-") + id(i) + QStringLiteral(".jpg?download=1"));
            if (i == 1)
                playerFrame(i);
            if (i == 2)
                advertisement();
        }
        // A podcast of the article, counted per listening source.
        m_html += "<audio controls preload='none' src='" + m_site + "/audio/ep-" + m_number + ".mp3?source=article'></audio>\n";
        want(m_site + QStringLiteral("/audio/ep-") + m_number + QStringLiteral(".mp3?source=article"));
        m_html += "</article><section>";
        for (int j = 0; j < 6; ++j) {
            m_html += "<a href='" + m_site + "/article/" + id(j) + ".html'><img src='" + m_site + "/thumbs/" + id(j)
                + ".jpg?w=200' loading='lazy' alt=''>Related</a>\n";
            want(m_site + QStringLiteral("/thumbs/") + id(j) + QStringLiteral(".jpg?w=200"));
        }
        m_html += "</section>\n";
    }

    void photoBlog()
    {
        m_html += "<main><h1>Gallery</h1>\n";
        const int photos = between(10, 20);
        for (int i = 0; i < photos; ++i) {
            const QString photo = m_site + QStringLiteral("/photos/p-") + id(i);
            switch (i % 4) {
            case 0:  // lazysizes: data-src and data-srcset, a fallback, a link to the original
                m_html += "<a href='" + photo + "-2048.jpg'><img class='lazyload' src='" + kPlaceholder + "' data-src='"
                    + photo + "-640.jpg' data-srcset='" + photo + "-640.jpg 640w, " + photo
                    + "-1280.jpg 1280w' data-sizes='auto' alt=''></a><noscript><img src='" + photo
                    + "-1280.jpg'></noscript>\n";
                want(photo + QStringLiteral("-2048.jpg"));
                want(photo + QStringLiteral("-1280.jpg"));
                break;
            case 1:  // WordPress: data-lazy-src and data-lazy-srcset
                m_html += "<img src='" + QLatin1String(kPlaceholder) + "' data-lazy-src='" + m_site
                    + "/wp-content/uploads/x-" + id(i) + "-300x200.jpg' data-lazy-srcset='" + m_site
                    + "/wp-content/uploads/x-" + id(i) + "-300x200.jpg 300w, " + m_site + "/wp-content/uploads/x-"
                    + id(i) + ".jpg 1024w' alt=''><noscript><img src='" + m_site + "/wp-content/uploads/x-" + id(i)
                    + ".jpg'></noscript>\n";
                want(m_site + QStringLiteral("/wp-content/uploads/x-") + id(i) + QStringLiteral(".jpg"));
                break;
            case 2:  // jQuery lazyload: data-original over a grey placeholder
                m_html += "<img src='" + m_site + "/static/grey.gif' data-original='" + photo + ".jpg' alt=''>\n";
                want(photo + QStringLiteral(".jpg"));
                break;
            case 3:  // a slide drawn by a script, the image only in the fallback
                m_html += "<div class='slide' data-bg='" + photo + "-bg.jpg'></div><noscript><img src='" + photo
                    + "-bg.jpg' alt=''></noscript>\n";
                want(photo + QStringLiteral("-bg.jpg"));
                break;
            }
        }
        advertisement();
        m_html += "<p><a href='" + m_site + "/photos/archive-" + m_number + ".zip'>All photos</a></p></main>\n";
    }

    void encyclopedia()
    {
        m_html += "<main><h1>Article</h1>\n";
        const int images = between(2, 5);
        for (int i = 0; i < images; ++i) {
            const QString name = QStringLiteral("Plate_") + id(i) + QStringLiteral(".jpg");
            const QString thumb = m_site + QStringLiteral("/upload/thumb/") + name;
            m_html += "<figure><a href='" + m_site + "/wiki/File:" + name + "'><img src='" + thumb + "/220px-" + name
                + "' srcset='" + thumb + "/330px-" + name + " 1.5x, " + thumb + "/440px-" + name
                + " 2x' width='220'></a><figcaption><a href='" + m_site + "/upload/" + name
                + "'>Original file</a></figcaption></figure>\n";
            want(thumb + QStringLiteral("/440px-") + name);
            want(m_site + QStringLiteral("/upload/") + name);
        }
        for (int j = 0; j < 40; ++j)
            m_html += "<p>Text <a href='" + m_site + "/wiki/Topic_" + id(j) + "'>topic</a> and <a href='#cite-"
                + QString::number(j) + "'>[" + QString::number(j) + "]</a>.</p>\n";
        m_html += "<p><a href='" + m_site + "/upload/Anthem_" + m_number + ".mp3'>Listen</a></p></main>\n";
        want(m_site + QStringLiteral("/upload/Anthem_") + m_number + QStringLiteral(".mp3"));
    }

    void videoPage()
    {
        const QString clip = m_site + QStringLiteral("/v/clip-") + m_number;
        m_html += "<main><video controls preload='none' src='" + clip + ".mp4#t=0' poster='" + clip
            + ".jpg'></video>\n<p><a href='" + clip + "-hd.mov'>Download in HD</a> <a href='" + clip
            + ".wmv'>Windows Media</a></p>\n";
        want(clip + QStringLiteral(".mp4#t=0"));
        want(clip + QStringLiteral(".jpg"));
        want(clip + QStringLiteral("-hd.mov"));
        want(clip + QStringLiteral(".wmv"));
        // An old page's embedded player.
        m_html += "<object data='" + m_site + "/legacy/intro-" + m_number + ".mpg' type='video/mpeg' width='320' "
            "height='240'></object>\n";
        want(m_site + QStringLiteral("/legacy/intro-") + m_number + QStringLiteral(".mpg"));
        playerFrame(0);
        advertisement();
        const int more = between(4, 8);
        for (int i = 0; i < more; ++i) {
            m_html += "<a href='" + m_site + "/watch/" + id(i) + ".html'>";
            want(responsiveImage(QStringLiteral("still-") + id(i) + QStringLiteral(".jpg")));
            m_html += "</a>\n";
        }
        m_html += "</main>\n";
    }

    SitePages& m_out;
    const QString m_number;
    QRandomGenerator& m_random;
    const QString m_site;
    const QString m_player;
    const QString m_ads;
    QString m_path;
    QString m_html;
    QStringList m_wanted;
    int m_adCount = 0;
};

}  // namespace

QStringList HarvestCount::missingFrom(const QStringList& wanted, const QStringList& found)
{
    QStringList left = wanted;
    for (const QString& url : found)
        left.removeAll(url);
    return left;
}

void HarvestCount::add(const QStringList& pageWanted, const QStringList& found)
{
    const QStringList left = missingFrom(pageWanted, found);
    wanted += pageWanted.size();
    wantedListed += pageWanted.size() - left.size();
    listed += found.size();
    missing += left;
}

SitePages makeSitePages(int count, quint32 seed, const QString& site, const QString& player, const QString& ads)
{
    SitePages out;
    QRandomGenerator random(seed);
    for (int page = 0; page < count; ++page)
        PageWriter(out, page, random, site, player, ads).write(page);
    return out;
}

}  // namespace pm::test
