#pragma once

#include <QList>
#include <QString>
#include <Qt>

// A piece of text in one style.
struct TextRun
{
    QString text;
    bool bold = false;
    double pointSize = 0;
};

// One paragraph of rich text: its alignment and its runs.
struct RichParagraph
{
    Qt::Alignment alignment = Qt::AlignLeft;
    QList<TextRun> runs;
};

// Parses the rich-text fragments the documents use: groups "{" "}", "\b"
// (bold; "\b0" ends it), "\fsN" (size in half-points), "\qc", "\ql", "\qr"
// (paragraph alignment), "\par" (paragraph break), "\tab"; "\\", "\{" and "\}"
// stand for the characters themselves. A control word ends at the first
// character that is neither a letter nor a digit; one blank after it belongs
// to it. Unknown control words are ignored. Text without markup gives one
// paragraph of one run; the empty text gives one empty paragraph.
QList<RichParagraph> ParseRichText(const QString &text, bool bold, double pointSize,
                                   Qt::Alignment alignment = Qt::AlignLeft);

// The text with backslashes and braces escaped, so that a typed value prints as typed.
QString EscapeRichText(const QString &text);
