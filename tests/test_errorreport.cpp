// The error reporter: log text, the three modes, the abort of the queue,
// and the step-by-step helper that resumes after a failing step.
#include "logs/errorreport.h"
#include "logs/errorscope.h"
#include "tests/support/scriptedinteraction.h"
#include "tests/support/testutil.h"

#include <QtTest>

using namespace pm;
using namespace pm::test;

namespace {
class RecordingAbortTarget : public AbortTarget {
public:
    bool running = false;
    int cancels = 0;
    bool stopFlag = false;
    bool transferRunning() const override { return running; }
    void cancelTransfer() override
    {
        ++cancels;
        running = false;
    }
    void setStopFlag() override { stopFlag = true; }
};
}  // namespace

class TestErrorReport : public QObject {
    Q_OBJECT
private slots:
    void logText_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("53") << 53 << "Error #53(&H35) D in SaveToFile.";
        QTest::newRow("-1") << -1 << "Error #-1(&HFFFFFFFF) D in SaveToFile.";
        QTest::newRow("0") << 0 << "Error #0(&H0) D in SaveToFile.";
        QTest::newRow("transfer range") << 35751 << "Error #35751(&H8BA7) D in SaveToFile.";
        QTest::newRow("most negative") << int(0x80000000) << "Error #-2147483648(&H80000000) D in SaveToFile.";
    }
    void logText()
    {
        QFETCH(int, number);
        QFETCH(QString, text);
        QCOMPARE(errorLogText(number, QStringLiteral("D"), QStringLiteral("SaveToFile.")), text);
    }

    void modes_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<bool>("abort");
        QTest::addColumn<int>("questions");
        QTest::newRow("Resume") << "Resume" << QList<bool>{} << false << 0;
        QTest::newRow("empty mode carries on") << "" << QList<bool>{} << false << 0;
        QTest::newRow("lower-case prompt carries on") << "prompt" << QList<bool>{} << false << 0;
        QTest::newRow("lower-case abort carries on") << "abort" << QList<bool>{} << false << 0;
        QTest::newRow("Abort") << "Abort" << QList<bool>{} << true << 0;
        QTest::newRow("Prompt, Yes") << "Prompt" << QList<bool>{true} << true << 1;
        QTest::newRow("Prompt, No") << "Prompt" << QList<bool>{false} << false << 1;
    }
    void modes()
    {
        QFETCH(QString, mode);
        QFETCH(QList<bool>, answers);
        QFETCH(bool, abort);
        QFETCH(int, questions);
        FreshSettings fresh;
        fresh.logHere();
        ScriptedInteraction script;
        for (bool answer : answers)
            script.yesNoAnswers << answer;
        RecordingAbortTarget target;
        target.running = true;
        setAbortTarget(&target);
        settings().strG_Unattended = mode;

        QCOMPARE(ReportError(53, QStringLiteral("D"), QStringLiteral("SaveToFile.")), abort);
        setAbortTarget(nullptr);

        QCOMPARE(fresh.logMessages(), QStringList{QStringLiteral("Error #53(&H35) D in SaveToFile.")});
        QCOMPARE(script.count(QStringLiteral("yesno")), questions);
        QCOMPARE(script.unexpected, 0);
        if (questions) {
            QCOMPARE(script.asked.first().title, QStringLiteral("Sorry, error occured"));
            QCOMPARE(script.asked.first().text, QStringLiteral("SaveToFile. Error #53 D. Abort?"));
            QCOMPARE(script.asked.first().icon, MessageIcon::Critical);
        }
        QCOMPARE(target.stopFlag, abort);
        QCOMPARE(target.cancels, abort ? 1 : 0);
    }

    void abortWithoutRunningTransferOnlySetsTheStopFlag()
    {
        FreshSettings fresh;
        RecordingAbortTarget target;
        setAbortTarget(&target);
        settings().strG_Unattended = QStringLiteral("Abort");
        QVERIFY(ReportError(57, QStringLiteral("x"), QStringLiteral("cmdApplyClick.")));
        setAbortTarget(nullptr);
        QCOMPARE(target.cancels, 0);
        QVERIFY(target.stopFlag);
    }

    void scopeResumesWithTheNextStep()
    {
        FreshSettings fresh;
        fresh.logHere();
        settings().strG_Unattended = QStringLiteral("Resume");
        QStringList ran;
        ErrorScope scope(QStringLiteral("Routine."));
        QVERIFY(scope.step([&] { ran << "1"; throw RuntimeError::of(ErrPathNotFound, QStringLiteral("/x")); }));
        QVERIFY(scope.step([&] { ran << "2"; }));
        QVERIFY(scope.step([&] { throw RuntimeError::of(ErrDiskFull); }));
        QCOMPARE(ran, (QStringList{"1", "2"}));
        QCOMPARE(scope.reportCount(), 2);
        QCOMPARE(fresh.logMessages(), (QStringList{QStringLiteral("Error #76(&H4C) Path not found: /x in Routine."),
                                                   QStringLiteral("Error #61(&H3D) Disk full in Routine.")}));
    }

    void scopeStopsAfterAnAbort()
    {
        FreshSettings fresh;
        settings().strG_Unattended = QStringLiteral("Abort");
        int ran = 0;
        ErrorScope scope(QStringLiteral("Routine."));
        QVERIFY(!scope.step([&] { ++ran; throw RuntimeError::of(ErrTypeMismatch); }));
        QVERIFY(!scope.step([&] { ++ran; }));
        QCOMPARE(ran, 1);
        QVERIFY(scope.aborted());
    }
};

QTEST_GUILESS_MAIN(TestErrorReport)
#include "test_errorreport.moc"
