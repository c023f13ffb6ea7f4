// SPDX-License-Identifier: GPL-3.0-or-later
#include "sequencerunner.h"

#include "commandengine.h"
#include "common/notice.h"
#include "common/warningbox.h"
#include "pairingstate.h"
#include "refusalcodes.h"
#include "serial/seriallink.h"
#include "stepwatch.h"

#include <QRegularExpression>

SequenceRunner::SequenceRunner(EngineState &state,
                               SerialLink &port,
                               CommandEngine &engine,
                               Notice &notice,
                               std::function<qint64()> clock)
    : m_state(state)
    , m_port(port)
    , m_engine(engine)
    , m_notice(notice)
    , m_clock(std::move(clock))
{
    m_timer.setInterval(TickMs);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Follow(); });
}

bool SequenceRunner::Start(const QString &name, const QList<SequenceStep> &steps)
{
    if (Running() || SequenceRunning(m_state) || !m_port.IsOpen() || steps.isEmpty())
        return false;
    m_name = name;
    m_steps = steps;
    m_portNumber = m_port.PortNumber();
    m_heard.clear();
    m_lastSent.clear();
    // A value that is not known now fails the sequence before its first command goes out.
    for (m_index = 0; m_index < steps.size(); ++m_index) {
        QString missing;
        Value(steps.at(m_index), &missing);
        if (!missing.isEmpty()) {
            Fail(tr("%1 还不知道：先读取模块，或记住对方的地址").arg(missing));
            return true;
        }
    }
    m_index = 0;
    m_timer.start();
    Begin(m_clock());
    return true;
}

QString SequenceRunner::Value(const SequenceStep &step, QString *missing) const
{
    // A pattern's braces are its own.
    if (!step.pattern.pattern().isEmpty())
        return step.text;
    return WithValues(step.text, m_address ? m_address() : QString(), m_bind ? m_bind() : QString(),
                      missing);
}

QString SequenceRunner::StepText(const SequenceStep &step) const
{
    switch (step.kind) {
    case SequenceStep::Kind::Send:
        return QStringLiteral("send ") + step.text;
    case SequenceStep::Kind::Expect:
        return (step.optional ? QStringLiteral("maybe ") : QStringLiteral("expect "))
            + (step.pattern.pattern().isEmpty() ? step.text : u'/' + step.pattern.pattern() + u'/');
    case SequenceStep::Kind::Wait:
        return QStringLiteral("wait %1").arg(step.ms);
    }
    return QString();
}

void SequenceRunner::Begin(qint64 now)
{
    // Steps that take no time follow at once; one that waits returns to the timer.
    for (; m_index < m_steps.size(); ++m_index) {
        const SequenceStep &step = m_steps.at(m_index);
        m_began = now;
        m_mark = m_state.ReplyBuffer.Appended();
        if (m_progress)
            m_progress(tr("序列 %1：第 %2 步，共 %3 步 · %4")
                           .arg(m_name, QString::number(m_index + 1),
                                QString::number(m_steps.size()), StepText(step)));
        if (step.kind != SequenceStep::Kind::Send)
            return;
        QString missing;
        const QString text = Value(step, &missing);
        if (!missing.isEmpty())
            return Fail(tr("%1 还不知道：先读取模块，或记住对方的地址").arg(missing));
        QByteArray bytes = text.toUtf8();
        if (!step.exact && m_lineEnding)
            bytes += m_lineEnding();
        // What came before the command is no answer to it.
        m_mark = m_state.ReplyBuffer.Appended();
        if (!m_engine.SendManual(bytes))
            return Fail(tr("没有发出"));
        m_lastSent = text;
        if (m_sent)
            m_sent(bytes);
    }
    QString done = tr("序列 %1 已完成（%2 步）。").arg(m_name, QString::number(m_steps.size()));
    if (const QString findings = PairingFindings(m_heard); !findings.isEmpty())
        done = tr("%1%2", "the sequence done, then what the module said of its pairing")
                   .arg(done, findings);
    End(done, true);
}

void SequenceRunner::Follow()
{
    if (!Running())
        return;
    if (!m_port.IsOpen() || m_port.PortNumber() != m_portNumber)
        return Fail(tr("端口已断开"));
    if (SequenceRunning(m_state))
        return End(tr("序列 %1 在第 %2 步停止：读取或更新模块开始了。")
                       .arg(m_name, QString::number(m_index + 1)),
                   false);
    const qint64 now = m_clock();
    const SequenceStep &step = m_steps.at(m_index);
    const qint64 spent = now - m_began;
    if (step.kind == SequenceStep::Kind::Wait) {
        if (spent >= step.ms)
            ++m_index, Begin(now);
        return;
    }
    const QString since = m_state.ReplyBuffer.Since(m_mark).toString();
    QString missing;
    const bool arrived = step.pattern.pattern().isEmpty() ? since.contains(Value(step, &missing))
                                                          : step.pattern.match(since).hasMatch();
    if (arrived) {
        m_heard += since;
        return ++m_index, Begin(now);
    }
    if (step.optional && spent >= step.ms)
        return ++m_index, Begin(now);
    // A refusal is the answer: waiting on would only delay the notice.
    static const QRegularExpression Refusal(QStringLiteral("(?m)^(ERROR|FAIL)[^\n]*\n"));
    const bool refused = Refusal.match(since).hasMatch();
    if (refused || spent >= step.ms) {
        // Its lines one after another: a notice quotes one line.
        const QString came = since.trimmed().replace(u'\r', QString()).replace(u'\n', u' ');
        QString why = came.isEmpty() ? tr("%1 毫秒内什么也没有收到").arg(step.ms)
                                     : tr("收到的是“%1”").arg(QuoteLine(came));
        if (const QString meaning = RefusalMeaning(came); !meaning.isEmpty())
            why += tr("（%1：%2）").arg(RefusalCode(came).toString(), meaning);
        else if (const QString failure = PairingFailure(m_lastSent, came); !failure.isEmpty())
            why += tr("（%1）").arg(failure);
        Fail(why);
    }
}

void SequenceRunner::Fail(const QString &why)
{
    End(tr("序列 %1 的第 %2 步“%3”没有完成：%4")
            .arg(m_name, QString::number(m_index + 1), StepText(m_steps.at(m_index)), why),
        false);
}

void SequenceRunner::End(const QString &text, bool done)
{
    m_timer.stop();
    m_index = -1;
    m_endedDone = done;
    NoticeContent content { NoticeTitle(), text, QString(), QString(), {} };
    content.tone = done ? NoticeTone::News : NoticeTone::Trouble;
    m_notice.Show(content);
    if (m_progress)
        m_progress(text);
}

void SequenceRunner::Stop()
{
    if (Running())
        End(tr("序列 %1 在第 %2 步被停止。").arg(m_name, QString::number(m_index + 1)), false);
}
