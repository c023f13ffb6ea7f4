// SPDX-License-Identifier: GPL-3.0-or-later
#include "outgoing.h"

#include <algorithm>

namespace {

int HexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// The box's text as bytes, or the refusal with the first character that is not one.
OutgoingCommand ReadHex(QStringView typed)
{
    OutgoingCommand command;
    command.hex = true;
    command.bytes.reserve(typed.size() / 2);
    qsizetype open = -1; // the first digit of a pair not yet complete
    qsizetype wrong = -1;
    for (qsizetype i = 0; i < typed.size() && wrong < 0; ++i) {
        const QChar c = typed[i];
        const int value = HexValue(c);
        if (value >= 0 && open < 0) {
            open = i;
        } else if (value >= 0) {
            command.bytes.append(char(HexValue(typed[open]) << 4 | value));
            open = -1;
        } else if (!c.isSpace()) {
            wrong = i;
        } else if (open >= 0) {
            wrong = open; // a space inside a pair: the digit before it stands alone
        }
    }
    if (wrong < 0)
        wrong = open;
    if (wrong < 0)
        return command;

    command.bytes.clear();
    command.wrongAt = wrong;
    const bool pair = typed[wrong].isHighSurrogate() && wrong + 1 < typed.size()
        && typed[wrong + 1].isLowSurrogate();
    command.wrongLength = pair ? 2 : 1;
    const QString character = typed.mid(wrong, command.wrongLength).toString();
    const QString place = QString::number(wrong + 1);
    if (wrong == open) {
        command.refusal
            = QCoreApplication::translate(
                  "Outgoing",
                  "第 %1 个字符“%2”没有成对：每个字节要两位十六进制数字。命令没有发出。")
                  .arg(place, character);
    } else {
        const char32_t code = pair ? QChar::surrogateToUcs4(typed[wrong], typed[wrong + 1])
                                   : typed[wrong].unicode();
        const QString hex = QStringLiteral("U+%1").arg(uint(code), 4, 16, QLatin1Char('0'));
        command.refusal = QCoreApplication::translate(
                              "Outgoing", "第 %1 个字符“%2”（%3）不是十六进制数字。命令没有发出。")
                              .arg(place, character, hex.toUpper());
    }
    command.refusalDetails
        = QCoreApplication::translate(
              "Outgoing",
              "“%1”打开时，命令框按字节读取：每个字节两位十六进制数字，大小写均可，字节之间"
              "可以有空格，例如“41 54 0d0a”。在右键菜单中取消“%1”，即按文字发送。")
              .arg(HexEntryCaption());
    return command;
}

} // namespace

QString LineEndingsCaption()
{
    return QCoreApplication::translate("Outgoing", "行尾");
}

QString HexEntryCaption()
{
    return QCoreApplication::translate("Outgoing", "十六进制发送");
}

OutgoingCommand MakeCommand(const QString &typed, LineEnding ending, bool hex)
{
    if (hex)
        return ReadHex(typed);
    QString text = typed;
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    OutgoingCommand command;
    command.bytes = text.toUtf8();
    for (const LineEndingChoice &choice : LineEndingChoices) {
        if (choice.ending == ending)
            command.bytes += choice.bytes;
    }
    return command;
}

CommandHistory::CommandHistory(const QStringList &texts)
{
    // Oldest first, so that each kept text ends where it was.
    for (auto text = texts.crbegin(); text != texts.crend(); ++text)
        Add(*text);
}

void CommandHistory::Add(const QString &text)
{
    m_place = -1;
    if (text.isEmpty())
        return;
    m_texts.removeOne(text);
    m_texts.prepend(text);
    if (m_texts.size() > Limit)
        m_texts.resize(Limit);
}

void CommandHistory::Merge(const QStringList &kept)
{
    QStringList texts = m_texts.mid(0, 1) + kept + m_texts.mid(1);
    m_texts.clear();
    for (auto text = texts.crbegin(); text != texts.crend(); ++text)
        Add(*text);
}

std::optional<QString> CommandHistory::Older(const QString &typed)
{
    qsizetype next = m_place + 1;
    if (m_place < 0) {
        m_draft = typed;
        if (!m_texts.isEmpty() && m_texts.constFirst() == typed)
            next = 1;
    }
    if (next >= m_texts.size())
        return std::nullopt;
    m_place = next;
    return m_texts.at(m_place);
}

std::optional<QString> CommandHistory::Newer()
{
    if (m_place < 0)
        return std::nullopt;
    --m_place;
    return m_place < 0 ? m_draft : m_texts.at(m_place);
}
