// SPDX-License-Identifier: GPL-3.0-or-later
#include "batchrun.h"

#include "commandengine.h"
#include "firmware.h"
#include "query.h"
#include "seams.h"
#include "serial/seriallink.h"
#include "settingcheck.h"
#include "update.h"

namespace {

// The settings whose profile value is a template for each module.
constexpr int NameStep = 1;
constexpr int PinStep = 4;

} // namespace

BatchRun::BatchRun(EngineState &state,
                   SerialLink &port,
                   CommandEngine &engine,
                   SettingsFields &fields)
    : m_state(state)
    , m_port(port)
    , m_engine(engine)
    , m_fields(fields)
{ }

void BatchRun::Start(std::map<int, QString> profile,
                     int counter,
                     std::unique_ptr<BatchRecord> record)
{
    m_profile = std::move(profile);
    m_counter = counter;
    m_passed = m_done = 0;
    m_record = std::move(record);
    m_phase = Phase::Waiting;
}

void BatchRun::Next()
{
    if (!Running() || Busy() || !m_port.IsOpen())
        return;
    m_entry = BatchEntry();
    m_entry.time = QDateTime::currentDateTime();
    m_entry.port = QString::number(m_port.PortNumber());
    m_entry.device = m_device ? m_device() : m_port.Device();
    m_written.clear();
    m_name.clear();
    Read();
}

void BatchRun::Read()
{
    m_phase = Phase::Reading;
    m_started = false;
    m_engine.StartQuery();
    m_started = true;
}

bool BatchRun::Completed(int lastStep) const
{
    // The engine leaves the last step awaited once it is answered.
    return m_state.WorkMode == ModeIdle && m_state.StepIndex == lastStep && m_state.AwaitingReply;
}

void BatchRun::Follow()
{
    if (!Running() || !Busy() || !m_started || SequenceRunning(m_state))
        return;
    m_started = false;
    switch (m_phase) {
    case Phase::Waiting:
        break;
    case Phase::Reading:
        if (!Completed(QuerySteps))
            return Finish(BatchEntry::Result::Failed, { tr("没有读到模块的全部设置") });
        for (int step = 1; step <= UpdateSteps; ++step)
            m_entry.before[std::size_t(step - 1)] = SettingValue(step, m_fields);
        m_entry.address = m_fields.Text1(AddressIndex);
        m_entry.firmware = m_state.ModuleVersion;
        m_entry.family = m_family ? m_family() : QString();
        if (m_record->Seen(m_entry.address) && !(m_askRepeat && m_askRepeat(m_entry.address)))
            return Finish(BatchEntry::Result::Repeated, { tr("该模块已在本批中配置过") });
        return Write();
    case Phase::Writing:
        if (!Completed(UpdateSteps))
            return Finish(BatchEntry::Result::HalfWritten, { tr("写入没有完成") });
        m_phase = Phase::ReadingBack;
        m_engine.StartQuery();
        m_started = true;
        return;
    case Phase::ReadingBack:
        return Judge();
    }
}

void BatchRun::Write()
{
    QSet<int> skipped;
    for (int step = 1; step <= UpdateSteps; ++step) {
        const auto held = m_profile.find(step);
        if (held == m_profile.end()) {
            skipped << step;
            continue;
        }
        QString value = held->second;
        if (step == NameStep || step == PinStep) {
            const ExpandedValue expanded = ExpandTemplate(value, m_counter, m_entry.address);
            if (!expanded.error.isEmpty())
                return Finish(BatchEntry::Result::Failed, { expanded.error });
            value = expanded.value;
        }
        // What the module's firmware would refuse is never sent, as for the operator's update.
        QString problem = ValueProblem(step, value, FormsFor(m_state.ModuleVersion));
        if (problem.isEmpty() && !SetSettingValue(step, value, m_fields))
            problem = tr("不能填入面板");
        if (!problem.isEmpty())
            problem = tr("%1：%2").arg(SettingName(step, m_fields), problem);
        if (!problem.isEmpty())
            return Finish(BatchEntry::Result::Failed, { problem });
        m_written[step] = value;
    }
    m_name = m_written.contains(NameStep) ? m_written.at(NameStep) : m_fields.Text1(0);
    m_phase = Phase::Writing;
    m_started = false;
    m_engine.StartUpdate(skipped);
    m_started = true;
}

void BatchRun::Judge()
{
    QStringList differences;
    for (int step = 1; step <= UpdateSteps; ++step)
        m_entry.after[std::size_t(step - 1)] = SettingValue(step, m_fields);
    if (!Completed(QuerySteps))
        return Finish(BatchEntry::Result::Failed, { tr("写入之后没有读回全部设置") });
    for (const auto &[step, value] : m_written) {
        if (ReadBackForm(step, value) != ReadBackForm(step, SettingValue(step, m_fields)))
            differences << tr("%1未保留").arg(SettingName(step, m_fields));
    }
    Finish(differences.isEmpty() ? BatchEntry::Result::Passed : BatchEntry::Result::Failed,
           differences);
}

void BatchRun::Finish(BatchEntry::Result result, const QStringList &differences)
{
    m_phase = Phase::Waiting;
    m_started = false;
    m_entry.result = result;
    m_entry.differences = differences;
    QString error;
    // On disk before the verdict shows: a crash after it loses no module.
    if (!m_record->Write(m_entry, &error)) {
        m_entry.result = BatchEntry::Result::Failed;
        m_entry.differences = QStringList { tr("记录没有写入：%1").arg(error) };
    }
    const bool passed = m_entry.result == BatchEntry::Result::Passed;
    ++m_done;
    if (passed)
        ++m_passed, ++m_counter;
    if (m_showVerdict)
        m_showVerdict(BatchVerdict(m_entry, m_name), passed);
}

void BatchRun::Stop()
{
    if (!Running())
        return;
    const Phase phase = m_phase;
    m_started = false;
    if (Busy())
        m_engine.StopSequence();
    // A module the update reached may hold part of the profile: the record says so.
    if (phase == Phase::Writing || phase == Phase::ReadingBack)
        Finish(BatchEntry::Result::HalfWritten,
               { phase == Phase::Writing ? tr("写入中途停止") : tr("读回之前停止") });
    m_phase = Phase::Waiting;
    m_record.reset();
}
