// SPDX-License-Identifier: GPL-3.0-or-later
#include "arrivalspeech.h"

#include <QStringList>

ArrivalSpeech::ArrivalSpeech(std::function<void(const QString &)> say,
                             std::function<bool()> consoleFocused)
    : m_say(std::move(say))
    , m_consoleFocused(std::move(consoleFocused))
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(QuietMilliseconds);
    QObject::connect(&m_quiet, &QTimer::timeout, &m_quiet, [this] { Quiet(); });
}

void ArrivalSpeech::Sent()
{
    m_pending.clear(); // what came before the command is not its reply
    m_lines = 0;
    m_replyAwaited = true;
}

void ArrivalSpeech::Received(QStringView text, bool sequenceRunning)
{
    if (sequenceRunning) {
        m_replyAwaited = false;
        m_pending.clear();
        m_lines = 0;
        m_quiet.stop();
        return;
    }
    // Only what may be spoken is kept: a flood is told by its count of lines.
    m_lines += text.count(u'\n');
    if (m_pending.size() <= MostCharacters)
        m_pending += text.first(std::min(text.size(), MostCharacters + 1 - m_pending.size()));
    m_quiet.start();
}

void ArrivalSpeech::Quiet()
{
    m_quiet.stop();
    const QString pending = std::exchange(m_pending, QString());
    const qsizetype lines = std::exchange(m_lines, 0);
    // The reply to a command is what came until the line fell quiet; after it, only what
    // arrives while the console has the keyboard is spoken.
    const bool speak = std::exchange(m_replyAwaited, false) || m_consoleFocused();
    if (!speak || pending.isEmpty())
        return;
    m_say(pending.size() > MostCharacters
              ? tr("收到 %n 行", nullptr, int(std::max<qsizetype>(1, lines)))
              : Spoken(pending));
}

QString ArrivalSpeech::Spoken(QStringView text)
{
    QStringList lines;
    for (QStringView line : text.split(u'\n')) {
        QString shown = line.trimmed().toString();
        // A control character would be spoken as a code, or not at all.
        for (QChar &c : shown) {
            if (c.category() == QChar::Other_Control)
                c = QLatin1Char(' ');
        }
        shown = shown.simplified();
        if (shown.isEmpty())
            continue;
        lines << shown;
    }
    // The text is at most MostCharacters long: only its lines may be too many.
    if (lines.size() <= MostLines)
        return lines.join(QLatin1Char('\n'));
    return tr("收到 %n 行", nullptr, int(lines.size()));
}
