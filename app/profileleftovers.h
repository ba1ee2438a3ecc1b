#pragma once
// Qt 6.4 makes a named browser profile in its default folder, under the
// user's data folder, and when the profile is kept elsewhere it writes the
// profile's preferences there as it moves. A portable program leaves nothing
// in the user's home: what this run made there goes again at the end, once
// the browser has shut down (after the application object has gone).

#include <QStringList>

namespace pm {

class ProfileLeftovers {
public:
    ProfileLeftovers() = default;
    ProfileLeftovers(const ProfileLeftovers&) = delete;
    ProfileLeftovers& operator=(const ProfileLeftovers&) = delete;
    // Removes `folder` with what it holds, and the folders above it made for
    // it, when this run made them.
    ~ProfileLeftovers();

    // Notes which folders of `folder`'s path do not exist yet.
    void watch(const QString& folder);

private:
    QStringList m_made;  // deepest first
};

}  // namespace pm
