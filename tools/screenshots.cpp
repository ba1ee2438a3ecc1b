// Takes the README's pictures from the real windows: the main window with the
// files found on a page, the Work Queue window during a session, the
// Options dialog, the user guide in the main window and Harvest Linked
// Pages on a gallery whose thumbnails lead to pages of their own. The pages
// and files come from the tests' loopback server; tools/screenshots.sh runs
// this under a virtual X display, where the browser draws its page.
//
//   pm_screenshots FOLDER    writes screenshot.png, work-queue.png, options.png,
//                            user-guide.png, linked-pages.png
#include "app/desktop.h"
#include "archive/sqlitearchive.h"
#include "gui/browserview.h"
#include "gui/linkedpagescommand.h"
#include "gui/optionsdialog.h"
#include "gui/workqueuewindow.h"
#include "tests/support/testserver.h"
#include "tests/support/webtest.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QTreeView>
#include <QPainter>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>

using namespace pm;
using namespace pm::test;

namespace {
struct Picture {
    const char* name;
    const char* title;
    QColor sky;
    QColor land;
};

const Picture kPictures[] = {
    {"harbour-at-dusk", "Harbour at dusk", QColor(0xf2, 0x9e, 0x6b), QColor(0x2c, 0x4a, 0x6e)},
    {"alpine-meadow", "Alpine meadow", QColor(0x9c, 0xc8, 0xeb), QColor(0x4f, 0x8a, 0x3c)},
    {"desert-road", "Desert road", QColor(0xf4, 0xd0, 0x8a), QColor(0xb8, 0x6b, 0x3a)},
    {"northern-lights", "Northern lights", QColor(0x1d, 0x3b, 0x4f), QColor(0x3c, 0xb3, 0x8c)},
    {"city-at-night", "City at night", QColor(0x23, 0x1f, 0x4a), QColor(0xe8, 0xb7, 0x3c)},
    {"autumn-forest", "Autumn forest", QColor(0xe9, 0xc4, 0x9b), QColor(0xa3, 0x4a, 0x1e)},
};

// A landscape drawn for the example gallery: sky, a sun and two hills.
QByteArray landscape(const Picture& p, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, p.sky.lighter(130));
    sky.setColorAt(1, p.sky);
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 240, 200));
    painter.drawEllipse(QPointF(width * 0.72, height * 0.3), height * 0.1, height * 0.1);
    painter.setBrush(p.land.lighter(120));
    painter.drawEllipse(QPointF(width * 0.2, height * 1.05), width * 0.6, height * 0.45);
    painter.setBrush(p.land);
    painter.drawEllipse(QPointF(width * 0.85, height * 1.1), width * 0.55, height * 0.4);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 85);
    return bytes;
}

QByteArray galleryPage()
{
    QByteArray cards;
    for (const Picture& p : kPictures) {
        cards += QStringLiteral("<figure><a href=\"/photos/%1.jpg\"><img src=\"/thumbs/%1.jpg\" alt=\"\"></a>"
                                "<figcaption>%2 &middot; <a href=\"/videos/%1.mpg\">video</a></figcaption></figure>")
                     .arg(QLatin1String(p.name), QLatin1String(p.title))
                     .toUtf8();
    }
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Landscapes - Example Gallery</title>"
           "<style>body{font-family:sans-serif;margin:16px 24px;background:#f6f7f9;color:#223}"
           "h1{font-size:22px;margin:0 0 4px}p{margin:0 0 14px;color:#556}"
           "figure{display:inline-block;margin:0 14px 14px 0;background:#fff;padding:6px;border-radius:6px;"
           "box-shadow:0 1px 3px #0003}img{display:block;width:200px;height:130px;border-radius:4px}"
           "figcaption{font-size:13px;padding-top:5px}a{color:#1d6f86}</style></head><body>"
           "<h1>Landscapes</h1><p>Six photographs and their videos, free to download "
           "(and <a href=\"/photos/lighthouse.jpg\">a seventh</a>, coming soon).</p>"
        + cards + "</body></html>";
}

// The same pictures as a gallery whose thumbnails lead each to a page of
// its own, which holds the photograph and its video.
QByteArray linkedGalleryPage()
{
    QByteArray cards;
    for (const Picture& p : kPictures) {
        cards += QStringLiteral("<figure><a href=\"/view/%1.html\"><img src=\"/thumbs/%1.jpg\" alt=\"\"></a>"
                                "<figcaption>%2</figcaption></figure>")
                     .arg(QLatin1String(p.name), QLatin1String(p.title))
                     .toUtf8();
    }
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Landscapes - Example Gallery</title>"
           "<style>body{font-family:sans-serif;margin:16px 24px;background:#f6f7f9;color:#223}"
           "h1{font-size:22px;margin:0 0 14px}figure{display:inline-block;margin:0 14px 14px 0;background:#fff;"
           "padding:6px;border-radius:6px;box-shadow:0 1px 3px #0003}"
           "img{display:block;width:200px;height:130px;border-radius:4px}"
           "figcaption{font-size:13px;padding-top:5px}</style></head><body><h1>Landscapes</h1>"
        + cards + "</body></html>";
}

QByteArray viewPage(const Picture& p)
{
    return QStringLiteral("<!DOCTYPE html><html><head><title>%2</title></head><body><h1>%2</h1>"
                          "<img src=\"/photos/%1.jpg\" alt=\"\"><p><a href=\"/videos/%1.mpg\">Video</a> &middot; "
                          "<a href=\"/linked.html\">Back to the gallery</a></p></body></html>")
        .arg(QLatin1String(p.name), QLatin1String(p.title))
        .toUtf8();
}

bool save(const QPixmap& picture, const QString& fileName)
{
    if (picture.isNull() || !picture.save(fileName))
        return false;
    std::printf("%s\n", qPrintable(fileName));
    return true;
}

// The window as the screen shows it, so the browser's page is in it.
QPixmap shot(QWidget& window)
{
    QTest::qWait(300);  // the last paint reaches the screen
    return window.screen()->grabWindow(window.winId());
}
}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral(PULLMARK_TITLE));
    QApplication::setWindowIcon(applicationIcon());
    if (argc != 2) {
        std::fprintf(stderr, "usage: pm_screenshots FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));

    TestServer server;
    server.addPage(QStringLiteral("/gallery.html"), galleryPage());
    for (const Picture& p : kPictures) {
        const QString name = QLatin1String(p.name);
        server.addPage(QStringLiteral("/thumbs/%1.jpg").arg(name), landscape(p, 400, 260), "image/jpeg");
        server.addPage(QStringLiteral("/photos/%1.jpg").arg(name), landscape(p, 1600, 1040), "image/jpeg");
        server.addPage(QStringLiteral("/videos/%1.mpg").arg(name), patternBytes(2400000), "video/mpeg");
        server.addPage(QStringLiteral("/view/%1.html").arg(name), viewPage(p));
    }
    server.addPage(QStringLiteral("/linked.html"), linkedGalleryPage());
    if (!server.listen())
        return 1;

    TestProfile web;
    TestWindow t(web.profile());
    t.settings.outputFolder = t.path(QStringLiteral("Downloads/Pullmark"));
    t.settings.activityLogFile = t.path(QStringLiteral("pulmark.log"));
    QDir().mkpath(t.settings.outputFolder);
    // The found list tells what each entry is and what a download would do:
    // one photograph was downloaded last week, another is on disk already.
    t.settings.probeFoundFiles = true;
    t.app.setArchive(std::make_unique<SqliteDownloadArchive>(t.path(QStringLiteral("archive.sqlite")), t.app.errors));
    t.app.archive()->add({0, server.url(QStringLiteral("/photos/alpine-meadow.jpg")),
                          server.url(QStringLiteral("/photos/alpine-meadow.jpg")),
                          t.settings.outputFolder + QStringLiteral("/alpine-meadow.jpg"), 120000, {},
                          QDateTime::currentDateTimeUtc().addDays(-7)});
    writeFile(t.settings.outputFolder + QStringLiteral("/desert-road.jpg"), "an older copy");
    t.window.resize(1000, 880);
    t.window.show();
    if (!QTest::qWaitForWindowExposed(&t.window) || !t.go(server.url(QStringLiteral("/gallery.html")))) {
        std::fprintf(stderr, "the gallery page did not load\n");
        return 1;
    }
    QTest::qWait(1500);  // the pictures arrive and the title settles
    auto* found = t.window.findChild<QTreeView*>(QStringLiteral("lstUrl"));
    const QItemSelection picked(found->model()->index(1, 0), found->model()->index(4, 0));
    found->selectionModel()->select(picked, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (!save(shot(t.window), out.filePath(QStringLiteral("screenshot.png"))))
        return 1;

    // A session under way: a long video dripping in, more entries waiting.
    t.window.foundList()->addSelectionToQueue();
    t.app.queue.addNew({server.url(QStringLiteral("/drip/harbour-at-dusk.mpg?size=90000000&chunk=65536&ms=25")),
                        server.url(QStringLiteral("/photos/city-at-night.jpg")),
                        server.url(QStringLiteral("/photos/autumn-forest.jpg"))});
    WorkQueueWindow* queue = t.window.workQueueWindow();
    queue->resize(820, 560);
    queue->show();
    if (!QTest::qWaitForWindowExposed(queue))
        return 1;
    queue->startSession();
    QSignalSpy progress(&t.app.worker, &QueueWorker::itemProgress);
    for (int i = 0; i < 60 && t.app.worker.figures().completed < 4; ++i)
        progress.wait(200);
    QTest::qWait(2500);  // the clocks and the rate have something to show
    const bool queueShot = save(shot(*queue), out.filePath(QStringLiteral("work-queue.png")));
    queue->stopSession();
    QSignalSpy(queue, &WorkQueueWindow::sessionFinished).wait(10000);
    queue->hide();
    if (!queueShot)
        return 1;

    OptionsDialog* options = t.window.optionsDialog();
    options->loadFromSettings();
    options->show();
    const bool optionsShot = QTest::qWaitForWindowExposed(options)
                             && save(shot(*options), out.filePath(QStringLiteral("options.png")));
    options->hide();
    if (!optionsShot)
        return 1;

    // The user guide, as Help shows it.
    QSignalSpy guideLoaded(t.window.browser(), &BrowserView::loadEnded);
    t.window.showUserGuide();
    if (!guideLoaded.wait(10000))
        return 1;
    QTest::qWait(500);  // the title settles
    if (!save(shot(t.window), out.filePath(QStringLiteral("user-guide.png"))))
        return 1;

    // Harvest Linked Pages on the gallery of pages, done.
    if (!t.go(server.url(QStringLiteral("/linked.html"))))
        return 1;
    QTest::qWait(1500);  // the thumbnails arrive and the title settles
    QSignalSpy harvested(t.window.linkedPages(), &LinkedPagesCommand::finished);
    t.window.harvestLinkedPages();
    if (!harvested.wait(60000))
        return 1;
    // The linked pages' entries at the top of the list, selected.
    t.window.resize(1000, 1000);
    const int firstLinked = found->model()->rowCount() - t.window.foundList()->model()->linkedCount();
    found->selectionModel()->select(
        QItemSelection(found->model()->index(firstLinked, 0), found->model()->index(found->model()->rowCount() - 1, 0)),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::qWait(1500);  // the server's answers fill in the columns
    found->scrollTo(found->model()->index(firstLinked, 0), QAbstractItemView::PositionAtTop);
    return save(shot(t.window), out.filePath(QStringLiteral("linked-pages.png"))) ? 0 : 1;
}
