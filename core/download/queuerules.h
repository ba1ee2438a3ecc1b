#pragma once
// The Work Queue window's rules, free of widgets: which buttons are enabled
// for a queue count, and where Move puts an entry.

#include <QString>

namespace pm {

struct QueueButtons {
    bool start = false;      // "Start Download"
    bool clear = false;      // "Clear Queue"
    bool removeSel = false;  // "Remove Select"
    bool move = false;       // "Move"
};

// The button states for n entries, a running session, `selected` selected
// entries and the position text. During a session the entry in work is never
// cleared, so Clear needs a second entry.
QueueButtons queueButtonStates(int n, bool inProgress, int selected, const QString& posText);

// Move: the position text after clamping to 1..count, and the row the entry
// goes to (position - 1, halves rounded to even). `posText` must be a number.
struct MoveTarget {
    QString posText;
    int row = 0;
};
MoveTarget moveTarget(const QString& posText, int count);

}  // namespace pm
