#pragma once

#include "engine/seams.h"

#include <QList>
#include <QObject>
#include <QTimer>

class QPlainTextEdit;

// The console RichTextBox1: appends at the end and answers the three line metrics of the
// status line. A line here is a paragraph of the document, not a wrapped screen line, and
// a line break counts as one position.
//
// Appends are drawn in batches: the text of every append since the last frame goes into
// the document as one edit, with one scroll and one caret move (so one status refresh).
// The batch is drawn before the window paints and before any click or key press is
// handled, so what the operator sees and touches is always complete and in order.
// A console line never grows past LineLimit characters: text beyond it continues on a
// new line, as a terminal wraps, so that no append has to lay out an endless line.
class Console : public QObject, public ConsoleSink
{
    Q_OBJECT

public:
    static constexpr qsizetype LineLimit = 500;
    static constexpr int FrameMilliseconds = 16;

    explicit Console(QPlainTextEdit *edit);
    ~Console() override;

    void AppendToConsole(const QString &text, QColor colour) override;
    void SetInsertionFormat(QColor colour);
    // Draws what the appends since the last batch hold.
    void Flush();
    bool HasPending() const { return !m_pending.isEmpty(); }

    // The text as the console shows it: each control character but line feed, tab and
    // the CR of a CR LF pair is drawn as its control picture (U+2400 + code, U+2421 for
    // DEL), so that no byte is invisible and the accessible text is never cut at a NUL;
    // the CR of a pair is left out, the line feed breaks the line.
    static QString Displayed(const QString &text);
    // `text` with a line break wherever a line would grow past LineLimit, for a line that
    // already holds `lineLength` characters; lineLength becomes that of the last line.
    static QString Wrapped(const QString &text, qsizetype &lineLength);

    int GetLineFromChar(int charPos) const; // 0-based line holding the position
    int LineCount() const; // 1 for an empty console
    int LineStart(int line) const; // position of the line's first character
    int CaretPosition() const; // start of the current selection

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Piece
    {
        QString text;
        QRgb colour;
    };

    QPlainTextEdit *m_edit;
    QList<Piece> m_pending;
    QTimer m_frame;
};
