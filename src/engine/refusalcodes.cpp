// SPDX-License-Identifier: GPL-3.0-or-later
#include "refusalcodes.h"

#include <QCoreApplication>

#include <array>

namespace {

struct RefusalRow
{
    unsigned code;
    const char *meaning;
};

const std::array<RefusalRow, 31> RefusalTable = { {
    { 0x00, QT_TRANSLATE_NOOP("RefusalCodes", "命令错误：未知命令、格式不对，或行结束符不对") },
    { 0x01, QT_TRANSLATE_NOOP("RefusalCodes", "默认结果") },
    { 0x02, QT_TRANSLATE_NOOP("RefusalCodes", "PSKEY 写入错误") },
    { 0x03, QT_TRANSLATE_NOOP("RefusalCodes", "设备名称太长（超过 32 字节）") },
    { 0x04, QT_TRANSLATE_NOOP("RefusalCodes", "设备名称为空") },
    { 0x05, QT_TRANSLATE_NOOP("RefusalCodes", "蓝牙地址的 NAP 部分太长") },
    { 0x06, QT_TRANSLATE_NOOP("RefusalCodes", "蓝牙地址的 UAP 部分太长") },
    { 0x07, QT_TRANSLATE_NOOP("RefusalCodes", "蓝牙地址的 LAP 部分太长") },
    { 0x08, QT_TRANSLATE_NOOP("RefusalCodes", "缺少 PIO 口掩码") },
    { 0x09, QT_TRANSLATE_NOOP("RefusalCodes", "缺少 PIO 口序号") },
    { 0x0A, QT_TRANSLATE_NOOP("RefusalCodes", "缺少设备类") },
    { 0x0B, QT_TRANSLATE_NOOP("RefusalCodes", "设备类太长") },
    { 0x0C, QT_TRANSLATE_NOOP("RefusalCodes", "缺少查询访问码") },
    { 0x0D, QT_TRANSLATE_NOOP("RefusalCodes", "查询访问码太长") },
    { 0x0E, QT_TRANSLATE_NOOP("RefusalCodes", "查询访问码无效") },
    { 0x0F, QT_TRANSLATE_NOOP("RefusalCodes", "连接密码为空") },
    { 0x10, QT_TRANSLATE_NOOP("RefusalCodes", "连接密码太长（超过 16 字节）") },
    { 0x11, QT_TRANSLATE_NOOP("RefusalCodes", "模块角色无效") },
    { 0x12, QT_TRANSLATE_NOOP("RefusalCodes", "波特率无效") },
    { 0x13, QT_TRANSLATE_NOOP("RefusalCodes", "停止位无效") },
    { 0x14, QT_TRANSLATE_NOOP("RefusalCodes", "校验位无效") },
    { 0x15, QT_TRANSLATE_NOOP("RefusalCodes", "该设备不在配对列表中") },
    { 0x16, QT_TRANSLATE_NOOP("RefusalCodes", "SPP 库未初始化") },
    { 0x17, QT_TRANSLATE_NOOP("RefusalCodes", "SPP 库重复初始化（再次初始化后出现，无妨）") },
    { 0x18, QT_TRANSLATE_NOOP("RefusalCodes", "查询模式无效") },
    { 0x19, QT_TRANSLATE_NOOP("RefusalCodes", "查询时间太长") },
    { 0x1A, QT_TRANSLATE_NOOP("RefusalCodes", "缺少蓝牙地址") },
    { 0x1B, QT_TRANSLATE_NOOP("RefusalCodes", "安全模式无效") },
    { 0x1C, QT_TRANSLATE_NOOP("RefusalCodes", "加密模式无效") },
    { 0x1D, QT_TRANSLATE_NOOP("RefusalCodes", "连接密码没有加引号（固件 3.0）") },
    { 0x1F,
      QT_TRANSLATE_NOOP("RefusalCodes",
                        "此命令在这种命令模式下不可用（固件 3.0）：模块上电时没有按住进入命令模式的"
                        "按键") },
} };

const QLatin1String CodeStart("ERROR:(");

} // namespace

QStringView RefusalCode(QStringView text)
{
    const qsizetype start = text.indexOf(CodeStart);
    if (start < 0)
        return QStringView();
    const qsizetype end = text.indexOf(u')', start + CodeStart.size());
    return end < 0 ? QStringView() : text.sliced(start, end + 1 - start);
}

QString RefusalMeaning(QStringView text)
{
    const QStringView code = RefusalCode(text);
    if (code.isEmpty())
        return QString();
    bool isNumber = false;
    const uint value
        = code.sliced(CodeStart.size(), code.size() - CodeStart.size() - 1).toUInt(&isNumber, 16);
    if (!isNumber)
        return QString();
    for (const RefusalRow &row : RefusalTable) {
        if (row.code == value)
            return QCoreApplication::translate("RefusalCodes", row.meaning);
    }
    return QString();
}
