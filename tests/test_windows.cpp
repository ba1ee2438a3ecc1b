// The History and About windows, and the Tools menu that opens them and the
// Options dialog from the main window.
#include "app/mainwindow.h"
#include "common/modal.h"
#include "settings/configfile.h"
#include "settings/optionsdialog.h"
#include "tests/support/scriptedinteraction.h"
#include "tests/support/testutil.h"
#include "tests/support/webtest.h"
#include "windows/aboutwindow.h"
#include "windows/historywindow.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QtTest>

using namespace pm;
using namespace pm::test;

namespace {
QStringList listEntries(const QListWidget* list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->item(i)->text();
    return entries;
}

QStringList boxEntries(const QComboBox* box)
{
    QStringList entries;
    for (int i = 0; i < box->count(); ++i)
        entries << box->itemText(i);
    return entries;
}
}  // namespace

class TestWindows : public QObject {
    Q_OBJECT
private:
    TestProfile* m_web = nullptr;

private slots:
    void initTestCase() { m_web = new TestProfile; }
    void cleanupTestCase() { delete m_web; }
    void cleanup()
    {
        setModalRunner({});
        setSystemInfoLauncher(defaultSystemInfoLauncher());
        destroyOptionsDialog();
    }

    // ---- History window ----

    void deleteSelected_data()
    {
        QTest::addColumn<QStringList>("history");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QStringList>("boxAfter");
        QTest::addColumn<QStringList>("listAfter");

        const QStringList six = {"http://a/", "http://b/", "http://c/", "http://d/", "http://e/", "http://f/"};
        QTest::newRow("three of six") << six << QList<int>{0, 2, 4} << QStringList{"http://b/", "http://d/", "http://f/"}
                                      << QStringList{"http://b/", "http://d/", "http://f/"};
        QTest::newRow("adjacent, last included")
            << six << QList<int>{3, 4, 5} << six.mid(0, 3) << six.mid(0, 3);
        QTest::newRow("everything") << six << QList<int>{0, 1, 2, 3, 4, 5} << QStringList{} << QStringList{};
        QTest::newRow("case copy removes the first match")
            << QStringList{"http://Site.com/", "http://x/", "http://site.com/"} << QList<int>{2}
            << QStringList{"http://x/", "http://site.com/"} << QStringList{"http://Site.com/", "http://x/"};
        QTest::newRow("both case copies")
            << QStringList{"http://Site.com/", "http://x/", "http://site.com/"} << QList<int>{0, 2}
            << QStringList{"http://x/"} << QStringList{"http://x/"};
    }

    void deleteSelected()
    {
        QFETCH(QStringList, history);
        QFETCH(QList<int>, selected);
        QFETCH(QStringList, boxAfter);
        QFETCH(QStringList, listAfter);
        QComboBox box;
        box.setEditable(true);
        box.addItems(history);
        box.setEditText(QStringLiteral("typed"));
        frmHistory window(&box);
        QCOMPARE(window.windowTitle(), QStringLiteral("History"));
        QCOMPARE(listEntries(window.lstUrl), history);
        QVERIFY(!window.cmdDelSel->isEnabled());

        for (int i : selected)
            window.lstUrl->item(i)->setSelected(true);
        QVERIFY(window.cmdDelSel->isEnabled());
        window.cmdDelSel->click();
        QCOMPARE(boxEntries(&box), boxAfter);
        QCOMPARE(listEntries(window.lstUrl), listAfter);
        QCOMPARE(box.currentText(), QStringLiteral("typed"));
        // The button keeps its state until the next click in the list.
        QVERIFY(window.cmdDelSel->isEnabled());

        // Again with nothing selected: nothing changes.
        window.cmdDelSel->click();
        QCOMPARE(boxEntries(&box), boxAfter);
        QCOMPARE(listEntries(window.lstUrl), listAfter);
    }

    void emptyHistory()
    {
        QComboBox box;
        frmHistory window(&box);
        QCOMPARE(window.lstUrl->count(), 0);
        QVERIFY(!window.cmdDelSel->isEnabled());
        window.cmdDelAll->click();
        QCOMPARE(box.count(), 0);
        QCOMPARE(window.lstUrl->count(), 0);
    }

    void deleteAllThenSaveWritesNoAddresses()
    {
        FreshSettings fresh;
        QComboBox box;
        box.addItems({QStringLiteral("http://a/"), QStringLiteral("http://b/")});
        frmHistory window(&box);
        window.cmdDelAll->click();
        QCOMPARE(box.count(), 0);
        QCOMPARE(window.lstUrl->count(), 0);

        SaveINI(settings().strG_IniFileName, boxEntries(&box));
        const QStringList lines = crlfLines(readAll(settings().strG_IniFileName));
        QVERIFY(!lines.isEmpty());
        for (const QString& line : lines)
            QVERIFY2(!line.startsWith(QLatin1String("\"URL")), qPrintable(line));
    }

    // ---- About window ----

    void programFolderLines_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QList<int>>("lineLengths");
        QTest::newRow("53") << 53 << QList<int>{53};
        QTest::newRow("54") << 54 << QList<int>{45, 9};
        QTest::newRow("106") << 106 << QList<int>{45, 61};
        QTest::newRow("107") << 107 << QList<int>{45, 45, 17};
        QTest::newRow("150") << 150 << QList<int>{45, 45, 60};
    }

    void programFolderLines()
    {
        QFETCH(int, length);
        QFETCH(QList<int>, lineLengths);
        FreshSettings fresh;
        QString folder = QStringLiteral("/");
        for (int i = 1; i < length; ++i)
            folder += QChar(u'a' + i % 26);
        settings().strG_AppPath = folder;
        frmAbout about;
        const QStringList parts = about.lblPath->text().split(QStringLiteral("\r\n"));
        QCOMPARE(parts.first(), QStringLiteral("Exectuing from "));
        QList<int> lengths;
        for (const QString& part : parts.mid(1))
            lengths << int(part.size());
        QCOMPARE(lengths, lineLengths);
        QCOMPARE(parts.mid(1).join(QString()), folder);
    }

    void aboutTexts()
    {
        FreshSettings fresh;
        frmAbout about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About Pullmark"));
        QCOMPARE(about.lblTitle->text(), QStringLiteral("Pullmark"));
        QCOMPARE(versionText(1, 2, 32), QStringLiteral("Version 1.2.32"));
        QVERIFY(about.lblVersion->text().startsWith(QLatin1String("Version ")));
        QVERIFY(about.lblDescription->text().startsWith(QLatin1String(
            "This application will help you automate download files from the internet. For questions contact ")));
        QVERIFY(about.lblDescription->text().contains(QLatin1String(". New version published at ")));
        QVERIFY(about.lblDisclaimer->text().startsWith(QLatin1String("Warning: ")));
        QVERIFY(about.lblDisclaimer->text().endsWith(QLatin1String(
            "This application is provided AS IS. No guarantees are provided or implied. If you have questions "
            "feel free to contact us and we'll see what we can do.")));
        QCOMPARE(about.cmdSysInfo->text(), QStringLiteral("&System Info..."));
    }

    void okClosesOnEnterAndEsc_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Esc") << int(Qt::Key_Escape);
    }

    void okClosesOnEnterAndEsc()
    {
        QFETCH(int, key);
        FreshSettings fresh;
        frmAbout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QTest::keyClick(&about, Qt::Key(key));
        QVERIFY(!about.isVisible());
    }

    void systemInfo_data()
    {
        QTest::addColumn<QString>("found");
        QTest::addColumn<bool>("starts");
        QTest::addColumn<bool>("message");
        QTest::newRow("none found") << "" << true << true;
        QTest::newRow("found, fails to start") << "/usr/bin/sysinfo" << false << true;
        QTest::newRow("found and started") << "/usr/bin/sysinfo" << true << false;
    }

    void systemInfo()
    {
        QFETCH(QString, found);
        QFETCH(bool, starts);
        QFETCH(bool, message);
        FreshSettings fresh;
        QStringList started;
        setSystemInfoLauncher({[found] { return found; }, [&started, starts](const QString& program) {
                                   started << program;
                                   return starts;
                               }});
        ScriptedInteraction script;
        frmAbout about;
        about.cmdSysInfo->click();
        QCOMPARE(started, found.isEmpty() ? QStringList{} : QStringList{found});
        QCOMPARE(script.count(QStringLiteral("inform")), message ? 1 : 0);
        if (message) {
            QCOMPARE(script.asked.first().text, QStringLiteral("System Information Is Unavailable At This Time"));
            QCOMPARE(script.asked.first().title, QStringLiteral("Pullmark"));
        }
    }

    // The real lookup searches PATH for the listed programs, in order.
    void systemInfoLookupUsesPath()
    {
        QTemporaryDir bin;
        const QByteArray savedPath = qgetenv("PATH");
        qputenv("PATH", bin.path().toLocal8Bit());
        const SystemInfoLauncher real = defaultSystemInfoLauncher();
        const QString nothing = real.find();
        for (const QString& name : {QStringLiteral("lshw-gtk"), QStringLiteral("kinfocenter")}) {
            QFile program(bin.path() + QLatin1Char('/') + name);
            QVERIFY(program.open(QIODevice::WriteOnly));
            program.write("#!/bin/sh\n");
            program.close();
            program.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        const QString first = real.find();
        qputenv("PATH", savedPath);
        QCOMPARE(nothing, QString());
        QCOMPARE(first, bin.path() + QStringLiteral("/kinfocenter"));
    }

    // ---- Tools menu ----

    void toolsMenuOpensModalWindows()
    {
        FreshSettings fresh;
        settings().strG_SavePath = fresh.dir.path();
        settings().strG_LogFileName = fresh.path(QStringLiteral("run.log"));
        frmMain window(m_web->profile(), fresh.dir.path());
        window.setHistory({QStringLiteral("http://a/"), QStringLiteral("http://b/")});
        QStringList opened;
        QStringList historyShown;
        setModalRunner([&](QDialog& dialog) {
            opened << dialog.objectName();
            QCOMPARE(dialog.parentWidget(), &window);
            if (auto* history = qobject_cast<frmHistory*>(&dialog))
                historyShown = listEntries(history->lstUrl);
            if (auto* options = qobject_cast<frmOptions*>(&dialog))
                QVERIFY(options->loaded());
        });
        window.mnuOptions->trigger();
        window.mnuHistory->trigger();
        window.mnuAbout->trigger();
        QCOMPARE(opened, (QStringList{"frmOptions", "frmHistory", "frmAbout"}));
        QCOMPARE(historyShown, (QStringList{"http://a/", "http://b/"}));

        // Opened again, the History window shows the address box as it is now.
        window.setHistory({QStringLiteral("http://c/")});
        window.mnuHistory->trigger();
        QCOMPARE(historyShown, QStringList{"http://c/"});
    }

    // Closing the main window unloads a loaded Options dialog.
    void shutdownUnloadsOptions()
    {
        FreshSettings fresh;
        settings().strG_SavePath = fresh.dir.path();
        settings().strG_LogFileName = fresh.path(QStringLiteral("run.log"));
        ScriptedInteraction script;
        frmMain window(m_web->profile(), fresh.dir.path());
        frmOptions& options = Options();
        QCOMPARE(options.parentWidget(), &window);
        window.show();
        window.close();
        QVERIFY(!options.loaded());
        QVERIFY(script.asked.isEmpty());
    }

    // A configuration load ends with the path check; a declined output
    // folder at start-up shows the Options dialog on the Output page.
    void configurationLoadEndsWithPathCheck()
    {
        FreshSettings fresh;
        frmMain window(m_web->profile(), fresh.dir.path());
        settings().strG_SavePath = fresh.path(QStringLiteral("missing"));
        settings().strG_LogFileName = fresh.path(QStringLiteral("run.log"));
        settings().bG_CreatePath = true;
        settings().bG_LogCSV = false;
        const QString ini = fresh.path(QStringLiteral("other.ini"));
        SaveINI(ini, {});
        settings().strG_SavePath.clear();
        settings().strG_LogFileName.clear();

        ScriptedInteraction script;
        script.yesNoAnswers << false;
        int shownOnPage = -1;
        setModalRunner([&](QDialog& dialog) {
            if (auto* options = qobject_cast<frmOptions*>(&dialog))
                shownOnPage = options->tbsOptions->currentIndex();
        });
        window.loadConfiguration(ini);
        QCOMPARE(settings().strG_SavePath, fresh.path(QStringLiteral("missing")));
        QCOMPARE(script.count(QStringLiteral("yesno")), 1);
        QCOMPARE(script.asked.first().title, QStringLiteral("Invalid Output path"));
        QVERIFY(settings().bG_PathError);
        QCOMPARE(shownOnPage, 0);
    }
};

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
