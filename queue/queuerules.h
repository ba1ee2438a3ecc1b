#pragma once
// The Work Queue window's rules, free of widgets: which buttons are enabled
// for a queue count, the Move position, Remove Select and the status line.

#include <QList>
#include <QString>

namespace pm {

struct QueueButtons {
    bool start = false;      // "Start Download"
    bool clear = false;      // "Clear Queue"
    bool removeSel = false;  // "Remove Select"
    bool move = false;       // "Move"
};

// The platform's test whether a text is a number (blanks around allowed).
bool isNumericText(const QString& text);

// UpdateQueueCount's rules for n entries, a running session, s selected
// entries and the position text. `current` gives the states that no rule
// touches (Start and Clear with n > 0 keep some of theirs).
QueueButtons queueCountState(int n, bool inProgress, int selected, const QString& posText, QueueButtons current);

// Move: the position text after clamping to 1..count, and the index the
// entry goes to (position - 1, halves rounded to even). `posText` must be a
// number.
struct MoveTarget {
    QString posText;
    int index = 0;
};
MoveTarget moveTarget(const QString& posText, int count);

// Remove Select: the indexes left after removing the selected entries from
// `first` on (1 during a session, keeping the entry in work).
QList<int> indexesToRemove(const QList<bool>& selected, int first);

// One tick of the status line: "Working" or "Stopping" followed by 0 to 10
// dots, then the word alone again.
QString nextStatusText(const QString& current, bool stopping);

}  // namespace pm
