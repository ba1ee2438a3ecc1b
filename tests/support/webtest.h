#pragma once
// Qt WebEngine in tests: an off-the-record profile that lets requests reach
// 127.0.0.1 (and the program's own qrc: and data: pages) only; anything else
// is blocked and recorded.

#include <QMutex>
#include <QStringList>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>

namespace pm::test {

class LoopbackOnlyInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
    QStringList blocked() const;

private:
    mutable QMutex m_mutex;
    QStringList m_blocked;
};

class TestProfile {
public:
    TestProfile();
    ~TestProfile();
    QWebEngineProfile* profile() const { return m_profile; }
    const LoopbackOnlyInterceptor& interceptor() const { return m_interceptor; }

private:
    LoopbackOnlyInterceptor m_interceptor;
    QWebEngineProfile* m_profile;
};

}  // namespace pm::test
