// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandengine.h"

#include "firmware.h"
#include "query.h"
#include "seams.h"
#include "serial/seriallink.h"
#include "settingcheck.h"
#include "update.h"

#include <algorithm>

CommandEngine::CommandEngine(EngineState &state,
                             SerialLink &port,
                             ConsoleSink &console,
                             SettingsFields &fields,
                             WarningBox &warning)
    : m_state(state)
    , m_port(port)
    , m_console(console)
    , m_fields(fields)
    , m_warning(&warning)
{ }

void CommandEngine::SetMode(const QString &mode)
{
    m_state.WorkMode = mode;
    if (m_modeWatcher)
        m_modeWatcher();
}

void CommandEngine::StartQuery()
{
    m_state.ModuleVersion.clear(); // read again at step 2
    Start(ModeSearching);
}

void CommandEngine::StartUpdate(const QSet<int> &skipped)
{
    m_state.UpdateSkipped = skipped;
    Start(ModeUpdating);
}

void CommandEngine::Start(const QString &mode)
{
    m_state.AwaitingReply = false;
    m_state.StepIndex = 1;
    SetMode(mode);
    DiscardReceived();
}

void CommandEngine::DiscardReceived()
{
    m_state.ReplyBuffer.Discard();
    m_state.LastChunk.clear();
}

bool CommandEngine::SendManual(const QByteArray &bytes)
{
    if (!m_port.IsOpen()) {
        ShowPortError();
        return false;
    }
    // The mode first: what follows it (a search for the rate gives the rate back) does so
    // before the command goes out. An empty box sends nothing but still counts.
    m_state.AwaitingReply = false;
    SetMode(ModeManual);
    if (bytes.isEmpty())
        return false;
    // Shown as text: hex entry that is not UTF-8 reads as U+FFFD, as received bytes do.
    m_console.AppendToConsole(QString::fromUtf8(bytes), QColor(ColourQuery), bytes);
    m_port.WriteBytes(bytes);
    return true;
}

void CommandEngine::OnTick()
{
    // A module of another family is paced by that family's table, beside the engine.
    if (m_state.AwaitingReply || m_state.Family)
        return;
    const FirmwareForms &forms = FormsFor(m_state.ModuleVersion);
    if (m_state.WorkMode == ModeSearching)
        SendStep(QueryLine(m_state.StepIndex, forms), QColor(ColourQuery));
    else if (m_state.WorkMode == ModeUpdating) {
        while (m_state.UpdateSkipped.contains(m_state.StepIndex)) {
            if (m_state.StepIndex == UpdateSteps)
                return Advance(UpdateSteps); // the last passed over: the update is done
            ++m_state.StepIndex;
        }
        SendUpdateStep(UpdateLine(m_state.StepIndex, m_fields, forms));
    }
}

void CommandEngine::SendUpdateStep(const QString &line)
{
    // The panel's boxes refuse control characters; should one have come through all the
    // same, the module would read the rest of the value as a command of its own.
    if (IsOneLine(line)) {
        SendStep(line, QColor(ColourUpdate));
        return;
    }
    const QString setting = SettingName(m_state.StepIndex, m_fields);
    Stop();
    m_warning->Show(WarningTitle(),
                    QCoreApplication::translate("CommandEngine",
                                                "%1的值含有换行或 NUL，更新已在写入它之前停止！")
                        .arg(setting));
}

void CommandEngine::SendStep(const QString &line, QColor colour)
{
    if (m_port.IsOpen()) {
        SendLine(line, colour);
        m_state.AwaitingReply = true;
        return;
    }
    AbandonSequence();
}

void CommandEngine::AbandonSequence()
{
    // Idle before the box opens, so ticks during the box find nothing to send.
    Stop();
    ShowPortError();
}

void CommandEngine::OnPortLost()
{
    // The number of the port that was open: a search that ran past 16 has reset
    // LastPortTried while port 16 stayed open.
    m_state.LastPortTried = qint16(std::max(0, m_port.PortNumber() - 1));
    m_state.ModuleVersion.clear(); // another module may come back on it
    m_state.Family = nullptr;
    m_state.FamilyVersion.clear();
    DiscardReceived();
    if (SequenceRunning(m_state))
        AbandonSequence();
}

void CommandEngine::Stop()
{
    m_state.AwaitingReply = false;
    SetMode(ModeIdle);
}

void CommandEngine::StopSequence()
{
    if (SequenceRunning(m_state))
        Stop();
}

void CommandEngine::OnReceive()
{
    if (m_port.LastEvent() != CommEvent::Receive)
        return;
    QString chunk = m_port.Read();
    const QByteArray bytes = m_port.LastRead();
    if (chunk.isEmpty()) {
        // Only part of a character has arrived so far: the console keeps its bytes.
        if (!bytes.isEmpty())
            m_console.AppendToConsole(chunk, QColor(ColourReceived), bytes);
        return;
    }
    // A chunk of carriage returns only still runs the completion test below: a complete
    // reply may already be waiting in the buffer.
    chunk.remove(QLatin1Char('\r'));
    m_state.LastChunk = chunk;
    if (!chunk.isEmpty() || !bytes.isEmpty())
        m_console.AppendToConsole(chunk, QColor(ColourReceived), bytes);
    // Until a sequence's first command has gone out, nothing received can be its answer.
    const bool beforeFirstCommand
        = SequenceRunning(m_state) && m_state.StepIndex == 1 && !m_state.AwaitingReply;
    if (beforeFirstCommand)
        return;
    m_state.ReplyBuffer.Append(chunk);
    if (m_state.Family)
        return; // its answers carry no line end: the family's sequence times them
    const qsizetype from = m_state.ReplyBuffer.ConsumeNew();

    if (m_state.WorkMode == ModeSearching) {
        if (!QueryReplyComplete(m_state.ReplyBuffer, from))
            return;
        if (m_state.StepIndex == VersionStep)
            m_state.ModuleVersion = VersionIn(m_state.ReplyBuffer.Text());
        ConsumeQueryReply(m_state.ReplyBuffer, m_fields);
        Advance(QuerySteps);
    } else if (m_state.WorkMode == ModeUpdating) {
        if (!UpdateReplyComplete(m_state.ReplyBuffer, from))
            return;
        Advance(UpdateSteps);
    }
}

void CommandEngine::Advance(int lastStep)
{
    if (m_state.StepIndex == lastStep) {
        // The flag stays set while idle; the next start action clears it.
        m_state.AwaitingReply = true;
        SetMode(ModeIdle);
        return;
    }
    m_state.AwaitingReply = false;
    ++m_state.StepIndex;
}

void CommandEngine::SendLine(const QString &line, QColor colour)
{
    m_console.AppendToConsole(line, colour, line.toUtf8());
    m_port.Write(line);
}

void CommandEngine::ShowPortError()
{
    // With no port tried yet, nothing failed to open: the operator is told where to begin.
    m_warning->Show(
        WarningTitle(),
        m_port.PortNumber() == 0
            ? QCoreApplication::translate("CommandEngine", "还没有打开端口，请先点击搜索端口。")
            : QCoreApplication::translate("CommandEngine", "端口打开错误，请搜索端口后重试！"));
}
