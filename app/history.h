#pragma once
// The main window's address history: most recent first, one entry per address
// whatever its letter case (the window's address box holds the list).

#include <QString>

namespace pm {

// Whether a visited address enters the history. "http:///", what the browser
// reports for a navigation that never got an address, never does.
bool entersHistory(const QString& address);

}  // namespace pm
