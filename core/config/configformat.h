#pragma once
// The configuration file's notation: lines of comma-separated fields, texts
// in double quotes, flags as #TRUE#/#FALSE#, numbers with ".".

#include <QList>
#include <QString>
#include <QStringView>

namespace pm {

struct ConfigField {
    QString text;
    bool quoted = false;
    bool cut = false;  // quoted, without a closing quote: the line cannot be read whole
};

// The fields of one line. A quoted field runs to the first double quote that
// blanks aside is followed by a comma or the line's end, so a text holding a
// quote reads back as it was written; one without such a quote is cut. Any
// other field runs to the next comma and loses its surrounding blanks. An
// empty line has no fields.
QList<ConfigField> splitConfigLine(QStringView line);

// #TRUE#/#FALSE# unquoted, or the words True/False in any case, or a number
// (0 is false). Throws RuntimeError (type mismatch) for anything else.
bool flagFromField(const ConfigField& field);

// A single-precision number with "." as the decimal separator. Throws a type
// mismatch for text that is not a number and an overflow for one too large.
float numberFromField(const ConfigField& field);

// The flag as the file writes it.
QString flagText(bool value);
// The number in plain decimal notation: 100, 2.5, 0.1.
QString numberText(float value);

// The leading number of a text, as the history keys "URL<n>" use it: blanks,
// a sign, digits, a decimal part and an exponent; text without one is 0.
double leadingNumber(QStringView text);

}  // namespace pm
