// SPDX-License-Identifier: GPL-3.0-or-later
#include "stepwatch.h"

#include "firmware.h"
#include "query.h"
#include "refusalcodes.h"
#include "seams.h"
#include "serial/seriallink.h"
#include "update.h"

#include <algorithm>
#include <array>

namespace {

// The operator's check list, one item a line; the last names the rate in use (%1) and the
// common command-mode (%2) and data-mode (%3) rates. The third is the command mode.
const std::array<const char *, 4> CheckItems = {
    QT_TRANSLATE_NOOP("StepWatch", "模块是否已通电；"),
    QT_TRANSLATE_NOOP("StepWatch",
                      "TX 与 RX 是否交叉相接：适配器的 TX 接模块的 RX，适配器的 RX 接模块的 TX；"),
    QT_TRANSLATE_NOOP("StepWatch",
                      "模块是否处于命令模式：多数模块要在上电时按住按键，或把 KEY 引脚接高电平；"),
    QT_TRANSLATE_NOOP("StepWatch",
                      "波特率：当前为 %1；命令模式常用 %2，数据模式常用 %3 或设置过的波特率。"),
};

constexpr std::size_t CommandModeItem = 2;
constexpr qsizetype QuoteLength = 40;

bool IsNotText(QChar c)
{
    const char16_t u = c.unicode();
    return u == QChar::ReplacementCharacter || (u < 0x20 && u != u'\n' && u != u'\t')
        || (u >= 0x7F && u <= 0x9F);
}

// What came back since a command whose reply is still not complete.
enum class Unanswered {
    Nothing, // not a byte
    NotText, // mostly bytes that do not read as text: what a wrong rate looks like
    OtherText, // text, but without the end the step waits for
};

struct UnansweredReply
{
    Unanswered kind;
    QString lastLine; // of other text: its last line that holds anything, trimmed
    // Of other text: it holds the "OK" a query step waits for, but no line break before
    // it, nor any at all: the module ends no line.
    bool noLineEnds = false;
};

// The line of `text` that holds position `pos`, trimmed.
QStringView LineAt(QStringView text, qsizetype pos)
{
    const qsizetype start = text.lastIndexOf(u'\n', pos) + 1;
    qsizetype end = text.indexOf(u'\n', pos);
    if (end < 0)
        end = text.size();
    return text.mid(start, end - start).trimmed();
}

UnansweredReply JudgeUnanswered(QStringView received)
{
    if (received.isEmpty())
        return { Unanswered::Nothing, QString() };
    qsizetype visible = 0;
    qsizetype notText = 0;
    for (QChar c : received) {
        if (IsNotText(c))
            ++notText;
        if (!c.isSpace())
            ++visible;
    }
    // A stray byte beside the text (noise at power-up) still leaves it text.
    if (notText > 0 && notText * 4 >= visible)
        return { Unanswered::NotText, QString() };
    QStringView last;
    for (QStringView line : received.split(u'\n')) {
        if (!line.trimmed().isEmpty())
            last = line.trimmed();
    }
    // An update's step would have ended at its "OK"; only a query's can be left so.
    const bool noLineEnds = received.contains(u"OK") && !received.contains(u'\n');
    return { Unanswered::OtherText, last.toString(), noLineEnds };
}

// Item i of the check list as it reads there, its number in front.
QString CheckItem(std::size_t i, int rate)
{
    QString item = StepWatch::tr(CheckItems[i]);
    if (i + 1 == CheckItems.size())
        item = item.arg(QString::number(rate), QString::number(CommandModeRate),
                        QString::number(DataModeRate));
    return QStringLiteral("%1. %2").arg(QString::number(i + 1), item);
}

} // namespace

QString QuoteLine(QStringView line)
{
    QString quoted;
    quoted.reserve(std::min(line.size(), QuoteLength));
    for (QChar c : line.left(QuoteLength)) {
        const bool prints = c.isSurrogate() || (c.isPrint() && !IsNotText(c));
        quoted += prints ? c : QChar(QChar::ReplacementCharacter);
    }
    if (line.size() > QuoteLength) {
        quoted.chop(1);
        if (quoted.back().isHighSurrogate())
            quoted.chop(1);
        quoted += QChar(0x2026); // …
    }
    return quoted;
}

bool ReadsAsText(QStringView text)
{
    return JudgeUnanswered(text).kind == Unanswered::OtherText;
}

QString FindRateAction()
{
    return StepWatch::tr("查找波特率");
}

QString CheckList(int rate)
{
    QString list = StepWatch::tr("请检查：");
    for (std::size_t i = 0; i < CheckItems.size(); ++i)
        list += QLatin1Char('\n') + CheckItem(i, rate);
    return list;
}

StepWatch::StepWatch(const EngineState &state,
                     const SerialLink &port,
                     const SettingsFields &fields,
                     Notice &notice,
                     std::function<void()> findRate)
    : m_state(state)
    , m_port(port)
    , m_fields(fields)
    , m_notice(notice)
    , m_findRate(std::move(findRate))
{ }

void StepWatch::Follow(qint64 now)
{
    // A module of another family: its own sequence says what went unanswered.
    if (m_state.Family) {
        if (m_watching)
            StopWatching();
        return;
    }
    const ReplyStore &buffer = m_state.ReplyBuffer;
    if (m_watching) {
        // A completion empties the buffer, so each one is told by its count.
        if (buffer.Completed() != m_completed) {
            StepCompleted();
        } else if (SequenceRunning(m_state) && m_state.AwaitingReply && m_state.WorkMode == m_mode
                   && m_state.StepIndex == m_step) {
            if (!m_noticeShown && now - m_sentAt >= PatienceMs)
                ShowUnanswered();
            return;
        } else {
            StopWatching(); // restarted, abandoned or stopped
        }
    }
    // A query or update step is awaited only once its command has gone out.
    if (SequenceRunning(m_state) && m_state.AwaitingReply)
        StartWatching(now);
}

void StepWatch::StartWatching(qint64 now)
{
    m_watching = true;
    m_mode = m_state.WorkMode;
    m_step = m_state.StepIndex;
    const FirmwareForms &forms = FormsFor(m_state.ModuleVersion);
    m_command
        = m_mode == ModeSearching ? QueryLine(m_step, forms) : UpdateLine(m_step, m_fields, forms);
    m_command.chop(2); // CR LF
    m_sentAt = now;
    m_mark = m_state.ReplyBuffer.Appended();
    m_completed = m_state.ReplyBuffer.Completed();
    m_noticeShown = false;
    // A new sequence, or something else meanwhile: what the last one did is no longer news.
    if (m_mode != m_sequenceMode || m_step <= m_lastStep) {
        m_sequenceMode = m_mode;
        m_attentionRate = 0;
        m_refused.clear();
        if (m_done)
            m_done->Close();
    }
    m_lastStep = m_step;
}

void StepWatch::StopWatching()
{
    m_watching = false;
    if (m_noticeShown)
        m_notice.Close();
    m_noticeShown = false;
}

void StepWatch::StepCompleted()
{
    StopWatching();
    if (m_mode == ModeSearching) {
        if (m_step == 1)
            m_attentionRate = m_port.BaudRate();
        if (m_step == QuerySteps)
            ShowDone();
        return;
    }
    // What came since the command, as far as the buffer kept it.
    const ReplyStore &buffer = m_state.ReplyBuffer;
    const QStringView reply = QStringView(buffer.LastReply())
                                  .right(qsizetype(std::min<qint64>(buffer.Appended() - m_mark,
                                                                    buffer.LastReply().size())));
    const qsizetype error = reply.lastIndexOf(u"ERROR");
    if (error >= 0)
        m_refused.append({ m_step, LineAt(reply, error).toString() });
    if (m_step != UpdateSteps)
        return;
    if (m_refused.isEmpty())
        ShowDone();
    else
        ShowRefusals();
}

bool StepWatch::MayBeElsewhere() const
{
    // Nothing answered yet, or only the query's "AT", at this rate: a module that ends
    // commands and replies with line breaks would have answered more. The steps before
    // the watched one were all answered: the engine moves on only then.
    return m_step == 1
        || (m_mode == ModeSearching && m_step == VersionStep
            && m_attentionRate == m_port.BaudRate());
}

NoticeContent StepWatch::Silence(const QString &command) const
{
    const int rate = m_port.BaudRate();
    NoticeContent content {
        NoticeTitle(),
        tr("“%1”发出 %2 秒后，模块没有任何回应。").arg(command, QString::number(PatienceMs / 1000)),
        CheckList(rate), FindRateAction(), m_findRate
    };
    if (m_step == 1)
        return content;
    if (m_mode != ModeSearching || m_attentionRate != rate) {
        content.text += QLatin1Char('\n')
            + tr("模块回答了前面的命令，却不回答这一条：它可能处于只回答少数命令的受限命令模式。");
        return content;
    }
    // The rate is right: finding it again would only lead back here.
    content.text += QLatin1Char('\n')
        + tr("模块回答了前面的命令，却不回答这一条：本次读取中，它在 %1 波特率下对“%2”回答了"
             "“OK”，所以波特率没有问题。")
              .arg(QString::number(rate), QString::fromLatin1(QueryTable[0]));
    content.informative = tr("它多半处于只回答少数命令的受限命令模式，请查看检查项 %1：")
                              .arg(QString::number(CommandModeItem + 1))
        + QLatin1Char('\n') + CheckItem(CommandModeItem, rate);
    content.action.clear();
    content.onAction = nullptr;
    return content;
}

void StepWatch::ShowUnanswered()
{
    m_noticeShown = true;
    const UnansweredReply reply = JudgeUnanswered(m_state.ReplyBuffer.Since(m_mark));
    const int rate = m_port.BaudRate();
    const QString command = QuoteLine(m_command);
    const QString seconds = QString::number(PatienceMs / 1000);
    NoticeContent content { NoticeTitle(), QString(), CheckList(rate), QString(), {} };
    switch (reply.kind) {
    case Unanswered::Nothing:
        content = Silence(command);
        if (m_searchFromSilence && MayBeElsewhere()) {
            // The search gives the step up and shows the notice itself.
            m_noticeShown = false;
            m_watching = false;
            m_searchFromSilence(content);
            return;
        }
        break;
    case Unanswered::NotText:
        content.text = tr("“%1”发出后收到的字节不能读作文字（乱码、控制字符或空字节），"
                          "这多半是波特率不对。当前波特率为 %2。")
                           .arg(command, QString::number(rate));
        content.action = FindRateAction();
        content.onAction = m_findRate;
        break;
    case Unanswered::OtherText:
        if (reply.noLineEnds) {
            content.text = tr("“%1”发出 %2 秒后，这一步等待的“OK”已经到了，却不在一行的开头："
                              "模块的回应不带行结束符。收到的最后一行：\n“%3”")
                               .arg(command, seconds, QuoteLine(reply.lastLine));
            content.informative = tr("回应不带行结束符的模块多半使用另一套命令："
                                     "面板的读取和更新不适用于它。");
            break;
        }
        content.text
            = tr("“%1”发出 %2 秒后，回应中仍没有这一步等待的结尾%3。"
                 "收到的最后一行：\n“%4”")
                  .arg(command, seconds, m_mode == ModeSearching ? tr("“OK”") : tr("“OK”或“ERROR”"),
                       QuoteLine(reply.lastLine));
        if (const QString meaning = RefusalMeaning(reply.lastLine); !meaning.isEmpty())
            content.text += tr("：%1", "after a quoted refusal code: its meaning").arg(meaning);
        content.informative = tr("模块可能要求另一种行结束符（本工具以 CR LF "
                                 "结束每条命令），或者使用另一套命令。");
        break;
    }
    m_notice.Show(content);
}

void StepWatch::ShowRefusals()
{
    QString text = tr("模块拒绝了以下设置：");
    // Each code's meaning once, below the list.
    QStringList meanings;
    for (const Refused &refused : std::as_const(m_refused)) {
        text += QLatin1Char('\n')
            + tr("%1%2", "a setting's caption and the module's reply")
                  .arg(UpdateCaption(refused.step, m_fields), QuoteLine(refused.reply));
        const QString meaning = RefusalMeaning(refused.reply);
        const QString line = tr("%1：%2", "a refusal code and its meaning")
                                 .arg(RefusalCode(refused.reply).toString(), meaning);
        if (!meaning.isEmpty() && !meanings.contains(line))
            meanings << line;
    }
    QString informative = meanings.join(QLatin1Char('\n'));
    if (!informative.isEmpty())
        informative += QStringLiteral("\n\n");
    informative += tr("其余设置模块已回答“OK”。可在面板中改正这些值后再次更新。");
    m_notice.Show({ NoticeTitle(), text, informative, QString(), {} });
}

void StepWatch::ShowDone()
{
    if (!m_done)
        return;
    const std::optional<ReadBack> readBack
        = m_mode == ModeSearching && m_readBack ? m_readBack() : std::nullopt;
    NoticeContent done { DoneTitle(), QString(), QString(), QString(), {}, NoticeTone::News, true };
    if (!readBack) {
        // Every query step but the first reads a setting; every update step writes one.
        done.text = m_mode == ModeSearching ? tr("已读取全部 %1 项设置").arg(QuerySteps - 1)
                                            : tr("已写入 %1 项设置").arg(UpdateSteps);
        // This family restarts only by a power cycle, and says nothing of it.
        if (m_mode == ModeUpdating)
            done.informative = tr("通讯波特率用于数据模式，在模块重新上电之后生效；"
                                  "按住按键上电进入命令模式时仍为 38400。");
    } else if (const QString written = QString::number(readBack->written);
               readBack->notKept.isEmpty()) {
        done.text = tr("已保留 %1 项设置中的 %2 项").arg(written, written);
    } else {
        done.text = tr("%1 项中 %2 项未保留：%3")
                        .arg(written, QString::number(readBack->notKept.size()),
                             readBack->notKept.join(tr("、")));
        // What the module lost is for the operator to read, not to miss.
        done.tone = NoticeTone::Trouble;
        done.fleeting = false;
    }
    m_done->Show(done);
}
