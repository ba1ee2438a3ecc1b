// Browsing from the main window: Go, the address history and its drop-down,
// Back/Forward/Home/Refresh/Stop, the found list's selection report, Select
// All/None, and Copy/Paste of the address box.
#include "app/browser.h"
#include "app/history.h"
#include "app/mainwindow.h"
#include "tests/support/scriptedinteraction.h"
#include "tests/support/testserver.h"
#include "tests/support/testutil.h"
#include "tests/support/webtest.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QTimer>
#include <QWebEnginePage>
#include <QtTest>

using namespace pm;
using namespace pm::test;

class TestNavigation : public QObject {
    Q_OBJECT
private:
    TestProfile* m_web = nullptr;
    TestServer m_server;

    QString url(const QString& path) const { return m_server.url(path); }

    static void scanSettings()
    {
        settings().bG_ScrapeLink = true;
        settings().strG_FileExt = QString::fromLatin1(kDefaultFileExt);
        settings().strG_Unattended = QStringLiteral("Resume");
    }

    // Go to `address` the way the user does and wait for the page's scan.
    static bool go(frmMain& window, const QString& address)
    {
        QSignalSpy scanned(&window, &frmMain::scrapeFinished);
        window.cmbURL->setEditText(address);
        window.cmdGo_Click();
        while (scanned.wait(15000)) {
            if (scanned.last().first().toBool() && window.WebBrowser1->LocationURL() == address)
                return true;
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        m_web = new TestProfile;
        for (const char* name : {"a", "b", "c"}) {
            const QByteArray n(name);
            m_server.addPage(QStringLiteral("/%1.html").arg(QLatin1String(name)),
                             "<html><head><title>Page " + n.toUpper() + "</title></head><body>" + n + "</body></html>");
        }
        m_server.addPage(QStringLiteral("/Case.html"), "<html><head><title>Upper</title></head><body></body></html>");
        m_server.addPage(QStringLiteral("/case.html"), "<html><head><title>Lower</title></head><body></body></html>");
        m_server.addPage(QStringLiteral("/frames.html"),
                         "<html><head><title>Frames</title></head><frameset cols='50%,50%'>"
                         "<frame name='left' src='/a.html'><frame name='right' src='/b.html'></frameset></html>");
        m_server.addPage(QStringLiteral("/five.html"),
                         "<html><body><a href='1.jpg'>1</a><a href='2.jpg'>2</a><a href='3.jpg'>3</a>"
                         "<a href='4.jpg'>4</a><a href='5.jpg'>5</a></body></html>");
        QVERIFY(m_server.listen());
    }
    void cleanupTestCase() { delete m_web; }

    void historyIsMostRecentFirstWithoutCaseDuplicates()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        scanSettings();
        frmMain window(m_web->profile(), fresh.dir.path());
        const QString a = url(QStringLiteral("/a.html")), b = url(QStringLiteral("/b.html"));
        QVERIFY(go(window, a));
        QVERIFY(go(window, b));
        QVERIFY(go(window, a));
        QCOMPARE(window.history(), (QStringList{a, b}));
        QCOMPARE(window.cmbURL->currentText(), a);
        QCOMPARE(window.windowTitle(), QStringLiteral("Page A"));

        // Only the letter case differs: the entry is replaced by the new form, on top.
        QVERIFY(go(window, url(QStringLiteral("/Case.html"))));
        QVERIFY(go(window, b));
        QVERIFY(go(window, url(QStringLiteral("/case.html"))));
        QCOMPARE(window.history(), (QStringList{url(QStringLiteral("/case.html")), b, a}));

        // The history is what the configuration file keeps.
        window.saveConfiguration(fresh.path(QStringLiteral("saved.ini")));
        const QByteArray ini = readAll(fresh.path(QStringLiteral("saved.ini")));
        QVERIFY(ini.contains(("\"URL0\",\"" + url(QStringLiteral("/case.html")) + "\"\r\n\"URL1\",\"" + b
                              + "\"\r\n\"URL2\",\"" + a + "\"\r\n").toUtf8()));
    }

    // The browser reports "http:///" for a navigation that never got an
    // address; only that exact address, in any letter case, stays out.
    void emptyAddressNeverEntersHistory_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("enters");
        QTest::newRow("empty address") << "http:///" << false;
        QTest::newRow("upper case") << "HTTP:///" << false;
        QTest::newRow("path after it") << "http:///a.html" << true;
        QTest::newRow("real address") << "http://127.0.0.1/" << true;
        QTest::newRow("other scheme") << "https:///" << true;
    }
    void emptyAddressNeverEntersHistory()
    {
        QFETCH(QString, address);
        QFETCH(bool, enters);
        QCOMPARE(entersHistory(address), enters);
    }

    void historyOffChangesOnlyTheCaption()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        scanSettings();
        settings().bG_MaintainHistory = true;  // "Do not track history"
        frmMain window(m_web->profile(), fresh.dir.path());
        window.setHistory({QStringLiteral("http://127.0.0.1:1/old")});
        QVERIFY(go(window, url(QStringLiteral("/c.html"))));
        QCOMPARE(window.history(), QStringList{QStringLiteral("http://127.0.0.1:1/old")});
        QCOMPARE(window.windowTitle(), QStringLiteral("Page C"));
    }

    void pageWithFramesIsRecordedOnce()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        scanSettings();
        frmMain window(m_web->profile(), fresh.dir.path());
        const QString page = url(QStringLiteral("/frames.html"));
        QVERIFY(go(window, page));
        QCOMPARE(window.history(), QStringList{page});

        // A frame navigating on its own does not change the page's address.
        const int before = m_server.requestCount(QStringLiteral("/c.html"));
        window.WebBrowser1->page()->runJavaScript(QStringLiteral("frames[1].location.href = '/c.html';"));
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestCount(QStringLiteral("/c.html")), before + 1, 10000);
        QTest::qWait(200);
        QCOMPARE(window.history(), QStringList{page});
        QCOMPARE(window.WebBrowser1->LocationURL(), page);
    }

    void choosingAnEntryNavigatesOnce()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        scanSettings();
        frmMain window(m_web->profile(), fresh.dir.path());
        const QString a = url(QStringLiteral("/a.html")), b = url(QStringLiteral("/b.html"));
        QVERIFY(go(window, a));
        QVERIFY(go(window, b));
        QCOMPARE(window.history(), (QStringList{b, a}));

        // The server counts the page's requests: a second navigation to the
        // same address shows there even when the browser merges the loads.
        const int requestsOfA = m_server.requestCount(QStringLiteral("/a.html"));
        QSignalSpy scanned(&window, &frmMain::scrapeFinished);
        window.cmbURL->setCurrentIndex(1);
        emit window.cmbURL->activated(1);  // what a choice in the drop-down raises
        QVERIFY(scanned.wait(15000));
        QCOMPARE(window.WebBrowser1->LocationURL(), a);
        QCOMPARE(window.history(), (QStringList{a, b}));
        // Recording the visit selected entry 0 again; that started nothing.
        QVERIFY(!scanned.wait(300));
        QCOMPARE(m_server.requestCount(QStringLiteral("/a.html")), requestsOfA + 1);

        // Enter in the address box on a text that is also an entry: one navigation.
        const int requestsOfB = m_server.requestCount(QStringLiteral("/b.html"));
        scanned.clear();
        window.show();
        window.cmbURL->lineEdit()->setText(b);
        QTest::keyClick(window.cmbURL->lineEdit(), Qt::Key_Return);
        QVERIFY(scanned.wait(15000));
        QCOMPARE(window.WebBrowser1->LocationURL(), b);
        QVERIFY(!scanned.wait(300));
        QCOMPARE(m_server.requestCount(QStringLiteral("/b.html")), requestsOfB + 1);
        QCOMPARE(window.history(), (QStringList{b, a}));
    }

    void goAndTheButtons()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        scanSettings();
        frmMain window(m_web->profile(), fresh.dir.path());
        window.WebBrowser1->setHomeUrl(QUrl(url(QStringLiteral("/c.html"))));

        // Back with nowhere to go: no message; the indicator starts and its
        // next tick stops it again.
        window.cmdBack_Click();
        QVERIFY(window.Timer1->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(!window.Timer1->isActive(), 5000);
        window.cmdForward_Click();
        QVERIFY(window.Timer1->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(!window.Timer1->isActive(), 5000);

        QVERIFY(go(window, url(QStringLiteral("/five.html"))));
        QCOMPARE(window.foundUrls().size(), 5);
        window.cmdSelAll_Click();
        QVERIFY(window.cmdAdd->isEnabled());

        // Go clears the list and shows the count, but leaves "Add to Queue" alone
        // until the scan; the address goes to the browser unchanged.
        QSignalSpy scanned(&window, &frmMain::scrapeFinished);
        window.cmbURL->setEditText(url(QStringLiteral("/a.html")));
        window.cmdGo_Click();
        QCOMPARE(window.foundUrls(), QStringList());
        QCOMPARE(window.lblStatus->text(), QStringLiteral("Found 0 URL's."));
        QVERIFY(window.cmdAdd->isEnabled());
        QVERIFY(window.Timer1->isActive());
        QVERIFY(scanned.wait(15000));
        QVERIFY(!window.cmdAdd->isEnabled());

        // Back keeps the list until the scan rebuilds it.
        window.foundModel()->setStringList({QStringLiteral("http://h/x.jpg")});
        scanned.clear();
        window.cmdBack_Click();
        QCOMPARE(window.foundUrls(), QStringList{QStringLiteral("http://h/x.jpg")});
        QVERIFY(scanned.wait(15000));
        QCOMPARE(window.WebBrowser1->LocationURL(), url(QStringLiteral("/five.html")));
        QCOMPARE(window.foundUrls().size(), 5);

        scanned.clear();
        window.cmdForward_Click();
        QVERIFY(scanned.wait(15000));
        QCOMPARE(window.WebBrowser1->LocationURL(), url(QStringLiteral("/a.html")));

        scanned.clear();
        window.cmdHome_Click();
        QCOMPARE(window.lblStatus->text(), QStringLiteral("Found 0 URL's."));
        QVERIFY(scanned.wait(15000));
        QCOMPARE(window.WebBrowser1->LocationURL(), url(QStringLiteral("/c.html")));

        const int before = m_server.requestCount(QStringLiteral("/c.html"));
        scanned.clear();
        window.cmdRefresh_Click();
        QVERIFY(scanned.wait(15000));
        QCOMPARE(m_server.requestCount(QStringLiteral("/c.html")), before + 1);

        window.setWindowTitle(QStringLiteral("busy..."));
        window.cmdStop_Click();
        QVERIFY(!window.Timer1->isActive());
        QCOMPARE(window.windowTitle(), QStringLiteral("Page C"));
        QCOMPARE(script.asked.size(), 0);
    }

    void selectionReportAndSelectAllNone()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        scanSettings();
        frmMain window(m_web->profile(), fresh.dir.path());

        // Empty list: Select All changes nothing, Select None disables the button.
        window.lblStatus->setText(QStringLiteral("Found 0 URL's."));
        window.cmdAdd->setEnabled(true);
        window.cmdSelAll_Click();
        QCOMPARE(window.lblStatus->text(), QStringLiteral("Found 0 URL's."));
        QVERIFY(window.cmdAdd->isEnabled());
        window.cmdSelNone_Click();
        QVERIFY(!window.cmdAdd->isEnabled());

        QVERIFY(go(window, url(QStringLiteral("/five.html"))));
        QItemSelectionModel* selection = window.lstUrl->selectionModel();
        QStringListModel* model = window.foundModel();
        selection->select(model->index(1), QItemSelectionModel::Select);
        selection->select(model->index(3), QItemSelectionModel::Select);
        QCOMPARE(window.lblStatus->text(), QStringLiteral("Found 5 URL's. You've selected 2 items."));
        QVERIFY(window.cmdAdd->isEnabled());
        QCOMPARE(window.selectedFoundUrls(), (QStringList{url(QStringLiteral("/2.jpg")), url(QStringLiteral("/4.jpg"))}));

        window.cmdSelNone_Click();
        QCOMPARE(window.lblStatus->text(), QStringLiteral("Found 5 URL's. You've selected 0 items."));
        QVERIFY(!window.cmdAdd->isEnabled());

        selection->select(model->index(4), QItemSelectionModel::Select);
        window.cmdSelAll_Click();
        QCOMPARE(window.lblStatus->text(), QStringLiteral("Found 5 URL's. You've selected 5 items."));
        QVERIFY(window.cmdAdd->isEnabled());
        QCOMPARE(window.selectedFoundUrls().size(), 5);

        // Deselecting by hand reports too.
        selection->select(model->index(0), QItemSelectionModel::Deselect);
        QCOMPARE(window.lblStatus->text(), QStringLiteral("Found 5 URL's. You've selected 4 items."));

        // A new scan of the page drops the selection.
        QSignalSpy scanned(&window, &frmMain::scrapeFinished);
        window.DownloadComplete();
        QVERIFY(scanned.wait(10000));
        QCOMPARE(window.lblStatus->text(), QStringLiteral("Found 5 URL's."));
        QCOMPARE(window.selectedFoundUrls(), QStringList());
        QVERIFY(!window.cmdAdd->isEnabled());
    }

    void selectAllOnALargeListReportsOnce()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        frmMain window(m_web->profile(), fresh.dir.path());
        QStringList many;
        for (int i = 0; i < 100000; ++i)
            many << QStringLiteral("http://h/%1.jpg").arg(i);
        window.foundModel()->setStringList(many);
        QSignalSpy changes(window.lstUrl->selectionModel(), &QItemSelectionModel::selectionChanged);
        window.cmdSelAll_Click();
        QCOMPARE(changes.count(), 1);
        QCOMPARE(window.lblStatus->text(), QStringLiteral("Found 100000 URL's. You've selected 100000 items."));
        QVERIFY(window.cmdAdd->isEnabled());
        window.cmdSelNone_Click();
        QCOMPARE(window.lblStatus->text(), QStringLiteral("Found 100000 URL's. You've selected 0 items."));
        QVERIFY(!window.cmdAdd->isEnabled());
    }

    void copyAndPasteTheWholeAddress()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        frmMain window(m_web->profile(), fresh.dir.path());
        QSignalSpy started(window.WebBrowser1->page(), &QWebEnginePage::loadStarted);

        script.clipboard = QStringLiteral("old");
        window.cmbURL->setEditText(QString());
        window.mnuCopy_Click();
        QCOMPARE(script.clipboard, QString());

        // The whole text, not only the selected part of it.
        window.cmbURL->setEditText(QStringLiteral("http://127.0.0.1:1/whole.html"));
        window.cmbURL->lineEdit()->setSelection(0, 4);
        window.mnuCopy_Click();
        QCOMPARE(script.clipboard, QStringLiteral("http://127.0.0.1:1/whole.html"));

        script.clipboard = QStringLiteral("http://127.0.0.1:1/pasted.html");
        window.cmbURL->lineEdit()->setSelection(0, 4);
        window.mnuPaste_Click();
        QCOMPARE(window.cmbURL->currentText(), QStringLiteral("http://127.0.0.1:1/pasted.html"));

        script.clipboard = QString();
        window.mnuPaste_Click();
        QCOMPARE(window.cmbURL->currentText(), QString());
        QCOMPARE(started.count(), 0);  // nothing navigated
    }

    void copyAndPasteFollowTheAddressBoxFocus()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        script.yesNoAnswers << true;
        writeFile(fresh.path(QStringLiteral("Pullmark.ini")), "\"strG_StartURL\",\"none\"\r\n");
        frmMain window(m_web->profile(), fresh.dir.path());
        QVERIFY(window.Form_Load());
        QVERIFY(!window.mnuCopy->isEnabled() && !window.mnuPaste->isEnabled());
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.cmbURL->setFocus();
        QTRY_VERIFY(window.mnuCopy->isEnabled() && window.mnuPaste->isEnabled());

        // The menu shortcuts act on the whole text.
        window.cmbURL->setEditText(QStringLiteral("http://127.0.0.1:1/key.html"));
        window.cmbURL->lineEdit()->setSelection(0, 4);
        QTest::keyClick(window.cmbURL->lineEdit(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(script.clipboard, QStringLiteral("http://127.0.0.1:1/key.html"));
        script.clipboard = QStringLiteral("http://127.0.0.1:1/other.html");
        QTest::keyClick(window.cmbURL->lineEdit(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(window.cmbURL->currentText(), QStringLiteral("http://127.0.0.1:1/other.html"));

        window.lstUrl->setFocus();
        QTRY_VERIFY(!window.mnuCopy->isEnabled() && !window.mnuPaste->isEnabled());
    }
};

QTEST_MAIN(TestNavigation)
#include "test_navigation.moc"
