// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QRgb>
#include <QTimer>

class ConsoleView;

// Appends to the console are drawn once a frame: the text of every append since the last
// frame goes into the console as one edit, with one scroll and one caret move (so one
// status refresh). A feed that keeps the event loop busy still draws once it is a frame
// overdue. A paint more than a frame after the last draw, and any click or key, first
// take in everything that waits, so what the operator sees and touches is complete and in
// order, and the console never draws more than once a frame.
class FrameBatcher : public QObject
{
    Q_OBJECT

public:
    // Thirty pictures a second keep up with any feed to the eye; more would only cost CPU.
    static constexpr int FrameMilliseconds = 33;
    // The frame while every picture is all new text (a feed faster than anyone reads,
    // where each picture costs a paint of the whole view), until the feed pauses.
    static constexpr int SkimMilliseconds = 100;
    // A feed that pauses this long after passing this many characters gives the memory of
    // the buffers it passed through back (see m_settle).
    static constexpr int SettleMilliseconds = 500;
    static constexpr qsizetype SettleAfter = 1 << 20;

    explicit FrameBatcher(ConsoleView *view);
    ~FrameBatcher() override;

    // Appends plain text, never markup, at the end of the console in the colour given, with
    // the bytes of the line it stands for.
    void Append(const QString &text, QRgb colour, const QByteArray &bytes);
    // Takes in what the appends since the last frame hold.
    void Flush();
    bool HasPending() const { return !m_pending.isEmpty(); }
    // Frames drawn so far.
    qint64 Frames() const { return m_frames; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Where an append ends in m_text and m_bytes: it begins where the one before ends.
    struct Piece
    {
        qsizetype textEnd;
        qsizetype bytesEnd;
        QRgb colour;
        qint64 time; // of the append, for the lines that begin in it
    };

    ConsoleView *m_view;
    QList<Piece> m_pending;
    // The appends' text and bytes, copied into room that every frame uses again: the port's
    // buffers go back at once instead of living until the frame, which in a flood made the
    // heap grow and shrink by megabytes each frame (a page fault for every 4 KiB).
    QString m_text;
    QByteArray m_bytes;
    QTimer m_frame;
    QElapsedTimer m_waiting; // since the oldest undrawn append
    QElapsedTimer m_drawn; // since the last draw
    qint64 m_frames = 0;
    // A flood passes megabytes through short-lived buffers (the port's, the appends'); freed,
    // they stay in the heap below what lasts, a hundred bytes a line of it. Once the feed
    // pauses, they go back to the system.
    QTimer m_settle;
    qsizetype m_sinceSettled = 0; // characters drawn since
};
