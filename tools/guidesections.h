#pragma once
// The README's user sections are copies of sections of the user guide, so
// that the two never tell different stories. In the README a copy sits
// between two lines:
//
//   <!-- guide: first-steps -->
//   ...
//   <!-- end of guide section -->
//
// where "first-steps" is the anchor of a "## " heading of the guide; the
// copy is that heading and everything up to the guide's next "## " heading.
// Links in a copy are made to work from the README's folder: a link to a
// section the README does not hold leads into the guide, a picture's path
// gets the guide's folder.

#include <QString>
#include <QStringList>

namespace pm {

// The plain text of a Markdown heading line ("## The `--config` file" gives
// "The --config file").
QString headingText(const QString& headingLine);

// The anchors of every heading of a Markdown text, in order (code blocks
// skipped).
QStringList headingAnchorsOf(const QString& markdown);

// The targets of every link and picture of a Markdown text, in order (code
// blocks and code spans skipped).
QStringList linkTargetsOf(const QString& markdown);

struct ReadmeUpdate {
    QString text;   // the README with every copy made anew
    QString error;  // empty, or what is wrong with the markers
};

// `guidePath` is the guide's path seen from the README ("docs/user-guide.md").
ReadmeUpdate readmeWithGuideSections(const QString& readme, const QString& guide, const QString& guidePath);

}  // namespace pm
