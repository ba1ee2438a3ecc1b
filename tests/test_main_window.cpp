// The main window's life: start-up, File Open and Save, and shutdown.
#include "gui/browserview.h"
#include "gui/optionsdialog.h"
#include "gui/workqueuewindow.h"
#include "tests/support/testserver.h"
#include "tests/support/webtest.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace pm;
using namespace pm::test;

class TestMainWindow : public QObject {
    Q_OBJECT
private:
    TestProfile m_web;
    TestServer m_server;

private slots:
    void initTestCase()
    {
        m_server.addTestPages();
        QVERIFY(m_server.listen());
    }

    void legalNoticeShutdownAndRestart()
    {
        TestWindow t(m_web.profile());
        t.ui.yesNoAnswers << false;
        QVERIFY(!t.window.start());  // declined: the program ends with nothing saved
        QVERIFY(!QFileInfo::exists(t.settings.configurationFile));
        QCOMPARE(t.ui.count("yesno"), 1);

        t.ui.yesNoAnswers << true;
        QVERIFY(t.window.start());

        // Closing saves the live queue first, then closes the other windows.
        // The next start goes to the last page, whatever the case of "Last".
        const QString page = m_server.url("/a.html");
        t.settings.startPageText = QStringLiteral("LAST");
        t.app.history.setEntries({page});
        t.app.queue.addNew({"http://h/live.jpg"});
        t.window.showQueue();
        t.window.optionsDialog()->show();
        t.window.show();
        t.child<QAction>("mnuQuit")->trigger();
        QVERIFY(!t.window.workQueueWindow()->isVisible() && !t.window.optionsDialog()->isVisible());
        const QByteArray ini = readAll(t.settings.configurationFile);
        QVERIFY(ini.contains("\"bG_Disclaimer\",#TRUE#\r\n"));
        QVERIFY(ini.endsWith("\"Queue\",\"http://h/live.jpg\"\r\n"));

        TestWindow again(m_web.profile());
        again.app.setProgramFolder(t.dir.path());
        QVERIFY(again.window.start());
        QCOMPARE(again.ui.count("yesno"), 0);
        QVERIFY(again.nextScan());
        QCOMPARE(again.window.browser()->url().toString(), page);
        QTRY_COMPARE_WITH_TIMEOUT(again.window.windowTitle(), QStringLiteral("Page A"), 5000);
    }

    // File > Open replaces the live queue and the settings that the path
    // check and the Options dialog use; a cancelled dialog changes nothing.
    void openAndSaveConfigurationFiles()
    {
        TestWindow t(m_web.profile());
        t.ui.yesNoAnswers << true;
        QVERIFY(t.window.start());
        t.app.queue.addNew({"http://h/old.jpg"});
        t.window.showQueue();
        const QString other = t.path("other.ini"), newOut = t.path("newout");
        writeFile(other, ("\"strG_SavePath\",\"" + newOut + "\"\r\n\"Queue\",\"http://q/1.jpg\"\r\n").toUtf8());

        t.ui.fileAnswers << std::nullopt << other;
        t.child<QAction>("mnuOpen")->trigger();
        QCOMPARE(t.app.queue.urls(), QStringList{"http://h/old.jpg"});
        t.child<QAction>("mnuOpen")->trigger();
        QCOMPARE(t.ui.asked.last().text, t.settings.configurationFile);  // the dialog starts at the file in use
        QCOMPARE(t.app.queue.urls(), QStringList{"http://q/1.jpg"});
        QVERIFY(QFileInfo(newOut).isDir());  // the path check read the opened settings
        QString shownPath;
        t.onDialog = [&](QDialog& d) { shownPath = d.findChild<QLineEdit*>("txtPath")->text(); };
        t.window.showOptions();
        QCOMPARE(shownPath, newOut);

        const QString saved = t.path("saved.ini");
        t.ui.fileAnswers << saved;
        t.child<QAction>("mnuSave")->trigger();
        QCOMPARE(storedQueue(saved), QStringList{"http://q/1.jpg"});
        QCOMPARE(t.settings.configurationFile, t.path("Pullmark.ini"));  // unchanged
        QVERIFY(t.errorLines().isEmpty());
    }

    // The user keeps the queue window open after closing the main window:
    // what changed meanwhile is saved when the queue window closes.
    void queueWindowClosingLastSaves()
    {
        TestWindow t(m_web.profile());
        t.ui.yesNoAnswers << true;
        QVERIFY(t.window.start());
        t.app.queue.addNew({m_server.url("/drip/s.bin?size=60000&chunk=2000&ms=20")});
        t.settings.outputFolder = t.dir.path();
        WorkQueueWindow* queue = t.window.workQueueWindow();
        queue->show();
        queue->startSession();
        t.ui.yesNoAnswers << false;  // "Download in progress...": keep it
        t.window.close();
        QVERIFY(queue->isVisible());
        QSignalSpy finished(queue, &WorkQueueWindow::sessionFinished);
        QVERIFY(finished.wait(10000));
        t.app.queue.addNew({"http://h/added-later.jpg"});
        queue->close();
        QCOMPARE(storedQueue(t.settings.configurationFile), QStringList{"http://h/added-later.jpg"});
    }

    void closingWithAScanPending()
    {
        auto t = std::make_unique<TestWindow>(m_web.profile());
        QVERIFY(t->go(m_server.url("/a.html")));
        QSignalSpy scanned(&t->window, &MainWindow::scanFinished);
        emit t->window.browser()->page()->loadFinished(true);  // another scan, still running when the window goes
        t.reset();
        QTest::qWait(200);
        QCOMPARE(scanned.count(), 0);
    }

    // A log that cannot be written is told once, from the event loop.
    void failingLogIsTold()
    {
        TestWindow t(m_web.profile());
        t.settings.activityLogFile = t.dir.path();  // a folder in the log's place
        t.app.log.write("a");
        t.app.log.write("b");
        QCOMPARE(t.ui.count("inform"), 0);  // not inside the write
        QTRY_VERIFY(t.ui.count("inform") == 1 && t.ui.asked.last().text.contains(t.dir.path()));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
