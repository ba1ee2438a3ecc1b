// Browsing in the main window: the address history, the navigation buttons,
// the found list on real pages, its rescans, filter, outcomes and selection.
#include "archive/sqlitearchive.h"
#include "core/config/addresshistory.h"
#include "core/found/foundfilter.h"
#include "core/found/foundlistmodel.h"
#include "gui/browserview.h"
#include "gui/optionsdialog.h"
#include "gui/scanpage.h"
#include "tests/support/testserver.h"
#include "tests/support/webtest.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
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
    TestProfile* m_web = nullptr;
    TestServer m_server;
    TestServer m_otherOrigin;

    QString url(const QString& path) const { return m_server.url(path); }
    QStringList urls(QStringList paths) const { return paths.replaceInStrings(QRegularExpression("^/"), url("/")); }
    void click(TestWindow& t, const char* button) { t.child<QPushButton>(button)->click(); }

private slots:
    void initTestCase()
    {
        m_web = new TestProfile;
        m_server.addTestPages();
        m_otherOrigin.addPage("/foreign.html", "<html><body><a href='foreign.jpg'>f</a></body></html>");
        QVERIFY(m_server.listen());
        QVERIFY(m_otherOrigin.listen());
        m_server.addPage("/crossorigin.html",
                         ("<html><body><a href='own.jpg'>own</a><iframe src='/left.html'></iframe><iframe src='"
                          + m_otherOrigin.url("/foreign.html") + "'></iframe><iframe src='/right.html?delay=300'></iframe></body></html>")
                             .toUtf8());
    }
    void cleanupTestCase() { delete m_web; }

    void history()
    {
        TestWindow t(m_web->profile());
        const QString a = url("/a.html"), b = url("/b.html");
        QVERIFY(t.go(a));
        QVERIFY(t.go(b));
        // A choice in the drop-down, and Enter on an address, navigate once.
        auto* box = t.child<QComboBox>("cmbURL");
        const int requestsOfA = m_server.requestCount("/a.html");
        box->setCurrentIndex(1);
        emit box->activated(1);  // what a choice in the drop-down raises
        QVERIFY(t.nextScan());
        QCOMPARE(t.window.browser()->url().toString(), a);
        QVERIFY(!t.nextScan(nullptr, 300));  // recording the visit started nothing
        QCOMPARE(m_server.requestCount("/a.html"), requestsOfA + 1);
        QCOMPARE(t.app.history.entries(), (QStringList{a, b}));
        QCOMPARE(t.window.windowTitle(), QStringLiteral("Page A"));
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
        // Going to the address on display, or reloading it, is a visit too.
        QVERIFY(t.go(b));
        t.app.history.setEntries({a, b});
        click(t, "cmdRefresh");
        QVERIFY(t.nextScan());
        QCOMPARE(t.app.history.entries(), (QStringList{b, a}));

        // A frame navigating on its own changes nothing.
        QVERIFY(t.go(url("/frameset.html")));
        const int before = m_server.requestCount("/c.html");
        t.window.browser()->page()->runJavaScript("frames[1].location.href = '/c.html';");
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestCount("/c.html"), before + 1, 10000);
        QCOMPARE(t.app.history.entries(), (QStringList{url("/frameset.html"), b, a}));

        // Off: the caption changes, the history does not.
        t.settings.historyEnabled = false;
        QVERIFY(t.go(url("/c.html")));
        QCOMPARE(t.app.history.count(), 3);
        QCOMPARE(t.window.windowTitle(), QStringLiteral("Page C"));
        for (const char* never : {"", "http:///", "HTTP:///", "about:blank", "qrc:/pullmark/start.html"})
            QVERIFY2(!AddressHistory::entersHistory(never), never);
        QVERIFY(AddressHistory::entersHistory("http:///a.html"));
    }

    void navigationAndSelection()
    {
        TestWindow t(m_web->profile());
        t.window.browser()->setHomeUrl(QUrl(url("/c.html")));
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

        QVERIFY(t.go(url("/a.html")));
        // Back keeps the list until the scan rebuilds it; Home clears it.
        t.window.foundList()->model()->setStringList({"http://h/x.jpg"});
        click(t, "cmdBack");
        QCOMPARE(t.found(), QStringList{"http://h/x.jpg"});
        QVERIFY(t.nextScan());
        QCOMPARE(t.found().size(), 4);
        click(t, "cmdForward");
        QVERIFY(t.nextScan());
        QCOMPARE(t.window.browser()->url().toString(), url("/a.html"));
        click(t, "cmdHome");
        QCOMPARE(t.status(), QStringLiteral("Found 0 URL's."));
        QVERIFY(t.nextScan());
        QCOMPARE(t.window.browser()->url().toString(), url("/c.html"));
        t.window.setWindowTitle("busy...");
        click(t, "cmdStop");
        QCOMPARE(t.window.windowTitle(), QStringLiteral("Page C"));
        QVERIFY(t.ui.asked.isEmpty());

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

        // Copy and Paste act on the whole address, only while the box has the focus.
        t.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&t.window));
        auto* box = t.child<QComboBox>("cmbURL");
        box->setFocus();
        QTRY_VERIFY(t.child<QAction>("mnuCopy")->isEnabled());
        box->setEditText("http://typed/");
        box->lineEdit()->setSelection(0, 4);
        t.child<QAction>("mnuCopy")->trigger();
        QCOMPARE(t.ui.clipboard, QStringLiteral("http://typed/"));
        t.ui.clipboard = "http://pasted/";
        t.child<QAction>("mnuPaste")->trigger();
        QCOMPARE(box->currentText(), QStringLiteral("http://pasted/"));
        list->setFocus();
        QTRY_VERIFY(!t.child<QAction>("mnuPaste")->isEnabled());
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
            TestWindow t(m_web->profile());
            t.settings.classicScan = true;
            t.settings.scanLinks = c.links;
            t.settings.scanImages = c.images;
            t.settings.extensions = c.extensions;
            t.child<QPushButton>("cmdAdd")->setEnabled(true);
            QVERIFY(t.go(url(c.page)));
            QCOMPARE(t.found(), urls(c.found));
            QCOMPARE(t.status(), QStringLiteral("Found %1 URL's.").arg(c.found.size()));
            QCOMPARE(t.child<QComboBox>("cmbURL")->currentText(), url(c.page));
            QVERIFY(!t.child<QPushButton>("cmdAdd")->isEnabled());
            QVERIFY(t.ui.asked.isEmpty());
        }
    }

    void classicFramesThatCannotBeRead()
    {
        // Another origin's frame is reported and skipped (Prompt, No), once,
        // though the load's scans meet it several times.
        TestWindow t(m_web->profile());
        t.settings.classicScan = true;
        t.settings.setErrorMode(ErrorMode::Prompt);
        QVERIFY(t.go(url("/crossorigin.html")));
        QCOMPARE(t.ui.count("yesno"), 1);
        QVERIFY(t.ui.asked.first().text.startsWith("DownloadComplete. Error #70 "));
        QVERIFY(t.ui.asked.first().text.contains("SecurityError"));
        QCOMPARE(t.found(), urls({"/l1.jpg", "/shared.mpg", "/sub/r1.mpg", "/r2.gif"}));

        // Abort: what was found before the frame stays; the status is not
        // touched, also by the load's later scans, which stop there unasked.
        t.settings.setErrorMode(ErrorMode::Abort);
        t.window.browser()->load(QUrl(url("/crossorigin.html?again")));
        bool applied = false;
        QVERIFY(t.nextScan(&applied));
        QVERIFY(applied);
        QCOMPARE(t.found(), urls({"/l1.jpg", "/shared.mpg"}));
        const int reports = t.errorLines().size();
        t.child<QLabel>("lblStatus")->setText("before");
        emit t.window.browser()->page()->loadFinished(true);
        QVERIFY(t.nextScan(&applied));
        QVERIFY(applied);
        QCOMPARE(t.found(), urls({"/l1.jpg", "/shared.mpg"}));
        QCOMPARE(t.status(), QStringLiteral("before"));
        QCOMPARE(t.errorLines().size(), reports);
    }

    void earlyScanThenRescanAtLoadEnd()
    {
        // The second frame's entries show while the first frame is still on its
        // way; the scan at the finished load adds the late frame's entries in
        // document order, keeps the order and the selection of those shown,
        // and takes the first frame's letter case of the address both hold.
        TestWindow t(m_web->profile());
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
        QVERIFY(t.child<QPushButton>("cmdAdd")->isEnabled());
    }

    // A rescan merged into the shown list, with a view's selection on it.
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
            {{"a", "b"}, {"b"}, {"a", "b"}, {"a", "b"}, {"b"}},  // unchanged
            {{"b", "d"}, {"b", "d"}, {"a", "b", "c", "d", "e"}, {"a", "b", "c", "d", "e"}, {"b", "d"}},  // new ones unselected
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
        TestWindow t(m_web->profile());
        bool applied = true;
        // Nothing loaded yet.
        t.window.foundList()->model()->setStringList({"http://h/kept.jpg"});
        QSignalSpy scanned(&t.window, &MainWindow::scanFinished);
        emit t.window.browser()->page()->loadFinished(true);
        QCOMPARE(scanned.count(), 1);
        QVERIFY(!scanned.first().first().toBool());
        QCOMPARE(t.found(), QStringList{"http://h/kept.jpg"});

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
        // arrives after the next load started, and one whose error question
        // was open when it started.
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
        // The question meets whichever scan first reads the other origin's
        // frame; a scan while the page loads may have listed entries before.
        QStringList foundAtQuestion;
        const int questions = t.ui.count("yesno");
        t.settings.classicScan = true;  // which asks about the frame of another origin
        t.ui.onQuestion = [&] {
            foundAtQuestion = t.found();
            emit t.window.browser()->page()->loadStarted();
        };
        t.child<QComboBox>("cmbURL")->setEditText(url("/crossorigin.html"));
        t.window.navigateToAddress();
        QVERIFY(t.nextScan(&applied));
        QVERIFY(!applied);
        QVERIFY(t.ui.count("yesno") > questions);
        QCOMPARE(t.found(), foundAtQuestion);
    }

    // The filter hides entries without dropping them; hidden entries leave
    // the selection, so that Add to Queue never takes what is not shown.
    void filter()
    {
        const QStringList names = {"cat.jpg", "Cats/b.mp3", "12.jpg", "x.bin", "v.php?id=3"};
        QStringList all;
        for (const QString& name : names)
            all << "http://h/" + name;
        // text, kind, new only; the entries shown
        const QList<std::tuple<QString, FileKind, bool, QStringList>> cases = {
            {"CAT", FileKind::Any, false, {"cat.jpg", "Cats/b.mp3"}},       // any case
            {"re:/\\d+\\.jpg$", FileKind::Any, false, {"12.jpg"}},
            {"", FileKind::Image, false, {"cat.jpg", "12.jpg", "x.bin"}},  // by type or extension
            {"", FileKind::Audio, false, {"Cats/b.mp3"}},
            {"", FileKind::Other, false, {"v.php?id=3"}},
            {"jpg", FileKind::Any, true, {"12.jpg"}}};
        for (const auto& [text, kind, newOnly, shown] : cases) {
            TestWindow t(m_web->profile());
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
            // Clearing the filter shows every entry again; an expression being
            // typed that is not valid yet leaves the list as it was.
            t.child<QComboBox>("cmbKind")->setCurrentIndex(0);
            t.child<QComboBox>("cmbOutcome")->setCurrentIndex(0);
            t.child<QLineEdit>("txtFilter")->setText("re:(");
            QCOMPARE(t.status().contains("hidden"), !text.isEmpty());
            t.child<QLineEdit>("txtFilter")->clear();
            QCOMPARE(t.status(), QStringLiteral("Found 5 URL's. You've selected %1 items.").arg(shown.size()));
        }
    }

    // Before anything is downloaded, each found entry shows what the server
    // says it is and what a download would do with it; the outcomes follow
    // the rules set in Options and the downloads the archive records.
    void foundListTellsWhatDownloadsWouldDo()
    {
        for (const char* name : {"new.jpg", "there.jpg"})
            m_server.addPage(QStringLiteral("/media/") + name, QByteArray(3000, 'x'), "image/jpeg");
        m_server.addPage("/outcomes.html", "<html><body><a href='/media/new.jpg'>1</a><a href='/media/there.jpg'>2</a>"
                                           "<a href='/gone/missing.jpg'>3</a></body></html>");
        TestWindow t(m_web->profile());
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
        QCOMPARE(model.details(url("/media/new.jpg")).contentType, QStringLiteral("image/jpeg"));
        QCOMPARE(model.details(url("/media/new.jpg")).size, 3000);

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
