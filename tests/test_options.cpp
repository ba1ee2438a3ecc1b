// The Options dialog: filling from the settings, applying back with the case
// rules and the "no selection" cases, the dependent controls, the size box,
// Ctrl+Tab, the New Folder buttons and OK/Cancel.
#include "common/modal.h"
#include "settings/folderlists.h"
#include "settings/optionsdialog.h"
#include "tests/support/scriptedinteraction.h"
#include "tests/support/testutil.h"

#include <QCheckBox>
#include <QDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QtTest>

using namespace pm;
using namespace pm::test;

namespace {
// Settings whose folders exist, so that Apply's path check passes quietly.
void usableSettings(FreshSettings& fresh)
{
    Settings& s = settings();
    s.strG_SavePath = fresh.dir.path();
    s.strG_LogFileName = fresh.path(QStringLiteral("run.log"));
    s.strG_FileExt = QStringLiteral("jpg gif");
    s.bG_LogCSV = false;
    s.bG_ScrapeLink = true;
    s.bG_ScrapeEmbedded = true;
}

// The objectName of the checked button among `group` ("" for none).
QString selected(const QList<QRadioButton*>& group)
{
    QString name;
    for (QRadioButton* b : group) {
        if (b->isChecked())
            name += b->objectName();
    }
    return name;
}
}  // namespace

class TestOptions : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        destroyOptionsDialog();
        setModalRunner([](QDialog&) { QFAIL("no modal window expected"); });
    }
    void cleanup()
    {
        setModalRunner({});
        destroyOptionsDialog();
    }

    void choices_data()
    {
        QTest::addColumn<QString>("unattended");
        QTest::addColumn<QString>("dup");
        QTest::addColumn<QString>("start");
        QTest::addColumn<bool>("historyOff");
        QTest::addColumn<QString>("shownError");
        QTest::addColumn<QString>("shownDup");
        QTest::addColumn<QString>("shownStart");
        QTest::addColumn<QString>("appliedUnattended");
        QTest::addColumn<QString>("appliedDup");
        QTest::addColumn<QString>("appliedStart");

        QTest::newRow("empty error mode, empty rule")
            << "" << "" << "Last" << false << "" << "optSkip" << "optLast" << "" << "Skip" << "Last";
        QTest::newRow("unknown error mode kept")
            << "Never" << "Rename" << "Home" << false << "" << "optRename" << "optHome" << "Never" << "Rename"
            << "Home";
        QTest::newRow("words in any case")
            << "prompt" << "overwrite" << "home" << false << "OptPrompt" << "optOverWrite" << "optHome" << "Prompt"
            << "Overwrite" << "Home";
        QTest::newRow("upper case")
            << "ABORT" << "SKIP" << "LAST" << false << "OptAbort" << "optSkip" << "optLast" << "Abort" << "Skip"
            << "Last";
        QTest::newRow("unknown rule and start page")
            << "Resume" << "Replace" << "first" << false << "OptResume" << "optSkip" << "optHome" << "Resume"
            << "Skip" << "Home";
        QTest::newRow("history off forces Home")
            << "Resume" << "Skip" << "Last" << true << "OptResume" << "optSkip" << "optHome" << "Resume" << "Skip"
            << "Home";
    }

    void choices()
    {
        QFETCH(QString, unattended);
        QFETCH(QString, dup);
        QFETCH(QString, start);
        QFETCH(bool, historyOff);
        QFETCH(QString, shownError);
        QFETCH(QString, shownDup);
        QFETCH(QString, shownStart);
        QFETCH(QString, appliedUnattended);
        QFETCH(QString, appliedDup);
        QFETCH(QString, appliedStart);

        FreshSettings fresh;
        usableSettings(fresh);
        Settings& s = settings();
        s.strG_Unattended = unattended;
        s.strG_FileDupOption = dup;
        s.strG_StartURL = start;
        s.bG_MaintainHistory = historyOff;
        ScriptedInteraction script;

        frmOptions& d = Options();
        QCOMPARE(selected({d.OptAbort, d.OptResume, d.OptPrompt}), shownError);
        QCOMPARE(selected({d.optOverWrite, d.optRename, d.optSkip}), shownDup);
        QCOMPARE(selected({d.optLast, d.optHome}), shownStart);
        QCOMPARE(d.optLast->isEnabledTo(d.picOptions[2]), !historyOff);

        d.cmdApply->click();
        QCOMPARE(s.strG_Unattended, appliedUnattended);
        QCOMPARE(s.strG_FileDupOption, appliedDup);
        QCOMPARE(s.strG_StartURL, appliedStart);
        QCOMPARE(s.bG_MaintainHistory, historyOff);
        QVERIFY(d.loaded());  // Apply keeps the dialog open
        QVERIFY(script.asked.isEmpty());
    }

    // Ticking "Do not track history" in the dialog selects Home Page and
    // disables Last page visited; clearing it enables that again.
    void historyCheckBoxDrivesStartPage()
    {
        FreshSettings fresh;
        usableSettings(fresh);
        settings().strG_StartURL = QStringLiteral("Last");
        frmOptions& d = Options();
        d.tbsOptions->setCurrentIndex(2);  // controls of a page behind are disabled
        QVERIFY(d.optLast->isChecked());
        d.chkHistory->click();
        QVERIFY(d.optHome->isChecked());
        QVERIFY(!d.optLast->isEnabled());
        d.chkHistory->click();
        QVERIFY(d.optLast->isEnabled());
        QVERIFY(d.optHome->isChecked());
    }

    void fieldsRoundTrip()
    {
        FreshSettings fresh;
        QVERIFY(QDir().mkdir(fresh.path(QStringLiteral("logs"))));
        Settings& s = settings();
        s.strG_SavePath = fresh.dir.path();
        s.strG_LogFileName = fresh.path(QStringLiteral("logs/run.log"));
        s.strG_FileExt = QStringLiteral("wmv mpg");
        s.bG_LogDownloads = true;
        s.bG_LogCSV = false;
        s.bG_ScrapeLink = false;
        s.bG_ScrapeEmbedded = true;
        s.bG_CreatePath = true;
        s.bG_SaveLarge = true;
        s.sG_FileSize = 12.5f;
        s.strG_Unattended = QStringLiteral("Resume");
        s.strG_StartURL = QStringLiteral("Last");
        s.strG_FileDupOption = QStringLiteral("Rename");
        const Settings before = s;

        frmOptions& d = Options();
        QCOMPARE(d.txtPath->text(), fresh.dir.path());
        QCOMPARE(d.txtLogPath->text(), fresh.path(QStringLiteral("logs")));
        QCOMPARE(d.txtLogFileName->text(), QStringLiteral("run.log"));
        QCOMPARE(d.DirLog->path(), fresh.path(QStringLiteral("logs")));
        QCOMPARE(d.DirPath->path(), fresh.dir.path());
        QCOMPARE(d.txtExt->text(), QStringLiteral("wmv mpg"));
        QCOMPARE(d.txtFileSize->text(), QStringLiteral("12.5"));
        QVERIFY(d.txtFileSize->isEnabledTo(d.picOptions[2]));
        QVERIFY(d.chkLogDnlds->isChecked() && !d.chkLogCSV->isChecked() && !d.chkScrapeLink->isChecked());
        QVERIFY(d.chkScrapeEmbed->isChecked() && d.chkCreatePath->isChecked() && !d.chkHistory->isChecked());

        s = Settings{};
        s.strG_AppPath = before.strG_AppPath;
        d.cmdApply->click();
        QCOMPARE(s.strG_SavePath, before.strG_SavePath);
        QCOMPARE(s.strG_LogFileName, before.strG_LogFileName);
        QCOMPARE(s.strG_FileExt, before.strG_FileExt);
        QCOMPARE(s.bG_LogDownloads, true);
        QCOMPARE(s.bG_LogCSV, false);
        QCOMPARE(s.bG_ScrapeLink, false);
        QCOMPARE(s.bG_ScrapeEmbedded, true);
        QCOMPARE(s.bG_MaintainHistory, false);
        QCOMPARE(s.bG_CreatePath, true);
        QCOMPARE(s.bG_SaveLarge, true);
        QCOMPARE(s.sG_FileSize, 12.5f);
        QCOMPARE(s.strG_Unattended, QStringLiteral("Resume"));
        QCOMPARE(s.strG_StartURL, QStringLiteral("Last"));
        QCOMPARE(s.strG_FileDupOption, QStringLiteral("Rename"));
    }

    void logFileNameForms_data()
    {
        QTest::addColumn<QString>("logName");  // "@" stands for the temporary folder
        QTest::addColumn<QString>("shownFolder");
        QTest::addColumn<QString>("shownFile");
        QTest::addColumn<int>("reports");
        QTest::newRow("folder and file") << "@/run.log" << "@" << "run.log" << 0;
        QTest::newRow("empty") << "" << "" << "Pullmark.log" << 0;
        QTest::newRow("no folder") << "run.log" << "" << "run.log" << 2;
    }

    void logFileNameForms()
    {
        QFETCH(QString, logName);
        QFETCH(QString, shownFolder);
        QFETCH(QString, shownFile);
        QFETCH(int, reports);
        FreshSettings fresh;
        usableSettings(fresh);
        const QString root = fresh.dir.path();
        // A name without a folder logs into the working folder: make that
        // the temporary one.
        const QString workingFolder = QDir::currentPath();
        QVERIFY(QDir::setCurrent(root));
        settings().strG_LogFileName = logName.replace(QLatin1Char('@'), root);
        frmOptions& d = Options();
        QVERIFY(QDir::setCurrent(workingFolder));

        QCOMPARE(d.txtLogPath->text(), shownFolder.replace(QLatin1Char('@'), root));
        QCOMPARE(d.txtLogFileName->text(), shownFile);
        QStringList messages;
        for (const QString& line : crlfLines(readAll(fresh.path(QStringLiteral("run.log")))))
            messages << line.section(QLatin1Char('\t'), 1);
        QCOMPARE(messages.size(), reports);
        for (const QString& m : messages)
            QVERIFY2(m.endsWith(QLatin1String(" in frmoptions.Form_Load.")), qPrintable(m));
    }

    void scrapeInterlock_data()
    {
        QTest::addColumn<bool>("link");
        QTest::addColumn<bool>("embedded");
        QTest::addColumn<QString>("clicked");
        QTest::addColumn<bool>("linkAfter");
        QTest::addColumn<bool>("embeddedAfter");
        QTest::newRow("clearing Linked ticks Embedded") << true << false << "chkScrapeLink" << false << true;
        QTest::newRow("clearing Embedded ticks Linked") << false << true << "chkScrapeEmbed" << true << false;
        QTest::newRow("clearing one of two") << true << true << "chkScrapeLink" << false << true;
        QTest::newRow("ticking changes nothing else") << true << false << "chkScrapeEmbed" << true << true;
    }

    void scrapeInterlock()
    {
        QFETCH(bool, link);
        QFETCH(bool, embedded);
        QFETCH(QString, clicked);
        QFETCH(bool, linkAfter);
        QFETCH(bool, embeddedAfter);
        FreshSettings fresh;
        usableSettings(fresh);
        settings().bG_ScrapeLink = link;
        settings().bG_ScrapeEmbedded = embedded;
        frmOptions& d = Options();
        d.tbsOptions->setCurrentIndex(2);
        d.findChild<QCheckBox*>(clicked)->click();
        QCOMPARE(d.chkScrapeLink->isChecked(), linkAfter);
        QCOMPARE(d.chkScrapeEmbed->isChecked(), embeddedAfter);
        d.cmdApply->click();
        QCOMPARE(settings().bG_ScrapeLink, linkAfter);
        QCOMPARE(settings().bG_ScrapeEmbedded, embeddedAfter);
    }

    void sizeBoxFollowsItsCheckBox()
    {
        FreshSettings fresh;
        usableSettings(fresh);
        settings().bG_SaveLarge = true;
        settings().sG_FileSize = 100;
        frmOptions& d = Options();
        d.tbsOptions->setCurrentIndex(2);
        QCOMPARE(d.txtFileSize->text(), QStringLiteral("100"));
        QVERIFY(d.txtFileSize->isEnabled());
        d.txtFileSize->setText(QStringLiteral("250"));
        d.chkSaveLarge->click();
        QVERIFY(!d.txtFileSize->isEnabled());
        d.cmdApply->click();
        QCOMPARE(settings().bG_SaveLarge, false);
        QCOMPARE(settings().sG_FileSize, 250.0f);
        d.chkSaveLarge->click();
        QVERIFY(d.txtFileSize->isEnabled());
    }

    void sizeText_data()
    {
        QTest::addColumn<float>("size");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0f << "0";
        QTest::newRow("fraction") << 12.5f << "12.5";
        QTest::newRow("million, no grouping") << 1000000.0f << "1000000";
        QTest::newRow("small fraction") << 0.25f << "0.25";
    }

    // The size box shows the number as plain text that converts back to it.
    void sizeText()
    {
        QFETCH(float, size);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const QString shown = fileSizeText(size);
        const float back = fileSizeFromText(shown);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(shown, text);
        QCOMPARE(back, size);
    }

    void badSizeReportedOthersApplied_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("letters") << "abc" << "Error #13(";
        QTest::newRow("empty") << "" << "Error #13(";
        QTest::newRow("too large") << "1e40" << "Error #6(";
    }

    void badSizeReportedOthersApplied()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        FreshSettings fresh;
        usableSettings(fresh);
        fresh.logHere();
        settings().sG_FileSize = 40;
        settings().strG_FileDupOption = QStringLiteral("Skip");
        frmOptions& d = Options();
        d.txtFileSize->setText(text);
        d.txtExt->setText(QStringLiteral("zip"));
        d.optRename->setChecked(true);
        d.cmdApply->click();
        QCOMPARE(settings().sG_FileSize, 40.0f);
        QCOMPARE(settings().strG_FileExt, QStringLiteral("zip"));
        QCOMPARE(settings().strG_FileDupOption, QStringLiteral("Rename"));  // the step after the failing one
        const QStringList messages = fresh.logMessages();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().startsWith(error), qPrintable(messages.first()));
        QVERIFY(messages.first().endsWith(QLatin1String(" in cmdApplyClick.")));
    }

    void ctrlTab_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("to");
        const int ctrl = int(Qt::ControlModifier);
        QTest::newRow("Output to Logging") << 0 << int(Qt::Key_Tab) << ctrl << 1;
        QTest::newRow("Logging to Other") << 1 << int(Qt::Key_Tab) << ctrl << 2;
        QTest::newRow("Other wraps to Output") << 2 << int(Qt::Key_Tab) << ctrl << 0;
        QTest::newRow("Ctrl+Shift+Tab does nothing")
            << 2 << int(Qt::Key_Backtab) << int(Qt::ControlModifier | Qt::ShiftModifier) << 2;
        QTest::newRow("Ctrl+Alt+Tab does nothing")
            << 1 << int(Qt::Key_Tab) << int(Qt::ControlModifier | Qt::AltModifier) << 1;
        QTest::newRow("plain Tab keeps the tab") << 0 << int(Qt::Key_Tab) << 0 << 0;
    }

    void ctrlTab()
    {
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, to);
        FreshSettings fresh;
        usableSettings(fresh);
        frmOptions& d = Options();
        d.tbsOptions->setCurrentIndex(from);
        QCOMPARE(d.pageShown(), from);
        // Keys reach the dialog before the control that has them.
        QWidget* target = d.picOptions[from]->findChild<QLineEdit*>();
        QVERIFY(target);
        QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(d.tbsOptions->currentIndex(), to);
        QCOMPARE(d.pageShown(), to);
        for (int i = 0; i < d.picOptions.size(); ++i)
            QCOMPARE(d.picOptions[i]->isEnabled(), i == to);
    }

    // OK with a log folder the user declines to create: nothing applied, the
    // Logging tab in front, the dialog still open. A Yes then applies.
    void okWithDeclinedLogFolder()
    {
        FreshSettings fresh;
        usableSettings(fresh);
        settings().bG_CreatePath = true;
        ScriptedInteraction script;
        script.yesNoAnswers << false << true;
        frmOptions& d = Options();
        d.show();
        const QString missing = fresh.path(QStringLiteral("newlogs"));
        d.txtLogPath->setText(missing);
        d.txtExt->setText(QStringLiteral("zip"));
        d.tbsOptions->setCurrentIndex(2);

        d.cmdOK->click();
        QVERIFY(settings().bG_PathError);
        QCOMPARE(settings().strG_FileExt, QStringLiteral("jpg gif"));
        QCOMPARE(settings().strG_LogFileName, fresh.path(QStringLiteral("run.log")));
        QCOMPARE(d.tbsOptions->currentIndex(), 1);
        QCOMPARE(d.pageShown(), 1);
        QVERIFY(d.isVisible());
        QVERIFY(d.loaded());
        QCOMPARE(script.asked.size(), 1);
        QCOMPARE(script.asked.first().title, QStringLiteral("Invalid Log File path"));

        d.cmdOK->click();
        QVERIFY(!settings().bG_PathError);
        QVERIFY(QFileInfo(missing).isDir());
        QCOMPARE(settings().strG_FileExt, QStringLiteral("zip"));
        QCOMPARE(settings().strG_LogFileName, missing + QStringLiteral("/run.log"));
        QVERIFY(!d.isVisible());
        QVERIFY(!d.loaded());
    }

    // A loaded dialog keeps its values; after Cancel it is filled anew, and
    // what Apply applied before the Cancel stays applied.
    void loadedDialogIsNotRefilled()
    {
        FreshSettings fresh;
        usableSettings(fresh);
        frmOptions& d = Options();
        settings().strG_FileExt = QStringLiteral("changed");
        QCOMPARE(Options().txtExt->text(), QStringLiteral("jpg gif"));

        d.txtExt->setText(QStringLiteral("applied"));
        d.cmdApply->click();
        d.txtExt->setText(QStringLiteral("not applied"));
        d.tbsOptions->setCurrentIndex(2);
        d.cmdCancel->click();
        QVERIFY(!d.loaded());
        QCOMPARE(settings().strG_FileExt, QStringLiteral("applied"));
        QCOMPARE(Options().txtExt->text(), QStringLiteral("applied"));
        QCOMPARE(d.tbsOptions->currentIndex(), 0);

        d.close();  // the close box cancels too
        QVERIFY(!d.loaded());
    }

    void newFolderButtons_data()
    {
        QTest::addColumn<QString>("buttonName");
        QTest::addColumn<QString>("answer");  // "@" the temporary folder; "<cancel>" cancels
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QString>("boxAfter");
        QTest::addColumn<QString>("routine");  // reports expected under it; "" none
        QTest::newRow("output: new folder") << "cmdNewFolder" << "@/made" << false << "@/made" << "";
        QTest::newRow("output: existing folder reported, then selected")
            << "cmdNewFolder" << "@/made" << true << "@/made" << "cmdNewFolderClick.";
        QTest::newRow("output: cancelled") << "cmdNewFolder" << "<cancel>" << false << "" << "cmdNewFolderClick.";
        QTest::newRow("log: new folder") << "cmdNewLogPath" << "@/made" << false << "@/made" << "";
        QTest::newRow("log: existing folder") << "cmdNewLogPath" << "@/made" << true << "@/made"
                                              << "cmdnewlogpathclick.";
        QTest::newRow("log: cancelled") << "cmdNewLogPath" << "<cancel>" << false << "" << "cmdnewlogpathclick.";
    }

    void newFolderButtons()
    {
        QFETCH(QString, buttonName);
        QFETCH(QString, answer);
        QFETCH(bool, exists);
        QFETCH(QString, boxAfter);
        QFETCH(QString, routine);
        FreshSettings fresh;
        usableSettings(fresh);
        fresh.logHere();
        const QString root = fresh.dir.path();
        answer.replace(QLatin1Char('@'), root);
        boxAfter.replace(QLatin1Char('@'), root);
        if (exists)
            QVERIFY(QDir().mkdir(answer));

        ScriptedInteraction script;
        if (answer == QLatin1String("<cancel>"))
            script.promptAnswers << std::nullopt;
        else
            script.promptAnswers << answer;
        frmOptions& d = Options();
        const bool log = buttonName == QLatin1String("cmdNewLogPath");
        QLineEdit* box = log ? d.txtLogPath : d.txtPath;
        FolderList* list = log ? d.DirLog : d.DirPath;
        d.tbsOptions->setCurrentIndex(log ? 1 : 0);
        const QString before = box->text();
        d.findChild<QPushButton*>(buttonName)->click();

        QCOMPARE(script.asked.size(), 1);
        QCOMPARE(script.asked.first().kind, QStringLiteral("prompt"));
        QCOMPARE(script.asked.first().title, QStringLiteral("New Folder"));
        QCOMPARE(script.asked.first().text, QStringLiteral("Please type complete path name"));
        QCOMPARE(box->text(), boxAfter);
        if (!boxAfter.isEmpty()) {
            QVERIFY(QFileInfo(boxAfter).isDir());
            QCOMPARE(list->path(), boxAfter);
        } else {
            QCOMPARE(list->path(), before);  // the list stays where it was
        }
        const QStringList messages = fresh.logMessages();
        if (routine.isEmpty()) {
            QVERIFY(messages.isEmpty());
        } else {
            QCOMPARE(messages.size(), 1);
            QVERIFY2(messages.first().endsWith(QStringLiteral(" in ") + routine), qPrintable(messages.first()));
        }
    }

    // The folder lists feed the path boxes; a folder that does not exist is
    // refused and changes nothing.
    void folderListsFeedPathBoxes_data()
    {
        QTest::addColumn<bool>("log");
        QTest::newRow("output") << false;
        QTest::newRow("log") << true;
    }

    void folderListsFeedPathBoxes()
    {
        QFETCH(bool, log);
        FreshSettings fresh;
        usableSettings(fresh);
        const QString sub = fresh.path(QStringLiteral("sub"));
        QVERIFY(QDir().mkdir(sub));
        frmOptions& d = Options();
        QLineEdit* box = log ? d.txtLogPath : d.txtPath;
        FolderList* list = log ? d.DirLog : d.DirPath;
        QCOMPARE(box->text(), fresh.dir.path());

        QVERIFY(list->setPath(sub));
        QCOMPARE(box->text(), sub);
        QVERIFY(!list->setPath(fresh.path(QStringLiteral("absent"))));
        QCOMPARE(list->path(), sub);
        QCOMPARE(box->text(), sub);

        // A click on the ".." entry puts the parent into the box.
        QListWidgetItem* up = list->findItems(QStringLiteral(".."), Qt::MatchExactly).value(0);
        QVERIFY(up);
        emit list->itemClicked(up);
        QCOMPARE(box->text(), fresh.dir.path());
    }

    // Leaving a path box runs the path check, then points its list there.
    void leavingPathBoxChecksPaths()
    {
        FreshSettings fresh;
        usableSettings(fresh);
        settings().bG_CreatePath = true;
        ScriptedInteraction script;
        script.yesNoAnswers << true;
        frmOptions& d = Options();
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        d.txtPath->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY(d.txtPath->hasFocus());
        const QString missing = fresh.path(QStringLiteral("new"));
        d.txtPath->setText(missing);
        d.cmdNewFolder->setFocus(Qt::TabFocusReason);
        QCOMPARE(script.count(QStringLiteral("yesno")), 1);
        QCOMPARE(script.asked.first().title, QStringLiteral("Invalid Output path"));
        QVERIFY(QFileInfo(missing).isDir());
        QCOMPARE(d.DirPath->path(), missing);
        QCOMPARE(settings().strG_SavePath, fresh.dir.path());  // nothing applied
    }
};

QTEST_MAIN(TestOptions)
#include "test_options.moc"
