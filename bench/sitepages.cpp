#include "bench/sitepages.h"

#include <QRandomGenerator>

namespace pm::test {

namespace {

const QString kPlaceholder = QStringLiteral("data:image/gif;base64,R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7");

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
        const QString path = QStringLiteral("/page-%1.html").arg(m_number);
        m_html = "<!DOCTYPE html><html><head><meta charset='utf-8'><title>Page " + m_number + "</title></head><body>\n";
        navigation();
        switch (kind % 4) {
        case 0: newsArticle(); break;
        case 1: photoBlog(); break;
        case 2: encyclopedia(); break;
        case 3: videoPage(); break;
        }
        footer();
        m_out.pages.append({SitePage::Site, path, (m_html + "</body></html>\n").toUtf8()});
        m_out.opened.append(path);
        m_out.wanted.insert(path, m_wanted);
    }

private:
    QString id(int i) const { return m_number + QLatin1Char('-') + QString::number(i); }
    int between(int low, int high) { return int(m_random.bounded(low, high + 1)); }
    void want(std::initializer_list<QString> addresses) { m_wanted.append(addresses); }
    // A frame's page: `body` inside a bare document.
    void frame(SitePage::Origin origin, const QString& path, const QString& body)
    {
        m_out.pages.append({origin, path, ("<html><body>" + body + "</body></html>").toUtf8()});
    }

    void navigation()
    {
        m_html += "<header><a href='" + m_site + "/'><img src='" + m_site + "/static/logo.png' alt='Site'></a><nav>";
        for (const char* section : {"news", "world", "sport", "culture", "photos", "video"})
            m_html += "<a href='" + m_site + "/" + section + "/'>" + section + "</a> ";
        m_html += "</nav></header>\n";
        want({m_site + "/static/logo.png"});
    }

    void footer()
    {
        // A share-button frame of the third origin: links to pages only.
        const QString share = QStringLiteral("/share-%1.html").arg(m_number);
        frame(SitePage::Ads, share, "<a href='" + m_ads + "/share?u=" + m_number + "'>Share</a> <a href='" + m_ads
                                        + "/tweet?u=" + m_number + "'>Post</a>");
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
        frame(SitePage::Ads, slot, "<a href='" + m_ads + "/click?slot=" + m_number + "'><img src='" + m_ads
                                       + "/creative/banner-" + m_number + ".gif'></a><img src='" + m_ads + "/px.gif?s="
                                       + m_number + "' width='1' height='1'>");
        m_html += "<aside><iframe src='" + m_ads + slot + "' width='300' height='250'></iframe></aside>\n";
    }

    // A player of the second origin in a frame: a poster and the video in
    // two formats, and inside the player a frame of its own with an
    // advertisement.
    void playerFrame(int i)
    {
        const QString embed = "/embed/v-" + id(i) + ".html", inner = "/embed/related-" + id(i) + ".html";
        const QString media = m_player + "/media/v-" + id(i), poster = m_player + "/poster/v-" + id(i) + ".jpg?w=1280";
        const QString thumb = m_player + "/thumbs/next-" + id(i) + ".jpg";
        frame(SitePage::Player, embed, "<video controls preload='none' poster='" + poster + "'><source src='" + media
                                           + ".mp4' type='video/mp4'><source src='" + media
                                           + ".webm' type='video/webm'></video><iframe src='" + m_player + inner
                                           + "'></iframe>");
        frame(SitePage::Player, inner,
              "<a href='" + m_player + "/watch/next-" + id(i) + ".html'><img src='" + thumb + "'></a>");
        m_html += "<iframe src='" + m_player + embed + "' width='640' height='360' allowfullscreen></iframe>\n";
        want({poster, media + ".mp4", media + ".webm", thumb});
    }

    // A responsive image served by an image service whose addresses hold
    // commas: its largest version is wanted.
    void responsiveImage(const QString& name)
    {
        const QString base = m_site + "/image/upload/";
        m_html += "<img src='" + base + "c_fit,w_470,q_auto/" + name + "' srcset='" + base + "c_fit,w_470,q_auto/"
            + name + " 470w, " + base + "c_fit,w_940,q_auto/" + name + " 940w," + base + "c_fit,w_1880,q_auto/" + name
            + " 1880w' sizes='(min-width: 60em) 50vw, 100vw' alt=''>";
        want({base + "c_fit,w_1880,q_auto/" + name});
    }

    void newsArticle()
    {
        // The hero picture: each source's largest and the image.
        const QString small = m_site + "/image/upload/c_fill,w_800/hero-" + m_number;
        const QString large = m_site + "/image/upload/c_fill,w_1600/hero-" + m_number;
        m_html += "<article><picture><source type='image/webp' srcset='" + small + ".webp 800w, " + large
            + ".webp 1600w'><source srcset='" + small + ".jpg 800w, " + large + ".jpg 1600w'><img src='" + large
            + ".jpg' alt=''></picture>\n<h1>Headline</h1><p>Text of the article.</p>\n";
        want({large + ".webp", large + ".jpg"});
        const int figures = between(3, 6);
        for (int i = 0; i < figures; ++i) {
            const QString full = m_site + "/full/photo-" + id(i) + ".jpg?download=1";
            m_html += "<figure>";
            responsiveImage("photo-" + id(i) + ".jpg");
            m_html += "<figcaption>Caption <a href='" + full + "'>full size</a></figcaption></figure>\n";
            want({full});
            if (i == 1)
                playerFrame(i);
            if (i == 2)
                advertisement();
        }
        // A podcast of the article, counted per listening source.
        const QString podcast = m_site + "/audio/ep-" + m_number + ".mp3?source=article";
        m_html += "<audio controls preload='none' src='" + podcast + "'></audio>\n</article><section>";
        want({podcast});
        for (int j = 0; j < 6; ++j) {
            const QString thumb = m_site + "/thumbs/" + id(j) + ".jpg?w=200";
            m_html += "<a href='" + m_site + "/article/" + id(j) + ".html'><img src='" + thumb
                + "' loading='lazy' alt=''>Related</a>\n";
            want({thumb});
        }
        m_html += "</section>\n";
    }

    void photoBlog()
    {
        m_html += "<main><h1>Gallery</h1>\n";
        const int photos = between(10, 20);
        for (int i = 0; i < photos; ++i) {
            const QString photo = m_site + "/photos/p-" + id(i);
            const QString upload = m_site + "/wp-content/uploads/x-" + id(i);
            switch (i % 4) {
            case 0:  // lazysizes: data-src and data-srcset, a fallback, a link to the original
                m_html += "<a href='" + photo + "-2048.jpg'><img class='lazyload' src='" + kPlaceholder + "' data-src='"
                    + photo + "-640.jpg' data-srcset='" + photo + "-640.jpg 640w, " + photo
                    + "-1280.jpg 1280w' data-sizes='auto' alt=''></a><noscript><img src='" + photo
                    + "-1280.jpg'></noscript>\n";
                want({photo + "-2048.jpg", photo + "-1280.jpg"});
                break;
            case 1:  // WordPress: data-lazy-src and data-lazy-srcset
                m_html += "<img src='" + kPlaceholder + "' data-lazy-src='" + upload + "-300x200.jpg' data-lazy-srcset='"
                    + upload + "-300x200.jpg 300w, " + upload + ".jpg 1024w' alt=''><noscript><img src='" + upload
                    + ".jpg'></noscript>\n";
                want({upload + ".jpg"});
                break;
            case 2:  // jQuery lazyload: data-original over a grey placeholder
                m_html += "<img src='" + m_site + "/static/grey.gif' data-original='" + photo + ".jpg' alt=''>\n";
                want({photo + ".jpg"});
                break;
            case 3:  // a slide drawn by a script, the image only in the fallback
                m_html += "<div class='slide' data-bg='" + photo + "-bg.jpg'></div><noscript><img src='" + photo
                    + "-bg.jpg' alt=''></noscript>\n";
                want({photo + "-bg.jpg"});
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
            const QString name = "Plate_" + id(i) + ".jpg";
            const QString thumb = m_site + "/upload/thumb/" + name;
            m_html += "<figure><a href='" + m_site + "/wiki/File:" + name + "'><img src='" + thumb + "/220px-" + name
                + "' srcset='" + thumb + "/330px-" + name + " 1.5x, " + thumb + "/440px-" + name
                + " 2x' width='220'></a><figcaption><a href='" + m_site + "/upload/" + name
                + "'>Original file</a></figcaption></figure>\n";
            want({thumb + "/440px-" + name, m_site + "/upload/" + name});
        }
        for (int j = 0; j < 40; ++j)
            m_html += "<p>Text <a href='" + m_site + "/wiki/Topic_" + id(j) + "'>topic</a> and <a href='#cite-"
                + QString::number(j) + "'>[" + QString::number(j) + "]</a>.</p>\n";
        const QString anthem = m_site + "/upload/Anthem_" + m_number + ".mp3";
        m_html += "<p><a href='" + anthem + "'>Listen</a></p></main>\n";
        want({anthem});
    }

    void videoPage()
    {
        const QString clip = m_site + "/v/clip-" + m_number, intro = m_site + "/legacy/intro-" + m_number + ".mpg";
        m_html += "<main><video controls preload='none' src='" + clip + ".mp4#t=0' poster='" + clip
            + ".jpg'></video>\n<p><a href='" + clip + "-hd.mov'>Download in HD</a> <a href='" + clip
            + ".wmv'>Windows Media</a></p>\n";
        // An old page's embedded player.
        m_html += "<object data='" + intro + "' type='video/mpeg' width='320' height='240'></object>\n";
        want({clip + ".mp4#t=0", clip + ".jpg", clip + "-hd.mov", clip + ".wmv", intro});
        playerFrame(0);
        advertisement();
        const int more = between(4, 8);
        for (int i = 0; i < more; ++i) {
            m_html += "<a href='" + m_site + "/watch/" + id(i) + ".html'>";
            responsiveImage("still-" + id(i) + ".jpg");
            m_html += "</a>\n";
        }
        m_html += "</main>\n";
    }

    SitePages& m_out;
    const QString m_number;
    QRandomGenerator& m_random;
    const QString m_site, m_player, m_ads;
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
