// SPDX-License-Identifier: GPL-3.0-or-later
#include "pairingstate.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <array>

namespace {

struct StateRow
{
    const char *state;
    const char *meaning;
};

// The states the classic family reports, as its datasheets name them.
constexpr std::array<StateRow, 9> States = { {
    { "INITIALIZED", QT_TRANSLATE_NOOP("PairingState", "已初始化") },
    { "READY", QT_TRANSLATE_NOOP("PairingState", "准备就绪") },
    { "PAIRABLE", QT_TRANSLATE_NOOP("PairingState", "可配对") },
    { "PAIRED", QT_TRANSLATE_NOOP("PairingState", "已配对") },
    { "INQUIRING", QT_TRANSLATE_NOOP("PairingState", "正在查找设备") },
    { "CONNECTING", QT_TRANSLATE_NOOP("PairingState", "正在连接") },
    { "CONNECTED", QT_TRANSLATE_NOOP("PairingState", "已连接") },
    { "DISCONNECTED", QT_TRANSLATE_NOOP("PairingState", "已断开") },
    { "UNKNOWN", QT_TRANSLATE_NOOP("PairingState", "未知") },
} };

QString Tr(const char *text)
{
    return QCoreApplication::translate("PairingState", text);
}

// The last value of `key` in the text: what follows "+KEY:" to the end of its line.
QString LastValue(QStringView heard, const QString &key)
{
    const QRegularExpression pattern(QStringLiteral("\\+") + key
                                     + QStringLiteral(":\\s*\"?([^\"\\r\\n]*)"));
    QString value;
    for (auto match = pattern.globalMatch(heard); match.hasNext();)
        value = match.next().captured(1).trimmed();
    return value;
}

} // namespace

QString PairingFindings(QStringView heard)
{
    const QString state = LastValue(heard, QStringLiteral("STATE")).toUpper();
    const QString count = LastValue(heard, QStringLiteral("ADCN"));
    const QString last = LastValue(heard, QStringLiteral("MRAD"));
    if (state.isEmpty() && count.isEmpty() && last.isEmpty())
        return QString();
    // "0:0:0" is the address of no module.
    const bool lastIsModule = last.contains(QRegularExpression(QStringLiteral("[1-9a-fA-F]")));
    const bool someonePaired = lastIsModule || count.toInt() > 0 || state == u"PAIRED";
    QString stateText = state;
    for (const StateRow &row : States) {
        if (state == QLatin1String(row.state))
            stateText = Tr(row.meaning);
    }
    QStringList said;
    if (state == u"CONNECTED")
        said << QCoreApplication::translate("PairingState", "已连接");
    else if (someonePaired)
        said << QCoreApplication::translate("PairingState", "已配对，但没有连接");
    else
        said << QCoreApplication::translate("PairingState", "没有配对");
    if (!state.isEmpty() && state != u"CONNECTED")
        said << QCoreApplication::translate("PairingState", "状态：%1").arg(stateText);
    if (!count.isEmpty())
        said << QCoreApplication::translate("PairingState", "配对列表中有 %1 个设备").arg(count);
    if (!last.isEmpty())
        said << (lastIsModule
                     ? QCoreApplication::translate("PairingState", "最近配对的是 %1").arg(last)
                     : QCoreApplication::translate("PairingState", "还没有配对过设备"));
    return said.join(QCoreApplication::translate("PairingState", "；"))
        + QCoreApplication::translate("PairingState", "。");
}

QString PairingFailure(QStringView command, QStringView answer)
{
    if (answer.trimmed() != u"FAIL")
        return QString();
    const QString upper = command.trimmed().toString().toUpper();
    if (upper.startsWith(u"AT+PAIR="))
        return QCoreApplication::translate(
            "PairingState", "没有配对上：对方不在附近、没有上电、不是从角色，或两边的 PIN 不同");
    if (upper.startsWith(u"AT+LINK="))
        return QCoreApplication::translate("PairingState",
                                           "没有连接上：对方不在附近、没有上电，或还没有与它配对");
    return QString();
}
