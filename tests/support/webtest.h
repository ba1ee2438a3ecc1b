#pragma once
// The windows in tests: an off-the-record browser profile that lets requests
// reach 127.0.0.1 (and the program's own qrc: and data: pages) only, and a
// main window over a test context whose modal dialogs are recorded instead
// of run.

#include "core/found/foundlistmodel.h"
#include "gui/foundlistpanel.h"
#include "gui/mainwindow.h"
#include "tests/support/testcontext.h"

#include <QDialog>
#include <QLabel>
#include <QMutex>
#include <QStringList>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>

#include <functional>

namespace pm::test {

class LoopbackOnlyInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
    // Every request made, allowed or blocked, in order.
    QStringList requests() const;

private:
    mutable QMutex m_mutex;
    QStringList m_requests;
};

class TestProfile {
public:
    TestProfile() { m_profile->setUrlRequestInterceptor(&m_interceptor); }
    ~TestProfile() { delete m_profile; }
    QWebEngineProfile* profile() const { return m_profile; }
    const LoopbackOnlyInterceptor& interceptor() const { return m_interceptor; }

private:
    LoopbackOnlyInterceptor m_interceptor;
    QWebEngineProfile* m_profile = new QWebEngineProfile;
};

struct TestWindow : TestContext {
    explicit TestWindow(QWebEngineProfile* profile);

    // Types `address`, presses Go and waits for the scan of that page.
    bool go(const QString& address);
    // Waits for the next scan and gives its result (false: it changed nothing).
    bool nextScan(bool* applied = nullptr, int timeoutMs = 15000);
    QStringList found() const { return window.foundList()->model()->stringList(); }
    QString status() const { return child<QLabel>("lblStatus")->text(); }
    template <typename T>
    T* child(const char* name) const
    {
        return window.findChild<T*>(QLatin1String(name));
    }

    MainWindow window;
    QStringList dialogsShown;                // object names, in order
    std::function<void(QDialog&)> onDialog;  // runs while a dialog would be modal
};

}  // namespace pm::test
