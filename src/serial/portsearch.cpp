#include "portsearch.h"

#include "common/warningbox.h"
#include "portmap.h"
#include "seriallink.h"

void SearchNextPort(qint16 &lastPortTried,
                    SerialLink &port,
                    const QString &baudText,
                    const std::function<void(const QString &)> &setStatus,
                    WarningBox &warning)
{
    // Every step swallows its own failure: a port that does not open is just not found.
    ++lastPortTried;
    port.ReadPortList();
    int n = lastPortTried;
    for (; n <= LastPortNumber; ++n) {
        setStatus(QStringLiteral("正在搜索： %1").arg(n));
        port.Close();
        port.SetPortNumber(n);
        port.SetLine(baudText + QStringLiteral(",n,8,1"));
        port.SetReceiveThreshold(1);
        port.SetTextMode();
        port.Open();
        if (port.IsOpen()) {
            port.ClearBuffers();
            setStatus(QStringLiteral("端口：%1 已打开").arg(n));
            break;
        }
    }

    if (n > LastPortNumber) {
        // Set before the box opens: ticks keep running while it is shown.
        lastPortTried = 0;
        setStatus(QString());
        warning.Show(QStringLiteral("提示"), QStringLiteral("已经搜索到最后，再次点击重新搜索！"));
        return;
    }
    lastPortTried = qint16(n);
}

QString PortLostCaption(int n)
{
    return QStringLiteral("端口：%1 已断开").arg(n);
}
