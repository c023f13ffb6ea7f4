// SPDX-License-Identifier: GPL-3.0-or-later
#include "consoletext.h"

namespace {

bool Pictorial(char16_t c)
{
    return (c < 0x20 && c != u'\n' && c != u'\t') || c == 0x7F;
}

// The control pictures' block: a received one is boxed, a control is drawn as one.
constexpr char16_t FirstPicture = 0x2400;
constexpr char16_t LastPicture = 0x2426;

QString Hex(char16_t c)
{
    return QString::number(c, 16).toUpper().rightJustified(CodeDigits, QLatin1Char('0'));
}

} // namespace

QString WithoutPairedCr(const QString &text)
{
    qsizetype at = text.indexOf(QLatin1String("\r\n"));
    if (at < 0)
        return text; // the usual case: nothing to change, nothing copied
    QString kept;
    kept.reserve(text.size());
    qsizetype from = 0;
    for (; at >= 0; at = text.indexOf(QLatin1String("\r\n"), at + 2)) {
        kept += QStringView(text).sliced(from, at - from);
        from = at + 1;
    }
    kept += QStringView(text).sliced(from);
    return kept;
}

QChar PictureOf(QChar c)
{
    if (!Pictorial(c.unicode()))
        return c;
    return QChar(c.unicode() == 0x7F ? 0x2421 : FirstPicture + c.unicode());
}

QString Pictured(QString text)
{
    for (QChar &c : text) {
        if (Pictorial(c.unicode()))
            c = PictureOf(c);
    }
    return text;
}

bool Boxed(char16_t c)
{
    if (c < 0x80)
        return false; // C0 and DEL are drawn as control pictures
    if (c == 0xFDD0 || c == 0xFDD1 || (c >= FirstPicture && c <= LastPicture))
        return true;
    switch (QChar::category(c)) {
    case QChar::Other_Control: // C1, as from a wrong baud rate
    case QChar::Other_Format: // zero-width and bidirectional controls, the byte-order mark
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

QString Shown(const QString &text, QList<qsizetype> &codes)
{
    codes.clear();
    QString shown;
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (Pictorial(c)) {
            shown += QStringView(text).sliced(from, i - from);
            shown += PictureOf(c);
            from = i + 1;
        } else if (Boxed(c)) {
            codes.append(i);
            shown += QStringView(text).sliced(from, i - from);
            shown += Hex(c);
            from = i + 1;
        }
    }
    if (from == 0)
        return text; // the usual case: nothing to change, nothing copied
    shown += QStringView(text).sliced(from);
    return shown;
}
