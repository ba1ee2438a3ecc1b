// The main window's life: first start and the legal notice, the start page,
// the busy caption, the layout rules, the File menu and the shutdown.
#include "app/browser.h"
#include "app/busycaption.h"
#include "app/mainlayout.h"
#include "app/mainwindow.h"
#include "app/terminationwatcher.h"
#include "common/twips.h"
#include "tests/support/scriptedinteraction.h"
#include "tests/support/testserver.h"
#include "tests/support/testutil.h"
#include "tests/support/webtest.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <csignal>

using namespace pm;
using namespace pm::test;

class TestMainWindow : public QObject {
    Q_OBJECT
private:
    TestProfile* m_web = nullptr;
    TestServer m_server;

    // A window over the folder of `fresh`, started with Form_Load.
    std::unique_ptr<frmMain> start(FreshSettings& fresh)
    {
        auto window = std::make_unique<frmMain>(m_web->profile(), fresh.dir.path());
        if (!window->Form_Load())
            return nullptr;
        return window;
    }

private slots:
    void initTestCase()
    {
        m_web = new TestProfile;
        m_server.addPage(QStringLiteral("/a.html"), "<html><head><title>Page A</title></head><body>A</body></html>");
        QVERIFY(m_server.listen());
    }
    void cleanupTestCase() { delete m_web; }

    void firstStartShowsTheNoticeAndSavesAcceptance()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        script.yesNoAnswers << true;
        auto window = start(fresh);
        QVERIFY(window);
        QCOMPARE(script.count(QStringLiteral("yesno")), 1);
        const AskedQuestion& notice = script.asked.first();
        QCOMPARE(notice.title, QStringLiteral("Legal Notice"));
        QCOMPARE(notice.icon, MessageIcon::Critical);
        QVERIFY(notice.text.contains(QStringLiteral("at your own risk.  ")));
        QCOMPARE(window->WebBrowser1->homeUrl(), Browser::defaultHomeUrl());
        QVERIFY(window->busyTimer()->isActive());
        QCOMPARE(window->lblStatus->text(), QString());
        QVERIFY(!window->cmdAdd->isEnabled());
        QVERIFY(!window->mnuCopy->isEnabled() && !window->mnuPaste->isEnabled());

        window->show();
        window->mnuQuit->trigger();  // closes like the close box
        const QByteArray ini = readAll(settings().strG_IniFileName);
        QVERIFY(ini.contains("\"bG_Disclaimer\",#TRUE#\r\n"));
        QCOMPARE(crlfLines(ini).size(), 15);

        // The next start does not ask again.
        window.reset();
        settings() = Settings{};
        auto second = start(fresh);
        QVERIFY(second);
        QCOMPARE(script.count(QStringLiteral("yesno")), 1);
    }

    void decliningTheNoticeSavesNothing()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        script.yesNoAnswers << false;
        {
            frmMain window(m_web->profile(), fresh.dir.path());
            QVERIFY(!window.Form_Load());
        }
        QCOMPARE(script.count(QStringLiteral("yesno")), 1);
        QVERIFY(!QFileInfo::exists(fresh.path(QStringLiteral("Pullmark.ini"))));
    }

    void startPageLastIgnoresCase()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        const QString page = m_server.url(QStringLiteral("/a.html"));
        writeFile(fresh.path(QStringLiteral("Pullmark.ini")),
                  ("\"strG_StartURL\",\"LAST\"\r\n\"bG_Disclaimer\",#TRUE#\r\n\"URL0\",\"" + page + "\"\r\n").toUtf8());
        auto window = start(fresh);
        QVERIFY(window);
        QCOMPARE(script.asked.size(), 0);
        QSignalSpy loaded(window->WebBrowser1, &Browser::DownloadComplete);
        QVERIFY(loaded.wait(10000));
        QCOMPARE(window->WebBrowser1->LocationURL(), page);
        // Once idle, the next tick stops the indicator and shows the title.
        QTRY_VERIFY_WITH_TIMEOUT(!window->busyTimer()->isActive(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), QStringLiteral("Page A"), 5000);
    }

    // Closing the window while a page scan is still on its way: the pending
    // result must neither reach the half-destroyed window nor be applied.
    void closingWithAScanPending()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        writeFile(fresh.path(QStringLiteral("Pullmark.ini")), "\"bG_Disclaimer\",#TRUE#\r\n\"strG_StartURL\",\"none\"\r\n");
        auto window = start(fresh);
        QVERIFY(window);
        QSignalSpy loaded(window->WebBrowser1, &Browser::DownloadComplete);
        window->cmbURL->setEditText(m_server.url(QStringLiteral("/a.html")));
        window->cmdGo_Click();
        QVERIFY(loaded.wait(10000));
        QSignalSpy scanned(window.get(), &frmMain::scrapeFinished);
        QTRY_VERIFY_WITH_TIMEOUT(scanned.count() >= 1, 10000);  // the load's own scan
        scanned.clear();
        window->DownloadComplete();  // another scan, still running when the window goes
        window.reset();
        QTest::qWait(200);
        QCOMPARE(scanned.count(), 0);
    }

    void busyCaptionDots()
    {
        QStringList seen;
        QString caption = QStringLiteral("Some page");
        for (int i = 0; i < 8; ++i) {
            caption = nextBusyCaption(caption);
            seen << caption;
        }
        QCOMPARE(seen, (QStringList{"Working", "Working.", "Working..", "Working...", "Working....", "Working.....",
                                    "Working", "Working."}));
        // A page title beginning with "working" gets dots instead.
        QCOMPARE(nextBusyCaption(QStringLiteral("WORKING hard")), QStringLiteral("WORKING hard."));
        QCOMPARE(nextBusyCaption(QStringLiteral("Workin")), QStringLiteral("Working"));
    }

    void resizeKeepsTheMinimumAndTheRules()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        script.yesNoAnswers << true;
        auto window = start(fresh);
        QVERIFY(window);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const qreal dpi = window->logicalDpiX();
        const int minWidth = twipsToPixels(kMinWindowWidthTwips, dpi);

        window->resize(100, 100);
        QTRY_VERIFY(window->frameGeometry().width() >= minWidth - 1);
        QVERIFY(window->frameGeometry().height() >= twipsToPixels(kMinWindowHeightTwips, window->logicalDpiY()) - 1);

        window->resize(twipsToPixels(12000, dpi), twipsToPixels(9000, dpi));
        QTRY_VERIFY(window->frameGeometry().width() >= twipsToPixels(12000, dpi));
        const int W = pixelsToTwips(window->frameGeometry().width(), dpi);
        const int H = pixelsToTwips(window->frameGeometry().height(), window->logicalDpiY());
        const MainLayout& l = window->currentLayout();
        QCOMPARE(l.cmdGo.left(), W - 1365);
        QCOMPARE(l.WebBrowser1.height(), H - 3600);
        QCOMPARE(l.lstUrl.top(), (H - 3600) + 950 + 50 + 255 + 50);
        QCOMPARE(l.cmdAdd.left(), W - 5205);
        QCOMPARE(window->cmdGo->x(), twipsToPixels(W - 1365, dpi));
        QCOMPARE(window->cmdBack->x(), twipsToPixels(120, dpi));  // not moved by the rules

        // Minimized: nothing is laid out.
        window->showMinimized();
        const MainLayout before = window->currentLayout();
        window->Form_Resize();
        QCOMPARE(window->currentLayout().cmdGo, before.cmdGo);
    }

    void fileMenuOpenAndSave()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        script.yesNoAnswers << true;
        auto window = start(fresh);
        QVERIFY(window);
        fresh.logHere();
        const QString other = fresh.path(QStringLiteral("other.ini"));
        writeFile(other, "\"strG_FileDupOption\",\"Rename\"\r\n\"URL0\",\"http://127.0.0.1:1/x\"\r\n\"Queue\",\"http://q/1.jpg\"\r\n");

        // Cancelling changes nothing and reports nothing.
        script.fileAnswers << std::nullopt << std::nullopt;
        window->mnuOpen->trigger();
        window->mnuSave->trigger();
        QVERIFY(settings().strG_FileDupOption.isEmpty());
        QVERIFY(fresh.logMessages().isEmpty());
        QCOMPARE(script.asked[1].fileRequest.filter, QStringLiteral("INI File (*.ini)"));
        QCOMPARE(script.asked[1].fileRequest.defaultSuffix, QStringLiteral("ini"));
        QCOMPARE(script.asked[1].fileRequest.initialName, settings().strG_IniFileName);

        script.fileAnswers << other;
        window->mnuOpen->trigger();
        QCOMPARE(settings().strG_FileDupOption, QStringLiteral("Rename"));
        QCOMPARE(window->history(), QStringList{QStringLiteral("http://127.0.0.1:1/x")});
        QCOMPARE(settings().colG_Queue, QStringList{QStringLiteral("http://q/1.jpg")});

        const QString saved = fresh.path(QStringLiteral("saved.ini"));
        script.fileAnswers << saved;
        window->mnuSave->trigger();
        QVERIFY(readAll(saved).contains("\"URL0\",\"http://127.0.0.1:1/x\"\r\n\"Queue\",\"http://q/1.jpg\"\r\n"));
        QCOMPARE(settings().strG_IniFileName, fresh.path(QStringLiteral("Pullmark.ini")));  // unchanged
    }

    void helpOpensTheUserGuideInTheBrowser()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        script.yesNoAnswers << true;
        writeFile(fresh.path(QStringLiteral("Pullmark.ini")), "\"strG_StartURL\",\"none\"\r\n");
        auto window = start(fresh);
        QVERIFY(window);
        window->mnuHelp->trigger();
        QCOMPARE(window->cmbURL->currentText(), QString::fromLatin1(frmMain::kUserGuideUrl));
        QCOMPARE(window->lblStatus->text(), QStringLiteral("Found 0 URL's."));
        // The test profile stops it from leaving the machine; the attempt shows.
        QTRY_VERIFY_WITH_TIMEOUT(m_web->interceptor().blocked().contains(QString::fromLatin1(frmMain::kUserGuideUrl)), 5000);
    }

    void shutdownSavesFirstThenClosesOwnedWindows()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        script.yesNoAnswers << true;
        auto window = start(fresh);
        QVERIFY(window);
        settings().colG_Queue = {QStringLiteral("http://before/")};
        QStringList order;
        connect(window.get(), &frmMain::aboutToSaveConfiguration, this, [&] {
            order << QStringLiteral("save");
            settings().colG_Queue = {QStringLiteral("http://live/")};  // a queue window brings it up to date
        });
        QWidget history, options, queue;
        for (QWidget* w : {&history, &options, &queue}) {
            w->show();
            window->addOwnedWindow(w);
        }
        history.setObjectName(QStringLiteral("history"));
        options.setObjectName(QStringLiteral("options"));
        queue.setObjectName(QStringLiteral("queue"));
        window->show();
        QVERIFY(window->close());
        QVERIFY(!history.isVisible() && !options.isVisible() && !queue.isVisible());
        QCOMPARE(order, QStringList{QStringLiteral("save")});
        QVERIFY(readAll(settings().strG_IniFileName).contains("\"Queue\",\"http://live/\""));
    }

    void sigtermClosesAndSaves()
    {
        FreshSettings fresh;
        ScriptedInteraction script;
        script.yesNoAnswers << true;
        auto window = start(fresh);
        QVERIFY(window);
        TerminationWatcher watcher;
        connect(&watcher, &TerminationWatcher::terminationRequested, window.get(), &frmMain::closeForSystem);
        window->show();
        QSignalSpy spy(&watcher, &TerminationWatcher::terminationRequested);
        ::raise(SIGTERM);
        QVERIFY(spy.wait(5000));
        QCOMPARE(spy.first().first().toInt(), int(SIGTERM));
        QVERIFY(window->closingForSystem());
        QVERIFY(!window->isVisible());
        QVERIFY(readAll(settings().strG_IniFileName).contains("\"bG_Disclaimer\",#TRUE#"));
    }
    // The real program, copied into a folder of its own (it keeps its
    // configuration beside the executable), ended by SIGTERM.
    void programEndedBySigterm_data()
    {
        QTest::addColumn<bool>("accepted");
        QTest::newRow("during the legal notice: nothing saved") << false;
        QTest::newRow("after start-up: configuration saved") << true;
    }
    void programEndedBySigterm()
    {
        QFETCH(bool, accepted);
        QTemporaryDir folder;
        const QString program = folder.filePath(QStringLiteral("pullmark"));
        QVERIFY(QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/pullmark"), program));
        const QString ini = folder.filePath(QStringLiteral("Pullmark.ini"));
        if (accepted)
            writeFile(ini, "\"bG_Disclaimer\",#TRUE#\r\n\"strG_StartURL\",\"none\"\r\n");

        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, {});
        QVERIFY(process.waitForStarted());
        // Long enough to reach the notice or the running window.
        QTest::qWait(4000);
        QCOMPARE(process.state(), QProcess::Running);
        process.terminate();
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        if (accepted)
            QCOMPARE(crlfLines(readAll(ini)).size(), 15);  // rewritten in full at shutdown
        else
            QVERIFY(!QFileInfo::exists(ini));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
