// The test server for the benchmark scripts: serves the test routes on
// 127.0.0.1 until killed; prints the port first.
//   pm_testserver [PORT]
#include "tests/support/testserver.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    pm::test::TestServer server;
    const quint16 port = argc > 1 ? quint16(QString::fromLatin1(argv[1]).toUShort()) : 0;
    if (!server.listen(port))
        return 1;
    QTextStream(stdout) << server.port() << Qt::endl;
    return app.exec();
}
