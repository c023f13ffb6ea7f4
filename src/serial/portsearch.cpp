// SPDX-License-Identifier: GPL-3.0-or-later
#include "portsearch.h"

#include "common/notice.h"
#include "common/warningbox.h"
#include "portidentity.h"
#include "portmap.h"
#include "seriallink.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

namespace {

QString RefusalText(const SerialLink &port)
{
    const QString device = port.Device();
    switch (port.LastRefusal()) {
    case Refusal::NoPermission:
        return QCoreApplication::translate("PortSearch",
                                           "无权访问 %1：请将当前用户加入 dialout 组后重新登录")
            .arg(device);
    case Refusal::InUse:
        if (const auto holder = port.Holder())
            return QCoreApplication::translate("PortSearch", "%1 正被 %2占用")
                .arg(device, HolderText(*holder));
        return QCoreApplication::translate("PortSearch", "%1 正被其他程序占用").arg(device);
    case Refusal::Missing:
        return QCoreApplication::translate("PortSearch", "%1 不存在").arg(device);
    case Refusal::BadLock:
        return QCoreApplication::translate("PortSearch",
                                           "%1 无法加锁：%2 不是正常的锁文件，请删除它后重试")
            .arg(device, QtLockFile(device));
    case Refusal::Stalled:
        return QCoreApplication::translate(
                   "PortSearch", "%1 打开后一秒内没有返回，已放弃：它的锁文件 %2 可能被换成了管道")
            .arg(device, QtLockFile(device));
    case Refusal::None:
        break;
    }
    return QString();
}

// Closes the port and opens port n at the rate; whether it opened.
bool TryPort(int n, SerialLink &port, const QString &baudText)
{
    port.Close();
    port.SetPortNumber(n);
    port.SetLine(LineSettings(baudText));
    port.SetReceiveThreshold(1);
    port.SetTextMode();
    port.Open();
    if (!port.IsOpen())
        return false;
    port.ClearBuffers();
    return true;
}

} // namespace

void OpenChosenPort(int n,
                    qint16 &lastPortTried,
                    SerialLink &port,
                    const QString &baudText,
                    const PortStatus &setStatus,
                    WarningBox &warning,
                    Notice &shared)
{
    shared.Close();
    port.ReadPortList();
    // The next search goes on from the port chosen, as if the search had found it.
    lastPortTried = qint16(n);
    if (TryPort(n, port, baudText)) {
        AnnouncePortOpen(n, port, setStatus, shared);
        return;
    }
    const QString reason = port.LastRefusal() != Refusal::None ? RefusalText(port) : QString();
    setStatus(QString(), reason);
    warning.Show(NoticeTitle(),
                 QCoreApplication::translate("PortSearch", "端口：%1（%2）打不开！")
                     .arg(n)
                     .arg(ShortDeviceName(port.Device())),
                 reason);
}

QList<PortChoice> PortChoices()
{
    QList<PortChoice> choices;
    const QList<PortIdentity> present = PresentPorts();
    for (int n = FirstPortNumber; n <= present.size(); ++n) {
        const PortIdentity &identity = present.at(n - 1);
        if (identity.path.isEmpty())
            continue;
        QString text = QCoreApplication::translate("PortSearch", "端口 %1：%2")
                           .arg(n)
                           .arg(ShortDeviceName(identity.path));
        const QString about = identity.manufacturer.isEmpty()
                || identity.description.contains(identity.manufacturer)
            ? identity.description
            : QStringLiteral("%1, %2").arg(identity.description, identity.manufacturer);
        if (!about.isEmpty())
            text += QStringLiteral(" — ") + about;
        choices.append({ n, identity.path, text });
    }
    return choices;
}

QString ShortDeviceName(const QString &device)
{
    // What people call the adapter: ttyUSB0, pts/3, COM3; a link by its own name.
    const QLatin1String pts("/dev/pts/");
    return device.startsWith(pts) ? device.mid(5) : QFileInfo(device).fileName();
}

void SearchNextPort(qint16 &lastPortTried,
                    SerialLink &port,
                    const QString &baudText,
                    const PortStatus &setStatus,
                    WarningBox &warning,
                    Notice &shared)
{
    shared.Close(); // the port it speaks of is closed below
    // Every step swallows its own failure: a port that does not open is just not found.
    ++lastPortTried;
    port.ReadPortList();
    int n = lastPortTried;
    QStringList refusals;
    for (; n <= LastPortNumber; ++n) {
        setStatus(QCoreApplication::translate("PortSearch", "正在搜索： %1").arg(n), QString());
        if (TryPort(n, port, baudText)) {
            AnnouncePortOpen(n, port, setStatus, shared);
            break;
        }
        if (port.LastRefusal() != Refusal::None)
            refusals << RefusalText(port);
    }

    if (n > LastPortNumber) {
        // Set before the box opens: ticks keep running while it is shown.
        lastPortTried = 0;
        const QString reasons = refusals.join(QLatin1Char('\n'));
        setStatus(QString(), reasons);
        warning.Show(
            NoticeTitle(),
            QCoreApplication::translate("PortSearch", "已经搜索到最后，再次点击重新搜索！"),
            reasons);
        return;
    }
    lastPortTried = qint16(n);
}

bool ApplyBaudRate(SerialLink &port, const QString &baudText, WarningBox &warning)
{
    if (port.SetLine(LineSettings(baudText)))
        return true;
    warning.Show(
        WarningTitle(),
        QCoreApplication::translate("PortSearch", "适配器不接受波特率 %1").arg(baudText),
        QCoreApplication::translate("PortSearch", "端口仍以 %1 运行。").arg(port.BaudRate()));
    return false;
}

QString LineSettings(const QString &baudText)
{
    return baudText + QStringLiteral(",n,8,1");
}

QString PortOpenCaption(int n, const QString &device)
{
    return QCoreApplication::translate("PortSearch", "端口：%1 已打开 · %2")
        .arg(n)
        .arg(ShortDeviceName(device));
}

QString PortOpenTooltip(const SerialLink &port, const std::optional<PortHolder> &holder)
{
    QString tooltip = AdapterText(port.Identity());
    if (holder)
        tooltip += QLatin1Char('\n')
            + QCoreApplication::translate("PortSearch", "同时被 %1打开").arg(HolderText(*holder));
    return tooltip;
}

void AnnouncePortOpen(int n, const SerialLink &port, const PortStatus &setStatus, Notice &shared)
{
    const auto holder = port.Holder();
    setStatus(PortOpenCaption(n, port.Device()), PortOpenTooltip(port, holder));
    if (!holder)
        return;
    // Shown once per open, beside the window: the operator may go on working.
    shared.Show(
        { NoticeTitle(),
          QCoreApplication::translate("PortSearch", "端口：%1（%2）同时被 %3打开。")
              .arg(n)
              .arg(port.Device(), HolderText(*holder)),
          QCoreApplication::translate("PortSearch",
                                      "另一个程序也在使用这个端口：它可能向模块发送自己的命令，"
                                      "或读走模块的回复。请关闭它，或让它不再使用这个端口。"),
          QString(),
          {} });
}

QString PortLostCaption(int n)
{
    return QCoreApplication::translate("PortSearch", "端口：%1 已断开").arg(n);
}
