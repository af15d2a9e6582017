#pragma once
// RTF reading and writing of our own, into and out of a QTextDocument.
//
// The reader takes what word processors write: groups, control words and symbols, \uN with
// \ucN, \'hh in the document's code page (or the font's character set), the font and colour
// tables, character formatting (font, size, colour, bold, italic, underline, strike-through),
// paragraphs with their alignment, line breaks and tabs, field results; it leaves out the
// destinations that hold no running text (style sheet, information, pictures, headers,
// footnotes, field instructions, ...) and hidden text. Damaged input never crashes nor hangs:
// the nesting kept is bounded, numbers saturate, a truncated file gives what it holds.
//
// The writer writes one paragraph per block with its runs (font, size, colour, bold, italic,
// underline, strike-through) in code page 1252, other characters as \uN.
#include <QByteArray>
#include <QString>
#include <QTextDocument>

namespace kal::rtf {

namespace err {
// A file that is not in a format the rich-text box can load.
constexpr int FormatIncorrect = 321;
// A position or length that the rich-text box cannot take (negative, or past the end).
constexpr int AppelIncorrect = 5;
}  // namespace err

// True when the bytes start like an RTF file ("{\rtf", after blanks).
bool estRtf(const QByteArray& octets);

// Replaces the document's content with the RTF read from the bytes. Raises Erreur 321 (and
// leaves the document as it was) when the bytes are not RTF.
void lire(const QByteArray& octets, QTextDocument& doc);

// Reads an RTF file: 53 when it is missing, 75 when it cannot be read, 321 when it is not RTF.
void lireFichier(const QString& chemin, QTextDocument& doc);

// The document as RTF. Fonts the document leaves unset are written with the document's
// default font.
QByteArray ecrire(const QTextDocument& doc);

// Writes the document to a file (75 when it cannot be written).
void ecrireFichier(const QString& chemin, const QTextDocument& doc);

}  // namespace kal::rtf
