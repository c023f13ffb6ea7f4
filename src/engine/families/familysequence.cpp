// SPDX-License-Identifier: GPL-3.0-or-later
#include "familysequence.h"

#include "common/notice.h"
#include "engine/commandengine.h"
#include "engine/guardedcommands.h"
#include "engine/query.h"
#include "engine/seams.h"
#include "engine/stepwatch.h"
#include "engine/update.h"
#include "engine/updateguard.h"
#include "serial/portsearch.h"
#include "serial/seriallink.h"

namespace {

// The setting's value in the panel as the family writes it: the rate without the stop
// bits and parity this tool's own family keeps beside it.
QString PanelValue(const FamilySetting &row, const SettingsFields &fields)
{
    const QString value = SettingValue(row.step, fields).trimmed();
    return row.value == FamilyValue::Rate ? value.section(QLatin1Char(','), 0, 0) : value;
}

} // namespace

FamilySequence::FamilySequence(EngineState &state,
                               SerialLink &port,
                               CommandEngine &engine,
                               SettingsFields &fields,
                               Notice &notice,
                               ConfirmBox &confirm,
                               std::function<qint64()> clock)
    : m_state(state)
    , m_port(port)
    , m_engine(engine)
    , m_fields(fields)
    , m_notice(notice)
    , m_confirm(&confirm)
    , m_clock(std::move(clock))
{
    m_followTimer.setSingleShot(true);
    m_followTimer.setInterval(200);
    QObject::connect(&m_followTimer, &QTimer::timeout, &m_followTimer, [this] {
        if (m_port.IsOpen())
            FollowRate(std::exchange(m_followRate, 0));
    });
}

void FamilySequence::SentByHand(const QByteArray &bytes)
{
    m_followTimer.stop();
    int rate = RateAfterCommand(bytes, m_state.Family, &m_pendingRate);
    const CommandFamily *family = m_state.Family;
    if (!rate && family && family->restart && m_pendingRate
        && bytes.trimmed().toUpper() == QByteArray(family->restart))
        rate = std::exchange(m_pendingRate, 0);
    m_followRate = rate;
    m_followMark = m_state.ReplyBuffer.Appended();
}

bool FamilySequence::StartUpdate()
{
    const CommandFamily *family = m_state.Family;
    if (!family)
        return false;
    m_engine.StopSequence();
    QList<Step> plan;
    QStringList problems;
    QStringList listing;
    const Step *rateStep = nullptr;
    for (const FamilySetting &row : family->settings) {
        if (!row.set)
            continue;
        const QString value = PanelValue(row, m_fields);
        if (value.isEmpty())
            continue; // not filled: not written
        if (value == Known(row))
            continue; // the module holds it already
        const QString caption = UpdateCaption(row.step, m_fields);
        QString problem = FamilyValueProblem(*family, row, value, m_state.FamilyVersion);
        if (problem.isEmpty() && row.value == FamilyValue::Rate && m_accepts
            && !m_accepts(value.toInt()))
            problem = tr("适配器不能设为 %1 波特，写入后就无法再与模块通信").arg(value);
        if (!problem.isEmpty()) {
            problems << caption + QLatin1Char(' ') + problem;
            continue;
        }
        listing << caption + QLatin1Char(' ') + ShownValue(row.step, value, m_fields);
        plan.append({ Kind::Write, &row, FamilySetLine(*family, row, value), value });
        if (row.value == FamilyValue::Rate)
            rateStep = &plan.last();
    }
    if (!problems.isEmpty()) {
        m_confirm->Refuse(tr("以下设置模块不能接受，改正之后才能写入：") + QLatin1Char('\n')
                              + problems.join(QLatin1Char('\n')),
                          listing.join(QLatin1Char('\n')));
        return false;
    }
    if (plan.isEmpty()) {
        m_notice.Show({ NoticeTitle(),
                        tr("没有要写入的设置：面板中填写的值与模块的回答相同，或者没有填写。"),
                        QString(),
                        QString(),
                        {},
                        NoticeTone::News,
                        true });
        return false;
    }
    // The rate last: after it the module may answer only at the new rate.
    if (rateStep) {
        const Step rate = *rateStep;
        plan.removeIf([](const Step &step) { return step.setting->value == FamilyValue::Rate; });
        plan.append(rate);
    }
    m_nextPlan = plan;
    m_engine.StartUpdate();
    return true;
}

void FamilySequence::Restart()
{
    const CommandFamily *family = m_state.Family;
    if (!family || !family->restart || !m_port.IsOpen())
        return;
    m_nextPlan = { { Kind::Restart, nullptr, QString::fromLatin1(family->restart), QString() } };
    m_engine.StartUpdate();
}

void FamilySequence::Follow()
{
    if (m_followRate && m_state.ReplyBuffer.Appended() > m_followMark && !m_followTimer.isActive())
        m_followTimer.start();
    if (!m_state.Family || !SequenceRunning(m_state)) {
        m_running = false;
        return;
    }
    const qint64 now = m_clock();
    // A start button leaves step 1 unsent; nothing else does.
    const bool fresh = !m_running || m_plan.isEmpty() || m_planMode != m_state.WorkMode;
    if (m_state.StepIndex == 1 && !m_state.AwaitingReply && fresh)
        Begin();
    if (!m_running)
        return;
    const ReplyStore &buffer = m_state.ReplyBuffer;
    if (buffer.Appended() != m_seen) {
        m_seen = buffer.Appended();
        m_lastByteAt = now;
    }
    if (!m_state.AwaitingReply) {
        if (now >= m_nextAt)
            SendNext(now);
        return;
    }
    const QString answer = WithoutLinkNotices(buffer.Since(m_mark));
    const bool whole = answer.contains(u'\n')
        || (!answer.trimmed().isEmpty() && now - m_lastByteAt >= m_state.Family->answerQuietMs);
    if (whole)
        Answered(answer.trimmed(), now);
    else if (now - m_sentAt >= m_state.Family->patienceMs)
        Unanswered();
}

void FamilySequence::Begin()
{
    m_running = true;
    m_planMode = m_state.WorkMode;
    m_refused.clear();
    m_readAgain = false;
    if (m_state.WorkMode == ModeUpdating) {
        m_plan = std::exchange(m_nextPlan, {});
        if (m_plan.value(0).kind != Kind::Restart)
            m_lastWrites.clear();
        if (m_plan.isEmpty()) { // started from elsewhere than StartUpdate: nothing checked
            m_engine.Stop();
            m_running = false;
        }
        return;
    }
    m_nextPlan.clear();
    m_plan.clear();
    for (const FamilySetting &row : m_state.Family->settings) {
        if (row.query)
            m_plan.append({ Kind::Read, &row, QString::fromLatin1(row.query), QString() });
    }
    m_read.clear();
    m_nextAt = 0;
}

void FamilySequence::SendNext(qint64 now)
{
    const int index = m_state.StepIndex - 1;
    if (index >= m_plan.size()) {
        Finish();
        return;
    }
    if (!m_port.IsOpen()) {
        m_engine.Stop();
        m_engine.ShowPortError();
        return;
    }
    const Step &step = m_plan.at(index);
    m_mark = m_state.ReplyBuffer.Appended();
    m_sentAt = now;
    // One write: a family that ends a command by a pause must get it whole.
    m_engine.SendLine(step.line + QLatin1String(m_state.Family->lineEnd),
                      QColor(step.kind == Kind::Read ? ColourQuery : ColourUpdate));
    m_state.AwaitingReply = true;
}

QString FamilySequence::Known(const FamilySetting &row) const
{
    // What it answered, else what this tool wrote to it, and the rate it answers at.
    if (row.query)
        return m_read.contains(row.step) ? m_read.at(row.step) : QString();
    if (row.value == FamilyValue::Rate)
        return QString::number(m_port.BaudRate());
    return m_written.contains(row.step) ? m_written.at(row.step) : QString();
}

QString FamilySequence::ShownRate(const QString &answer) const
{
    const int rate = answer.size() == 1 ? RateOfDigit(*m_state.Family, answer.at(0)) : 0;
    return rate ? QString::number(rate) : answer;
}

void FamilySequence::Answered(const QString &answer, qint64 now)
{
    const CommandFamily &family = *m_state.Family;
    const Step step = m_plan.at(m_state.StepIndex - 1);
    m_state.ReplyBuffer.Clear();
    switch (step.kind) {
    case Kind::Read: {
        const FamilySetting &row = *step.setting;
        const FamilyAnswer read = ReadFamilyAnswer(row.answers, answer);
        if (!read.found)
            break;
        if (row.step == 0) {
            m_fields.SetText1(row.text1Index, read.value);
            if (row.text1Index == VersionIndex)
                m_state.FamilyVersion = read.value;
            break;
        }
        const QString value = row.value == FamilyValue::Rate ? ShownRate(read.value) : read.value;
        m_read[row.step] = value;
        SetSettingValue(row.step, value, m_fields);
        break;
    }
    case Kind::Write: {
        const FamilySetting &row = *step.setting;
        const FamilyAnswer taken = ReadFamilyAnswer(row.taken, answer);
        // The pause family answers a rate with the rate itself.
        const bool took = taken.found
            && (row.value != FamilyValue::Rate || !family.rateAtOnce || taken.value == step.value);
        if (!took) {
            m_refused << tr("%1写入 %2，模块回答“%3”")
                             .arg(UpdateCaption(row.step, m_fields), step.value, QuoteLine(answer));
            break;
        }
        m_written[row.step] = step.value;
        m_lastWrites[row.step] = step.value;
        if (row.afterRestart)
            m_restartDue = true;
        if (row.value == FamilyValue::Rate) {
            if (family.rateAtOnce)
                FollowRate(step.value.toInt());
            else
                m_pendingRate = step.value.toInt();
        }
        break;
    }
    case Kind::Restart:
        if (!answer.startsWith(QLatin1String(family.restarted)))
            m_refused << tr("重新启动：模块回答“%1”").arg(QuoteLine(answer));
        m_restartDue = false;
        if (m_pendingRate)
            FollowRate(std::exchange(m_pendingRate, 0));
        m_readAgain = true;
        break;
    }
    m_state.AwaitingReply = false;
    ++m_state.StepIndex;
    m_nextAt = now + family.gapMs;
    // A module that restarts takes a moment before it listens again.
    if (step.kind == Kind::Restart)
        m_nextAt = now + 1000;
}

void FamilySequence::FollowRate(int rate)
{
    m_port.SetLine(LineSettings(QString::number(rate)));
    if (m_showRate)
        m_showRate(rate);
}

void FamilySequence::Unanswered()
{
    const Step step = m_plan.at(m_state.StepIndex - 1);
    m_engine.Stop();
    m_running = false;
    m_readingBack = false;
    NoticeContent content { NoticeTitle(),
                            tr("模块没有回答“%1”。").arg(step.line),
                            CheckList(m_port.BaudRate()),
                            QString(),
                            {} };
    m_notice.Show(content);
}

void FamilySequence::FillUnreadable()
{
    // What the family cannot read back is what this tool wrote to it, or nothing; its rate
    // is the one it answers at.
    for (const FamilySetting &row : m_state.Family->settings) {
        if (row.query || !row.set)
            continue;
        if (row.value == FamilyValue::Rate)
            SetSettingValue(row.step, QString::number(m_port.BaudRate()), m_fields);
        else
            SetSettingValue(row.step,
                            m_written.contains(row.step) ? m_written.at(row.step) : QString(),
                            m_fields);
    }
}

void FamilySequence::Finish()
{
    const bool update = m_state.WorkMode == ModeUpdating;
    const bool readAgain = m_readAgain || (update && m_state.Family->rateAtOnce);
    const bool restartDue = m_restartDue;
    m_running = false;
    m_plan.clear();
    m_engine.Stop();
    if (!update) {
        FillUnreadable();
        if (!std::exchange(m_readingBack, false)) {
            m_notice.Show({ NoticeTitle(),
                            tr("已读取%1的模块。").arg(tr(m_state.Family->kind)),
                            QString(),
                            QString(),
                            {},
                            NoticeTone::News,
                            true });
            return;
        }
        // What a module that reads back did not keep.
        QStringList notKept;
        for (const auto &[step, value] : m_lastWrites) {
            if (m_read.contains(step) && m_read.at(step) != value)
                notKept << tr("%1（写入 %2，模块回答 %3）")
                               .arg(SettingName(step, m_fields), value, m_read.at(step));
        }
        m_notice.Show(
            notKept.isEmpty()
                ? NoticeContent { NoticeTitle(),
                                  tr("已写入，并以 %1 波特重新读取了模块。").arg(m_port.BaudRate()),
                                  QString(),
                                  QString(),
                                  {},
                                  NoticeTone::News,
                                  true }
                : NoticeContent { NoticeTitle(),
                                  tr("重新读取时模块没有保留：") + QLatin1Char('\n')
                                      + notKept.join(QLatin1Char('\n')),
                                  QString(),
                                  QString(),
                                  {} });
        return;
    }
    if (!m_refused.isEmpty()) {
        NoticeContent content;
        content.title = NoticeTitle();
        content.text
            = tr("模块没有接受以下设置：") + QLatin1Char('\n') + m_refused.join(QLatin1Char('\n'));
        m_notice.Show(content);
        return;
    }
    if (restartDue) {
        NoticeContent content { NoticeTitle(),
                                tr("已写入。名称、角色和波特率在模块重新启动之后才生效。"),
                                tr("重新启动时发送“%1”；之后本工具以新的波特率重新读取模块。")
                                    .arg(QString::fromLatin1(m_state.Family->restart)),
                                tr("重新启动模块"),
                                [this] { Restart(); },
                                NoticeTone::News };
        m_notice.Show(content);
        return;
    }
    if (readAgain) {
        // Read back at the rate it now answers at.
        m_readingBack = true;
        m_engine.StartQuery();
        return;
    }
    m_notice.Show(
        { NoticeTitle(), tr("已写入。"), QString(), QString(), {}, NoticeTone::News, true });
}
