#pragma once
// Starts a benchmark's loopback server on a thread of its own, so that the
// windows being measured never wait for the server's work and the server's
// work never counts as theirs.

#include "tests/support/testserver.h"

#include <QTextStream>

namespace pm::bench {

inline bool startServer(pm::test::TestServer& server, QTextStream& out)
{
    server.moveToOwnThread();
    if (server.listen())
        return true;
    out << "cannot listen on 127.0.0.1\n";
    return false;
}

}  // namespace pm::bench
