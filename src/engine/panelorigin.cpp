// SPDX-License-Identifier: GPL-3.0-or-later
#include "panelorigin.h"

#include "query.h"
#include "update.h"

#include <utility>

PanelOrigin::PanelOrigin(const EngineState &state, SettingsFields &panel)
    : m_state(state)
    , m_panel(panel)
    , m_mode(state.WorkMode)
{ }

QString PanelOrigin::Text1(int index) const
{
    return m_panel.Text1(index);
}

void PanelOrigin::SetText1(int index, const QString &text)
{
    m_panel.SetText1(index, text);
    // Only the query writes the fields through here.
    if (m_state.WorkMode != ModeSearching)
        return;
    if (const int step = StepOfText1(index))
        m_touched.insert(step);
    if (index == AddressIndex && !text.isEmpty())
        m_addressRead = text, m_addressPort = m_port;
    if (index == VersionIndex)
        m_versionRead = text;
}

bool PanelOrigin::Option(int number) const
{
    return m_panel.Option(number);
}

void PanelOrigin::SetOption(int number, bool on)
{
    m_panel.SetOption(number, on);
    if (m_state.WorkMode != ModeSearching)
        return;
    if (const int step = StepOfOption(number))
        m_touched.insert(step);
}

QString PanelOrigin::Text1Caption(int index) const
{
    return m_panel.Text1Caption(index);
}

QString PanelOrigin::GroupCaption(int number) const
{
    return m_panel.GroupCaption(number);
}

QString PanelOrigin::OptionCaption(int number) const
{
    return m_panel.OptionCaption(number);
}

void PanelOrigin::Follow()
{
    const QString &mode = m_state.WorkMode;
    // Another family's steps are no steps of this family's tables: what it read and wrote
    // is its sequence's to keep.
    if (m_state.Family) {
        m_mode = mode;
        return;
    }
    // A start action leaves step 1 unsent; nothing else does.
    const bool starting = m_state.StepIndex == 1 && !m_state.AwaitingReply;
    if (m_mode == ModeSearching && (mode != ModeSearching || starting))
        QueryEnded();
    if (m_mode == ModeUpdating && mode != ModeUpdating)
        m_updateWhole = mode == ModeIdle && m_state.StepIndex == UpdateSteps
            && m_state.AwaitingReply && m_written.contains(UpdateSteps);
    if (mode == ModeSearching && starting) {
        m_readBack.reset();
        m_read = true;
        m_reading = Reading::Running;
        m_queryPort = m_port;
        m_touched.clear();
    }
    if (mode == ModeUpdating) {
        if (starting) {
            m_written.clear();
            m_updateWhole = false;
            SetMarks({});
        } else if (m_state.AwaitingReply && !m_written.contains(m_state.StepIndex)) {
            // The step went out at this tick, built from the panel as it is now.
            m_written[m_state.StepIndex] = SettingValue(m_state.StepIndex, m_panel);
        }
    }
    m_mode = mode;
}

void PanelOrigin::QueryEnded()
{
    if (m_reading != Reading::Running)
        return;
    const bool onThisPort = m_queryPort == m_port;
    if (onThisPort) {
        for (int step : m_touched)
            m_answered[step] = SettingValue(step, m_panel);
    }
    const std::set<int> touched = std::exchange(m_touched, {});
    const bool complete
        = m_state.WorkMode == ModeIdle && m_state.StepIndex == QuerySteps && m_state.AwaitingReply;
    if (!complete || !onThisPort) {
        m_reading = Reading::Unfinished;
        return;
    }
    m_reading = Reading::Complete;
    m_since = PortSince::Same;
    SetValuesFrom(0);
    m_file.clear();
    m_bound.clear();
    m_readAt = QDateTime::currentDateTime();
    MarkDifferences();
    JudgeReadBack(touched);
}

void PanelOrigin::MarkDifferences()
{
    std::map<int, QString> marks;
    for (const auto &[step, written] : m_written) {
        const auto answered = m_answered.find(step);
        if (answered == m_answered.end()
            || ReadBackForm(step, answered->second) == ReadBackForm(step, written))
            continue;
        marks[step] = tr("写入：%1，模块回答：%2")
                          .arg(ShownValue(step, written, m_panel),
                               ShownValue(step, answered->second, m_panel));
    }
    SetMarks(std::move(marks));
}

void PanelOrigin::JudgeReadBack(const std::set<int> &read)
{
    if (!m_updateWhole)
        return;
    // Only what this query read: an earlier answer says nothing of what the module kept.
    ReadBack readBack { int(m_written.size()), {} };
    for (const auto &[step, written] : m_written) {
        const auto answered = m_answered.find(step);
        const QString name = SettingName(step, m_panel);
        const QString wrote = ShownValue(step, written, m_panel);
        if (!read.contains(step) || answered == m_answered.end())
            readBack.notKept << tr("%1（写入 %2，模块没有回答）").arg(name, wrote);
        else if (ReadBackForm(step, answered->second) != ReadBackForm(step, written))
            readBack.notKept << tr("%1（写入 %2，模块回答 %3）")
                                    .arg(name, wrote, ShownValue(step, answered->second, m_panel));
    }
    m_readBack = std::move(readBack);
}

void PanelOrigin::SetMarks(std::map<int, QString> marks)
{
    if (marks == m_marks)
        return;
    m_marks = std::move(marks);
    if (m_marksWatcher)
        m_marksWatcher();
}

void PanelOrigin::PortSearched(int from)
{
    PortChanged(PortSince::Searched, from);
}

void PanelOrigin::PortLost(int from)
{
    PortChanged(PortSince::Lost, from);
}

void PanelOrigin::PortChanged(PortSince why, int from)
{
    ++m_port;
    // The values stay (the operator may mean to write them into the next module), but the
    // panel says whose they are.
    if (m_read && from > 0 && m_valuesFrom == 0)
        SetValuesFrom(from);
    m_read = false;
    // What was read and written concerned the module that was on the port; the panel
    // still shows it, so the marks stay.
    m_answered.clear();
    m_written.clear();
    m_updateWhole = false;
    m_readBack.reset();
    m_readAt = QDateTime();
    m_versionRead.clear();
    if (m_reading == Reading::Complete || m_reading == Reading::Unfinished) {
        m_reading = Reading::Nothing;
        m_since = why;
    }
}

void PanelOrigin::Cleared()
{
    if (m_reading != Reading::Running)
        m_reading = Reading::Cleared;
    m_file.clear();
    m_bound.clear();
    m_read = false;
    SetValuesFrom(0);
    SetMarks({});
}

void PanelOrigin::Loaded(const QString &file)
{
    m_file = file;
    m_read = false;
    StopRunningQuery();
    SetValuesFrom(0);
    SetMarks({});
}

void PanelOrigin::Bound(const QString &address)
{
    m_bound = address;
    StopRunningQuery();
}

void PanelOrigin::StopRunningQuery()
{
    // Stopped, the query counts as unfinished: the file's or the bind's cause stays until
    // a query completes after it.
    if (m_reading == Reading::Running && m_stopQuery)
        m_stopQuery();
}

void PanelOrigin::SetValuesFrom(int port)
{
    if (port == m_valuesFrom)
        return;
    m_valuesFrom = port;
    if (m_originWatcher)
        m_originWatcher();
}

void PanelOrigin::Edited(int step)
{
    if (m_marks.erase(step) && m_marksWatcher)
        m_marksWatcher();
}

std::optional<QString> PanelOrigin::Answered(int step) const
{
    const auto answered = m_answered.find(step);
    if (answered == m_answered.end())
        return std::nullopt;
    return answered->second;
}

QStringList PanelOrigin::WhyNot() const
{
    QStringList why;
    switch (m_reading) {
    case Reading::Nothing:
        if (m_since == PortSince::Lost)
            why << tr("端口断开过：面板中的值读取自断开之前，之后还没有读取过模块。");
        else if (m_since == PortSince::Searched)
            why << tr("换过端口：面板中的值不是从这个端口上的模块读取的。");
        else
            why << tr("还没有读取过模块。");
        break;
    case Reading::Running:
    case Reading::Unfinished:
        why << tr("上次读取没有完成：面板中可能还有之前的值。");
        break;
    case Reading::Cleared:
        why << tr("面板清除之后还没有读取过模块。");
        break;
    case Reading::Complete: {
        QStringList unanswered;
        for (int step = 1; step <= UpdateSteps; ++step) {
            if (!m_answered.contains(step))
                unanswered << SettingName(step, m_panel);
        }
        if (!unanswered.isEmpty())
            why << tr("模块没有回答：%1。").arg(unanswered.join(tr("、")));
        break;
    }
    }
    if (!m_file.isEmpty())
        why << tr("面板中的值载入自文件 %1。").arg(m_file);
    if (!m_bound.isEmpty())
        why << tr("已绑定到 %1：主从角色、连接模式和绑定地址已改。").arg(m_bound);
    return why;
}
