// SPDX-License-Identifier: GPL-3.0-or-later
#include "sequence.h"

#include "guardedcommands.h"
#include "settingcheck.h"

#include <QCoreApplication>

#include <optional>

namespace {

// The values a step may hold.
const QStringList Values = { QStringLiteral("{addr}"), QStringLiteral("{bind}") };

// A number of milliseconds, 1 to LongestStepMs; nothing for anything else.
std::optional<int> Milliseconds(QStringView text)
{
    bool number = false;
    const int ms = text.toInt(&number);
    if (!number || ms < 1 || ms > LongestStepMs || !text.front().isDigit())
        return std::nullopt;
    return ms;
}

// The text with its escapes resolved; an unknown or cut escape is the reason in `fault`.
QString Unescaped(QStringView text, QString *fault, bool *escaped)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\') {
            out += text[i];
            continue;
        }
        *escaped = true;
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        ++i;
        if (next == u'r')
            out += u'\r';
        else if (next == u'n')
            out += u'\n';
        else if (next == u't')
            out += u'\t';
        else if (next == u'\\')
            out += u'\\';
        else if (next == u'x') {
            bool hex = i + 2 < text.size();
            const int byte = hex ? text.sliced(i + 1, 2).toInt(&hex, 16) : 0;
            if (!hex || text[i + 1] == u'+' || text[i + 1] == u'-') {
                *fault = QCoreApplication::translate("Sequence", "“\\x”后面要有两位十六进制数字");
                return QString();
            }
            out += QChar(byte);
            i += 2;
        } else {
            *fault = QCoreApplication::translate(
                         "Sequence", "不认识的转义“\\%1”：可以用 \\r、\\n、\\t、\\\\ 和 \\xHH")
                         .arg(next);
            return QString();
        }
    }
    return out;
}

// A value between braces that is none of Values, as the refusal names it; empty when none.
QString UnknownValue(QStringView text)
{
    for (qsizetype open = text.indexOf(u'{'); open >= 0; open = text.indexOf(u'{', open + 1)) {
        const qsizetype close = text.indexOf(u'}', open);
        if (close < 0)
            return text.sliced(open).toString();
        const QString value = text.sliced(open, close - open + 1).toString();
        if (!Values.contains(value))
            return value;
    }
    return QString();
}

} // namespace

ParsedSequence ParseSequence(QStringView text)
{
    ParsedSequence parsed;
    const auto refuse = [&parsed](int line, const QString &reason) {
        parsed.steps.clear();
        parsed.badLine = line;
        parsed.reason = reason;
        return parsed;
    };
    int number = 0;
    for (QStringView line : text.split(u'\n')) {
        ++number;
        if (line.endsWith(u'\r'))
            line.chop(1);
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        // A raw control character would reach the module as part of a command.
        if (HoldsControlCharacter(line.toString().remove(u'\t')))
            return refuse(
                number,
                QCoreApplication::translate("Sequence", "含有控制字符：换行等要写成 \\r、\\n"));
        const qsizetype space = line.indexOf(u' ');
        const QStringView word = space < 0 ? line : line.first(space);
        const QStringView rest = space < 0 ? QStringView() : line.sliced(space + 1).trimmed();
        SequenceStep step;
        step.line = number;
        if (word == u"send") {
            if (rest.isEmpty())
                return refuse(
                    number, QCoreApplication::translate("Sequence", "“send”后面没有要发送的内容"));
            QString fault;
            step.text = Unescaped(rest, &fault, &step.exact);
            if (!fault.isEmpty())
                return refuse(number, fault);
        } else if (word == u"expect" || word == u"maybe") {
            step.kind = SequenceStep::Kind::Expect;
            step.optional = word == u"maybe";
            step.ms = DefaultExpectMs;
            QStringView what = rest;
            // A last word of digits is the time, when something comes before it.
            const qsizetype last = what.lastIndexOf(u' ');
            if (last > 0) {
                if (const auto ms = Milliseconds(what.sliced(last + 1))) {
                    step.ms = *ms;
                    what = what.first(last).trimmed();
                }
            }
            if (what.isEmpty())
                return refuse(number,
                              QCoreApplication::translate("Sequence", "“%1”后面没有要等待的内容")
                                  .arg(word.toString()));
            if (what.size() >= 2 && what.startsWith(u'/') && what.endsWith(u'/')) {
                step.pattern = QRegularExpression(what.sliced(1, what.size() - 2).toString());
                if (!step.pattern.isValid())
                    return refuse(number,
                                  QCoreApplication::translate("Sequence", "模式有误：%1")
                                      .arg(step.pattern.errorString()));
            }
            QString fault;
            bool escaped = false;
            step.text = step.pattern.pattern().isEmpty() ? Unescaped(what, &fault, &escaped)
                                                         : what.toString();
            if (!fault.isEmpty())
                return refuse(number, fault);
        } else if (word == u"wait") {
            step.kind = SequenceStep::Kind::Wait;
            const auto ms = Milliseconds(rest);
            if (!ms)
                return refuse(
                    number,
                    QCoreApplication::translate("Sequence", "“wait”后面要有 1 到 %1 之间的毫秒数")
                        .arg(LongestStepMs));
            step.ms = *ms;
        } else {
            return refuse(
                number,
                QCoreApplication::translate(
                    "Sequence", "不认识“%1”：每一行以 send、expect、maybe、wait 或 # 开始")
                    .arg(word.toString()));
        }
        if (const QString unknown = UnknownValue(step.text);
            !unknown.isEmpty() && step.pattern.pattern().isEmpty())
            return refuse(
                number,
                QCoreApplication::translate("Sequence", "不认识“%1”：可以用 {addr} 和 {bind}")
                    .arg(unknown));
        parsed.steps << step;
    }
    return parsed;
}

QStringList SequenceWarnings(const QList<SequenceStep> &steps,
                             const CommandFamily *family,
                             const std::function<bool(int)> &accepts)
{
    QStringList warnings;
    for (const SequenceStep &step : steps) {
        if (step.kind != SequenceStep::Kind::Send)
            continue;
        const QString warning = GuardedCommandWarning(step.text.toUtf8(), family, accepts);
        if (!warning.isEmpty() && !warnings.contains(warning))
            warnings << warning;
    }
    return warnings;
}

const std::array<ShippedSequence, 3> ShippedSequences = { {
    { "pair-and-connect.txt", QT_TRANSLATE_NOOP("Sequence", "配对并自动连接…"), false },
    { "read-pairing.txt", QT_TRANSLATE_NOOP("Sequence", "读取配对信息"), false },
    { "factory-reset.txt", QT_TRANSLATE_NOOP("Sequence", "恢复出厂设置…"), true },
} };

QString ShippedCaption(const ShippedSequence &shipped)
{
    return QCoreApplication::translate("Sequence", shipped.caption);
}

QString ShippedName(const ShippedSequence &shipped)
{
    QString name = ShippedCaption(shipped);
    if (name.endsWith(u'…'))
        name.chop(1);
    return name;
}

QString
WithValues(const QString &text, const QString &address, const QString &bind, QString *missing)
{
    QString out = text;
    const std::pair<QString, QString> values[] = { { Values[0], address }, { Values[1], bind } };
    for (const auto &[name, value] : values) {
        if (!out.contains(name))
            continue;
        if (value.isEmpty()) {
            *missing = name;
            return QString();
        }
        out.replace(name, value);
    }
    return out;
}
