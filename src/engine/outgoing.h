// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// What a hand-typed command puts on the line, from the command box's text and the
// operator's choices:
// - as text: the text in UTF-8, each line break typed as CR LF, then the line ending
//   chosen (none by default: exactly as typed);
// - as hex entry: the bytes that pairs of hex digits spell, in any case, with white space
//   between the pairs; nothing is added. Any other character refuses the whole text, and
//   the refusal names the first wrong one and where it stands.
// Both are linear in the text.

enum class LineEnding { None, Cr, Lf, CrLf };

// The choices of the command box's "行尾": the name kept in the preferences, the caption,
// and the bytes added to every send.
struct LineEndingChoice
{
    LineEnding ending;
    const char *key;
    const char *caption;
    const char *bytes;
};

inline constexpr std::array<LineEndingChoice, 4> LineEndingChoices = { {
    { LineEnding::None, "none", QT_TRANSLATE_NOOP("Outgoing", "无"), "" },
    { LineEnding::Cr, "cr", QT_TRANSLATE_NOOP("Outgoing", "CR"), "\r" },
    { LineEnding::Lf, "lf", QT_TRANSLATE_NOOP("Outgoing", "LF"), "\n" },
    { LineEnding::CrLf, "crlf", QT_TRANSLATE_NOOP("Outgoing", "CR LF"), "\r\n" },
} };

// The submenu of the choices, as its caption reads.
QString LineEndingsCaption();
// The entry that reads the box as bytes.
QString HexEntryCaption();

struct OutgoingCommand
{
    QByteArray bytes; // exactly what goes on the line
    bool hex = false; // spelt out byte by byte: nothing added, no line end expected
    // Why nothing can go out (hex entry that does not read as bytes), with the wrong
    // character: its place in the text and its length there (2 for a surrogate pair).
    QString refusal;
    QString refusalDetails;
    qsizetype wrongAt = -1;
    qsizetype wrongLength = 0;
};

// `typed` is the box's text, '\n' between its lines.
OutgoingCommand MakeCommand(const QString &typed, LineEnding ending, bool hex);

// The texts sent by hand, newest first, each kept once, at most Limit; and the operator's
// place while stepping through them, with what was being typed when the steps began.
// Adding and loading are linear in Limit.
class CommandHistory
{
public:
    static constexpr qsizetype Limit = 100;

    CommandHistory() = default;
    // As kept between runs; duplicates, empty texts and any beyond the limit are dropped.
    explicit CommandHistory(const QStringList &texts);

    const QStringList &Texts() const { return m_texts; }

    // A text went out: it moves to the front, and stepping starts anew.
    void Add(const QString &text);
    // What another running copy kept (newest first) joins in behind the newest text here,
    // before the older ones, so that neither copy's texts are lost.
    void Merge(const QStringList &kept);
    // The next older text, with `typed` (what the box shows) kept for the way back; none
    // past the oldest. The newest is skipped when the box shows it already (just sent).
    std::optional<QString> Older(const QString &typed);
    // The next newer text, or past the newest what was being typed; none when not stepping.
    std::optional<QString> Newer();
    // The operator changed the text: what the box shows is now what is being typed.
    void Edited() { m_place = -1; }

private:
    QStringList m_texts;
    qsizetype m_place = -1; // into m_texts while stepping, else -1
    QString m_draft;
};
