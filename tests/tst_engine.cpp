// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/batch.h"
#include "engine/batchrun.h"
#include "engine/commandengine.h"
#include "engine/families/familysequence.h"
#include "engine/guardedcommands.h"
#include "engine/lineendwatch.h"
#include "engine/modulefinder.h"
#include "engine/outgoing.h"
#include "engine/pairing.h"
#include "engine/panelorigin.h"
#include "engine/refusalcodes.h"
#include "engine/sequence.h"
#include "engine/sequencerunner.h"
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
        QString found; // "rate family answer resume", as the window is told
        ModuleFinder finder {
            state,
            port,
            engine,
            notice,
            [this](const QString &caption, const QString &) { status << caption; },
            [this](int rate) { listed = rate; },
            [this](int rate, const CommandFamily *family, const QString &answer, bool resume) {
                found = QStringLiteral("%1 %2 %3 %4")
                            .arg(rate)
                            .arg(family ? family->key : "own", answer)
                            .arg(resume);
                state.Family = family, state.FamilyVersion = answer;
                if (resume) // as the window does
                    engine.StartQuery();
            }
        };
        qsizetype played = 0; // of port.written, answered by Play
        WatchRig()
        {
            engine.SetModeWatcher([this] { watch.Follow(now), finder.Follow(); });
        }
        // Answers what went out since, as a module of `family` at `rate` would; at
        // another rate its answer is noise.
        void Play(const QString &family, int rate)
        {
            static const QMap<QString, QString> answers
                = { { "own AT\r\n", "OK\r\n" },
                    { "pause AT+VERSION", "V1.8" },
                    { "ok-plus AT\r\n", "OK" },
                    { "ok-plus AT+VERR?", "OK+Get:V7.05" } };
            for (; played < port.written.size(); ++played)
                port.Deliver(port.writtenAt[played] == rate
                                 ? answers.value(family + ' ' + port.written[played])
                                 : QString(4, QChar::ReplacementCharacter));
            engine.OnReceive(), finder.Follow();
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

    // A module of another family, answering after its own delay, and the family's sequence.
    struct FamilyRig : Rig
    {
        FakeNotice notice;
        FakeConfirm confirm;
        sim::ModuleCore module;
        qint64 now = 0;
        int delay = 0; // ms from a command to its answer
        QList<int> shownRates;
        FamilySequence family { state, port, engine, fields, notice, confirm, [this] { return now; } };
        explicit FamilyRig(const QString &key)
        {
            state.Family = FamilyByKey(key);
            module.SetCommandSet(key == "pause" ? sim::CommandSet::Pause : sim::CommandSet::OkPlus);
            delay = key == "pause" ? 1000 : 100;
            engine.SetModeWatcher([this] { family.Follow(); });
            family.SetRateShower([this](int rate) { shownRates << rate; });
        }
        // Starts, and runs until the sequence ends (at most 30 s); the commands written.
        QStringList Run(const std::function<void()> &start)
        {
            const qsizetype from = port.written.size();
            qint64 answerAt = -1;
            std::optional<std::string> answer;
            start();
            const qint64 end = now + 30000;
            for (qsizetype sent = from; now < end && SequenceRunning(state); now += 10) {
                if (port.written.size() > sent)
                    answer = module.Reply(port.written.last().toStdString(), port.baud),
                    answerAt = now + delay, sent = port.written.size();
                if (answer && now >= answerAt)
                    port.Deliver(QString::fromStdString(*std::exchange(answer, std::nullopt))),
                        engine.OnReceive(), family.Follow();
                engine.OnTick(), family.Follow();
            }
            return port.written.mid(from);
        }
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
    void moduleFinder_data();
    void moduleFinder();
    void finderTriesEveryFamilyRate();
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
    void batchTemplates_data();
    void batchTemplates();
    void sequenceRun_data();
    void sequenceRun();
    void shippedSequence_data();
    void shippedSequence();
    void batchModule_data();
    void batchModule();
    void batchRecord_data();
    void batchRecord();
    void familyAnswers_data();
    void familyAnswers();
    void rateCommands_data();
    void rateCommands();
    void familyTables_data();
    void familyTables();
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
    rig.state = { before, 7, true, {}, QString(), 3, QString(), nullptr, QString() };
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

// The search's probes as they go out, in order: the rate and what is sent.
const QList<QPair<int, QString>> FinderOrder = {
    { 38400, "AT\r\n" },  { 9600, "AT\r\n" },    { 9600, "AT+VERSION" },  { 9600, "AT+VERR?" },
    { 115200, "AT\r\n" }, { 57600, "AT\r\n" },   { 19200, "AT\r\n" },     { 4800, "AT\r\n" },
    { 2400, "AT\r\n" },   { 1200, "AT\r\n" },    { 230400, "AT\r\n" },    { 460800, "AT\r\n" },
    { 921600, "AT\r\n" }, { 1382400, "AT\r\n" }, { 38400, "AT+VERSION" }, { 115200, "AT+VERSION" },
};

void TestEngine::moduleFinder_data()
{
    QTest::addColumn<QString>("start"); // operator, closed (its port), silence, attention
    QTest::addColumn<int>("startRate");
    QTest::addColumn<QString>("family"); // of the module: own, pause, ok-plus; none: noise
    QTest::addColumn<int>("rate"); // the module's
    QTest::addColumn<QString>("event"); // after the probes of `at` + 1 waits
    QTest::addColumn<int>("at");
    QTest::addColumn<int>("probes"); // of FinderOrder that went out
    QTest::addColumn<QStringList>("tail"); // what went out after them, "rate bytes"
    QTest::addColumn<QString>("text"); // the notice left open holds it; empty: none left
    QTest::addColumn<QString>("found"); // "rate family answer resume"; empty: not called
    const QString own = QStringLiteral("模块在 %1 波特率下回答了“AT”。");
    const QString pause = QStringLiteral("以停顿结束命令的一类");
    const QString okPlus = QStringLiteral("以“OK+”回答的一类");
    const QString silent = QStringLiteral("“AT”发出 2 秒后，模块没有任何回应。");
    const QString none = QStringLiteral("在每一个波特率下，模块都没有回答“AT”；");
    const QStringList nothing;
    QTest::newRow("own at 38400") << "operator" << 38400 << "own" << 38400 << "" << 0 << 1
                                  << nothing << own.arg(38400) << "38400 own  0";
    QTest::newRow("own at 9600") << "operator" << 57600 << "own" << 9600 << "" << 0 << 2 << nothing
                                 << own.arg(9600) << "9600 own  0";
    QTest::newRow("own at 1382400, its last rate")
        << "operator" << 38400 << "own" << 1382400 << "" << 0 << 14 << nothing << own.arg(1382400)
        << "1382400 own  0";
    QTest::newRow("pause at 9600") << "operator" << 38400 << "pause" << 9600 << "" << 0 << 3
                                   << nothing << pause << "9600 pause V1.8 0";
    QTest::newRow("pause at 38400") << "operator" << 38400 << "pause" << 38400 << "" << 0 << 15
                                    << nothing << pause << "38400 pause V1.8 0";
    QTest::newRow("pause at 115200, the last probe")
        << "operator" << 9600 << "pause" << 115200 << "" << 0 << 16 << nothing << pause
        << "115200 pause V1.8 0";
    QTest::newRow("ok-plus at 38400: its bare OK asked its version")
        << "operator" << 38400 << "ok-plus" << 38400 << "" << 0 << 1
        << QStringList { "38400 AT+VERR?" } << okPlus << "38400 ok-plus OK+Get:V7.05 0";
    QTest::newRow("ok-plus at 9600")
        << "operator" << 38400 << "ok-plus" << 9600 << "" << 0 << 2
        << QStringList { "9600 AT+VERR?" } << okPlus << "9600 ok-plus OK+Get:V7.05 0";
    QTest::newRow("ok-plus at 57600")
        << "operator" << 38400 << "ok-plus" << 57600 << "" << 0 << 6
        << QStringList { "57600 AT+VERR?" } << okPlus << "57600 ok-plus OK+Get:V7.05 0";
    QTest::newRow("known to be ok-plus: its version asked, never a bare AT")
        << "known" << 38400 << "ok-plus" << 57600 << "" << 0 << 6 << nothing << okPlus
        << "57600 ok-plus OK+Get:V7.05 0";
    QTest::newRow("no answer: the last probe's line ended, the rate given back")
        << "operator" << 115200 << "none" << 0 << "" << 0 << 16 << QStringList { "115200 \r\n" }
        << none << "";
    QTest::newRow("cancelled") << "operator" << 57600 << "none" << 0 << "cancel" << 1 << 2
                               << nothing << ""
                               << "";
    QTest::newRow("cancelled while the pause probe waits: its line ended")
        << "operator" << 57600 << "none" << 0 << "cancel" << 3 << 3 << QStringList { "9600 \r\n" }
        << ""
        << "";
    QTest::newRow("port lost: its rate kept to open again at")
        << "operator" << 57600 << "none" << 0 << "lost" << 1 << 2 << nothing << ""
        << "";
    QTest::newRow("the operator starts a query") << "operator" << 19200 << "none" << 0 << "query"
                                                 << 1 << 2 << QStringList { "19200 AT\r\n" } << ""
                                                 << "";
    QTest::newRow("a hand-typed command, sent at the rate given back")
        << "operator" << 19200 << "none" << 0 << "manual" << 1 << 2
        << QStringList { "19200 AT+NAME?" } << ""
        << "";
    QTest::newRow("port closed: nothing sent")
        << "closed" << 38400 << "none" << 0 << "" << 0 << 0 << nothing << ""
        << "";
    QTest::newRow("a silent query: pause at 9600, and the query goes on")
        << "silence" << 38400 << "pause" << 9600 << "" << 0 << 3 << nothing << pause
        << "9600 pause V1.8 1";
    QTest::newRow("a silent query: ok-plus at 9600")
        << "silence" << 38400 << "ok-plus" << 9600 << "" << 0 << 2
        << QStringList { "9600 AT+VERR?" } << okPlus << "9600 ok-plus OK+Get:V7.05 1";
    QTest::newRow("a silent query: own at 9600") << "silence" << 38400 << "own" << 9600 << "" << 0
                                                 << 2 << nothing << own.arg(9600) << "9600 own  1";
    QTest::newRow("only AT answered: the rate is right, no query again")
        << "attention" << 38400 << "own" << 38400 << "" << 0 << 1 << nothing
        << "所以波特率没有问题。"
        << "";
    QTest::newRow("a silent query: noise is no answer; a line end follows the probes")
        << "silence" << 38400 << "none" << 0 << "" << 0 << 16 << QStringList { "115200 \r\n" }
        << silent + "\n" + none << "";
    QTest::newRow("a silent query: cancelled")
        << "silence" << 38400 << "none" << 0 << "cancel" << 1 << 2 << nothing << silent << "";
    QTest::newRow("a silent query: a query started")
        << "silence" << 38400 << "none" << 0 << "query" << 3 << 3
        << QStringList { "9600 \r\n", "38400 AT\r\n" } << ""
        << "";
    QTest::newRow("a silent query: a command typed by hand")
        << "silence" << 38400 << "none" << 0 << "manual" << 3 << 3
        << QStringList { "9600 \r\n", "38400 AT+NAME?" } << ""
        << "";
    QTest::newRow("a silent query: the port lost")
        << "silence" << 38400 << "none" << 0 << "lost" << 3 << 3 << nothing << ""
        << "";
    QTest::newRow("a silent query: searched away to another port")
        << "silence" << 38400 << "none" << 0 << "away" << 3 << 3 << nothing << ""
        << "";
}

void TestEngine::moduleFinder()
{
    QFETCH(QString, start);
    QFETCH(int, startRate);
    QFETCH(QString, family);
    QFETCH(int, rate);
    QFETCH(QString, event);
    QFETCH(int, at);
    QFETCH(int, probes);
    QFETCH(QStringList, tail);
    QFETCH(QString, text);
    QFETCH(QString, found);
    WatchRig rig;
    rig.port.baud = startRate;
    rig.port.open = start != "closed";
    if (start == "known")
        rig.state.Family = FamilyByKey(family);
    if (start == "operator" || start == "closed" || start == "known") {
        rig.state.WorkMode = ModeSearching, rig.state.StepIndex = 3; // a query step waits
        rig.state.AwaitingReply = true;
        rig.port.Deliver(QStringLiteral("OK\r\n")); // unread from before: no answer to a probe
        rig.finder.Start();
        QCOMPARE(rig.state.WorkMode, rig.port.open ? ModeIdle : ModeSearching);
        QCOMPARE(rig.warning.shown.size(), rig.port.open ? 0 : 1);
    } else {
        rig.watch.SetSilenceSearch(
            [&](const NoticeContent &otherwise) { rig.finder.StartFromSilence(otherwise); });
        rig.engine.StartQuery(), rig.Tick();
        if (start == "attention")
            rig.Receive(QStringLiteral("OK\r\n"));
        rig.played = rig.port.written.size();
        rig.Wait(StepWatch::PatienceMs);
        QCOMPARE(rig.state.WorkMode, ModeIdle); // the step is given up: no answer completes it
    }
    const qsizetype from = rig.played;
    // While it searches, its one button stops it.
    QCOMPARE(rig.finder.Running(), rig.port.open);
    if (rig.port.open)
        QVERIFY(rig.notice.shown.last().actionOnly && rig.notice.shown.last().action == "取消");
    for (int step = 0; rig.finder.Running() && step < 40; ++step) {
        rig.Play(family, rate);
        if (step == at && !event.isEmpty()) {
            if (event == QLatin1String("cancel"))
                rig.notice.shown.last().onAction(); // the progress notice's "取消"
            else if (event == QLatin1String("lost"))
                rig.port.open = false, rig.engine.OnPortLost(), rig.finder.Follow();
            else if (event == QLatin1String("away"))
                rig.port.selected = 2, rig.finder.Follow();
            else if (event == QLatin1String("manual"))
                rig.engine.SendManual("AT+NAME?");
            else
                rig.engine.StartQuery(), rig.Tick();
            QVERIFY(!rig.finder.Running()); // at once
        }
        if (rig.finder.Running())
            rig.finder.TimedOut();
    }
    QVERIFY(!rig.finder.Running());
    // Only probes and line ends, at the rates of the order, and nothing that sets.
    QStringList sent;
    for (qsizetype i = from; i < rig.port.written.size(); ++i)
        sent << QString::number(rig.port.writtenAt[i]) + ' ' + rig.port.written[i];
    QStringList expected;
    for (const auto &[probed, bytes] : FinderOrder.mid(0, probes))
        expected << QString::number(probed) + ' '
                + (start == "known" && bytes == "AT\r\n" ? QStringLiteral("AT+VERR?") : bytes);
    QCOMPARE(sent, expected + tail);
    // The line set at each new rate, and at the end back to the rate found or given back.
    QList<int> lines, changes;
    for (const QString &call : std::as_const(rig.port.calls)) {
        QVERIFY2(call == "ClearBuffers" || call.startsWith("SetLine "), qPrintable(call));
        if (call.startsWith("SetLine "))
            lines << call.section(' ', 1).section(',', 0, 0).toInt();
    }
    int line = startRate;
    for (int used : rig.port.writtenAt.mid(from)) {
        if (used != line)
            changes << (line = used);
    }
    if (line != rig.port.baud)
        changes << rig.port.baud;
    QCOMPARE(lines, changes);
    if (event != "away")
        QCOMPARE(rig.port.baud, found.isEmpty() || start == "attention" ? startRate : rate);
    QCOMPARE(rig.found, found);
    QCOMPARE(rig.listed, found.isEmpty() ? (start == "attention" ? rate : 0) : rate);
    QCOMPARE(rig.state.WorkMode == ModeSearching,
             found.endsWith(" 1") || start == "closed" || event == "query");
    QCOMPARE(rig.notice.open, !text.isEmpty());
    if (probes > 0)
        QCOMPARE(rig.status.first(),
                 start == "known" ? QStringLiteral("尝试：38400 · AT+VERR?")
                                  : QStringLiteral("尝试：38400 · AT"));
    if (text.isEmpty())
        return; // ended by the operator's act or the port: it has nothing more to say
    const NoticeContent &left = rig.notice.shown.last();
    QVERIFY2(left.text.contains(text), qPrintable(left.text));
    QCOMPARE(left.tone == NoticeTone::News, !found.isEmpty());
    QCOMPARE(rig.status.last(), QStringLiteral("端口：0 已打开 · fake0"));
    // A silent query offers the search only until it ran; one that answered "AT" is
    // pointed at the command mode, the check list's third item.
    if (start == "silence" && found.isEmpty())
        QCOMPARE(left.action, event == "cancel" ? QStringLiteral("查找波特率") : QString());
    QCOMPARE(left.informative.endsWith(u"\n3. 模块是否处于命令模式：多数模块要在上电时按住按键，"
                                       u"或把 KEY 引脚接高电平；"),
             start == "attention");
    if (found.endsWith(" 1"))
        return; // the query that goes on leaves it open
    rig.engine.SendManual("AT"); // read at leisure while typing by hand
    QVERIFY(rig.notice.open);
    rig.engine.StartQuery(); // acted upon
    QVERIFY(!rig.notice.open);
}

void TestEngine::finderTriesEveryFamilyRate()
{
    QSet<int> tried;
    for (const FinderProbe &probe : ModuleFinder::Probes())
        tried << probe.rate;
    for (const CommandFamily &family : OtherFamilies()) {
        for (const RateDigit &row : family.rates)
            QVERIFY2(tried.contains(row.rate), qPrintable(QString::number(row.rate)));
    }
    QCOMPARE(tried.size(), 12);
    QVERIFY(ModuleFinder::LongestMs() < 10000); // the operator waits for it
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
    // A rate written takes effect only at the power cycle the operator gives it.
    QCOMPARE(done.shown[0].informative.contains("重新上电"), sequence == "update");
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

void TestEngine::batchTemplates_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("counter");
    QTest::addColumn<QString>("value"); // or the refusal
    const QString unknown = "不认识“{%1}”：可以用 {n}、{n:03} 和 {addr}";
    QTest::newRow("counter in three digits") << "BENCH-{n:03}" << 7 << "BENCH-007";
    QTest::newRow("wider than its width") << "B{n:02}" << 123 << "B123";
    QTest::newRow("counter as it is") << "M{n}" << 12 << "M12";
    QTest::newRow("the address' last six digits") << "BT-{addr}" << 1 << "BT-fd5e6f";
    QTest::newRow("both, twice") << "{n:04}-{addr}-{n}" << 5 << "0005-fd5e6f-5";
    QTest::newRow("no placeholder") << "1234" << 9 << "1234";
    QTest::newRow("an unknown name") << "X{name}" << 1 << unknown.arg("name");
    QTest::newRow("a width of zero digits") << "{n:00}" << 1 << unknown.arg("n:00");
    QTest::newRow("a lone brace") << "BENCH-{n" << 1 << "“BENCH-{n”中有不成对的括号";
    QTest::newRow("a closing brace alone") << "A}{n}" << 1 << "“A}{n}”中有不成对的括号";
}

void TestEngine::batchTemplates()
{
    QFETCH(QString, pattern);
    QFETCH(int, counter);
    QFETCH(QString, value);
    const ExpandedValue expanded = ExpandTemplate(pattern, counter, "98D3:31:FD5E6F");
    QCOMPARE(expanded.error.isEmpty() ? expanded.value : expanded.error, value);
    QCOMPARE(expanded.error.isEmpty(), !value.contains(u'“'));
}

// Runs the sequence against the rig's module, a tick at a time, until it ends or the clock
// passes `limit`, `now` its clock.
template<typename PanelRig>
static void RunAgainstModule(
    PanelRig &rig, SequenceRunner &runner, const QString &event, qint64 limit, qint64 &now)
{
    for (qsizetype answered = 0; runner.Running() && now < limit; now += SequenceRunner::TickMs) {
        for (; answered < rig.port.written.size(); ++answered) {
            if (const auto reply
                = rig.module.Reply(rig.port.written[answered].trimmed().toStdString()))
                rig.port.Deliver(QString::fromStdString(*reply)), rig.engine.OnReceive();
        }
        if (now == 200 && event == "stop")
            runner.Stop();
        if (now == 200 && event == "query")
            rig.engine.StartQuery();
        runner.Follow();
    }
}

void TestEngine::sequenceRun_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("event"); // "stop" or "query" at the second step; empty: none
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("said"); // how the notice at its end begins
    QTest::addColumn<int>("endsBy"); // ms
    QTest::newRow("done")
        << "send AT\nexpect OK\nwait 100\nsend AT+NAME?\nexpect /\\+NAME:\\w+/ 500"
        << "" << QStringList { "AT\r\n", "AT+NAME?\r\n" } << "序列 t 已完成（5 步）。" << 200;
    QTest::newRow("sent exactly as written, no line ending added")
        << "send AT+NAME?\\n"
        << "" << QStringList { "AT+NAME?\n" } << "序列 t 已完成（1 步）。" << 100;
    QTest::newRow("a refusal fails at once, what came quoted, its code explained")
        << "send AT+PSWD=\nexpect OK 5000"
        << "" << QStringList { "AT+PSWD=\r\n" }
        << "序列 t 的第 2 步“expect OK”没有完成：收到的是“ERROR:(1F)”（ERROR:(1F)：" << 100;
    QTest::newRow("maybe: a silence goes on")
        << "send AT+PAIR=98d3,31,fd5e6f,20\nmaybe OK 500\nsend AT"
        << "" << QStringList { "AT+PAIR=98d3,31,fd5e6f,20\r\n", "AT\r\n" }
        << "序列 t 已完成（3 步）。" << 600;
    QTest::newRow("maybe: a refusal still fails")
        << "send AT+PSWD=\nmaybe OK 5000"
        << "" << QStringList { "AT+PSWD=\r\n" } << "序列 t 的第 2 步“maybe OK”没有完成" << 100;
    QTest::newRow("nothing came") << "expect OK 300"
                                  << "" << QStringList {}
                                  << "序列 t 的第 1 步“expect OK”没有完成：300 毫秒内什么也没有收到"
                                  << 400;
    QTest::newRow("stopped half way")
        << "send AT\nwait 5000\nsend AT+NAME?"
        << "stop" << QStringList { "AT\r\n" } << "序列 t 在第 2 步被停止。" << 300;
    QTest::newRow("a query started ends it")
        << "send AT\nwait 5000"
        << "query" << QStringList { "AT\r\n" } << "序列 t 在第 2 步停止：读取或更新模块开始了。"
        << 300;
    QTest::newRow("a value not known: nothing sent, not even the steps before it")
        << "send AT\nsend AT+BIND={bind}"
        << "" << QStringList {} << "序列 t 的第 2 步“send AT+BIND={bind}”没有完成：{bind} 还不知道"
        << 0;
    QTest::newRow("a value in what is expected")
        << "send AT+ADDR?\nexpect +ADDR:{addr} 500"
        << "" << QStringList { "AT+ADDR?\r\n" } << "序列 t 已完成（2 步）。" << 100;
    QTest::newRow("what the answers say of the pairing")
        << "send AT+STATE?\nexpect OK\nsend AT+MRAD?\nexpect OK"
        << "" << QStringList { "AT+STATE?\r\n", "AT+MRAD?\r\n" }
        << "序列 t 已完成（4 步）。没有配对；状态：已初始化；还没有配对过设备。" << 100;
}

void TestEngine::sequenceRun()
{
    QFETCH(QString, file);
    QFETCH(QString, event);
    QFETCH(QStringList, sent);
    QFETCH(QString, said);
    QFETCH(int, endsBy);
    PanelRig rig;
    rig.module.FailCommand("AT+PSWD=");
    rig.module.SilenceCommand("AT+PAIR=");
    FakeNotice notice;
    qint64 now = 0;
    SequenceRunner runner(rig.state, rig.port, rig.engine, notice, [&] { return now; });
    runner.SetValues([] { return QString("1a2b:3c:4d5e6f"); }, [] { return QString(); });
    runner.SetLineEnding([] { return QByteArray("\r\n"); });
    const ParsedSequence parsed = ParseSequence(file);
    QVERIFY(runner.Start("t", parsed.steps));
    RunAgainstModule(rig, runner, event, 10000, now);
    QVERIFY(!runner.Running());
    QVERIFY2(now <= endsBy, qPrintable(QString::number(now)));
    QCOMPARE(rig.port.written.mid(0, sent.size() + 1), sent);
    QVERIFY2(notice.shown.value(0).text.startsWith(said), qPrintable(notice.shown.value(0).text));
    QCOMPARE(notice.shown.size(), 1);
}

void TestEngine::shippedSequence_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("firmware");
    QTest::addColumn<QString>("far"); // the slave: "near", "absent", or "mini" (the master in it)
    QTest::addColumn<QString>("said"); // held by the notice at its end
    const QString pair = "pair-and-connect.txt";
    QTest::newRow("pairing, 2.0")
        << pair << 2 << "near"
        << "已完成（22 步）。已连接；配对列表中有 1 个设备；最近配对的是 98d3:31:fd5e6f。";
    QTest::newRow("pairing, 3.0: its ERROR:(17) is harmless") << pair << 3 << "near"
                                                              << "已连接";
    QTest::newRow("pairing, 4.0: ERROR and a silent pairing are harmless") << pair << 4 << "near"
                                                                           << "已连接";
    QTest::newRow("pairing, 3.0 in its mini mode: the key")
        << pair << 3 << "mini"
        << QString(R"(第 10 步“expect /(?m)^(OK|ERROR:\(17\)|ERROR)\r?$/”没有完成：)")
            + "收到的是“ERROR:(1F)”（ERROR:(1F)：此命令在这种命令模式下不可用（固件 "
              "3.0）：模块上电时没有按住";
    QTest::newRow("pairing, 2.0, no slave near")
        << pair << 2 << "absent"
        << "第 12 步“maybe OK”没有完成：收到的是“FAIL”（没有配对上";
    QTest::newRow("pairing, 4.0, no slave near: the link tells")
        << pair << 4 << "absent"
        << "第 16 步“expect OK”没有完成：收到的是“FAIL”（没有连接上";
    for (int firmware : { 2, 3, 4 }) {
        QTest::addRow("pairing read, %d.0", firmware)
            << "read-pairing.txt" << firmware << "near"
            << "已完成（6 步）。没有配对；状态：已初始化；配对列表中有 0 "
               "个设备；还没有配对过设备。";
        QTest::addRow("factory reset, %d.0", firmware) << "factory-reset.txt" << firmware << "near"
                                                       << "序列 恢复出厂设置 已完成（3 步）。";
    }
}

void TestEngine::shippedSequence()
{
    QFETCH(QString, file);
    QFETCH(int, firmware);
    QFETCH(QString, far);
    QFETCH(QString, said);
    PanelRig rig;
    QVERIFY(rig.module.SetFirmware(firmware));
    rig.module.Set("UART", "9600,0,0");
    if (far == "mini")
        rig.module.SetCommandMode(sim::CommandMode::Mini);
    const auto air = std::make_shared<sim::Air>();
    sim::ModuleCore slave;
    QVERIFY(slave.Set("ADDR", "98d3:31:fd5e6f"));
    if (far != "absent")
        slave.JoinAir(air);
    rig.module.JoinAir(air);
    QFile source(":/sequences/" + file);
    QVERIFY(source.open(QIODevice::ReadOnly));
    const ParsedSequence parsed = ParseSequence(QString::fromUtf8(source.readAll()));
    QCOMPARE(parsed.badLine, 0);
    const auto shipped = std::find_if(ShippedSequences.begin(), ShippedSequences.end(),
                                      [&](const ShippedSequence &s) { return file == s.file; });
    QVERIFY(shipped != ShippedSequences.end());
    FakeNotice notice;
    qint64 now = 0;
    SequenceRunner runner(rig.state, rig.port, rig.engine, notice, [&] { return now; });
    runner.SetValues([] { return QString("1a2b:3c:4d5e6f"); },
                     [] { return QString("98d3,31,fd5e6f"); });
    runner.SetLineEnding([] { return QByteArray("\r\n"); });
    QVERIFY(runner.Start(ShippedName(*shipped), parsed.steps));
    RunAgainstModule(rig, runner, QString(), 60000, now);
    QVERIFY(!runner.Running());
    QVERIFY2(notice.shown.value(0).text.contains(said), qPrintable(notice.shown.value(0).text));
    if (said.contains("已连接")) // the slave sees the link too
        QCOMPARE(slave.Reply("AT+STATE?").value_or(""), "+STATE:CONNECTED\r\nOK\r\n");
    if (file.startsWith("factory"))
        QCOMPARE(rig.module.Current().at("UART"), "38400,0,0");
}

void TestEngine::batchModule_data()
{
    QTest::addColumn<Texts>("profile"); // by update step
    QTest::addColumn<QString>("module"); // "forgets", "again", "stop"; empty: as it should
    QTest::addColumn<QStringList>("written"); // by the update
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<int>("counter"); // after it, from 7
    const Texts profile { { 1, "BENCH-{n:03}" }, { 4, "{addr}" } };
    QTest::newRow("passes: the templates filled, the counter on")
        << profile << "" << QStringList { "AT+NAME=BENCH-007", "AT+PSWD=4d5e6f" }
        << "通过 · BENCH-007 · 1a2b:3c:4d5e6f" << 8;
    QTest::newRow("a module that forgets: failed, the counter stays")
        << profile << "forgets" << QStringList { "AT+NAME=BENCH-007", "AT+PSWD=4d5e6f" }
        << "未通过 · Text1(0)未保留 · Text1(4)未保留" << 7;
    QTest::newRow("what the profile leaves out is not written")
        << Texts { { 9, "9600,0,0" } } << "" << QStringList { "AT+UART=9600,0,0" }
        << "通过 · TARVENIT-BT · 1a2b:3c:4d5e6f" << 8;
    QTest::newRow("a module of this record: not written")
        << profile << "again" << QStringList {} << "未写入 · 该模块已在本批中配置过" << 8;
    QTest::newRow("written again when the operator says so")
        << profile << "again, yes" << QStringList { "AT+NAME=BENCH-008", "AT+PSWD=4d5e6f" }
        << "通过 · BENCH-008 · 1a2b:3c:4d5e6f" << 9;
    QTest::newRow("stopped while writing: recorded half written")
        << profile << "stop" << QStringList { "AT+NAME=BENCH-007", "AT+PSWD=4d5e6f" }
        << "未完成 · 写入中途停止" << 7;
    QTest::newRow("a template refused: nothing written")
        << Texts { { 1, "B-{x}" } } << "" << QStringList {}
        << "未通过 · 不认识“{x}”：可以用 {n}、{n:03} 和 {addr}" << 7;
    QTest::newRow("a value the firmware refuses: nothing written")
        << Texts { { 1, QString(33, u'N') } } << "" << QStringList {}
        << "未通过 · Text1(0)：最多 32 字节，现在 33 字节" << 7;
}

void TestEngine::batchModule()
{
    QFETCH(Texts, profile);
    QFETCH(QString, module);
    QFETCH(QStringList, written);
    QFETCH(QString, verdict);
    QFETCH(int, counter);
    PanelRig rig;
    rig.module.ForgetSettings(module == "forgets");
    if (module == "stop")
        rig.module.SilenceCommand("AT+PSWD=");
    BatchRun batch { rig.state, rig.port, rig.engine, rig.origin };
    rig.engine.SetModeWatcher([&] { rig.origin.Follow(), batch.Follow(); });
    QStringList verdicts;
    // The record holds the module's line before its verdict shows.
    qsizetype recorded = 0;
    batch.SetVerdictShower([&](const QString &said, bool) {
        verdicts << said;
        QFile file(batch.Record()->Path());
        recorded = file.open(QIODevice::ReadOnly) ? file.readAll().count("\r\n") : -1;
    });
    batch.SetRepeatAsk([&](const QString &) { return module.endsWith("yes"); });
    QTemporaryDir folder;
    auto record = std::make_unique<BatchRecord>(QStringList(UpdateSteps, "S"));
    QString error;
    QVERIFY(record->Open(folder.filePath("r.csv"), &error));
    std::map<int, QString> values;
    for (auto [step, value] : profile.asKeyValueRange())
        values[step] = value;
    batch.Start(values, 7, std::move(record));
    if (module.startsWith("again")) // this module passed once already
        batch.Next(), rig.Run(), verdicts.clear();
    batch.Next();
    QStringList lines = rig.Run();
    if (module == "stop") // while the PIN's answer is awaited
        batch.Stop();
    lines.removeIf([](const QString &line) { return !line.contains(u'='); }); // the queries
    QCOMPARE(lines, written);
    QCOMPARE(verdicts, QStringList { verdict });
    QCOMPARE(recorded, module.startsWith("again") ? 3 : 2); // the header, the earlier, this
    QCOMPARE(batch.Counter(), counter);
    QCOMPARE(batch.Busy(), false);
}

void TestEngine::batchRecord_data()
{
    QTest::addColumn<QString>("before"); // the file's bytes; "-": no file
    QTest::addColumn<QString>("name"); // the module's name after writing
    QTest::addColumn<QString>("field"); // as the line holds it
    QTest::addColumn<bool>("header"); // written now
    QTest::newRow("a new file") << "-"
                                << "BENCH-1"
                                << ",BENCH-1," << true;
    QTest::newRow("an empty file") << ""
                                   << "BENCH-1"
                                   << ",BENCH-1," << true;
    QTest::newRow("a comma in quotes") << "-"
                                       << "A,B"
                                       << ",\"A,B\"," << true;
    QTest::newRow("quotes doubled") << "-"
                                    << "say \"hi\""
                                    << ",\"say \"\"hi\"\"\"," << true;
    QTest::newRow("CJK as UTF-8") << "-"
                                  << "蓝牙-七"
                                  << ",蓝牙-七," << true;
    QTest::newRow("appended, the earlier module seen")
        << "x\r\nt,1,d,f,2.0,98d3:31:fd5e6f,,,,,,,,,,,,,,,,,,,通过,\r\n"
        << "N"
        << ",N," << false;
}

void TestEngine::batchRecord()
{
    QFETCH(QString, before);
    QFETCH(QString, name);
    QFETCH(QString, field);
    QFETCH(bool, header);
    QTemporaryDir folder;
    const QString path
        = folder.filePath(BatchRecord::DefaultName(QDateTime({ 2026, 12, 9 }, { 13, 51 })));
    QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("tarvenit-batch-20261209-135100.csv"));
    if (before != "-") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(before.toUtf8()) >= 0);
    }
    QStringList settings;
    for (int step = 1; step <= UpdateSteps; ++step)
        settings << QStringLiteral("S%1").arg(step);
    BatchRecord record(settings);
    QString error;
    QVERIFY2(record.Open(path, &error), qPrintable(error));
    QCOMPARE(record.Seen("98D3,31,FD5E6F"), !header); // the earlier run's module
    BatchEntry entry;
    entry.address = "1a2b:3c:4d5e6f";
    entry.after[0] = name;
    entry.result = BatchEntry::Result::Failed;
    entry.differences = QStringList { "连接密码未保留" };
    QVERIFY(record.Write(entry, &error));
    QVERIFY(!record.Seen(entry.address)); // a failed module is not done
    entry.result = BatchEntry::Result::Passed;
    QVERIFY(record.Write(entry, &error));
    QVERIFY(record.Seen("1A2B:3C:4D5E6F"));
    // Read while the record stays open: each line is on disk as it returns.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    const QStringList lines = text.split("\r\n");
    QCOMPARE(lines.size(), (before == "-" || before.isEmpty() ? 1 : 2) + 2 + 1);
    QCOMPARE(
        lines.first().startsWith("\uFEFF时间,端口,设备,命令族,固件,地址,S1（之前）,S1（之后）"),
        header);
    const QString failed = lines.at(lines.size() - 3);
    QVERIFY2(failed.contains(field) && failed.endsWith(",未通过,连接密码未保留"),
             qPrintable(failed));
    QVERIFY(lines.at(lines.size() - 2).endsWith(",通过,连接密码未保留"));
    QCOMPARE(BatchVerdict(entry, "BENCH-007"), QStringLiteral("通过 · BENCH-007 · 1a2b:3c:4d5e6f"));
    entry.result = BatchEntry::Result::Failed;
    QCOMPARE(BatchVerdict(entry, "BENCH-007"), QStringLiteral("未通过 · 连接密码未保留"));
}

void TestEngine::familyAnswers_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("kind"); // the row's: "NAME?" reads, "NAME" writes, "probe"
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("value");
    QTest::newRow("pause name") << "pause"
                                << "NAME"
                                << "OKsetname" << true << "";
    QTest::newRow("pause name of 2.0") << "pause"
                                       << "NAME"
                                       << "OKname" << true << "";
    QTest::newRow("pause PIN") << "pause"
                               << "PIN"
                               << "OKsetPIN" << true << "";
    QTest::newRow("pause pin, small") << "pause"
                                      << "PIN"
                                      << "OKsetpin" << true << "";
    QTest::newRow("pause rate") << "pause"
                                << "BAUD"
                                << "OK9600" << true << "9600";
    QTest::newRow("pause refused") << "pause"
                                   << "NAME"
                                   << "ERROR" << false << "";
    QTest::newRow("name read") << "ok-plus"
                               << "NAME?"
                               << "OK+NAME:HMBench" << true << "HMBench";
    QTest::newRow("name read, Get") << "ok-plus"
                                    << "NAME?"
                                    << "OK+Get:HMBench" << true << "HMBench";
    QTest::newRow("name set") << "ok-plus"
                              << "NAME"
                              << "OK+Set:HMBench" << true << "HMBench";
    QTest::newRow("name set, Get") << "ok-plus"
                                   << "NAME"
                                   << "OK+Get:HMBench" << true << "HMBench";
    QTest::newRow("PIN read") << "ok-plus"
                              << "PASS?"
                              << "OK+Get:000000" << true << "000000";
    QTest::newRow("PIN read, old") << "ok-plus"
                                   << "PASS?"
                                   << "OK+PASS:123456" << true << "123456";
    QTest::newRow("address") << "ok-plus"
                             << "ADDR?"
                             << "OK+ADDR:606405D138A3" << true << "606405D138A3";
    QTest::newRow("address, old") << "ok-plus"
                                  << "ADDR?"
                                  << "OK+LADD:606405D138A3" << true << "606405D138A3";
    QTest::newRow("with CR LF") << "ok-plus"
                                << "BAUD?"
                                << "OK+Get:4\n"
                                << true << "4";
    QTest::newRow("a link notice first") << "ok-plus"
                                         << "ROLE?"
                                         << "OK+CONNOK+Get:1" << true << "1";
    QTest::newRow("a link notice only") << "ok-plus"
                                        << "ROLE?"
                                        << "OK+LOST" << false << "";
    QTest::newRow("probe: version, no mark") << "ok-plus"
                                             << "probe"
                                             << "HMSoft V540" << true << "V540";
    QTest::newRow("probe: marked") << "ok-plus"
                                   << "probe"
                                   << "OK+Get:V605" << true << "V605";
    QTest::newRow("probe: pause version") << "pause"
                                          << "probe"
                                          << "linvorV1.8" << true << "V1.8";
    QTest::newRow("probe: pause, OK first") << "pause"
                                            << "probe"
                                            << "OKlinvorV1.8" << true << "V1.8";
    QTest::newRow("probe: noise") << "pause"
                                  << "probe"
                                  << "\u00f8\u00e0\u00ff" << false << "";
}

void TestEngine::familyAnswers()
{
    QFETCH(QString, family);
    QFETCH(QString, kind);
    QFETCH(QString, answer);
    QFETCH(bool, found);
    QFETCH(QString, value);
    const CommandFamily &table = *FamilyByKey(family);
    if (kind == "probe") {
        const QString probe = QString::fromLatin1(table.versionQueries[0]);
        QCOMPARE(FamilyOfAnswer(probe, answer) == &table, found);
        if (found)
            QCOMPARE(FamilyVersion(answer), value);
        return;
    }
    const bool reads = kind.endsWith(u'?');
    const FamilySetting *row = nullptr;
    for (const FamilySetting &setting : table.settings) {
        const char *command = reads ? setting.query : setting.set;
        if (command && QLatin1String(command) == QStringLiteral("AT+") + kind)
            row = &setting;
    }
    QVERIFY(row);
    const FamilyAnswer read = ReadFamilyAnswer(reads ? row->answers : row->taken, answer);
    QCOMPARE(read.found, found);
    if (found && !value.isEmpty())
        QCOMPARE(read.value, value);
}

void TestEngine::rateCommands_data()
{
    QTest::addColumn<QString>("family"); // empty: this tool's own
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("acceptsUpTo"); // the adapter's fastest rate
    QTest::addColumn<QString>("asked"); // how the 确认 box begins; empty: none
    QTest::addColumn<int>("rateAfter"); // the port follows once answered
    QTest::addColumn<int>("pending"); // ... or after the restart
    const QString unreachable = "模块将以 %1 波特通信，而这个适配器不能设为 %1 波特";
    QTest::newRow("factory reset") << ""
                                   << "AT+ORGL" << 921600 << "模块将恢复出厂设置" << 38400 << 0;
    QTest::newRow("the other reset") << "ok-plus"
                                     << "AT+RENEW" << 921600 << "模块将恢复出厂设置" << 9600 << 0;
    QTest::newRow("a rate the adapter has") << ""
                                            << "AT+UART=115200,0,0" << 921600 << "" << 0 << 0;
    QTest::newRow("a rate it has not")
        << ""
        << "AT+UART=1382400,0,0" << 921600 << unreachable.arg(1382400) << 0 << 0;
    QTest::newRow("pause: in force at once") << "pause"
                                             << "AT+BAUD4" << 921600 << "" << 9600 << 0;
    QTest::newRow("pause: C is 1382400")
        << "pause"
        << "AT+BAUDC" << 921600 << unreachable.arg(1382400) << 1382400 << 0;
    QTest::newRow("OK+: after the restart") << "ok-plus"
                                            << "AT+BAUD4" << 921600 << "" << 0 << 115200;
    QTest::newRow("OK+: 1200 locks commands out")
        << "ok-plus"
        << "AT+BAUD7" << 921600 << "模块重新启动后将以 1200 波特通信" << 0 << 1200;
    QTest::newRow("pause: 7 is 57600") << "pause"
                                       << "AT+BAUD7" << 921600 << "" << 57600 << 0;
    QTest::newRow("a query is no rate") << "ok-plus"
                                        << "AT+BAUD?" << 921600 << "" << 0 << 0;
}

void TestEngine::rateCommands()
{
    QFETCH(QString, family);
    QFETCH(QString, typed);
    QFETCH(int, acceptsUpTo);
    QFETCH(QString, asked);
    QFETCH(int, rateAfter);
    QFETCH(int, pending);
    const CommandFamily *table = FamilyByKey(family);
    const QString warning = GuardedCommandWarning(
        typed.toLatin1(), table, [acceptsUpTo](int rate) { return rate <= acceptsUpTo; });
    QVERIFY2(asked.isEmpty() ? warning.isEmpty() : warning.startsWith(asked), qPrintable(warning));
    int after = 0;
    QCOMPARE(RateAfterCommand(typed.toLatin1() + "\r\n", table, &after), rateAfter);
    QCOMPARE(after, pending);
}

void TestEngine::familyTables_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<Texts>("typed"); // by Text1 index; 20 selects Option1 (master)
    QTest::addColumn<int>("acceptsUpTo"); // the adapter's fastest rate
    QTest::addColumn<QStringList>("written"); // after the query's
    QTest::addColumn<int>("rateAfter");
    QTest::addColumn<QString>("said"); // the last notice, or the refusal
    QTest::addColumn<Texts>("after"); // the panel at the end

    QTest::newRow("pause: name, PIN and rate, the rate last, read back at it")
        << "pause" << Texts { { 10, "9600" }, { 0, "Bench-7" }, { 4, "4321" } } << 1382400
        << QStringList { "AT+NAMEBench-7", "AT+PIN4321", "AT+BAUD4", "AT+VERSION" } << 9600
        << "已写入，并以 9600 波特重新读取了模块。"
        << Texts { { 0, "Bench-7" }, { 4, "4321" }, { 10, "9600" }, { 1, "BTMODV1.8" } };
    QTest::newRow("pause: only what was filled")
        << "pause" << Texts { { 4, "0000" } } << 1382400
        << QStringList { "AT+PIN0000", "AT+VERSION" } << 38400
        << "已写入，并以 38400 波特重新读取了模块。"
        << Texts { { 0, "" }, { 4, "0000" }, { 10, "38400" } };
    QTest::newRow("pause: a PIN of five digits is refused, nothing written")
        << "pause" << Texts { { 4, "12345" }, { 0, "Bench" } } << 1382400 << QStringList {} << 38400
        << "Text1(4) 必须是 4 位数字" << Texts { { 0, "Bench" } };
    QTest::newRow("pause: a rate the adapter cannot set is refused, naming it")
        << "pause" << Texts { { 10, "1382400" } } << 921600 << QStringList {} << 38400
        << "适配器不能设为 1382400 波特" << Texts {};
    QTest::newRow("OK+: the name differs; written, the restart offered")
        << "ok-plus" << Texts { { 0, "HMBench" } } << 1382400 << QStringList { "AT+NAMEHMBench" }
        << 38400 << "已写入。名称、角色和波特率在模块重新启动之后才生效。"
        << Texts { { 0, "HMBench" }, { 2, "02A5F03C7E19" } };
    QTest::newRow("OK+: the PIN takes effect at once")
        << "ok-plus" << Texts { { 4, "123456" } } << 1382400 << QStringList { "AT+PASS123456" }
        << 38400 << "已写入。" << Texts { { 4, "123456" } };
    QTest::newRow("OK+: nothing differs, nothing written")
        << "ok-plus" << Texts {} << 1382400 << QStringList {} << 38400
        << "没有要写入的设置：面板中填写的值与模块的回答相同，或者没有填写。" << Texts {};
    QTest::newRow("OK+: a name past 12 characters on V540")
        << "ok-plus" << Texts { { 1, "HMSoft V540" }, { 0, "ThirteenChars" } } << 1382400
        << QStringList {} << 38400 << "最多 12 个字符" << Texts {};
    QTest::newRow("OK+: a query started as the update writes reads")
        << "ok-plus" << Texts { { 0, "HMBench" } } << 1382400
        << QStringList { "AT+NAMEHMBench", "AT+VERR?", "AT+ADDR?", "AT+NAME?",
                         "AT+ROLE?",       "AT+PASS?", "AT+BAUD?" }
        << 38400 << "已读取以“OK+”回答的一类的模块。" << Texts {};
    QTest::newRow("OK+: role and rate, then restart and read back")
        << "ok-plus" << Texts { { 20, "" }, { 10, "115200" } } << 1382400
        << QStringList { "AT+ROLE1", "AT+BAUD4", "AT+RESET", "AT+VERR?", "AT+ADDR?",
                         "AT+NAME?", "AT+ROLE?", "AT+PASS?", "AT+BAUD?" }
        << 115200 << "已写入，并以 115200 波特重新读取了模块。" << Texts { { 10, "115200" } };
}

void TestEngine::familyTables()
{
    QFETCH(QString, family);
    QFETCH(Texts, typed);
    QFETCH(int, acceptsUpTo);
    QFETCH(QStringList, written);
    QFETCH(int, rateAfter);
    QFETCH(QString, said);
    QFETCH(Texts, after);
    FamilyRig rig(family);
    rig.family.SetRateCheck([acceptsUpTo](int rate) { return rate <= acceptsUpTo; });
    const QStringList read = rig.Run([&] { rig.engine.StartQuery(); });
    QCOMPARE(read.first(), QString::fromLatin1(rig.state.Family->versionQueries[0]));
    QVERIFY2(!read.contains("AT"), "a bare AT ends a live link of the OK+ family");
    QCOMPARE(rig.state.WorkMode, ModeIdle);
    for (auto [index, text] : typed.asKeyValueRange()) {
        if (index == 20)
            rig.fields.SetOption(1, true);
        else
            rig.fields.texts[index] = text;
    }
    if (typed.contains(1)) // as read from another firmware
        rig.state.FamilyVersion = typed.value(1);
    bool started = false;
    QStringList lines = rig.Run([&] {
        started = rig.family.StartUpdate();
        if (QByteArray(QTest::currentDataTag()).contains("query started"))
            rig.engine.StartQuery();
    });
    // The restart the notice offers, pressed.
    if (rig.notice.shown.value(rig.notice.shown.size() - 1).onAction
        && written.contains("AT+RESET"))
        lines += rig.Run(rig.notice.shown.last().onAction);
    QCOMPARE(lines, written);
    QCOMPARE(started, !written.isEmpty());
    QCOMPARE(rig.port.baud, rateAfter);
    const QString last = rig.confirm.refused.isEmpty()
        ? rig.notice.shown.value(rig.notice.shown.size() - 1).text
        : rig.confirm.refused.last();
    QVERIFY2(last.contains(said), qPrintable(last));
    if (rateAfter != 38400)
        QCOMPARE(rig.shownRates.value(0), rateAfter);
    for (auto [index, text] : after.asKeyValueRange())
        QCOMPARE(rig.fields.texts.value(index), text);
}

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
