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
    m_replyAwaited = true;
}

void ArrivalSpeech::Received(QStringView text, bool sequenceRunning)
{
    if (sequenceRunning) {
        m_replyAwaited = false;
        m_pending.clear();
        m_quiet.stop();
        return;
    }
    m_pending += text;
    m_quiet.start();
}

void ArrivalSpeech::Quiet()
{
    m_quiet.stop();
    const QString spoken = Spoken(std::exchange(m_pending, QString()));
    if (!spoken.isEmpty() && (m_replyAwaited || m_consoleFocused()))
        m_say(spoken);
}

QString ArrivalSpeech::Spoken(QStringView text)
{
    QStringList lines;
    qsizetype characters = 0;
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
        characters += shown.size();
        lines << shown;
    }
    if (lines.size() <= MostLines && characters <= MostCharacters)
        return lines.join(QLatin1Char('\n'));
    return tr("收到 %n 行", nullptr, int(lines.size()));
}
