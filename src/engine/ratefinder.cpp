// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratefinder.h"

#include "commandengine.h"
#include "common/notice.h"
#include "query.h"
#include "serial/seriallink.h"
#include "stepwatch.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <functional>

static_assert(std::find(BaudRates.begin(), BaudRates.end(), CommandModeRate) != BaudRates.end());
static_assert(std::find(BaudRates.begin(), BaudRates.end(), DataModeRate) != BaudRates.end());

namespace {

// The probe: the query's first step.
QString ProbeCommand()
{
    return QString::fromLatin1(QueryTable[0]);
}

// The rates of the baud list in the order they are tried: the common command-mode and
// data-mode rates first, then the others from the fastest down.
const std::array<int, BaudRates.size()> FinderRates = [] {
    std::array<int, BaudRates.size()> rates = BaudRates;
    std::sort(rates.begin(), rates.end(), std::greater<>());
    std::stable_partition(rates.begin(), rates.end(),
                          [](int rate) { return rate == CommandModeRate; });
    std::stable_partition(rates.begin() + 1, rates.end(),
                          [](int rate) { return rate == DataModeRate; });
    return rates;
}();

} // namespace

RateFinder::RateFinder(const EngineState &state,
                       SerialLink &port,
                       CommandEngine &engine,
                       Notice &notice,
                       PortStatus setStatus,
                       std::function<void(int)> showRate)
    : m_state(state)
    , m_port(port)
    , m_engine(engine)
    , m_notice(notice)
    , m_setStatus(std::move(setStatus))
    , m_showRate(std::move(showRate))
{
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { TimedOut(); });
}

void RateFinder::Start()
{
    if (Running())
        return;
    m_resultShown = false;
    if (!m_port.IsOpen()) {
        m_engine.ShowPortError();
        return;
    }
    // The running step is given up: its command may never be answered at this rate.
    m_engine.Stop();
    m_portNumber = m_port.PortNumber();
    m_startRate = m_port.BaudRate();
    QStringList order;
    for (int rate : FinderRates)
        order << QString::number(rate);
    // Its one button stops the search: a search that runs on unseen would show its
    // result at some later moment.
    NoticeContent searching { NoticeTitle(), tr("正在查找模块的波特率……"),
                              tr("依次以这些波特率发送“%1”，每个最多等待 %2 毫秒：\n%3")
                                  .arg(ProbeCommand(), QString::number(WaitMilliseconds),
                                       order.join(tr("、"))),
                              tr("取消"), [this] { Cancel(); } };
    searching.tone = NoticeTone::News;
    searching.actionOnly = true;
    m_notice.Show(searching);
    m_index = 0;
    Probe();
}

void RateFinder::Probe()
{
    const int rate = FinderRates[std::size_t(m_index)];
    m_setStatus(tr("尝试：%1").arg(rate), m_port.Device());
    m_port.SetLine(LineSettings(QString::number(rate)));
    // What waits was sent before this probe, at another rate: it is no answer to it.
    m_port.ClearBuffers();
    m_mark = m_state.ReplyBuffer.Appended();
    m_engine.SendLine(QueryLine(1), QColor(ColourQuery));
    m_timer.start(WaitMilliseconds);
}

bool RateFinder::OnOwnPort() const
{
    return m_port.IsOpen() && m_port.PortNumber() == m_portNumber;
}

void RateFinder::End()
{
    m_timer.stop();
    m_index = -1;
}

bool RateFinder::PortStillThere()
{
    if (OnOwnPort())
        return true;
    Cancel(); // lost: the window has said so
    return false;
}

bool RateFinder::Answered() const
{
    return m_state.ReplyBuffer.Since(m_mark).contains(u"OK");
}

void RateFinder::Follow()
{
    if (!Running()) {
        // The operator acts on the result: it has said what it had to.
        if (m_resultShown && SequenceRunning(m_state)) {
            m_resultShown = false;
            m_notice.Close();
        }
        return;
    }
    if (!PortStillThere())
        return;
    if (m_state.WorkMode != ModeIdle)
        Cancel(); // the operator started something: it runs at the rate the list shows
    else if (Answered())
        Found();
}

void RateFinder::TimedOut()
{
    if (!Running() || !PortStillThere())
        return;
    if (Answered()) {
        Found();
        return;
    }
    if (std::size_t(++m_index) < FinderRates.size()) {
        Probe();
        return;
    }
    End();
    RestoreRate();
    m_resultShown = true;
    m_notice.Show({ NoticeTitle(),
                    tr("在每一个波特率下，模块都没有回答“%1”。").arg(ProbeCommand()),
                    CheckList(m_startRate),
                    QString(),
                    {} });
}

void RateFinder::Found()
{
    const int rate = FinderRates[std::size_t(m_index)];
    End();
    m_showRate(rate);
    m_setStatus(PortOpenCaption(m_portNumber, m_port.Device()),
                PortOpenTooltip(m_port, m_port.Holder()));
    m_resultShown = true;
    m_notice.Show(
        { NoticeTitle(),
          tr("模块在 %1 波特率下回答了“%2”。").arg(QString::number(rate), ProbeCommand()),
          tr("端口保持以 %1 打开，波特率列表也已选中 %1。现在可以重新读取模块信息。").arg(rate),
          QString(),
          {},
          NoticeTone::News });
}

void RateFinder::Cancel()
{
    if (!Running())
        return;
    End();
    RestoreRate();
    m_notice.Close();
}

void RateFinder::RestoreRate()
{
    if (m_port.IsOpen() && !OnOwnPort())
        return; // another port, opened at the list's rate
    // A lost port keeps it too, to open again at.
    m_port.SetLine(LineSettings(QString::number(m_startRate)));
    if (OnOwnPort())
        m_setStatus(PortOpenCaption(m_portNumber, m_port.Device()),
                    PortOpenTooltip(m_port, m_port.Holder()));
}
