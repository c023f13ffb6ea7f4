// SPDX-License-Identifier: GPL-3.0-or-later
#include "modulefinder.h"

#include "commandengine.h"
#include "families/families.h"
#include "query.h"
#include "serial/seriallink.h"
#include "stepwatch.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <string_view>

namespace {

constexpr int ClassicFirstMs = 300;
constexpr int ClassicMs = 250;
constexpr int PauseMs = 1300; // it answers at the end of the second that began with the probe
constexpr int OkPlusMs = 400;

// The search's order: the tool's own family at its common command-mode and data-mode
// rates; the two other families at the rate they leave the factory with; the tool's own
// at every other rate (an "OK+" module answers its "AT" too); then the pause-ended family
// at the other rates it is commonly set to, as many as the search has time for.
constexpr std::array<FinderProbe, 16> ProbeTable = { {
    { CommandModeRate, nullptr, ClassicFirstMs },
    { DataModeRate, nullptr, ClassicFirstMs },
    { 9600, "pause", PauseMs },
    { 9600, "ok-plus", OkPlusMs },
    { 115200, nullptr, ClassicMs },
    { 57600, nullptr, ClassicMs },
    { 19200, nullptr, ClassicMs },
    { 4800, nullptr, ClassicMs },
    { 2400, nullptr, ClassicMs },
    { 1200, nullptr, ClassicMs },
    { 230400, nullptr, ClassicMs },
    { 460800, nullptr, ClassicMs },
    { 921600, nullptr, ClassicMs },
    { 1382400, nullptr, ClassicMs },
    { 38400, "pause", PauseMs },
    { 115200, "pause", PauseMs },
} };

constexpr bool IsPause(const FinderProbe &probe)
{
    return probe.family && std::string_view(probe.family) == "pause";
}

// The silence a pause-ended probe needs beyond the wait of the probe before it.
constexpr int QuietBefore(std::size_t index)
{
    if (index == 0 || !IsPause(ProbeTable[index]) || IsPause(ProbeTable[index - 1]))
        return 0;
    return std::max(0, ModuleFinder::PauseQuietMs - ProbeTable[index - 1].waitMs);
}

constexpr int Longest = [] {
    int total = 0;
    for (std::size_t i = 0; i < ProbeTable.size(); ++i)
        total += QuietBefore(i) + ProbeTable[i].waitMs;
    return total;
}();
// The operator waits for it, watching the window.
static_assert(Longest < 10000);

const CommandFamily *FamilyOf(const FinderProbe &probe)
{
    return probe.family ? FamilyByKey(QString::fromLatin1(probe.family)) : nullptr;
}

// What the probe asks, as a notice quotes it.
QString ProbeCommand(const FinderProbe &probe)
{
    const CommandFamily *family = FamilyOf(probe);
    return QString::fromLatin1(family ? family->versionQueries[0] : QueryTable[0]);
}

// What goes on the line.
QString ProbeLine(const FinderProbe &probe)
{
    const CommandFamily *family = FamilyOf(probe);
    return family ? ProbeCommand(probe) + QLatin1String(family->lineEnd) : QueryLine(1);
}

const CommandFamily &OkPlus()
{
    return *FamilyByKey(u"ok-plus");
}

// How a module answered "AT": not at all, with "OK" at the start of a line and its line
// end (the tool's own family), or with a bare "OK" (an "OK+" module, or one that ends no
// lines).
enum class Attention { None, Line, Bare };

Attention AttentionIn(QStringView reply)
{
    for (qsizetype at = reply.indexOf(u"OK"); at >= 0; at = reply.indexOf(u"OK", at + 1)) {
        if (at > 0 && reply[at - 1] != u'\n' && reply[at - 1] != u'\r')
            continue;
        const QStringView after = reply.sliced(at + 2);
        if (after.startsWith(u'\r') || after.startsWith(u'\n'))
            return Attention::Line;
        if (after.isEmpty() || after.startsWith(u'+'))
            return Attention::Bare;
    }
    return Attention::None;
}

// The version queries, as a notice lists them: “AT+VERSION”、“AT+VERR?”.
QString VersionProbes()
{
    QStringList probes;
    for (const CommandFamily &family : OtherFamilies())
        probes << ModuleFinder::tr("“%1”").arg(QString::fromLatin1(family.versionQueries[0]));
    return probes.join(ModuleFinder::tr("、"));
}

QString Seconds(int ms)
{
    return QString::number(ms / 1000.0);
}

} // namespace

std::span<const FinderProbe> ModuleFinder::Probes()
{
    return ProbeTable;
}

int ModuleFinder::LongestMs()
{
    return Longest;
}

ModuleFinder::ModuleFinder(const EngineState &state,
                           SerialLink &port,
                           CommandEngine &engine,
                           Notice &notice,
                           PortStatus setStatus,
                           std::function<void(int)> showRate,
                           ModuleFinder::FoundHandler found)
    : m_state(state)
    , m_port(port)
    , m_engine(engine)
    , m_notice(notice)
    , m_setStatus(std::move(setStatus))
    , m_showRate(std::move(showRate))
    , m_found(std::move(found))
{
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { TimedOut(); });
}

void ModuleFinder::Start()
{
    if (Running())
        return;
    m_resultShown = false;
    if (!m_port.IsOpen()) {
        m_engine.ShowPortError();
        return;
    }
    m_queryWaited = false;
    Begin(false, {});
}

void ModuleFinder::StartFromSilence(const NoticeContent &otherwise)
{
    m_resultShown = false;
    const bool queryWaited = m_state.WorkMode == ModeSearching;
    // The probes' answers must not complete the step that waits.
    m_engine.Stop();
    if (Running() || !m_port.IsOpen()) {
        ShowResult(otherwise);
        return;
    }
    m_queryWaited = queryWaited;
    Begin(true, otherwise);
}

void ModuleFinder::Begin(bool fromSilence, const NoticeContent &otherwise)
{
    // The running step is given up: its command may never be answered at this rate.
    m_engine.Stop();
    m_portNumber = m_port.PortNumber();
    m_startRate = m_port.BaudRate();
    m_fromSilence = fromSilence;
    m_startFamily = m_state.Family;
    m_otherwise = otherwise;
    QStringList order;
    for (const FinderProbe &probe : ProbeTable)
        order << tr("%1 “%2”", "a rate and what is sent at it")
                     .arg(QString::number(probe.rate), ProbeCommand(probe));
    const QString seconds = QString::number((Longest + 999) / 1000);
    // Its one button stops the search: a search that runs on unseen would show its
    // result at some later moment.
    NoticeContent searching { NoticeTitle(),
                              tr("正在查找模块的波特率和命令（不到 %1 秒）……").arg(seconds),
                              tr("依次发送，每个最多等待 %1 秒；它们只问候模块或读取版本，"
                                 "不改变模块的任何设置：\n%2")
                                  .arg(Seconds(PauseMs), order.join(tr("、"))),
                              tr("取消"), [this] { Cancel(); } };
    if (fromSilence)
        searching.text = otherwise.text + QStringLiteral("\n\n")
            + tr("正在以其他波特率和命令查找模块（不到 %1 秒）……").arg(seconds);
    searching.tone = NoticeTone::News;
    searching.actionOnly = true;
    m_notice.Show(searching);
    m_index = 0;
    m_lineOpen = false;
    Probe();
}

FinderProbe ModuleFinder::Current() const
{
    FinderProbe probe = ProbeTable[std::size_t(m_index)];
    // A module known to drop its radio link at a bare "AT" is asked its version instead.
    if (!probe.family && m_startFamily && m_startFamily->attentionDropsLink)
        probe.family = m_startFamily->key;
    return probe;
}

void ModuleFinder::Probe()
{
    const FinderProbe probe = Current();
    m_setStatus(tr("尝试：%1 · %2").arg(QString::number(probe.rate), ProbeCommand(probe)),
                m_port.Device());
    if (m_port.BaudRate() != probe.rate)
        m_port.SetLine(LineSettings(QString::number(probe.rate)));
    if (const int quiet = QuietBefore(std::size_t(m_index)); quiet > 0) {
        m_stage = Stage::Quiet;
        m_timer.start(quiet);
        return;
    }
    m_stage = Stage::Probing;
    Send(ProbeLine(probe), probe.waitMs);
}

void ModuleFinder::Send(const QString &command, int waitMs)
{
    // What waits was sent before this probe, perhaps at another rate: it is no answer to it.
    m_port.ClearBuffers();
    m_mark = m_state.ReplyBuffer.Appended();
    m_engine.SendLine(command, QColor(ColourQuery));
    m_lineOpen = !command.endsWith(u'\n');
    m_timer.start(waitMs);
}

void ModuleFinder::Next()
{
    if (std::size_t(++m_index) < ProbeTable.size())
        Probe();
    else
        NothingAnswered();
}

bool ModuleFinder::OnOwnPort() const
{
    return m_port.IsOpen() && m_port.PortNumber() == m_portNumber;
}

void ModuleFinder::End(bool lineEnd)
{
    m_timer.stop();
    m_index = -1;
    // A port lost or searched away has another module, or none, behind it.
    if (lineEnd && m_lineOpen && OnOwnPort())
        m_engine.SendLine(QStringLiteral("\r\n"), QColor(ColourQuery));
    m_lineOpen = false;
}

void ModuleFinder::ShowResult(const NoticeContent &content)
{
    m_resultShown = true;
    m_notice.Show(content);
}

void ModuleFinder::Follow()
{
    if (!Running()) {
        // The operator acts on the result: it has said what it had to.
        if (m_resultShown && SequenceRunning(m_state)) {
            m_resultShown = false;
            m_notice.Close();
        }
        return;
    }
    if (!OnOwnPort()) {
        // Lost (the window has said so) or searched away: nothing more to say.
        End(false);
        RestoreRate();
        m_notice.Close();
        return;
    }
    if (m_state.WorkMode != ModeIdle) {
        // The operator started something: it runs at the rate the list shows, after the
        // line end that a probe may still wait for.
        End(true);
        RestoreRate();
        m_notice.Close();
        return;
    }
    const FinderProbe probe = Current();
    if (m_stage == Stage::Probing && !probe.family
        && AttentionIn(m_state.ReplyBuffer.Since(m_mark)) == Attention::Line)
        Found(probe.rate, nullptr, QString());
}

void ModuleFinder::TimedOut()
{
    if (!Running())
        return;
    if (!OnOwnPort()) {
        Follow();
        return;
    }
    const FinderProbe probe = Current();
    switch (m_stage) {
    case Stage::Quiet:
        m_stage = Stage::Probing;
        Send(ProbeLine(probe), probe.waitMs);
        return;
    case Stage::Probing:
        Judge();
        return;
    case Stage::Confirming: {
        const QString answer = m_state.ReplyBuffer.Since(m_mark).trimmed().toString();
        const QString query = QString::fromLatin1(OkPlus().versionQueries[0]);
        // Not an "OK+" module: one of the tool's own that ends no lines, as the query's
        // notice will say.
        const CommandFamily *family
            = FamilyOfAnswer(query, answer) == &OkPlus() ? &OkPlus() : nullptr;
        Found(probe.rate, family, family ? answer : QString());
        return;
    }
    }
}

void ModuleFinder::Judge()
{
    const FinderProbe probe = Current();
    const QStringView reply = m_state.ReplyBuffer.Since(m_mark);
    if (!probe.family) {
        switch (AttentionIn(reply)) {
        case Attention::Line:
            return Found(probe.rate, nullptr, QString());
        case Attention::Bare:
            // Never "AT" again to it: the "OK+" family drops a radio link at each one.
            m_stage = Stage::Confirming;
            Send(QString::fromLatin1(OkPlus().versionQueries[0]) + QLatin1String(OkPlus().lineEnd),
                 ConfirmWaitMs);
            return;
        case Attention::None:
            break;
        }
    } else if (const CommandFamily *family = FamilyOfAnswer(ProbeCommand(probe), reply)) {
        return Found(probe.rate, family, reply.trimmed().toString());
    }
    Next();
}

void ModuleFinder::Found(int rate, const CommandFamily *family, const QString &answer)
{
    const QString probe = m_stage == Stage::Confirming
        ? QString::fromLatin1(OkPlus().versionQueries[0])
        : ProbeCommand(Current());
    // Where the query whose silence began it looked already: going on would lead back here.
    const bool asBefore = m_fromSilence && rate == m_startRate && family == m_startFamily;
    const bool resume = m_queryWaited && !asBefore;
    // A module that ends no lines holds no line to end; a line end would only run into
    // its next command.
    End(!family);
    m_showRate(rate);
    m_setStatus(PortOpenCaption(m_portNumber, m_port.Device()),
                PortOpenTooltip(m_port, m_port.Holder()));
    if (asBefore) {
        ShowResult(m_otherwise);
        return;
    }
    const QString kept = tr("端口保持以 %1 打开，波特率列表也已选中 %1。").arg(rate);
    NoticeContent content { NoticeTitle(), QString(), QString(), QString(), {}, NoticeTone::News };
    if (family) {
        content.text = tr("模块在 %1 波特率下对“%2”回答了“%3”：它使用另一套命令，%4。")
                           .arg(QString::number(rate), probe, QuoteLine(answer),
                                QCoreApplication::translate("Families", family->kind));
        content.informative = kept + tr("面板现在按这一类的命令读取它。");
    } else {
        content.text = tr("模块在 %1 波特率下回答了“%2”。")
                           .arg(QString::number(rate), QString::fromLatin1(QueryTable[0]));
        content.informative
            = kept + (resume ? tr("读取接着进行。") : tr("现在可以重新读取模块信息。"));
    }
    // A query that goes on does not close what explains why it does.
    m_notice.Show(content);
    m_resultShown = !resume;
    if (m_found)
        m_found(rate, family, answer, resume);
}

void ModuleFinder::NothingAnswered()
{
    End(true);
    RestoreRate();
    const QString text
        = tr("在每一个波特率下，模块都没有回答“%1”；不带行结束符的%2也没有得到回应。")
              .arg(QString::fromLatin1(QueryTable[0]), VersionProbes());
    if (!m_fromSilence) {
        ShowResult({ NoticeTitle(), text, CheckList(m_startRate), QString(), {} });
        return;
    }
    // What the silence said, without the search it offered: that was this one.
    NoticeContent content = m_otherwise;
    content.text += QLatin1Char('\n') + text;
    content.action.clear();
    content.onAction = nullptr;
    ShowResult(content);
}

void ModuleFinder::Cancel()
{
    if (!Running())
        return;
    End(true);
    RestoreRate();
    if (m_fromSilence)
        ShowResult(m_otherwise);
    else
        m_notice.Close();
}

void ModuleFinder::RestoreRate()
{
    if (m_port.IsOpen() && !OnOwnPort())
        return; // another port, opened at the list's rate
    // A lost port keeps it too, to open again at.
    if (m_port.BaudRate() != m_startRate)
        m_port.SetLine(LineSettings(QString::number(m_startRate)));
    if (OnOwnPort())
        m_setStatus(PortOpenCaption(m_portNumber, m_port.Device()),
                    PortOpenTooltip(m_port, m_port.Holder()));
}
