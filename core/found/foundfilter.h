#pragma once
// Which found entries the list shows: those whose address or file name holds
// a text (letter case ignored), or matches a regular expression written as
// "re:<expression>"; of one kind of file; and, if asked, only those nothing
// is known of on disk yet. Hidden entries are never dropped: the filter only
// decides what is shown.

#include <QRegularExpression>
#include <QString>

namespace pm {

struct FoundDetails;

enum class FileKind { Any, Image, Video, Audio, Other };

// The kind of file an address and its content type name. The content type,
// when the server gave one, decides; the file name's extension otherwise.
FileKind fileKindOf(const QString& url, const QString& contentType);

class FoundFilter {
public:
    // Returns what is wrong with a "re:" expression that is not valid,
    // leaving the text filter as it was; an empty string otherwise.
    QString setText(const QString& text);
    void setKind(FileKind kind) { m_kind = kind; }
    void setNewOnly(bool newOnly) { m_newOnly = newOnly; }
    bool isActive() const { return !m_text.isEmpty() || m_useRegex || m_kind != FileKind::Any || m_newOnly; }

    bool accepts(const QString& url, const FoundDetails& details) const;

private:
    QString m_text;
    QRegularExpression m_regex;
    bool m_useRegex = false;  // the text was "re:<expression>"
    FileKind m_kind = FileKind::Any;
    bool m_newOnly = false;
};

}  // namespace pm
