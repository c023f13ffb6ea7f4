// SPDX-License-Identifier: GPL-3.0-or-later
#include "lineendwatch.h"

#include "common/notice.h"
#include "outgoing.h"
#include "serial/seriallink.h"

#include <utility>

LineEndWatch::LineEndWatch(const EngineState &state, const SerialLink &port, Notice &notice)
    : m_state(state)
    , m_port(port)
    , m_notice(notice)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(PatienceMs);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { TimedOut(); });
}

void LineEndWatch::Sent(const OutgoingCommand &command)
{
    Stop();
    if (command.hex || command.bytes.isEmpty() || command.bytes.contains('\r')
        || command.bytes.contains('\n'))
        return;
    m_waiting = true;
    m_timer.start();
}

void LineEndWatch::OnPortEvent()
{
    // Every received chunk comes here; mostly nothing waits.
    if (!m_waiting && !m_noticeShown)
        return;
    const CommEvent event = m_port.LastEvent();
    if ((event == CommEvent::Receive && !m_port.LastRead().isEmpty()) || event == CommEvent::Error)
        Stop();
}

void LineEndWatch::Follow()
{
    if (m_state.WorkMode != ModeManual)
        Stop();
}

void LineEndWatch::TimedOut()
{
    const bool waiting = std::exchange(m_waiting, false);
    m_timer.stop();
    if (!waiting || m_state.WorkMode != ModeManual || !m_port.IsOpen())
        return;
    m_noticeShown = true;
    m_notice.Show({ NoticeTitle(),
                    tr("命令发出 %1 秒后，模块没有任何回应。这条命令的末尾没有行尾（CR 或 LF），"
                       "而模块要收到命令的行尾才会回答。")
                        .arg(PatienceMs / 1000),
                    tr("在命令框的右键菜单“%1”中选择每次发送时加上的行尾（这类模块多用 CR LF），"
                       "或在命令后按 Enter 换行再发送。")
                        .arg(LineEndingsCaption()),
                    QString(),
                    {} });
}

void LineEndWatch::Stop()
{
    m_waiting = false;
    m_timer.stop();
    if (m_noticeShown)
        m_notice.Close();
    m_noticeShown = false;
}
