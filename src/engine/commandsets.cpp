// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandsets.h"

#include "commandengine.h"
#include "serial/seriallink.h"
#include "stepwatch.h"

#include <QStringList>

#include <array>
#include <utility>

namespace {

// A family of modules that speaks another command set, and what the operator needs to talk
// to one. Probed in this order.
struct CommandSet
{
    const char *probe; // its version query, sent without a line end
    // A family that marks its answers is known by the mark, whatever was asked; one that
    // does not, by any text it answers to its own probe.
    const char *answerMark;
    const char *kind; // what the module speaks, as the notice says it
    const char *commands; // how to reach its name, PIN and rate from the command box
    std::array<std::pair<int, int>, 8> rateDigits; // digit and rate; a rate of 0 ends them
};

const std::array<CommandSet, 2> CommandSets = { {
    { "AT+VERSION",
      nullptr,
      QT_TRANSLATE_NOOP("CommandSetSearch",
                        "以停顿结束命令的一类：命令和回应都不带行结束符，一条命令以大约一秒的停顿"
                        "结束，只能设置，不能读取"),
      QT_TRANSLATE_NOOP("CommandSetSearch",
                        "名称：AT+NAMEabc（回答 OKsetname）\n"
                        "PIN：AT+PIN1234（回答 OKsetPIN）\n"
                        "波特率：AT+BAUD4（回答 OK9600）"),
      { { { 1, 1200 },
          { 2, 2400 },
          { 3, 4800 },
          { 4, 9600 },
          { 5, 19200 },
          { 6, 38400 },
          { 7, 57600 },
          { 8, 115200 } } } },
    { "AT+VERR?",
      "OK+",
      QT_TRANSLATE_NOOP("CommandSetSearch", "以“OK+”回答的一类：命令和回应都不带行结束符"),
      QT_TRANSLATE_NOOP("CommandSetSearch",
                        "名称：AT+NAME? 读取（回答 OK+NAME:abc 或 OK+Get:abc），AT+NAMEabc 设置\n"
                        "PIN：AT+PASS? 读取（回答 OK+Get:000000），AT+PASS123456 设置\n"
                        "角色：AT+ROLE? 读取（回答 OK+Get:0），AT+ROLE0 或 AT+ROLE1 设置\n"
                        "波特率：AT+BAUD? 读取（回答 OK+Get:0），AT+BAUD0 设置\n"
                        "名称和角色在模块重新上电后才生效；“AT”会断开正在进行的无线连接。"),
      { { { 0, 9600 }, { 1, 19200 }, { 2, 38400 }, { 3, 57600 }, { 4, 115200 } } } },
} };

// The probes as a notice lists them: “AT+VERSION”、“AT+VERR?”.
QString ProbeList()
{
    QStringList probes;
    for (const CommandSet &set : CommandSets)
        probes << CommandSetSearch::tr("“%1”").arg(QString::fromLatin1(set.probe));
    return probes.join(CommandSetSearch::tr("、"));
}

QString RateDigits(const CommandSet &set)
{
    QStringList digits;
    for (const auto &[digit, rate] : set.rateDigits) {
        if (rate == 0)
            break;
        digits << CommandSetSearch::tr("%1 = %2").arg(QString::number(digit),
                                                      QString::number(rate));
    }
    return digits.join(CommandSetSearch::tr("，"));
}

} // namespace

CommandSetSearch::CommandSetSearch(const EngineState &state,
                                   SerialLink &port,
                                   CommandEngine &engine,
                                   Notice &notice)
    : m_state(state)
    , m_port(port)
    , m_engine(engine)
    , m_notice(notice)
{
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { TimedOut(); });
}

void CommandSetSearch::Start(const NoticeContent &otherwise)
{
    m_otherwise = otherwise;
    m_resultShown = false;
    // The probes' answers must not complete the step that waits.
    m_engine.Stop();
    if (Running() || !m_port.IsOpen()) {
        ShowResult(otherwise);
        return;
    }
    m_portNumber = m_port.PortNumber();
    NoticeContent progress = otherwise;
    const int longest = int(CommandSets.size()) * SilenceMs;
    progress.text += QStringLiteral("\n\n")
        + tr("正在查看它是否使用不带行结束符的另一套命令（不到 %1 秒）……")
              .arg(QString::number((longest + 999) / 1000));
    progress.informative = tr("依次发送不带行结束符的%1，各等 %2 秒。它们只读取版本，"
                              "不改变模块的任何设置。")
                               .arg(ProbeList(), QString::number(SilenceMs / 1000.0));
    // Its one button stops the search, and the notice it would have ended with takes its
    // place, with what that one offers (the rate finder).
    progress.action = tr("取消");
    progress.onAction = [this] { Cancel(); };
    progress.actionOnly = true;
    m_notice.Show(progress);
    m_index = 0;
    Probe();
}

void CommandSetSearch::Probe()
{
    m_mark = m_state.ReplyBuffer.Appended();
    m_engine.SendLine(QString::fromLatin1(CommandSets[std::size_t(m_index)].probe),
                      QColor(ColourQuery));
    m_timer.start(SilenceMs);
}

bool CommandSetSearch::OnOwnPort() const
{
    return m_port.IsOpen() && m_port.PortNumber() == m_portNumber;
}

void CommandSetSearch::End()
{
    m_timer.stop();
    m_index = -1;
    // A module that reads lines holds the last probe still, however the search ends: end
    // that line, so that its next command is not read behind it. A port lost or searched
    // away has another module, or none, behind it.
    if (OnOwnPort())
        m_engine.SendLine(QStringLiteral("\r\n"), QColor(ColourQuery));
}

void CommandSetSearch::ShowResult(const NoticeContent &content)
{
    m_resultShown = true;
    m_notice.Show(content);
}

void CommandSetSearch::Follow()
{
    if (!Running()) {
        // The operator acts on the result: it has said what it had to.
        if (m_resultShown && SequenceRunning(m_state)) {
            m_resultShown = false;
            m_notice.Close();
        }
        return;
    }
    // Lost or searched away, or the operator started something: either way the search
    // has nothing more to say.
    if (!OnOwnPort() || m_state.WorkMode != ModeIdle) {
        End();
        m_notice.Close();
    }
}

void CommandSetSearch::TimedOut()
{
    if (!Running())
        return;
    if (!OnOwnPort()) {
        End();
        m_notice.Close();
        return;
    }
    const QString answer = m_state.ReplyBuffer.Since(m_mark).trimmed().toString();
    for (std::size_t i = 0; i < CommandSets.size(); ++i) {
        const char *mark = CommandSets[i].answerMark;
        if (mark && answer.startsWith(QLatin1String(mark)))
            return Recognised(i, answer);
    }
    if (!CommandSets[std::size_t(m_index)].answerMark && ReadsAsText(answer))
        return Recognised(std::size_t(m_index), answer);
    if (std::size_t(++m_index) < CommandSets.size()) {
        Probe();
        return;
    }
    End();
    NoticeContent content = m_otherwise;
    content.text += QLatin1Char('\n') + tr("不带行结束符的%1也没有得到回应。").arg(ProbeList());
    ShowResult(content);
}

void CommandSetSearch::Recognised(std::size_t family, const QString &answer)
{
    const QString probe = QString::fromLatin1(CommandSets[std::size_t(m_index)].probe);
    const CommandSet &set = CommandSets[family];
    End();
    QString informative = tr("在命令框中与它交谈：行结束符选“无”（命令末尾不换行），"
                             "一次发一条，两条之间隔一秒以上。")
        + QLatin1Char('\n') + tr(set.commands) + QLatin1Char('\n')
        + tr("波特率的数字（两类各不相同）：%1").arg(RateDigits(set));
    ShowResult({ NoticeTitle(),
                 tr("模块对不带行结束符的“%1”回答了“%2”：它使用另一套命令，%3。\n"
                    "本工具面板的读取和更新不适用于它。")
                     .arg(probe, QuoteLine(answer), tr(set.kind)),
                 informative,
                 QString(),
                 {},
                 NoticeTone::News });
}

void CommandSetSearch::Cancel()
{
    if (!Running())
        return;
    End();
    ShowResult(m_otherwise);
}
