#pragma once
// The pages the program ships in its resources and shows in its browser.

namespace pm {

// The start page, which Home opens (gui/resources/start.html).
inline constexpr char kStartPageAddress[] = "qrc:/pullmark/start.html";

// The user guide, made from docs/user-guide.md when the program is built.
// Its sections are its headings' anchors, as GitHub makes them
// ("#the-work-queue-window").
inline constexpr char kUserGuideAddress[] = "qrc:/pullmark/guide/user-guide.html";

}  // namespace pm
