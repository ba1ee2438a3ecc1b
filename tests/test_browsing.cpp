// Browsing in the main window: the address history, the selection, and
// the found list on real pages, its rescans, filter and outcomes.
#include "archive/sqlitearchive.h"
#include "core/config/addresshistory.h"
#include "core/found/foundfilter.h"
#include "core/found/foundlistmodel.h"
#include "gui/browserview.h"
#include "gui/optionsdialog.h"
#include "gui/scanpage.h"
#include "tests/support/testserver.h"
#include "tests/support/webtest.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTreeView>
#include <QPushButton>
#include <QRadioButton>
#include <QWebEnginePage>
#include <QtTest>

using namespace pm;
using namespace pm::test;

class TestBrowsing : public QObject {
    Q_OBJECT
private:
    TestProfile m_web;
    TestServer m_server;
    TestServer m_otherOrigin;

    QString url(const QString& path) const { return m_server.url(path); }
    QStringList urls(QStringList paths) const { return paths.replaceInStrings(QRegularExpression("^/"), url("/")); }
    void click(TestWindow& t, const char* button) { t.child<QPushButton>(button)->click(); }

private slots:
    void initTestCase()
    {
        m_server.addTestPages();
        m_otherOrigin.addPage("/foreign.html", "<html><body><a href='foreign.jpg'>f</a></body></html>");
        QVERIFY(m_server.listen());
        QVERIFY(m_otherOrigin.listen());
        m_server.addPage("/crossorigin.html",
                         ("<html><body><a href='own.jpg'>own</a><iframe src='/left.html'></iframe><iframe src='"
                          + m_otherOrigin.url("/foreign.html") + "'></iframe><iframe src='/right.html?delay=300'></iframe></body></html>")
                             .toUtf8());
    }

    void history()
    {
        TestWindow t(m_web.profile());
        const QString a = url("/a.html"), b = url("/b.html");
        QVERIFY(t.go(a));
        QVERIFY(t.go(b));
        // A choice in the drop-down, and Enter on an address, navigate once.
        auto* box = t.child<QComboBox>("cmbURL");
        const int requestsOfA = m_server.requestCount("/a.html");
        box->setCurrentIndex(1);
        emit box->activated(1);  // what a choice in the drop-down raises
        QVERIFY(t.nextScan());
        QVERIFY(!t.nextScan(nullptr, 300));  // recording the visit started nothing
        QCOMPARE(m_server.requestCount("/a.html"), requestsOfA + 1);
        QCOMPARE(t.app.history.entries(), (QStringList{a, b}));
        const int requestsOfB = m_server.requestCount("/b.html");
        t.window.show();
        box->lineEdit()->setText(b);  // also an entry of the drop-down
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        QVERIFY(t.nextScan());
        QVERIFY(!t.nextScan(nullptr, 300));
        QCOMPARE(m_server.requestCount("/b.html"), requestsOfB + 1);

        // Only the letter case differs: the new form replaces the entry, on top.
        QVERIFY(t.go(url("/Case.html")));
        QVERIFY(t.go(url("/case.html")));
        QCOMPARE(t.app.history.entries(), (QStringList{url("/case.html"), b, a}));

        // Off: the history does not change.
        t.settings.historyEnabled = false;
        QVERIFY(t.go(url("/c.html")));
        QCOMPARE(t.app.history.count(), 3);
        for (const char* never : {"", "http:///", "HTTP:///", "about:blank", "qrc:/pullmark/start.html"})
            QVERIFY2(!AddressHistory::entersHistory(never), never);
        QVERIFY(AddressHistory::entersHistory("http:///a.html"));
    }

    void selection()
    {
        TestWindow t(m_web.profile());
        QVERIFY(t.go(url("/five.html")));
        auto* list = t.child<QTreeView>("lstUrl");
        list->selectionModel()->select(list->model()->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        list->selectionModel()->select(list->model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(t.status(), QStringLiteral("Found 4 URL's. You've selected 2 items."));
        QCOMPARE(t.window.foundList()->selectedUrls(), urls({"/a.JPG", "/e.gif"}));  // in list order
        QVERIFY(t.child<QPushButton>("cmdAdd")->isEnabled());
        t.window.foundList()->addSelectionToQueue();
        QCOMPARE(t.app.queue.urls(), urls({"/a.JPG", "/e.gif"}));
        click(t, "cmdSelNone");
        QVERIFY(!t.child<QPushButton>("cmdAdd")->isEnabled());

        // Select All on a large list reports once.
        QStringList many;
        for (int i = 0; i < 50000; ++i)
            many << QStringLiteral("http://h/%1.jpg").arg(i);
        t.window.foundList()->model()->setStringList(many);
        int reports = 0;
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [&] { ++reports; });
        click(t, "cmdSelAll");
        QCOMPARE(t.status(), QStringLiteral("Found 50000 URL's. You've selected 50000 items."));
        QCOMPARE(reports, 1);
    }

    // The classic scan's found list of real pages: the kinds scanned, the
    // first of equal addresses, a page changed after it was parsed, and one
    // whose scripts interfere. (Its frames: classicFramesThatCannotBeRead;
    // its extension rules: TestScanRules::matching.)
    void classicFoundList()
    {
        const QString all = QString::fromLatin1(kDefaultExtensions);
        struct Case {
            QString page;
            bool links, images;
            QString extensions;
            QStringList found;
        };
        const Case cases[] = {
            {"/dups.html", true, true, all, {"/v/one.wmv", "/pics/Shared.GIF", "/p/X.JPG"}},  // first met, case ignored
            {"/dups.html?images", false, true, all, {"/pics/shared.gif"}},
            {"/five.html?links", true, false, all, {"/a.JPG", "/c.mpeg"}},
            {"/changed.html", true, true, all, {"/a.jpg", "/c.jpg", "/d.mpg"}},  // changed after it was parsed
            {"/model.html", true, true, all, {"/base/dir/rel.jpg", "/base/up.mpg", "/base/dir/area.wmv", "/base/dir/map.gif"}}};
        for (const Case& c : cases) {
            TestWindow t(m_web.profile());
            t.settings.classicScan = true;
            t.settings.scanLinks = c.links;
            t.settings.scanImages = c.images;
            t.settings.extensions = c.extensions;
            QVERIFY(t.go(url(c.page)));
            QCOMPARE(t.found(), urls(c.found));
            QCOMPARE(t.status(), QStringLiteral("Found %1 URL's.").arg(c.found.size()));
            QVERIFY(t.ui.asked.isEmpty());
        }
    }

    // Another origin's frame is reported and skipped (Prompt, No), once,
    // though the load's scans meet it several times.
    void classicFramesThatCannotBeRead()
    {
        TestWindow t(m_web.profile());
        t.settings.classicScan = true;
        t.settings.setErrorMode(ErrorMode::Prompt);
        QVERIFY(t.go(url("/crossorigin.html")));
        QCOMPARE(t.ui.count("yesno"), 1);
        QVERIFY(t.ui.asked.first().text.startsWith("DownloadComplete. Error #70 "));
        QCOMPARE(t.found(), urls({"/l1.jpg", "/shared.mpg", "/sub/r1.mpg", "/r2.gif"}));
    }

    // The second frame's entries show while the first frame is still on its
    // way; the scan at the finished load adds the late frame's entries in
    // document order, keeps the order and the selection of those shown, and
    // takes the first frame's letter case of the address both hold.
    void earlyScanThenRescanAtLoadEnd()
    {
        TestWindow t(m_web.profile());
        QSignalSpy loadEnded(t.window.browser(), &BrowserView::loadEnded);
        t.child<QComboBox>("cmbURL")->setEditText(url("/late.html"));
        t.window.navigateToAddress();
        QTRY_COMPARE_WITH_TIMEOUT(t.found(), urls({"/l1.jpg", "/shared.mpg"}), 10000);
        QCOMPARE(loadEnded.count(), 0);
        QCOMPARE(t.status(), QStringLiteral("Found 2 URL's."));
        auto* list = t.child<QTreeView>("lstUrl");
        list->selectionModel()->select(list->model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        m_server.release("late");
        QVERIFY(t.nextScan());
        QCOMPARE(t.found(), urls({"/sub/r1.mpg", "/l1.jpg", "/SHARED.MPG", "/r2.gif"}));
        QCOMPARE(t.window.foundList()->selectedUrls(), urls({"/SHARED.MPG"}));
        QCOMPARE(t.status(), QStringLiteral("Found 4 URL's. You've selected 1 items."));
    }

    // A rescan merged into the shown list, with a view's selection on it.
    // (New entries, the order and the page's letter case on real pages:
    // earlyScanThenRescanAtLoadEnd and TestScan::liveList.)
    void foundListMerge()
    {
        QStringList hundred, interleaved;  // too many separate insertions: replaced in one go
        for (int i = 0; i < 100; ++i) {
            hundred << QString::number(i);
            interleaved << QString::number(i) << QStringLiteral("new %1").arg(i);
        }
        struct Case {
            QStringList shown, selected, fresh, merged, stillSelected;
        };
        const Case cases[] = {
            {{"a", "b", "c"}, {"a", "c"}, {"c", "x"}, {"c", "x"}, {"c"}},  // gone ones leave
            {{"c", "a"}, {"a"}, {"a", "b", "c", "d"}, {"c", "d", "a", "b"}, {"a"}},  // shown order kept
            {{"X.JPG", "x.jpg", "y"}, {"X.JPG"}, {"x.jpg", "y"}, {"x.jpg", "y"}, {"x.jpg"}},  // the page's case, no repeats
            {hundred, {"3", "4", "50"}, interleaved, interleaved, {"3", "4", "50"}}};
        for (const Case& c : cases) {
            FoundListModel model;
            model.setStringList(c.shown);
            QItemSelectionModel selection(&model);
            for (const QString& entry : c.selected)
                selection.select(model.index(int(c.shown.indexOf(entry)), 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
            model.merge(c.fresh, &selection);
            QCOMPARE(model.stringList(), c.merged);
            QStringList selectedNow;
            for (int row = 0; row < model.rowCount(); ++row)
                if (selection.isRowSelected(row))
                    selectedNow << model.stringList().at(row);
            QCOMPARE(selectedNow, c.stillSelected);
        }
    }

    void scansThatChangeNothing()
    {
        TestWindow t(m_web.profile());
        bool applied = true;
        // A document that is not HTML is reported.
        t.settings.setErrorMode(ErrorMode::Prompt);
        t.child<QComboBox>("cmbURL")->setEditText(url("/data.xml"));
        t.window.navigateToAddress();
        QVERIFY(t.nextScan(&applied));
        QVERIFY(!applied);
        QCOMPARE(t.ui.count("yesno"), 1);  // once, though scanned when parsed and at the end
        QVERIFY(t.ui.asked.first().text.startsWith("DownloadComplete. Error #13 "));
        QCOMPARE(t.status(), QStringLiteral("Found 0 URL's."));

        // A result that belongs to an earlier load is dropped: one that
        // arrives after the next load started.
        t.window.foundList()->model()->setStringList({"http://h/kept.jpg"});
        emit t.window.browser()->page()->loadFinished(true);
        emit t.window.browser()->page()->loadStarted();
        QVERIFY(t.nextScan(&applied));
        QVERIFY(!applied);
        QCOMPARE(t.found(), QStringList{"http://h/kept.jpg"});
        // So is a document parsed after the next load started, while the
        // earlier page is still on display.
        QVERIFY(t.go(url("/five.html")));
        t.window.foundList()->model()->setStringList({"http://h/kept.jpg"});
        QSignalSpy started(t.window.browser()->page(), &QWebEnginePage::loadStarted);
        QSignalSpy early(&t.window, &MainWindow::earlyScanFinished);
        t.window.browser()->load(QUrl(url("/a.html?hold=parsed")));
        QVERIFY(started.wait());
        emit t.window.browser()->scanPage()->documentParsed();
        QVERIFY(early.wait());
        QVERIFY(!early.first().first().toBool());
        QCOMPARE(t.found(), QStringList{"http://h/kept.jpg"});
        m_server.release("parsed");
        QVERIFY(t.nextScan());
    }

    // The filter hides entries without dropping them; hidden entries leave
    // the selection, so that Add to Queue never takes what is not shown.
    void filter()
    {
        const QStringList all = QStringList{"cat.jpg", "Cats/b.mp3", "12.jpg", "x.bin", "v.php?id=3"}.replaceInStrings(
            QRegularExpression("^"), "http://h/");
        // text, kind, new only; the entries shown
        const QList<std::tuple<QString, FileKind, bool, QStringList>> cases = {
            {"CAT", FileKind::Any, false, {"cat.jpg", "Cats/b.mp3"}},       // any case
            {"re:/\\d+\\.jpg$", FileKind::Any, false, {"12.jpg"}},
            {"", FileKind::Image, false, {"cat.jpg", "12.jpg", "x.bin"}},  // by type or extension
            {"", FileKind::Audio, false, {"Cats/b.mp3"}},
            {"", FileKind::Other, false, {"v.php?id=3"}},
            {"jpg", FileKind::Any, true, {"12.jpg"}}};
        for (const auto& [text, kind, newOnly, shown] : cases) {
            TestWindow t(m_web.profile());
            FoundListModel& model = *t.window.foundList()->model();
            model.setStringList(all);
            model.setDetails("http://h/x.bin", {"image/png", 10, {}, false, false, {}});
            model.setDetails("http://h/12.jpg", {{}, -1, {}, false, true, {}});
            click(t, "cmdSelAll");
            t.child<QLineEdit>("txtFilter")->setText(text);
            t.child<QComboBox>("cmbKind")->setCurrentIndex(int(kind));
            t.child<QComboBox>("cmbOutcome")->setCurrentIndex(newOnly ? 1 : 0);
            auto* list = t.child<QTreeView>("lstUrl");
            QStringList visible;
            for (int row = 0; row < list->model()->rowCount(); ++row)
                visible << list->model()->index(row, 0).data(FoundListModel::UrlRole).toString().mid(9);
            QCOMPARE(std::tuple(text, int(kind), visible), std::tuple(text, int(kind), shown));
            QCOMPARE(t.status(), QStringLiteral("Found 5 URL's. You've selected %1 items. %2 hidden by the filter.")
                                     .arg(shown.size()).arg(5 - shown.size()));
            click(t, "cmdSelNone");
            click(t, "cmdSelAll");
            QCOMPARE(t.window.foundList()->selectedUrls().size(), shown.size());
        }
    }

    // Before anything is downloaded, each found entry shows what a download
    // would do with it; the outcomes follow the rules set in Options and the
    // downloads the archive records.
    void foundListTellsWhatDownloadsWouldDo()
    {
        for (const char* name : {"new.jpg", "there.jpg"})
            m_server.addPage(QStringLiteral("/media/") + name, QByteArray(3000, 'x'), "image/jpeg");
        m_server.addPage("/outcomes.html", "<html><body><a href='/media/new.jpg'>1</a><a href='/media/there.jpg'>2</a>"
                                           "<a href='/gone/missing.jpg'>3</a></body></html>");
        TestWindow t(m_web.profile());
        t.app.setArchive(std::make_unique<SqliteDownloadArchive>(t.path("archive.sqlite"), t.app.errors));
        t.settings.probeFoundFiles = true;
        t.settings.outputFolder = t.dir.path();
        t.settings.duplicateRuleText = QStringLiteral("Skip");
        writeFile(t.path("there.jpg"), "on disk");
        FoundListModel& model = *t.window.foundList()->model();
        auto outcomes = [&] {
            QStringList texts;
            for (int row = 0; row < model.rowCount(); ++row)
                texts << model.index(row, FoundListModel::OutcomeColumn).data().toString()
                             + (model.index(row, 0).data(FoundListModel::WouldNotSaveRole).toBool() ? " (grey)" : "");
            return texts;
        };
        QVERIFY(t.go(url("/outcomes.html")));
        QTRY_COMPARE(outcomes(), (QStringList{"new", "will skip: there.jpg exists (grey)", "not found (404) (grey)"}));

        // Another rule for names that exist, through Options.
        OptionsDialog& options = *t.window.optionsDialog();
        options.loadFromSettings();
        options.findChild<QRadioButton*>("optOverWrite")->setChecked(true);
        QVERIFY(options.apply());
        QTRY_COMPARE(outcomes().value(1), QStringLiteral("will overwrite there.jpg"));

        // New only: what nothing on disk or in the archive stands for.
        t.child<QComboBox>("cmbOutcome")->setCurrentIndex(1);
        QCOMPARE(t.status(), QStringLiteral("Found 3 URL's. You've selected 0 items. 1 hidden by the filter."));

        // A download the archive records changes its entry.
        t.app.archive()->add({0, url("/media/new.jpg"), url("/media/new.jpg"), t.path("new.jpg"), 3000, {}, {}});
        QTRY_COMPARE(outcomes().value(0), QStringLiteral("already downloaded"));
        QTRY_COMPARE(t.status(), QStringLiteral("Found 3 URL's. You've selected 0 items. 2 hidden by the filter."));
    }
};

QTEST_MAIN(TestBrowsing)
#include "test_browsing.moc"
