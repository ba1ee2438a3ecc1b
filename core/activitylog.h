#pragma once
// The activity log: one time-stamped line per event, appended to the file the
// settings name. The file is opened and closed for every line, so another
// program can read or rotate it at any time.

#include <QString>

namespace pm {

class Settings;

class ActivityLog {
public:
    explicit ActivityLog(const Settings& settings) : m_settings(settings) {}

    // Appends "<date-time><TAB><text><CR LF>". Never fails to its caller: a
    // line that cannot be written is lost.
    void write(const QString& text);

private:
    const Settings& m_settings;
};

}  // namespace pm
