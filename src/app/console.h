#pragma once

#include "engine/seams.h"

class QTextEdit;

// The console RichTextBox1: appends at the end and answers the three line metrics
// of the status line. A line here is a paragraph of the document, not a wrapped
// screen line, and a line break counts as one position.
class Console : public ConsoleSink
{
public:
    explicit Console(QTextEdit *edit);

    void AppendToConsole(const QString &text, QColor colour) override;

    // The text as the console shows it: each control character but line feed, tab and
    // the CR of a CR LF pair is drawn as its control picture (U+2400 + code, U+2421 for
    // DEL), so that no byte is invisible and the accessible text is never cut at a NUL.
    static QString Displayed(const QString &text);
    void SetInsertionFormat(QColor colour);

    int GetLineFromChar(int charPos) const; // 0-based line holding the position
    int LineCount() const; // 1 for an empty console
    int LineStart(int line) const; // position of the line's first character
    int CaretPosition() const; // start of the current selection

private:
    QTextEdit *m_edit;
};
