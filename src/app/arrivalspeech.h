// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QTimer>

#include <functional>

// What a screen reader hears of the module's text beside the console: the reply to a command
// typed by hand, wherever the keyboard is, and whatever arrives while the console has the
// keyboard. Nothing of a query or an update: their notices speak for them. The text is
// spoken once the line has been quiet a moment: its lines, a few at most, or for more only
// how many came, so that a flood does not queue minutes of speech.
class ArrivalSpeech
{
    Q_DECLARE_TR_FUNCTIONS(ArrivalSpeech)

public:
    static constexpr int QuietMilliseconds = 300;
    static constexpr int MostLines = 4;
    static constexpr qsizetype MostCharacters = 300;

    // `say` speaks a text; `consoleFocused` tells whether the console has the keyboard.
    ArrivalSpeech(std::function<void(const QString &)> say, std::function<bool()> consoleFocused);

    // A command typed by hand went out: its reply is spoken.
    void Sent();
    // The module sent `text` (its CRs removed); `sequenceRunning` while a query or an
    // update runs.
    void Received(QStringView text, bool sequenceRunning);
    // The line has been quiet: what came since the last speech is spoken, if it is to be.
    void Quiet();

private:
    // How a stretch of received text, at most MostCharacters long, is spoken.
    static QString Spoken(QStringView text);

    std::function<void(const QString &)> m_say;
    std::function<bool()> m_consoleFocused;
    QTimer m_quiet;
    QString m_pending; // at most MostCharacters + 1 of what came since the last speech
    qsizetype m_lines = 0; // line feeds in all that came since
    bool m_replyAwaited = false;
};
