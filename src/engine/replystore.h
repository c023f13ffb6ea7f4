// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The module's text since the last complete reply, and the two places in it that the
// completion tests rely on: where the running sequence began, and how much of the text
// they have already seen. Only the operations below change them, so they always fit
// the text they point into.
//
// The text is a scratch buffer that nothing reads until a step completes, yet a module
// left talking to an idle tool fills it all day: only the newest Limit characters are
// kept. The cut falls at the start of a line where one lies in the kept text.
class ReplyStore
{
public:
    static constexpr qsizetype Limit = 64 * 1024;

    const QString &Text() const { return m_text; }
    // Where the running sequence began: what came before counts as finished lines.
    // -1 once that place has been cut away.
    qsizetype Start() const { return m_start; }
    // How much of the text the completion tests have seen.
    qsizetype Checked() const { return m_checked; }
    // Whether a line begins at `pos`: after a line feed, where the sequence began, and
    // at the start of the text unless a cut fell inside a line there.
    bool BeginsLine(qsizetype pos) const;

    void Append(QStringView chunk);
    // Where the text the completion tests have not seen begins; from now on they have.
    qsizetype ConsumeNew();
    // The text so far counts as finished lines, and the next completion test reads all of
    // it once, so an earlier complete reply still counts.
    void StartSequence();
    // A sequence starts, or the port changes: what came before is another module's talk, or
    // an answer to another command, and must not complete a step or fill a field. The
    // counters go on, so an observer's mark finds nothing since it.
    void Discard();
    // A step's reply is complete: its text is set aside, as LastReply, until the next.
    void Clear();
    const QString &LastReply() const { return m_lastReply; }

    // Characters appended and replies completed since the store was made: an observer
    // beside the engine marks a point with them, and later finds the text since it and
    // whether a step completed meanwhile.
    qint64 Appended() const { return m_appended; }
    qint64 Completed() const { return m_completed; }
    // What was appended since Appended() was `mark`, as far as it is still kept (a
    // completed reply is gone, and so is what the limit cut away).
    QStringView Since(qint64 mark) const;

private:
    void Cut(qsizetype count, bool atLineStart);

    QString m_text;
    QString m_lastReply;
    qsizetype m_start = 0;
    qsizetype m_checked = 0;
    bool m_headBeginsLine = true;
    qint64 m_appended = 0;
    qint64 m_completed = 0;
};
