// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/seams.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

class ConsoleView;

// The console RichTextBox1: appends at the end and answers the three line metrics of the
// status line. A line is what the module ended with a line feed, however the view wraps
// it, and a line break counts as one position.
//
// Appends are drawn once a frame: the text of every append since the last frame goes
// into the console as one edit, with one scroll and one caret move (so one status
// refresh). A feed that keeps the event loop busy still draws once it is a frame
// overdue. A paint more than a frame after the last draw, and any click or key, first
// take in everything that waits, so what the operator sees and touches is complete and in
// order, and the console never draws more than once a frame.
class Console : public QObject, public ConsoleSink
{
    Q_OBJECT

public:
    // Thirty pictures a second keep up with any feed to the eye; more would only cost CPU.
    static constexpr int FrameMilliseconds = 33;
    // The frame while every picture is all new text (a feed faster than anyone reads,
    // where each picture costs a paint of the whole view), until the feed pauses.
    static constexpr int SkimMilliseconds = 100;

    explicit Console(ConsoleView *view);
    ~Console() override;

    void AppendToConsole(const QString &text, QColor colour) override;
    // Takes in what the appends since the last frame hold.
    void Flush();
    bool HasPending() const { return !m_pending.isEmpty(); }
    // Frames drawn so far.
    qint64 Frames() const { return m_frames; }

    // The text as the console keeps it: each control character but line feed, tab and
    // the CR of a CR LF pair is drawn as its control picture (U+2400 + code, U+2421 for
    // DEL), so that no byte is invisible and the accessible text is never cut at a NUL;
    // the CR of a pair is left out, the line feed breaks the line.
    static QString Displayed(const QString &text);

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

    ConsoleView *m_view;
    QList<Piece> m_pending;
    QTimer m_frame;
    QElapsedTimer m_waiting; // since the oldest undrawn append
    QElapsedTimer m_drawn; // since the last draw
    qint64 m_frames = 0;
};
