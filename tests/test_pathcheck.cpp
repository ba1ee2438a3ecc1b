// The path check: missing log and output folders created silently or after
// a question, a declined creation stopping the check on the right page, and
// the CSV log started with its header row exactly once.
#include "common/modal.h"
#include "logs/csvlog.h"
#include "settings/optionsdialog.h"
#include "settings/pathcheck.h"
#include "tests/support/scriptedinteraction.h"
#include "tests/support/testutil.h"

#include <QCheckBox>
#include <QDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTabBar>
#include <QtTest>

using namespace pm;
using namespace pm::test;

namespace {
// What a modal showing of the dialog saw.
struct ModalRecord {
    int shown = 0;
    int pageInFront = -1;
    int tab = -1;
    QString objectName;
};
}  // namespace

class TestPathCheck : public QObject {
    Q_OBJECT
private:
    ModalRecord m_modal;

private slots:
    void init()
    {
        destroyOptionsDialog();
        m_modal = {};
        setModalRunner([this](QDialog& dialog) {
            ++m_modal.shown;
            m_modal.objectName = dialog.objectName();
            if (auto* options = qobject_cast<frmOptions*>(&dialog)) {
                m_modal.pageInFront = options->pageShown();
                m_modal.tab = options->tbsOptions->currentIndex();
            }
        });
    }
    void cleanup()
    {
        setModalRunner({});
        destroyOptionsDialog();
    }

    void folders_data()
    {
        QTest::addColumn<bool>("logExists");
        QTest::addColumn<bool>("outExists");
        QTest::addColumn<bool>("ask");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QStringList>("titles");     // questions asked, in order
        QTest::addColumn<bool>("logAfter");
        QTest::addColumn<bool>("outAfter");
        QTest::addColumn<bool>("pathError");
        QTest::addColumn<int>("page");               // page shown modally, -1 none
        QTest::addColumn<bool>("csvStarted");

        const QString logTitle = QStringLiteral("Invalid Log File path");
        const QString outTitle = QStringLiteral("Invalid Output path");
        QTest::newRow("both exist") << true << true << true << QList<bool>{} << QStringList{} << true << true
                                    << false << -1 << true;
        QTest::newRow("missing log, asking off") << false << true << false << QList<bool>{} << QStringList{}
                                                 << true << true << false << -1 << true;
        QTest::newRow("both missing, asking off") << false << false << false << QList<bool>{} << QStringList{}
                                                  << true << true << false << -1 << true;
        QTest::newRow("missing log, Yes, output next")
            << false << false << true << QList<bool>{true, true} << QStringList{logTitle, outTitle} << true << true
            << false << -1 << true;
        QTest::newRow("missing log, No") << false << false << true << QList<bool>{false} << QStringList{logTitle}
                                         << false << false << true << 1 << false;
        QTest::newRow("missing output, No") << true << false << true << QList<bool>{false}
                                            << QStringList{outTitle} << true << false << true << 0 << false;
        QTest::newRow("log Yes, output No") << false << false << true << QList<bool>{true, false}
                                            << QStringList{logTitle, outTitle} << true << false << true << 0 << false;
    }

    // The dialog is loaded hidden, as at start-up: a declined creation shows
    // it modally on the page of the offending folder.
    void folders()
    {
        QFETCH(bool, logExists);
        QFETCH(bool, outExists);
        QFETCH(bool, ask);
        QFETCH(QList<bool>, answers);
        QFETCH(QStringList, titles);
        QFETCH(bool, logAfter);
        QFETCH(bool, outAfter);
        QFETCH(bool, pathError);
        QFETCH(int, page);
        QFETCH(bool, csvStarted);

        FreshSettings fresh;
        const QString logFolder = fresh.path(QStringLiteral("logs"));
        const QString outFolder = fresh.path(QStringLiteral("out"));
        if (logExists)
            QVERIFY(QDir().mkdir(logFolder));
        if (outExists)
            QVERIFY(QDir().mkdir(outFolder));
        Settings& s = settings();
        s.strG_SavePath = outFolder;
        s.strG_LogFileName = logFolder + QStringLiteral("/run.log");
        s.bG_CreatePath = ask;
        s.bG_LogCSV = true;
        s.bG_PathError = !pathError;  // the check clears it first

        ScriptedInteraction script;
        for (bool answer : answers)
            script.yesNoAnswers << answer;

        CheckFileExists();

        QStringList asked;
        for (const AskedQuestion& q : script.asked) {
            QCOMPARE(q.kind, QStringLiteral("yesno"));
            QCOMPARE(q.icon, MessageIcon::Question);
            asked << q.title;
            const QString folder = q.title == QLatin1String("Invalid Log File path") ? logFolder : outFolder;
            QCOMPARE(q.text, folder + QStringLiteral(" does not exist. Create?"));
        }
        QCOMPARE(asked, titles);
        QCOMPARE(script.unexpected, 0);
        QCOMPARE(QFileInfo(logFolder).isDir(), logAfter);
        QCOMPARE(QFileInfo(outFolder).isDir(), outAfter);
        QCOMPARE(s.bG_PathError, pathError);
        QCOMPARE(QFileInfo::exists(logFolder + QStringLiteral("/run.csv")), csvStarted);
        if (page < 0) {
            QCOMPARE(m_modal.shown, 0);
        } else {
            QCOMPARE(m_modal.shown, 1);
            QCOMPARE(m_modal.objectName, QStringLiteral("frmOptions"));
            QCOMPARE(m_modal.pageInFront, page);
            QCOMPARE(m_modal.tab, page);
        }
        // Nothing was applied to the settings by the check.
        QCOMPARE(s.strG_SavePath, outFolder);
    }

    // From inside the shown dialog a refusal only switches the page.
    void declinedWhileDialogShownSwitchesPageOnly()
    {
        FreshSettings fresh;
        settings().strG_SavePath = fresh.path(QStringLiteral("missing"));
        settings().strG_LogFileName = fresh.path(QStringLiteral("run.log"));
        settings().bG_CreatePath = true;
        ScriptedInteraction script;
        script.yesNoAnswers << false;
        frmOptions& dialog = Options();
        dialog.tbsOptions->setCurrentIndex(2);
        dialog.show();
        CheckFileExists();
        QVERIFY(settings().bG_PathError);
        QCOMPARE(m_modal.shown, 0);
        QCOMPARE(dialog.tbsOptions->currentIndex(), 0);
        QCOMPARE(dialog.pageShown(), 0);
        QVERIFY(dialog.picOptions[0]->isEnabled());
        QVERIFY(!dialog.picOptions[2]->isEnabled());
    }

    void csvHeaderWrittenOnce_data()
    {
        QTest::addColumn<QString>("logName");
        QTest::addColumn<QString>("csvName");
        QTest::newRow("run.log") << QStringLiteral("run.log") << QStringLiteral("run.csv");
        QTest::newRow("two dots") << QStringLiteral("run.log.old") << QStringLiteral("run.log.csv");
        QTest::newRow("no dot") << QStringLiteral("runlog") << QStringLiteral("csv");
    }

    void csvHeaderWrittenOnce()
    {
        QFETCH(QString, logName);
        QFETCH(QString, csvName);
        FreshSettings fresh;
        settings().strG_SavePath = fresh.dir.path();
        settings().strG_LogFileName = fresh.path(logName);
        settings().bG_LogCSV = true;
        ScriptedInteraction script;

        CheckFileExists();
        const QString csv = fresh.path(csvName);
        const QByteArray first = readAll(csv);
        QCOMPARE(crlfLines(first), QStringList{csvHeaderRecord().chopped(2)});
        QVERIFY(first.endsWith("\r\n"));
        QCOMPARE(first, csvHeaderRecord().toUtf8());

        CheckFileExists();
        QCOMPARE(readAll(csv), first);
        QVERIFY(script.asked.isEmpty());
    }

    // The check reads the dialog's boxes, not the settings: a CSV log that
    // is off in the dialog starts nothing.
    void readsTheDialogNotTheSettings()
    {
        FreshSettings fresh;
        settings().strG_SavePath = fresh.dir.path();
        settings().strG_LogFileName = fresh.path(QStringLiteral("run.log"));
        settings().bG_LogCSV = true;
        frmOptions& dialog = Options();
        dialog.chkLogCSV->setChecked(false);
        dialog.txtPath->setText(fresh.path(QStringLiteral("fromDialog")));
        ScriptedInteraction script;
        CheckFileExists();
        QVERIFY(!QFileInfo::exists(fresh.path(QStringLiteral("run.csv"))));
        QVERIFY(QFileInfo(fresh.path(QStringLiteral("fromDialog"))).isDir());
    }

    void emptyPathBoxesAreReported()
    {
        FreshSettings fresh;
        settings().bG_CreatePath = false;
        settings().bG_LogCSV = false;
        frmOptions& dialog = Options();  // filled from empty settings
        QVERIFY(dialog.txtPath->text().isEmpty());
        QVERIFY(dialog.txtLogPath->text().isEmpty());
        fresh.logHere();
        ScriptedInteraction script;

        CheckFileExists();
        QVERIFY(!settings().bG_PathError);
        QVERIFY(script.asked.isEmpty());
        const QStringList messages = fresh.logMessages();
        QCOMPARE(messages.size(), 2);
        for (const QString& m : messages)
            QVERIFY2(m.endsWith(QLatin1String(" in CheckFileExists.")), qPrintable(m));
    }

    // A folder whose parent is missing is not created (one level only); the
    // failure is reported and the output folder is still checked.
    void missingParentReportedAndCheckGoesOn()
    {
        FreshSettings fresh;
        fresh.logHere();
        settings().strG_SavePath = fresh.path(QStringLiteral("out"));
        ScriptedInteraction script;
        frmOptions& dialog = Options();
        dialog.txtLogPath->setText(fresh.path(QStringLiteral("a/b")));
        CheckFileExists();
        QVERIFY(!QFileInfo::exists(fresh.path(QStringLiteral("a"))));
        QVERIFY(QFileInfo(fresh.path(QStringLiteral("out"))).isDir());
        QVERIFY(!settings().bG_PathError);
        const QStringList messages = fresh.logMessages();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages.first().startsWith(QLatin1String("Error #76")));
    }
};

QTEST_MAIN(TestPathCheck)
#include "test_pathcheck.moc"
