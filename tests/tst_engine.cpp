// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/commandengine.h"
#include "engine/commandsets.h"
#include "engine/lineendwatch.h"
#include "engine/outgoing.h"
#include "engine/pairing.h"
#include "engine/panelorigin.h"
#include "engine/ratefinder.h"
#include "engine/refusalcodes.h"
#include "engine/settingcheck.h"
#include "engine/stepwatch.h"
#include "engine/update.h"
#include "engine/updateguard.h"
#include "fakes.h"
#include "modulecore.h"

#include <QtTest>

using Texts = QMap<int, QString>;

class TestEngine : public QObject
{
    Q_OBJECT

    struct Rig
    {
        EngineState state;
        FakePort port;
        FakeConsole console;
        FakeFields fields;
        FakeWarning warning;
        PanelOrigin origin { state, fields };
        CommandEngine engine { state, port, console, origin, warning };
    };

    // The engine with the watch and the finder beside it, followed as the window does.
    struct WatchRig : Rig
    {
        FakeNotice notice;
        qint64 now = 0;
        int findRate = 0; // presses of "查找波特率"
        QStringList status; // Label4's captions
        int listed = 0; // the rate the baud list was set to
        StepWatch watch { state, port, fields, notice, [this] { ++findRate; } };
        RateFinder finder { state,
                            port,
                            engine,
                            notice,
                            [this](const QString &caption, const QString &) { status << caption; },
                            [this](int rate) { listed = rate; } };
        CommandSetSearch search { state, port, engine, notice };
        WatchRig()
        {
            engine.SetModeWatcher([this] { watch.Follow(now), finder.Follow(), search.Follow(); });
        }
        void Tick() { engine.OnTick(), watch.Follow(now); }
        void Receive(const QString &text) { port.Deliver(text), engine.OnReceive(), Tick(); }
        void Wait(qint64 ms) // in ticks of 10 ms
        {
            for (const qint64 end = now + ms; now < end;)
                now += 10, Tick();
        }
    };

    // The update's guard and pairing beside the engine, a simulated module answering.
    struct PanelRig : Rig
    {
        FakeConfirm confirm;
        sim::ModuleCore module;
        UpdateGuard guard { origin, engine, confirm };
        Pairing pairing { fields, origin };
        PanelRig()
        {
            engine.SetModeWatcher([this] { origin.Follow(); });
            origin.SetQueryStopper([this] { engine.StopSequence(); });
        }
        // Ticks until the sequence ends or waits for good; the lines it wrote.
        QStringList Run()
        {
            const qsizetype from = port.written.size();
            for (int tick = 0; tick < 50 && SequenceRunning(state); ++tick) {
                const qsizetype sent = port.written.size();
                engine.OnTick(), origin.Follow();
                if (port.written.size() == sent)
                    continue;
                if (const auto reply = module.Reply(port.written.last().trimmed().toStdString()))
                    port.Deliver(QString::fromStdString(*reply)), engine.OnReceive(),
                        origin.Follow();
            }
            QStringList lines = port.written.mid(from);
            for (QString &line : lines)
                line.chop(2); // CR LF
            return lines;
        }
        void Query() { engine.StartQuery(), Run(); }
        QStringList Update() { return guard.StartUpdate(), Run(); }
    };

private slots:
    void startActions_data();
    void startActions();
    void tickSendsDueStep_data();
    void tickSendsDueStep();
    void tickIdles_data();
    void tickIdles();
    void tickOnClosedPortAbandonsOnce_data();
    void tickOnClosedPortAbandonsOnce();
    void receive_data();
    void receive();
    void advance_data();
    void advance();
    void manualSend_data();
    void manualSend();
    void manualSendOnClosedPortChangesNothing();
    void earlierTextDiscarded_data();
    void earlierTextDiscarded();
    void completionAfterStaleText_data();
    void completionAfterStaleText();
    void lateUpdateReplyJudgedByQuery();
    void wholeQueryAndUpdate();
    void unansweredStepNotice_data();
    void unansweredStepNotice();
    void refusedSettings_data();
    void refusedSettings();
    void rateFinder_data();
    void rateFinder();
    void lineEndNotice_data();
    void lineEndNotice();
    void updateGuard_data();
    void updateGuard();
    void pairing_data();
    void pairing();
    void valueProblems_data();
    void valueProblems();
    void oneCommandPerSetting_data();
    void oneCommandPerSetting();
    void loadOrBindDuringQuery_data();
    void loadOrBindDuringQuery();
    void doneNotice_data();
    void doneNotice();
    void readBackVerdict_data();
    void readBackVerdict();
    void otherCommandSets_data();
    void otherCommandSets();
};

void TestEngine::startActions_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("query");
    QTest::addColumn<QString>("after");
    QTest::newRow("query from idle") << ModeIdle << true << ModeSearching;
    QTest::newRow("query abandons update") << ModeUpdating << true << ModeSearching;
    QTest::newRow("update from manual") << ModeManual << false << ModeUpdating;
    QTest::newRow("update restarts itself") << ModeUpdating << false << ModeUpdating;
}

void TestEngine::startActions()
{
    QFETCH(QString, before);
    QFETCH(bool, query);
    QFETCH(QString, after);
    Rig rig;
    rig.state = { before, 7, true, {}, QString(), 3 };
    rig.state.ReplyBuffer.Append(u"left over");
    query ? rig.engine.StartQuery() : rig.engine.StartUpdate();
    QCOMPARE(rig.state.WorkMode, after);
    QCOMPARE(rig.state.StepIndex, qint16(1));
    QCOMPARE(rig.state.AwaitingReply, false);
    QCOMPARE(rig.state.ReplyBuffer.Text(), QString()); // no reply of the new sequence
    QVERIFY(rig.port.written.isEmpty());
}

void TestEngine::tickSendsDueStep_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("query step 1") << ModeSearching << 1 << "AT\r\n" << QColor(255, 0, 0);
    QTest::newRow("query step 11") << ModeSearching << 11 << "AT+CMODE\r\n" << QColor(255, 0, 0);
    QTest::newRow("query step 14") << ModeSearching << 14 << "AT+STATE?\r\n" << QColor(255, 0, 0);
    QTest::newRow("update step 1") << ModeUpdating << 1 << "AT+NAME=bench\r\n" << QColor(0, 255, 0);
    QTest::newRow("update step 9") << ModeUpdating << 9 << "AT+UART=9600,0,0\r\n"
                                   << QColor(0, 255, 0);
}

void TestEngine::tickSendsDueStep()
{
    QFETCH(QString, mode);
    QFETCH(int, step);
    QFETCH(QString, line);
    QFETCH(QColor, colour);
    Rig rig;
    rig.fields.texts = { { 0, QStringLiteral("bench") }, { 10, QStringLiteral("9600,0,0") } };
    rig.state.WorkMode = mode;
    rig.state.StepIndex = qint16(step);
    rig.engine.OnTick();
    QCOMPARE(rig.port.written, QStringList { line });
    QCOMPARE(rig.console.appended.size(), 1);
    QCOMPARE(rig.console.appended[0].first, line);
    QCOMPARE(rig.console.appended[0].second, colour);
    QCOMPARE(rig.console.bytes, line.toUtf8());
    QVERIFY(rig.state.AwaitingReply);
    rig.engine.OnTick(); // awaited: nothing more goes out
    QCOMPARE(rig.port.written.size(), 1);
}

void TestEngine::tickIdles_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("awaiting");
    QTest::newRow("idle") << ModeIdle << false;
    QTest::newRow("idle after last step") << ModeIdle << true;
    QTest::newRow("manual") << ModeManual << false;
    QTest::newRow("query awaiting") << ModeSearching << true;
    QTest::newRow("update awaiting") << ModeUpdating << true;
    QTest::newRow("mode is case-sensitive") << QStringLiteral("searching") << false;
}

void TestEngine::tickIdles()
{
    QFETCH(QString, mode);
    QFETCH(bool, awaiting);
    Rig rig;
    rig.state.WorkMode = mode;
    rig.state.StepIndex = 1;
    rig.state.AwaitingReply = awaiting;
    for (int i = 0; i < 5; ++i)
        rig.engine.OnTick();
    QVERIFY(rig.port.written.isEmpty());
    QVERIFY(rig.console.appended.isEmpty());
    QCOMPARE(rig.state.WorkMode, mode);
    QCOMPARE(rig.state.AwaitingReply, awaiting);
}

void TestEngine::tickOnClosedPortAbandonsOnce_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("query") << ModeSearching;
    QTest::newRow("update") << ModeUpdating;
}

void TestEngine::tickOnClosedPortAbandonsOnce()
{
    QFETCH(QString, mode);
    Rig rig;
    rig.port.open = false;
    rig.state.WorkMode = mode;
    rig.state.StepIndex = 4;
    for (int i = 0; i < 10; ++i)
        rig.engine.OnTick();
    QCOMPARE(rig.warning.shown, QStringList { NoPortYetWarning });
    QCOMPARE(rig.state.WorkMode, ModeIdle);
    QCOMPARE(rig.state.AwaitingReply, false);
    QVERIFY(rig.port.written.isEmpty());
    QVERIFY(rig.console.appended.isEmpty());
}

void TestEngine::receive_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("chunks");
    QTest::addColumn<QString>("buffer");
    QTest::addColumn<QString>("lastChunk");
    QTest::newRow("idle keeps everything, CR removed")
        << ModeIdle << QStringList { "+NAME:x\r\n", "OK\r\n" } << "+NAME:x\nOK\n"
        << "OK\n";
    QTest::newRow("manual accumulates") << ModeManual << QStringList { "a\r", "\rb" } << "ab"
                                        << "b";
    QTest::newRow("NUL and replacement characters are kept")
        << ModeIdle << QStringList { QString(QChar(0)) + QChar(0xFFFD) }
        << QString(QChar(0)) + QChar(0xFFFD) << QString(QChar(0)) + QChar(0xFFFD);
    QTest::newRow("query reply not yet complete")
        << ModeSearching << QStringList { "+VERSION:1.0\r\n", "O" } << "+VERSION:1.0\nO"
        << "O";
    QTest::newRow("update completes on ERROR and clears")
        << ModeUpdating << QStringList { "ERR", "OR:(1)\r\n" } << ""
        << "OR:(1)\n";
    QTest::newRow("idle keeps the newest 64 Ki characters, from a line start")
        << ModeIdle << QStringList { QString(ReplyStore::Limit, QLatin1Char('x')), "\r\nab" }
        << "ab"
        << "\nab";
}

void TestEngine::receive()
{
    QFETCH(QString, mode);
    QFETCH(QStringList, chunks);
    QFETCH(QString, buffer);
    QFETCH(QString, lastChunk);
    Rig rig;
    rig.state.WorkMode = mode;
    rig.state.StepIndex = 3;
    rig.state.AwaitingReply = true;
    QString echoed;
    for (const QString &chunk : chunks) {
        rig.port.Deliver(chunk);
        rig.engine.OnReceive();
    }
    for (const auto &[text, colour] : rig.console.appended) {
        QCOMPARE(colour, QColor(0, 0, 255));
        echoed += text;
    }
    QVERIFY(!echoed.contains(QLatin1Char('\r')));
    QCOMPARE(rig.console.bytes, chunks.join(QString()).toUtf8()); // the line's own bytes
    QCOMPARE(rig.state.ReplyBuffer.Text(), buffer);
    QCOMPARE(rig.state.LastChunk, lastChunk);
    QVERIFY(rig.port.written.isEmpty());
}

void TestEngine::advance_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("lastStep");
    QTest::addColumn<int>("stepAfter");
    QTest::addColumn<QString>("modeAfter");
    QTest::addColumn<bool>("awaitingAfter");
    QTest::newRow("query middle") << 5 << 14 << 6 << ModeSearching << false;
    QTest::newRow("query end") << 14 << 14 << 14 << ModeIdle << true;
    QTest::newRow("update end") << 9 << 9 << 9 << ModeIdle << true;
}

void TestEngine::advance()
{
    QFETCH(int, step);
    QFETCH(int, lastStep);
    QFETCH(int, stepAfter);
    QFETCH(QString, modeAfter);
    QFETCH(bool, awaitingAfter);
    Rig rig;
    rig.state.WorkMode = ModeSearching;
    rig.state.StepIndex = qint16(step);
    rig.state.AwaitingReply = true;
    rig.engine.Advance(lastStep);
    QCOMPARE(int(rig.state.StepIndex), stepAfter);
    QCOMPARE(rig.state.WorkMode, modeAfter);
    QCOMPARE(rig.state.AwaitingReply, awaitingAfter);
}

void TestEngine::manualSend_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("written");
    QTest::newRow("no line ending added") << "AT" << QStringList { "AT" };
    QTest::newRow("typed line breaks go out as typed") << "AT\r\nAT+NAME?\r\n"
                                                       << QStringList { "AT\r\nAT+NAME?\r\n" };
    QTest::newRow("empty box sends nothing") << "" << QStringList {};
    QTest::newRow("non-ASCII") << "AT+NAME=蓝牙" << QStringList { "AT+NAME=蓝牙" };
}

void TestEngine::manualSend()
{
    QFETCH(QString, text);
    QFETCH(QStringList, written);
    Rig rig;
    rig.state.WorkMode = ModeSearching;
    rig.state.StepIndex = 5;
    rig.state.AwaitingReply = true;
    rig.engine.SendManual(text.toUtf8());
    QCOMPARE(rig.port.written, written);
    QCOMPARE(rig.state.WorkMode, ModeManual);
    QCOMPARE(rig.state.AwaitingReply, false);
    QCOMPARE(rig.console.Text(), text);
    for (const auto &piece : rig.console.appended)
        QCOMPARE(piece.second, QColor(255, 0, 0));
    rig.engine.OnTick(); // the abandoned query sends nothing more
    QCOMPARE(rig.port.written, written);
    QVERIFY(rig.warning.shown.isEmpty());
}

void TestEngine::manualSendOnClosedPortChangesNothing()
{
    Rig rig;
    rig.port.open = false;
    rig.state.WorkMode = ModeUpdating;
    rig.state.StepIndex = 6;
    rig.state.AwaitingReply = true;
    rig.engine.SendManual("AT\r\n");
    QCOMPARE(rig.warning.shown, QStringList { NoPortYetWarning });
    QVERIFY(rig.port.written.isEmpty());
    QVERIFY(rig.console.appended.isEmpty());
    QCOMPARE(rig.state.WorkMode, ModeUpdating);
    QCOMPARE(rig.state.StepIndex, qint16(6));
    QCOMPARE(rig.state.AwaitingReply, true);
}

void TestEngine::earlierTextDiscarded_data()
{
    // What happens after the earlier text: nothing before the query, a reply before its first
    // command, another port, the port lost.
    QTest::addColumn<QString>("change");
    for (const char *change : { "", "early", "search", "lost" })
        QTest::newRow(*change ? change : "a query start") << QString(change);
}

void TestEngine::earlierTextDiscarded()
{
    QFETCH(QString, change);
    Rig rig;
    rig.engine.SendManual("AT+NAME?\r\n");
    rig.port.Deliver(QStringLiteral("V7.05OK+NAME:BENCHKO\r\n+NAME:OLD\r\nOK\r\n+NAM"));
    rig.engine.OnReceive();
    if (change == "search")
        rig.engine.DiscardReceived();
    else if (change == "lost")
        rig.engine.OnPortLost(), rig.port.open = true;
    QCOMPARE(rig.state.ReplyBuffer.Text().isEmpty(), change == "search" || change == "lost");
    rig.engine.StartQuery();
    rig.port.Deliver(change == "early" ? QStringLiteral("+NAME:EARLY\r\nOK\r\n") : QString());
    rig.engine.OnReceive();
    QCOMPARE(rig.state.StepIndex, qint16(1)); // nothing answered a command not sent
    rig.engine.OnTick();
    QCOMPARE(rig.port.written.last(), QStringLiteral("AT\r\n"));
    rig.port.Deliver(QStringLiteral("OK\r\n"));
    rig.engine.OnReceive();
    QCOMPARE(rig.state.StepIndex, qint16(2));
    QVERIFY2(rig.fields.texts.isEmpty(), qPrintable(rig.fields.texts.value(0)));
}

void TestEngine::completionAfterStaleText_data()
{
    QTest::addColumn<QString>("stale"); // received after a hand-typed command
    QTest::addColumn<bool>("query");
    QTest::addColumn<QStringList>("chunks");
    QTest::addColumn<int>("step"); // step after the chunks
    QTest::addColumn<QString>("name");
    QTest::newRow("OK split across chunks")
        << "" << true << QStringList { "+NAME:x\nO", "K\n" } << 2 << "x";
    QTest::newRow("stale partial line, then OK")
        << "x" << true << QStringList { "OK\r\n" } << 2 << "";
    QTest::newRow("stale partial line, then a full reply")
        << "AT+N" << true << QStringList { "+NAME:abc\r\n", "O", "K\r\n" } << 2 << "abc";
    QTest::newRow("a stale OK line is no reply") << "OK\n"
                                                 << true << QStringList { "+" } << 1 << "";
    QTest::newRow("nor with a carriage return after it") << "OK\n"
                                                         << true << QStringList { "\r" } << 1 << "";
    QTest::newRow("letters after the start are not a line")
        << "" << true << QStringList { "xO", "K\n" } << 1 << "";
    QTest::newRow("update: word split across chunks")
        << "noise" << false << QStringList { "ERR", "OR:(1)\r\n" } << 2 << "";
    const QString full(ReplyStore::Limit, QLatin1Char('x'));
    QTest::newRow("stale text up to the bound, then a reply past it")
        << full << true << QStringList { "+NAME:abc\r\n", "OK\r\n" } << 2 << "abc";
    QTest::newRow("a line past the bound: letters after the cut are not a line")
        << "" << true << QStringList { "zOK" + full.first(ReplyStore::Limit - 2) } << 1 << "";
}

void TestEngine::completionAfterStaleText()
{
    QFETCH(QString, stale);
    QFETCH(bool, query);
    QFETCH(QStringList, chunks);
    QFETCH(int, step);
    QFETCH(QString, name);
    Rig rig;
    rig.engine.SendManual("AT");
    rig.port.Deliver(stale);
    rig.engine.OnReceive();
    query ? rig.engine.StartQuery() : rig.engine.StartUpdate();
    rig.engine.OnTick();
    for (const QString &chunk : chunks) {
        rig.port.Deliver(chunk);
        rig.engine.OnReceive();
    }
    QCOMPARE(int(rig.state.StepIndex), step);
    QCOMPARE(rig.fields.Text1(0), name);
}

void TestEngine::lateUpdateReplyJudgedByQuery()
{
    Rig rig;
    rig.engine.StartUpdate();
    rig.state.StepIndex = 9;
    rig.engine.OnTick(); // last update step awaits its reply
    rig.engine.StartQuery();
    rig.engine.OnTick();
    QCOMPARE(rig.port.written.last(), QStringLiteral("AT\r\n"));
    rig.port.Deliver(QStringLiteral("ERROR:(9)\r\n")); // late update reply: no OK, query waits
    rig.engine.OnReceive();
    QCOMPARE(rig.state.StepIndex, qint16(1));
    QVERIFY(rig.state.AwaitingReply);
}

void TestEngine::wholeQueryAndUpdate()
{
    Rig rig;
    rig.engine.StartQuery();
    for (int step = 1; step <= 14; ++step) {
        rig.engine.OnTick();
        QCOMPARE(rig.port.written.size(), step);
        rig.port.Deliver(step == 4 ? QStringLiteral("+NAME:BOOK\r\nOK\r\n")
                                   : QStringLiteral("OK\r\n"));
        rig.engine.OnReceive();
    }
    QCOMPARE(rig.state.WorkMode, ModeIdle);
    QVERIFY(rig.state.AwaitingReply); // stays set after the last step
    QCOMPARE(rig.fields.Text1(0), QStringLiteral("BOOK"));
    rig.engine.OnTick();
    QCOMPARE(rig.port.written.size(), 14);

    rig.port.written.clear();
    rig.engine.StartUpdate();
    for (int step = 1; step <= 9; ++step) {
        rig.engine.OnTick();
        rig.port.Deliver(step % 2 ? QStringLiteral("OK\r\n") : QStringLiteral("ERROR:(3)\r\n"));
        rig.engine.OnReceive();
    }
    QCOMPARE(rig.port.written.size(), 9);
    QCOMPARE(rig.port.written.first(), QStringLiteral("AT+NAME=BOOK\r\n"));
    QCOMPARE(rig.state.WorkMode, ModeIdle);
}

void TestEngine::unansweredStepNotice_data()
{
    QTest::addColumn<bool>("query");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("received"); // after the command, and no more
    QTest::addColumn<QString>("text"); // the notice's text begins so
    QTest::addColumn<QString>("then"); // what closes it
    QTest::newRow("nothing; a late reply") << true << 1 << ""
                                           << "“AT”发出 2 秒后，模块没有任何回应。"
                                           << "reply";
    QTest::newRow("nothing at a later step; restarted")
        << true << 4 << ""
        << "“AT+NAME?”发出 2 秒后，模块没有任何回应。\n模块回答了前面的命令"
        << "query";
    QTest::newRow("not text; an update instead")
        << true << 1 << QString(6, QChar::ReplacementCharacter)
        << "“AT”发出后收到的字节不能读作文字"
        << "update";
    QTest::newRow("ERROR to a query; a hand-typed command")
        << true << 5 << "ERROR:(0)\r\n"
        << "“AT+ROLE?”发出 2 秒后，回应中仍没有这一步等待的结尾“OK”。收到的最后一行：\n“ERROR:(0)”"
        << "manual";
    QTest::newRow("text after a stray NUL; restarted")
        << true << 2 << QString(QChar(0)) + "ERROR:(0)\n\n"
        << "“AT+VERSION?”发出 2 秒后，回应中仍没有这一步等待的结尾“OK”。收到的最后一行：\n"
           "“�ERROR:(0)”"
        << "query";
    QTest::newRow("nothing to an update") << false << 1 << ""
                                          << "“AT+NAME=bench%2”发出 2 秒后，模块没有任何回应。"
                                          << "query";
    QTest::newRow("OK without its line break; restarted")
        << true << 2 << "+VERSION:1.4OK"
        << "“AT+VERSION?”发出 2 秒后，这一步等待的“OK”已经到了，却不在一行的开头：模块的回应不带行"
           "结束符。收到的最后一行：\n“+VERSION:1.4OK”"
        << "query";
    QTest::newRow("a refusal with its meaning; restarted")
        << true << 5 << "ERROR:(1F)\r\n"
        << "“AT+ROLE?”发出 2 秒后，回应中仍没有这一步等待的结尾“OK”。收到的最后一行：\n“ERROR:(1F)”"
           "：此命令在这种命令模式下不可用（固件 3.0）"
        << "query";
    QTest::newRow("an update's long line, cut; port lost")
        << false << 1 << QString(50, QLatin1Char('z'))
        << "“AT+NAME=bench%2”发出 2 秒后，回应中仍没有这一步等待的结尾“OK”或“ERROR”。收到的最后一"
           "行：\n“"
            + QString(39, QLatin1Char('z')) + "…”"
        << "lost";
}

void TestEngine::unansweredStepNotice()
{
    QFETCH(bool, query);
    QFETCH(int, step);
    QFETCH(QString, received);
    QFETCH(QString, text);
    QFETCH(QString, then);
    WatchRig rig;
    rig.port.baud = 57600;
    rig.fields.texts[0] = QStringLiteral("bench%2"); // a value with a place marker in it
    query ? rig.engine.StartQuery() : rig.engine.StartUpdate();
    rig.state.StepIndex = qint16(step);
    rig.Tick();
    if (!received.isEmpty())
        rig.Receive(received);
    rig.Wait(StepWatch::PatienceMs - 10);
    QVERIFY(rig.notice.shown.isEmpty());
    rig.Wait(10);
    QCOMPARE(rig.notice.shown.size(), 1);
    const NoticeContent shown = rig.notice.shown[0];
    QCOMPARE(shown.title, QStringLiteral("提示"));
    QVERIFY2(shown.text.startsWith(text), qPrintable(shown.text));
    const bool offersFinder = !text.contains(u"最后一行");
    QCOMPARE(shown.action, offersFinder ? QStringLiteral("查找波特率") : QString());
    if (offersFinder) {
        QVERIFY(shown.informative.contains(u"波特率：当前为 57600；"));
        shown.onAction();
        QCOMPARE(rig.findRate, 1);
    }
    rig.Wait(10000); // one notice per step, and the engine untouched: the step still waits
    QCOMPARE(rig.notice.shown.size(), 1);
    QCOMPARE(rig.port.written.size(), 1);
    QVERIFY(rig.state.AwaitingReply);

    if (then == QLatin1String("reply"))
        rig.Receive(QStringLiteral("OK\r\n"));
    else if (then == QLatin1String("query"))
        rig.engine.StartQuery();
    else if (then == QLatin1String("update"))
        rig.engine.StartUpdate();
    else if (then == QLatin1String("manual"))
        rig.engine.SendManual("AT");
    else
        rig.port.open = false, rig.engine.OnPortLost();
    QVERIFY(!rig.notice.open);
    // The next step sent gets a notice of its own; never while idle or after a hand-typed one.
    rig.Wait(StepWatch::PatienceMs + 10);
    QCOMPARE(rig.notice.shown.size(), then == QLatin1String("manual") || then == "lost" ? 1 : 2);
}

void TestEngine::refusedSettings_data()
{
    QTest::addColumn<QStringList>("replies"); // to steps 1 to 9, "|" between pieces
    QTest::addColumn<QString>("text"); // the notice after the update, empty for none
    const QString ok = QStringLiteral("OK\r\n");
    QTest::newRow("none refused") << QStringList(9, ok) << "";
    QStringList two(9, ok);
    two[2] = QStringLiteral("ERROR:(1F)\r\n");
    two[5] = QStringLiteral("ERR|OR:(6)\r\n");
    QTest::newRow("two refused, one reply in pieces")
        << two << "模块拒绝了以下设置：\nText1(3)ERROR:(1F)\ngroup of Option4ERROR:(6)";
    QStringList last(9, ok);
    last[8] = QStringLiteral("+UART:x\r\nERROR:(9)\r\n");
    QTest::newRow("the last step refused") << last << "模块拒绝了以下设置：\nText1(10)ERROR:(9)";
    QStringList twice(9, ok);
    twice[0] = twice[3] = QStringLiteral("ERROR:(1D)\r\n");
    QTest::newRow("one code twice, its meaning once")
        << twice << "模块拒绝了以下设置：\nText1(0)ERROR:(1D)\nText1(4)ERROR:(1D)";
}

void TestEngine::refusedSettings()
{
    QFETCH(QStringList, replies);
    QFETCH(QString, text);
    WatchRig rig;
    rig.engine.StartUpdate(); // refused, then abandoned: not counted
    rig.Tick();
    rig.Receive(QStringLiteral("ERROR:(1)\r\n"));
    rig.engine.StartUpdate();
    for (const QString &reply : replies) {
        rig.Tick();
        for (const QString &piece : reply.split(QLatin1Char('|')))
            rig.Receive(piece);
    }
    QCOMPARE(rig.state.WorkMode, ModeIdle);
    QCOMPARE(rig.notice.shown.size(), text.isEmpty() ? 0 : 1);
    if (text.isEmpty())
        return;
    QCOMPARE(rig.notice.shown[0].text, text);
    // Each known code is explained once, below the list.
    for (const QString &line : text.split(QLatin1Char('\n')).mid(1)) {
        const QString meaning = RefusalMeaning(line);
        QCOMPARE(
            rig.notice.shown[0].informative.count(RefusalCode(line).toString() + "：" + meaning),
            meaning.isEmpty() ? 0 : 1);
    }
}

void TestEngine::rateFinder_data()
{
    QTest::addColumn<int>("startRate");
    QTest::addColumn<int>("moduleRate"); // 0: answers at none
    QTest::addColumn<QString>("event"); // after the second probe
    QTest::addColumn<QList<int>>("lines"); // every rate the line was set to
    QTest::addColumn<QString>("text"); // of the last notice; empty: the finder's closed
    const QList<int> all = { 38400,  9600,  1382400, 921600, 460800, 256000, 230400, 128000,
                             115200, 57600, 56000,   19200,  14400,  4800,   2400,   1200 };
    QTest::newRow("answers at 38400")
        << 38400 << 38400 << "" << QList<int> { 38400 } << "模块在 38400 波特率下回答了“AT”。";
    QTest::newRow("answers at the last rate")
        << 38400 << 1200 << "" << all << "模块在 1200 波特率下回答了“AT”。";
    QTest::newRow("no answer") << 115200 << 0 << "" << all + QList<int> { 115200 }
                               << "在每一个波特率下，模块都没有回答“AT”。";
    QTest::newRow("cancelled") << 57600 << 0 << "cancel" << QList<int> { 38400, 9600, 57600 } << "";
    QTest::newRow("port lost: its rate kept to open again at")
        << 57600 << 0 << "lost" << QList<int> { 38400, 9600, 57600 } << "";
    QTest::newRow("the operator starts a query")
        << 19200 << 0 << "query" << QList<int> { 38400, 9600, 19200 } << "";
    QTest::newRow("a hand-typed command, sent at the rate given back")
        << 19200 << 0 << "manual" << QList<int> { 38400, 9600, 19200 } << "";
    QTest::newRow("port closed: nothing sent") << 38400 << 0 << "closed" << QList<int> {} << "";
}

void TestEngine::rateFinder()
{
    QFETCH(int, startRate);
    QFETCH(int, moduleRate);
    QFETCH(QString, event);
    QFETCH(QList<int>, lines);
    QFETCH(QString, text);
    WatchRig rig;
    rig.port.baud = startRate;
    rig.port.open = event != QLatin1String("closed");
    rig.state = { ModeSearching, 3, true, {}, QString(), 0 }; // a query step waits
    rig.port.Deliver(QStringLiteral("OK\r\n")); // unread from before: no answer to a probe
    rig.finder.Start();
    QCOMPARE(rig.state.WorkMode, rig.port.open ? ModeIdle : ModeSearching);
    QCOMPARE(rig.warning.shown.size(), rig.port.open ? 0 : 1);
    for (int probe = 1; rig.finder.Running() && probe <= 20; ++probe) {
        // At a wrong rate the module's answer is noise.
        rig.port.Deliver(rig.port.baud == moduleRate ? QStringLiteral("OK\r\n")
                                                     : QString(4, QChar::ReplacementCharacter));
        rig.engine.OnReceive();
        rig.finder.Follow();
        if (probe == 2 && !event.isEmpty()) {
            if (event == QLatin1String("cancel"))
                rig.notice.shown.last().onAction(); // the progress notice's "取消"
            else if (event == QLatin1String("lost"))
                rig.port.open = false, rig.finder.Follow();
            else if (event == QLatin1String("manual"))
                rig.engine.SendManual("AT+NAME?");
            else
                rig.engine.StartQuery();
            QVERIFY(!rig.finder.Running()); // at once
        }
        if (rig.finder.Running())
            rig.finder.TimedOut();
    }
    QVERIFY(!rig.finder.Running());
    QList<int> set;
    for (const QString &call : rig.port.calls)
        set << call.section(QLatin1Char(' '), 1).section(QLatin1Char(','), 0, 0).toInt();
    set.removeAll(0); // ClearBuffers
    QCOMPARE(set, lines);
    if (event == QLatin1String("manual")) {
        QCOMPARE(rig.port.writtenAt.last(), startRate);
        rig.port.written.removeLast();
    }
    const bool found = text.startsWith(u"模块在");
    const qsizetype probes = event.isEmpty() ? lines.size() - (found ? 0 : 1) : 2;
    QCOMPARE(rig.port.written,
             rig.port.open || event == "lost" ? QStringList(probes, QStringLiteral("AT\r\n"))
                                              : QStringList());
    QCOMPARE(rig.listed, found ? moduleRate : 0);
    QCOMPARE(rig.notice.open, !text.isEmpty());
    if (text.isEmpty())
        return;
    QCOMPARE(rig.notice.shown.last().text, text);
    QCOMPARE(rig.status.first(), QStringLiteral("尝试：38400"));
    QCOMPARE(rig.status.last(), QStringLiteral("端口：0 已打开 · fake0"));
    rig.engine.SendManual("AT"); // read at leisure while typing by hand
    QVERIFY(rig.notice.open);
    rig.engine.StartQuery(); // acted upon
    QVERIFY(!rig.notice.open);
}

void TestEngine::lineEndNotice_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("event"); // within the patience, or ("late") once it is over
    QTest::addColumn<bool>("shown");
    QTest::newRow("no line end") << "AT" << false << "" << true;
    QTest::newRow("CR") << "AT\r" << false << "" << false;
    QTest::newRow("a typed line break") << "AT\n" << false << "" << false;
    QTest::newRow("hex entry") << "41 54" << true << "" << false;
    QTest::newRow("answered in time") << "AT" << false << "byte" << false;
    QTest::newRow("a late byte") << "AT" << false << "late byte" << true;
    QTest::newRow("a query") << "AT" << false << "late query" << true;
}

void TestEngine::lineEndNotice()
{
    QFETCH(QString, typed);
    QFETCH(bool, hex);
    QFETCH(QString, event);
    QFETCH(bool, shown);
    Rig rig;
    FakeNotice notice;
    LineEndWatch watch(rig.state, rig.port, notice);
    const OutgoingCommand command = MakeCommand(typed, LineEnding::None, hex);
    QVERIFY(rig.engine.SendManual(command.bytes));
    watch.Sent(command);
    for (const QString at : { "", "late " }) {
        if (!at.isEmpty())
            watch.TimedOut();
        if (event == at + "byte")
            rig.port.Deliver(QStringLiteral("\r")), rig.engine.OnReceive(), watch.OnPortEvent();
        else if (event == at + "query")
            rig.engine.StartQuery(), watch.Follow();
    }
    QCOMPARE(notice.shown.size(), shown ? 1 : 0);
    QCOMPARE(notice.open, shown && event.isEmpty()); // a late byte or a query closes it
}

void TestEngine::doneNotice_data()
{
    QTest::addColumn<QStringList>("said"); // by the notice that it ended
    QTest::newRow("query") << QStringList { "完成|已读取全部 13 项设置" };
    QTest::newRow("update") << QStringList { "完成|已写入 9 项设置" };
    QTest::newRow("refused: its list instead") << QStringList {};
    QTest::newRow("manual") << QStringList {};
}

void TestEngine::doneNotice()
{
    QFETCH(QStringList, said);
    const QByteArray sequence = QTest::currentDataTag();
    const bool refused = sequence.startsWith("refused");
    WatchRig rig;
    FakeNotice done;
    rig.watch.SetDoneNotice(done);
    if (sequence == "manual")
        rig.engine.SendManual("AT\r\n");
    else
        sequence == "query" ? rig.engine.StartQuery() : rig.engine.StartUpdate();
    for (int i = 0; i < 14; ++i)
        rig.Tick(), rig.Receive(refused && i == 2 ? "ERROR:(4)\r\n" : "OK\r\n");
    QCOMPARE(done.Said(), said);
    QCOMPARE(rig.notice.shown.size(), refused ? 1 : 0);
    if (said.isEmpty())
        return;
    QVERIFY(done.shown[0].fleeting && done.shown[0].tone == NoticeTone::News);
    rig.engine.StartQuery(), rig.Tick(); // a new sequence: the old news goes
    QVERIFY(!done.open);
}

void TestEngine::readBackVerdict_data()
{
    QTest::addColumn<QString>("between"); // what happens between the update and the query
    QTest::addColumn<Texts>("panel"); // Text1 by index, written by the update
    QTest::addColumn<QString>("notKept"); // of the 9 written; "-": no verdict
    const Texts name { { 0, "BENCH-7" } };
    QTest::newRow("one not kept") << "forget" << name
                                  << "Text1(0)（写入 BENCH-7，模块回答 TARVENIT-BT）";
    QTest::newRow("not read back")
        << "AT+NAME?" << name << "Text1(0)（写入 BENCH-7，模块没有回答）";
    // The module's own forms: small hex letters, no leading zeros, no spaces at the end.
    QTest::newRow("kept, in the module's forms")
        << "forms" << Texts { { 0, "BENCH-7 " }, { 3, "001F00" }, { 7, "98D3:31:FD5E6F" } } << "";
    QTest::newRow("another port since") << "search" << name << "-";
    QTest::newRow("an update cut short") << "AT+UART=" << name << "-";
}

void TestEngine::readBackVerdict()
{
    QFETCH(QString, between);
    QFETCH(Texts, panel);
    QFETCH(QString, notKept);
    PanelRig rig;
    rig.Query();
    rig.module.ForgetSettings(between == "forget");
    rig.module.SilenceCommand(between.toStdString()); // the update's or the query's command
    for (auto it = panel.cbegin(); it != panel.cend(); ++it)
        rig.fields.SetText1(it.key(), it.value());
    QCOMPARE(rig.Update().size(), UpdateSteps);
    if (between == "forms")
        rig.module.Set("CLASS", "1f00"), rig.module.Set("BIND", "98d3:31:fd5e6f");
    if (between == "search")
        rig.origin.PortSearched(1);
    rig.Query(); // restarted: an update cut short stays so
    if (between == "AT+NAME?") // answered "OK" alone
        rig.port.Deliver("OK\r\n"), rig.engine.OnReceive(), rig.origin.Follow(), rig.Run();
    const auto readBack = rig.origin.LastReadBack();
    QCOMPARE(readBack ? readBack->notKept.join("、") : "-", notKept);
}

void TestEngine::otherCommandSets_data()
{
    QTest::addColumn<bool>("attention"); // "AT" answered, the version query not
    QTest::addColumn<QStringList>("events"); // an answer to each probe, or what ends the search
    QTest::addColumn<QStringList>("probes"); // all the search sent, and what came after
    QTest::addColumn<QString>("text"); // the notice it leaves open holds it; empty: none left
    // Whatever ends it, the probe in the module's line buffer is ended with a line end,
    // unless the port is no longer the one probed.
    const QStringList first = { "AT+VERSION", "\r\n" };
    const QStringList both = { "AT+VERSION", "AT+VERR?", "\r\n" };
    QTest::newRow("the pause family answers its version query")
        << false << QStringList { "V1.8" } << first << "以停顿结束命令的一类";
    QTest::newRow("only AT answered; the OK+ family answers the second")
        << true << QStringList { "", "OK+Get:V7.05" } << both << "以“OK+”回答的一类";
    QTest::newRow("an answer in OK+ is that family's, to either probe")
        << false << QStringList { "OK+Get:V7" } << first << "以“OK+”回答的一类";
    QTest::newRow("noise is no answer; a line end follows the probes")
        << false << QStringList { QString(4, QChar::ReplacementCharacter), "" } << both
        << "“AT”发出 2 "
           "秒后，模块没有任何回应。\n不带行结束符的“AT+VERSION”、“AT+VERR?”也没有得到回应。";
    QTest::newRow("cancelled") << true << QStringList { "cancel" } << first
                               << "所以波特率没有问题。";
    QTest::newRow("a query started")
        << true << QStringList { "", "query" } << both + QStringList { "AT\r\n" } << "";
    QTest::newRow("a command typed by hand")
        << false << QStringList { "typed" } << first + QStringList { "AT+NAME?" } << "";
    QTest::newRow("the port lost") << false << QStringList { "lost" } << first.mid(0, 1) << "";
    QTest::newRow("searched away to another port")
        << true << QStringList { "away" } << first.mid(0, 1) << "";
}

void TestEngine::otherCommandSets()
{
    QFETCH(bool, attention);
    QFETCH(QStringList, events);
    QFETCH(QStringList, probes);
    QFETCH(QString, text);
    WatchRig rig;
    rig.watch.SetOtherSetsSearch(
        [&](const NoticeContent &otherwise) { rig.search.Start(otherwise); });
    rig.engine.StartQuery(), rig.Tick();
    if (attention)
        rig.Receive(QStringLiteral("OK\r\n"));
    const qsizetype sent = rig.port.written.size();
    rig.Wait(StepWatch::PatienceMs);
    QVERIFY(rig.search.Running());
    QCOMPARE(rig.state.WorkMode, ModeIdle); // the step is given up: no answer completes it
    // While it searches, its one button stops it; what the silence offers comes after.
    QVERIFY(rig.notice.shown.last().actionOnly);
    QCOMPARE(rig.notice.shown.last().action, QStringLiteral("取消"));
    for (const QString &event : events) {
        if (event == QLatin1String("cancel"))
            rig.notice.shown.last().onAction();
        else if (event == QLatin1String("query"))
            rig.engine.StartQuery(), rig.Tick();
        else if (event == QLatin1String("typed"))
            rig.engine.SendManual("AT+NAME?");
        else if (event == QLatin1String("lost"))
            rig.port.open = false, rig.engine.OnPortLost(), rig.search.Follow();
        else if (event == QLatin1String("away"))
            rig.port.selected = 2, rig.search.Follow();
        else
            rig.Receive(event), rig.search.TimedOut();
    }
    QVERIFY(!rig.search.Running());
    QCOMPARE(rig.port.written.mid(sent), probes); // nothing else, and nothing that sets
    QVERIFY(rig.port.calls.isEmpty()); // at the rate in use
    QCOMPARE(rig.notice.open, !text.isEmpty());
    if (text.isEmpty())
        return; // ended by the operator's act or the port: it has nothing more to say
    const NoticeContent &left = rig.notice.shown.last();
    QVERIFY2(left.text.contains(text), qPrintable(left.text));
    QCOMPARE(left.tone == NoticeTone::News, text.endsWith(u"一类"));
    // Only a module silent from the start may be at another rate; one that answered "AT"
    // is pointed at the command mode, the check list's third item.
    QCOMPARE(left.action, text.startsWith(u"“AT”") ? QStringLiteral("查找波特率") : QString());
    QCOMPARE(left.informative.endsWith(u"\n3. 模块是否处于命令模式：多数模块要在上电时按住按键，"
                                       u"或把 KEY 引脚接高电平；"),
             attention && left.tone == NoticeTone::Trouble);
    rig.engine.StartQuery(); // acted upon
    QVERIFY(!rig.notice.open);
}

void TestEngine::updateGuard_data()
{
    // Each row named by what happens after a complete query.
    QTest::addColumn<QString>("cause"); // the guard's text holds it; empty: no guard
    QTest::addColumn<QString>("listed"); // the guard's first line of settings
    const QString name = QStringLiteral("Text1(0)TARVENIT-BT");
    const QString empty = QStringLiteral("Text1(0)（空）");
    const QString answered = QStringLiteral("（模块回答：TARVENIT-BT）");
    QTest::newRow("nothing read") << "还没有读取过模块。" << empty;
    QTest::newRow("cut short") << "上次读取没有完成" << name;
    QTest::newRow("port lost and back") << "端口断开过" << name;
    QTest::newRow("another port") << "换过端口" << name;
    QTest::newRow("loaded") << "面板中的值载入自文件 a:b.ini。"
                            << "Text1(0)BATCH" + answered;
    QTest::newRow("cleared") << "以下设置为空：Text1(0)、Text1(3)、Text1(4)" << empty + answered;
    QTest::newRow("an empty box") << "以下设置为空：Text1(8)。" << name;
    QTest::newRow("no role") << "group of Option1没有选择：将写入 0。" << name;
    QTest::newRow("edited: no guard") << QString() << QString();
    QTest::newRow("as read: no guard") << QString() << QString();
}

void TestEngine::updateGuard()
{
    QFETCH(QString, cause);
    QFETCH(QString, listed);
    const QByteArray after = QTest::currentDataTag();
    PanelRig rig;
    if (after == "cut short")
        rig.module.SilenceCommand("AT+MRAD?");
    if (after != "nothing read")
        rig.Query();
    if (after == "port lost and back")
        rig.engine.OnPortLost(), rig.origin.PortLost();
    else if (after == "another port")
        rig.origin.PortSearched();
    else if (after == "loaded")
        rig.fields.texts[0] = QStringLiteral("BATCH"), rig.origin.Loaded(QStringLiteral("a:b.ini"));
    else if (after == "cleared")
        rig.fields.texts.clear(), rig.fields.options.clear(), rig.origin.Cleared();
    else if (after == "an empty box")
        rig.fields.texts[8].clear();
    else if (after == "no role")
        rig.fields.SetOption(2, false);
    else if (after == "edited: no guard")
        rig.fields.texts[0] = QStringLiteral("BENCH"), rig.origin.Edited(1);
    rig.module.SilenceCommand("AT+MRAD?"); // a running query stays where it is
    QStringList expected;
    for (int step = 1; step <= UpdateSteps; ++step)
        expected << UpdateLine(step, rig.fields).chopped(2);
    rig.confirm.write = false;
    const QStringList cancelled = rig.Update();
    if (cause.isEmpty()) {
        QVERIFY(rig.confirm.asked.isEmpty());
        QCOMPARE(cancelled, expected);
        return;
    }
    QCOMPARE(rig.confirm.asked.size(), 1);
    QVERIFY2(rig.confirm.asked[0].contains(cause), qPrintable(rig.confirm.asked[0]));
    QVERIFY(cancelled.isEmpty()); // 取消 writes nothing
    QCOMPARE(rig.state.WorkMode, ModeIdle); // nor does a query that still ran go on
    // Each setting listed; one that differs from the module's answer says so.
    const QStringList lines = rig.confirm.details[0].split(QLatin1Char('\n')).mid(1);
    QCOMPARE(lines.size(), UpdateSteps);
    QCOMPARE(lines[0], listed);
    rig.confirm.write = true;
    QCOMPARE(rig.Update(), expected); // 写入 writes what the update always wrote
}

void TestEngine::pairing_data()
{
    QTest::addColumn<QString>("name"); // the first module's
    QTest::addColumn<bool>("bound");
    QTest::addColumn<QString>("second"); // the address the query reads before the bind
    QTest::newRow("another module") << "TARVENIT-BT" << true << "1a2b:3c:4d5e6f";
    QTest::newRow("the first named ADDR-TEST") << "ADDR-TEST" << true << "1a2b:3c:4d5e6f";
    QTest::newRow("another port, not read yet") << "TARVENIT-BT" << true << "";
    QTest::newRow("itself") << "TARVENIT-BT" << false << "98d3:31:fd5e6f";
    QTest::newRow("itself, in capitals and commas") << "TARVENIT-BT" << false << "98D3,31,FD5E6F";
}

void TestEngine::pairing()
{
    QFETCH(QString, name);
    QFETCH(QString, second);
    QFETCH(bool, bound);
    PanelRig rig;
    QVERIFY(!rig.pairing.CanKeep());
    rig.module.Set("ADDR", "98d3:31:fd5e6f");
    rig.module.Set("NAME", name.toStdString());
    rig.Query();
    QVERIFY(rig.pairing.CanKeep());
    rig.pairing.Keep();
    QCOMPARE(rig.pairing.Kept(), QStringLiteral("98d3:31:fd5e6f"));

    // The second module, on another port, read and bound to the first.
    rig.origin.PortSearched(), rig.module = sim::ModuleCore();
    rig.module.Set("ADDR", second.toStdString());
    if (!second.isEmpty())
        rig.Query();
    const FakeFields before = rig.fields;
    const auto refused = rig.pairing.Bind();
    QCOMPARE(!refused, bound);
    if (!bound) { // the panel and the guard as they were
        QCOMPARE(refused->text, QStringLiteral("不能绑定到模块自己的地址"));
        QVERIFY(rig.fields.texts == before.texts && rig.fields.options == before.options);
        QVERIFY(rig.origin.FromCompleteQuery());
        return;
    }
    QCOMPARE(rig.fields.Selected(1), 1); // master
    QCOMPARE(rig.fields.Selected(4), 5); // connection mode 0
    QCOMPARE(rig.fields.Text1(7), QStringLiteral("98d3:31:fd5e6f"));
    QCOMPARE(rig.fields.Text1(0), second.isEmpty() ? name : "TARVENIT-BT"); // the rest stays
    if (second.isEmpty())
        return;
    const QStringList written = rig.Update();
    QVERIFY(rig.confirm.asked.value(0).contains(QStringLiteral("已绑定到 98d3:31:fd5e6f")));
    QVERIFY(rig.confirm.details.value(0).contains(
        QStringLiteral("group of Option1Option1（模块回答：Option2）")));
    QCOMPARE(written.mid(1, 1) + written.mid(5, 2),
             (QStringList { "AT+ROLE=1", "AT+CMODE=0", "AT+BIND=98d3,31,fd5e6f" }));
    QCOMPARE(rig.module.Current().at("BIND"), "98d3:31:fd5e6f");
}

void TestEngine::valueProblems_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("problem"); // empty: the module takes it
    const QString n32(32, QLatin1Char('n')), hex8 = "应为十六进制数，最多 8 位，如 1f00",
                                             bind = "应为三段十六进制数，如 98d3:31:fd5e6f";
    const QString inquiry = "应为三个数：模式 0 或 1，最多设备数 1-32767，超时 1-48，如 1,1,48";
    const QString uart
        = "应为“波特率,停止位,校验位”，波特率为 4800/9600/19200/38400/57600/"
          "115200/230400/460800/921600/1382400 之一，停止位 0 或 1，校验位 0、1 或 2";
    const struct
    {
        const char *tag, *version, *word;
        QString value, problem;
    } rows[] = {
        { "name of 32 bytes", "", "NAME", n32, "" },
        { "name of 34", "", "NAME", n32 + "nn", "最多 32 字节，现在 34 字节" },
        { "name of 11 CJK", "3.0-20170601", "NAME", "蓝牙模块蓝牙模块蓝牙模",
          "最多 32 字节，现在 33 字节" },
        { "name with a line break", "", "NAME", "A\nB", "含有换行或其他控制字符" },
        { "pin 12ab!", "", "PSWD", "12ab!", "只能是字母和数字" },
        { "pin of 17", "4.0-20190815", "PSWD", QString(17, u'1'), "最多 16 个字符，现在 17 个" },
        { "pin in quotes, 3.0", "3.0-20170601", "PSWD", "\"4321\"", "" },
        { "pin in quotes, 2.x", "2.0-20100601", "PSWD", "\"4321\"", "只能是字母和数字" },
        { "class", "", "CLASS", "1f00", "" },
        { "class not hex", "", "CLASS", "1g00", hex8 },
        { "access code of 7", "", "IAC", "9e8b333", "应为十六进制数，最多 6 位，如 9e8b33" },
        { "inquiry mode", "", "INQM", "0,5,9", "" },
        { "inquiry time too long", "", "INQM", "1,1,49", inquiry },
        { "inquiry of two numbers", "", "INQM", "1,1", inquiry },
        { "uart", "", "UART", "1382400,1,2", "" },
        { "uart at a rate no module has", "", "UART", "14400,0,0", uart },
        { "bind with colons", "", "BIND", "98d3:31:fd5e6f", "" },
        { "bind with commas", "", "BIND", "98d3,31,fd5e6f", "" },
        { "bind of two parts", "", "BIND", "98d3:31", bind },
        { "bind with a part too long", "", "BIND", "98d3:311:fd5e6f", bind },
    };
    for (const auto &row : rows)
        QTest::newRow(row.tag) << QString(row.version) << QString(row.word) << row.value
                               << row.problem;
}

void TestEngine::valueProblems()
{
    QFETCH(QString, version);
    QFETCH(QString, word);
    QFETCH(QString, value);
    QFETCH(QString, problem);
    QCOMPARE(ValueProblem(SettingStep(word), value, FormsFor(version)), problem);
    if (problem.isEmpty())
        return;
    // The guard lists it, and nothing is written until it is mended.
    PanelRig rig;
    if (!version.isEmpty())
        rig.module.Set("VERSION", version.toStdString());
    rig.Query();
    rig.fields.texts[SettingText1Index(SettingStep(word))] = value; // as typed
    QCOMPARE(rig.Update(), QStringList());
    QVERIFY(rig.confirm.asked.isEmpty());
    QCOMPARE(rig.confirm.refused.size(), 1);
    QVERIFY2(rig.confirm.refused[0].endsWith(SettingName(SettingStep(word), rig.fields) + "："
                                             + problem),
             qPrintable(rig.confirm.refused[0]));
}

void TestEngine::oneCommandPerSetting_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("answered with a NUL") << "answered";
    QTest::newRow("paired") << "paired";
    QTest::newRow("a box that holds a line break all the same") << "held";
}

void TestEngine::oneCommandPerSetting()
{
    QFETCH(QString, path);
    PanelRig rig;
    if (path == "answered")
        rig.module.Set("NAME", std::string("BENCH\0AT+ORGL", 13));
    rig.Query();
    if (path == "paired")
        rig.pairing.Keep(), rig.origin.PortSearched(1), rig.module.Set("ADDR", "1:2:3"),
            rig.Query(), rig.pairing.Bind();
    if (path == "held") {
        // Past the guard, as nothing in the window can: the engine's own last check.
        rig.fields.texts[4] = QStringLiteral("1234\r\nAT+ORGL");
        rig.engine.StartUpdate();
        const QStringList lines = rig.Run(); // the steps before it
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.last(), QStringLiteral("AT+CLASS=1f00"));
        QCOMPARE(rig.warning.shown,
                 QStringList { "警告|Text1(4)的值含有换行或 NUL，更新已在写入它之前停止！" });
        return;
    }
    rig.confirm.write = true;
    const QStringList lines = rig.Update();
    QCOMPARE(lines.size(), UpdateSteps);
    for (const QString &line : lines)
        QVERIFY2(!HoldsControlCharacter(line), qPrintable(line));
    QVERIFY(rig.module.Current().at("NAME").find('\0') == std::string::npos);
}

void TestEngine::loadOrBindDuringQuery_data()
{
    QTest::addColumn<QString>("cause");
    QTest::newRow("load") << "面板中的值载入自文件 f.ini。";
    QTest::newRow("bind") << "已绑定到 98d3:31:fd5e6f";
}

void TestEngine::loadOrBindDuringQuery()
{
    QFETCH(QString, cause);
    PanelRig rig;
    rig.module.Set("ADDR", "98d3:31:fd5e6f");
    rig.Query();
    rig.pairing.Keep();
    QCOMPARE(rig.origin.ValuesFromPort(), 0);
    rig.origin.PortSearched(1); // the next module
    QCOMPARE(rig.origin.ValuesFromPort(), 1);
    rig.module = sim::ModuleCore();
    rig.module.SilenceCommand("AT+STATE?"); // slow to answer step 14
    rig.Query();
    QCOMPARE(rig.state.StepIndex, qint16(QuerySteps));
    QVERIFY(rig.state.AwaitingReply);
    if (QTest::currentDataTag() == QByteArray("load"))
        rig.origin.Loaded(QStringLiteral("f.ini"));
    else
        rig.pairing.Bind();
    QCOMPARE(rig.state.WorkMode, ModeIdle); // the query stopped
    rig.port.Deliver(QStringLiteral("+STATE:INITIALIZED\r\nOK\r\n")); // the late answer
    rig.engine.OnReceive(), rig.origin.Follow();
    rig.confirm.write = false;
    QCOMPARE(rig.Update(), QStringList());
    QVERIFY2(rig.confirm.asked.value(0).contains(cause), qPrintable(rig.confirm.asked.value(0)));
    QCOMPARE(rig.origin.ValuesFromPort(), QTest::currentDataTag() == QByteArray("load") ? 0 : 1);
}

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
