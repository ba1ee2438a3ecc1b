#pragma once
// Markdown made into one clean HTML page: Qt reads the Markdown (GitHub's
// dialect: tables, fenced code), and this writer walks the document it
// builds. Qt's own HTML writer styles every paragraph inline and gives
// headings no anchors, so links to sections would lead nowhere.

#include <QSet>
#include <QString>

namespace pm {

// The anchor a heading gets, as GitHub gives it, so that a link to a
// section works in the repository's view and in the program alike: lower
// case, everything but letters, digits, blanks, "-" and "_" dropped, blanks
// made "-".
QString headingAnchor(const QString& heading);

// Gives each heading its anchor; a repeated one gets "-1", "-2" ... after
// it, as GitHub does.
class HeadingAnchors {
public:
    QString next(const QString& heading);

private:
    QSet<QString> m_used;
};

// A whole page: the document's first heading is its title, `styleSheet`
// goes in its head.
QString markdownToHtml(const QString& markdown, const QString& styleSheet);

}  // namespace pm
