// SPDX-License-Identifier: GPL-3.0-or-later
#include "modulecore.h"

#include <QtTest>

using sim::ModuleCore;

class TestSimCore : public QObject
{
    Q_OBJECT

private slots:
    void replies_data();
    void replies();
    void settingsChange_data();
    void settingsChange();
    void lineSplitting_data();
    void lineSplitting();
    void faults();
    void unreadyModule_data();
    void unreadyModule();
    void statefulReplies_data();
    void statefulReplies();
    void timedFraming_data();
    void timedFraming();
    void overrides();
};

// Sets a core up as the sim's options do: words "pause" or "ok-plus" (the command set),
// "crlf" (--crlf-replies), KEY=VALUE (--set) and a firmware (--firmware), in that order.
static bool Configure(ModuleCore &core, const QString &setup)
{
    for (const QString &word : setup.split(u' ', Qt::SkipEmptyParts)) {
        if (word == u"pause" || word == u"ok-plus")
            core.SetCommandSet(word == u"pause" ? sim::CommandSet::Pause : sim::CommandSet::OkPlus);
        else if (word == u"crlf")
            core.SetCrLfReplies(true);
        else if (const qsizetype equals = word.indexOf(u'='); equals > 0)
            core.Set(word.left(equals).toStdString(), word.mid(equals + 1).toStdString());
        else if (word != u"classic" && !core.SelectFirmware(word.toStdString()))
            return false;
    }
    return true;
}

void TestSimCore::replies_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("attention") << QByteArray("AT") << QByteArray("OK\r\n");
    QTest::newRow("name") << QByteArray("AT+NAME?") << QByteArray("+NAME:TARVENIT-BT\r\nOK\r\n");
    QTest::newRow("version") << QByteArray("AT+VERSION?")
                             << QByteArray("+VERSION:1.4-20250310\r\nOK\r\n");
    QTest::newRow("address") << QByteArray("AT+ADDR?")
                             << QByteArray("+ADDR:1a2b:3c:4d5e6f\r\nOK\r\n");
    QTest::newRow("bare connection mode")
        << QByteArray("AT+CMODE") << QByteArray("+CMOD:0\r\nOK\r\n");
    QTest::newRow("connection mode") << QByteArray("AT+CMODE?") << QByteArray("+CMOD:0\r\nOK\r\n");
    QTest::newRow("state") << QByteArray("AT+STATE?") << QByteArray("+STATE:INITIALIZED\r\nOK\r\n");
    QTest::newRow("inquiry mode") << QByteArray("AT+INQM?") << QByteArray("+INQM:1,1,48\r\nOK\r\n");
    QTest::newRow("uart") << QByteArray("AT+UART?") << QByteArray("+UART:38400,0,0\r\nOK\r\n");
    QTest::newRow("case-sensitive") << QByteArray("at+name?") << QByteArray("ERROR:(0)\r\n");
    QTest::newRow("unknown") << QByteArray("AT+FOO?") << QByteArray("ERROR:(0)\r\n");
    QTest::newRow("read-only key cannot be set")
        << QByteArray("AT+VERSION=2") << QByteArray("ERROR:(0)\r\n");
    QTest::newRow("bad role") << QByteArray("AT+ROLE=3") << QByteArray("ERROR:(3)\r\n");
    QTest::newRow("bad class") << QByteArray("AT+CLASS=xyz") << QByteArray("ERROR:(4)\r\n");
    QTest::newRow("empty name") << QByteArray("AT+NAME=") << QByteArray("ERROR:(1)\r\n");
    QTest::newRow("name too long")
        << QByteArray("AT+NAME=" + QByteArray(33, 'n')) << QByteArray("ERROR:(1)\r\n");
    QTest::newRow("name with a line break")
        << QByteArray("AT+NAME=a\rb") << QByteArray("ERROR:(1)\r\n");
    QTest::newRow("pin too long") << QByteArray("AT+PSWD=12345678901234567")
                                  << QByteArray("ERROR:(2)\r\n");
    QTest::newRow("bind with two parts")
        << QByteArray("AT+BIND=1,2") << QByteArray("ERROR:(7)\r\n");
    QTest::newRow("inquiry mode not numbers")
        << QByteArray("AT+INQM=1,x,48") << QByteArray("ERROR:(8)\r\n");
    QTest::newRow("unknown baud") << QByteArray("AT+UART=12345,0,0") << QByteArray("ERROR:(9)\r\n");
    QTest::newRow("bad stop bits") << QByteArray("AT+UART=9600,3,0") << QByteArray("ERROR:(A)\r\n");
    QTest::newRow("bad parity") << QByteArray("AT+UART=9600,0,5") << QByteArray("ERROR:(B)\r\n");
}

void TestSimCore::replies()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    ModuleCore core;
    const auto got = core.Reply(command.toStdString());
    QVERIFY(got);
    QCOMPARE(QByteArray::fromStdString(*got), reply);
    QCOMPARE(core.Current(), sim::DefaultSettings()); // no query or refusal changes anything
}

void TestSimCore::settingsChange_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("name") << QByteArray("AT+NAME=BOOK") << QByteArray("AT+NAME?")
                          << QByteArray("+NAME:BOOK\r\nOK\r\n");
    QTest::newRow("chinese name") << QByteArray("AT+NAME=蓝牙") << QByteArray("AT+NAME?")
                                  << QByteArray("+NAME:蓝牙\r\nOK\r\n");
    QTest::newRow("role") << QByteArray("AT+ROLE=1") << QByteArray("AT+ROLE?")
                          << QByteArray("+ROLE:1\r\nOK\r\n");
    QTest::newRow("connection mode")
        << QByteArray("AT+CMODE=2") << QByteArray("AT+CMODE") << QByteArray("+CMOD:2\r\nOK\r\n");
    QTest::newRow("bind read back with colons")
        << QByteArray("AT+BIND=1a2b,3c,4d5e6f") << QByteArray("AT+BIND?")
        << QByteArray("+BIND:1a2b:3c:4d5e6f\r\nOK\r\n");
    QTest::newRow("uart") << QByteArray("AT+UART=115200,1,2") << QByteArray("AT+UART?")
                          << QByteArray("+UART:115200,1,2\r\nOK\r\n");
    QTest::newRow("pin") << QByteArray("AT+PSWD=0000") << QByteArray("AT+PSWD?")
                         << QByteArray("+PSWD:0000\r\nOK\r\n");
    QTest::newRow("access code") << QByteArray("AT+IAC=9e8b3f") << QByteArray("AT+IAC?")
                                 << QByteArray("+IAC:9e8b3f\r\nOK\r\n");
}

void TestSimCore::settingsChange()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, reply);
    ModuleCore core;
    QCOMPARE(QByteArray::fromStdString(core.Reply(command.toStdString()).value()),
             QByteArray("OK\r\n"));
    QCOMPARE(QByteArray::fromStdString(core.Reply(query.toStdString()).value()), reply);
}

void TestSimCore::lineSplitting_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QList<QByteArray>>("lines");
    using L = QList<QByteArray>;
    QTest::newRow("CR LF") << L { "AT\r\n" } << L { "AT" };
    QTest::newRow("bare LF") << L { "AT\nAT+NAME?\n" } << L { "AT", "AT+NAME?" };
    QTest::newRow("split across reads") << L { "AT+NA", "ME?\r", "\n" } << L { "AT+NAME?" };
    QTest::newRow("spaces around") << L { "  AT+ROLE?  \r\n" } << L { "AT+ROLE?" };
    QTest::newRow("no line end yet") << L { "AT" } << L {};
    QTest::newRow("a byte at a time") << L { "A", "T", "\r", "\n", "\n", "x" } << L { "AT", "" };
    QTest::newRow("lines and a rest in one read")
        << L { "AT\r\nAT+NAME?\nAT+R", "OLE?\n" } << L { "AT", "AT+NAME?", "AT+ROLE?" };
}

void TestSimCore::lineSplitting()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QList<QByteArray>, lines);
    sim::LineSplitter splitter;
    QList<QByteArray> got;
    for (const QByteArray &piece : pieces) {
        for (const std::string &line : splitter.Feed(piece.toStdString()))
            got << QByteArray::fromStdString(line);
    }
    QCOMPARE(got, lines);
}

void TestSimCore::faults()
{
    ModuleCore core;
    core.SilenceCommand("AT+NAME?");
    core.FailCommand("AT+ROLE=");
    QVERIFY(!core.Reply("AT+NAME?"));
    QVERIFY(core.Reply("AT+NAME=x")); // only the exact command is silenced
    QCOMPARE(core.Reply("AT+ROLE=1").value(), std::string("ERROR:(1F)\r\n"));
    QCOMPARE(core.Current().at("ROLE"), std::string("0"));
    QCOMPARE(core.Reply("AT+ROLE?").value(), std::string("+ROLE:0\r\nOK\r\n"));
    core.DelayCommand("AT+CLASS?");
    QVERIFY(core.IsDelayed("AT+CLASS?"));
    QVERIFY(!core.IsDelayed("AT+CLASS=1"));
}

void TestSimCore::unreadyModule_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<int>("lineRate"); // the rate the tool set; the module runs at 9600
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<bool>("answers");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("nameAfter");
    const QByteArray name = "TARVENIT-BT";
    QTest::newRow("own rate") << "rate" << 9600 << QByteArray("AT+NAME=X") << true
                              << QByteArray("OK\r\n") << QByteArray("X");
    QTest::newRow("rate not known")
        << "rate" << 0 << QByteArray("AT") << true << QByteArray("OK\r\n") << name;
    QTest::newRow("wrong rate: noise of the reply's length, nothing taken")
        << "rate" << 38400 << QByteArray("AT+NAME=X") << true << QByteArray("\x8F\x8B\x8D\x8A")
        << name;
    QTest::newRow("no command mode")
        << "none" << 0 << QByteArray("AT") << false << QByteArray() << name;
    QTest::newRow("limited: AT") << "limited" << 0 << QByteArray("AT") << true
                                 << QByteArray("OK\r\n") << name;
    QTest::newRow("limited: nothing else")
        << "limited" << 0 << QByteArray("AT+VERSION?") << false << QByteArray() << name;
    QTest::newRow("no line ends") << "no line end" << 0 << QByteArray("AT+NAME?") << true
                                  << QByteArray("+NAME:TARVENIT-BTOK") << name;
    QTest::newRow("acknowledged, not kept")
        << "forget" << 0 << QByteArray("AT+NAME=X") << true << QByteArray("OK\r\n") << name;
    QTest::newRow("3.0: version without the plus sign")
        << "3" << 0 << QByteArray("AT+VERSION?") << true
        << QByteArray("VERSION:3.0-20170601\r\nOK\r\n") << name;
    QTest::newRow("3.0: PIN in quotes") << "3" << 0 << QByteArray("AT+PSWD?") << true
                                        << QByteArray("+PIN:\"1234\"\r\nOK\r\n") << name;
    QTest::newRow("3.0: a bare PIN refused")
        << "3" << 0 << QByteArray("AT+PSWD=1234") << true << QByteArray("ERROR:(1D)\r\n") << name;
    QTest::newRow("4.0: the bare mode query refused")
        << "4" << 0 << QByteArray("AT+CMODE") << true << QByteArray("ERROR:(0)\r\n") << name;
    QTest::newRow("pause: a line end is no command")
        << "pause" << 0 << QByteArray("AT\r\n") << false << QByteArray() << name;
    QTest::newRow("pause: name") << "pause" << 0 << QByteArray("AT+NAMEX") << true
                                 << QByteArray("OKsetname") << QByteArray("X");
    QTest::newRow("ok-plus: AT, its line end ignored")
        << "ok-plus" << 0 << QByteArray("AT\r\n") << true << QByteArray("OK") << name;
}

void TestSimCore::unreadyModule()
{
    QFETCH(QString, failure);
    QFETCH(int, lineRate);
    QFETCH(QByteArray, command);
    QFETCH(bool, answers);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, nameAfter);
    ModuleCore core;
    if (failure == QLatin1String("rate"))
        core.SetOwnRate(9600);
    else if (failure == QLatin1String("none"))
        core.SetCommandMode(sim::CommandMode::None);
    else if (failure == QLatin1String("limited"))
        core.SetCommandMode(sim::CommandMode::AttentionOnly);
    else if (failure == QLatin1String("no line end"))
        core.DropLineEnds(true);
    else if (failure == QLatin1String("forget"))
        core.ForgetSettings(true);
    else
        QVERIFY(Configure(core, failure));
    const auto got = core.Reply(command.toStdString(), lineRate);
    QCOMPARE(QByteArray::fromStdString(got.value_or("none")), answers ? reply : "none");
    QCOMPARE(QByteArray::fromStdString(core.Current().at("NAME")), nameAfter);
}

void TestSimCore::statefulReplies_data()
{
    // As for Configure(), after "series N K" for a batch of N such modules, every K-th forgetful.
    QTest::addColumn<QString>("setup");
    // "<link>" is a link made or lost by the far end, "<power>" a power cycle with the key,
    // "<next>" the next module of a batch on the line ("next", or "end" when none is left).
    QTest::addColumn<QList<QByteArray>>("commands");
    QTest::addColumn<QList<int>>("rates"); // the line's rate for each command; none: not known
    QTest::addColumn<QList<QByteArray>>("replies"); // "none": no answer
    using L = QList<QByteArray>;
    QTest::newRow("pause: replies")
        << "pause"
        << L { "AT",       "AT+VER",   "AT+VERSION", "AT+NAMEX", "AT+PIN1234", "AT+PIN12345",
               "AT+BAUD1", "AT+BAUDA", "AT+BAUDB",   "AT+BAUDC", "AT+BAUDD" }
        << QList<int> {} << L { "OK",     "none",     "BTMODV1.8", "OKsetname", "OKsetPIN", "none",
                                "OK1200", "OK460800", "OK921600",  "OK1382400", "none" };
    const L pauseSets { "AT+VERSION", "AT+NAMEX", "AT+PIN1234" };
    QTest::newRow("pause 1.5") << "pause 1.5" << pauseSets << QList<int> {}
                               << L { "BTMODV1.5", "OKsetname", "OKsetPIN" };
    QTest::newRow("pause 2.0") << "pause 2.0" << pauseSets << QList<int> {}
                               << L { "OKBTMODV2.0", "OKname", "OKsetpin" };
    // The PIN in force at once, unlike the name.
    const L okPlusForms { "AT+PASS123456", "AT+NAMEX", "AT+NAME?", "AT+PASS?", "AT+ADDR?" };
    QTest::newRow("ok-plus 523: old forms")
        << "ok-plus 523" << okPlusForms << QList<int> {}
        << L { "OK+Get:123456", "OK+Get:X", "OK+NAME:TARVENIT-BT", "OK+PASS:123456",
               "OK+LADD:02A5F03C7E19" };
    QTest::newRow("ok-plus 540: new forms but the name's")
        << "ok-plus 540" << okPlusForms << QList<int> {}
        << L { "OK+Set:123456", "OK+Set:X", "OK+NAME:TARVENIT-BT", "OK+Get:123456",
               "OK+ADDR:02A5F03C7E19" };
    QTest::newRow("ok-plus 707, CR LF after CR LF")
        << "ok-plus crlf" << L { "AT+VERR?", "AT+VERS?\r\n", "AT+NAME?", "AT+PASS12345" }
        << QList<int> {} << L { "BLEMOD V707", "BLEMOD V707\r\n", "OK+Get:TARVENIT-BT", "none" };
    QTest::newRow("pause: a new rate in force at once, none taken at the old")
        << "pause" << L { "AT+BAUD4", "AT", "AT+BAUD6", "AT" }
        << QList<int> { 38400, 38400, 38400, 9600 }
        << L { "OK9600", "\x8F\x8B", "\x8F\x8B\xB3\xB8\xB4\xB0\xB0", "OK" };
    QTest::newRow("classic 2.0: the radio started once, none in range, stopped by a power cycle")
        << "2" << L { "AT+INQ",
                      "AT+INIT",
                      "AT+INIT",
                      "AT+INQ",
                      "AT+PAIR=98d3,31,fd5e6f,20",
                      "AT+LINK=98d3,31,fd5e6f",
                      "AT+ADCN?",
                      "<power>",
                      "AT+INQ" }
        << QList<int> {}
        << L { "ERROR:(16)\r\n",    "OK\r\n", "ERROR:(17)\r\n", "OK\r\n", "FAIL\r\n", "FAIL\r\n",
               "+ADCN:0\r\nOK\r\n", "none",   "ERROR:(16)\r\n" };
    QTest::newRow("classic 4.0: a plain ERROR, and a pairing never answered")
        << "4" << L { "AT+INIT", "AT+PAIR=98d3,31,fd5e6f,20", "AT+STATE?" } << QList<int> {}
        << L { "ERROR\r\n", "none", "+STATE:INITIALIZED\r\nOK\r\n" };
    QTest::newRow("ok-plus: name, role and rate after the restart")
        << "ok-plus" << L { "AT+NAMEX", "AT+ROLE1", "AT+BAUD4", "AT+NAME?", "AT+ROLE?", "AT+BAUD?",
                            "AT+RESET", "AT",       "AT+NAME?", "AT+ROLE?", "AT+BAUD?" }
        << QList<int> { 9600, 9600, 9600, 9600, 9600, 9600, 9600, 9600, 115200, 115200, 115200 }
        << L { "OK+Set:X", "OK+Set:1", "OK+Set:4", "OK+Get:TARVENIT-BT", "OK+Get:0", "OK+Get:0",
               "OK+RESET", "\x8F\x8B", "OK+Get:X", "OK+Get:1",           "OK+Get:4" };
    QTest::newRow("ok-plus: restarted at 1200, locked out")
        << "ok-plus" << L { "AT+BAUD7", "AT+RESET", "AT", "AT" }
        << QList<int> { 9600, 9600, 1200, 9600 } << L { "OK+Set:7", "OK+RESET", "none", "none" };
    QTest::newRow("ok-plus: AT drops a link")
        << "ok-plus" << L { "<link>", "AT", "AT", "<link>", "<link>" } << QList<int> {}
        << L { "OK+CONN", "OK+LOST", "OK", "OK+CONN", "OK+LOST" };
    QTest::newRow("classic: factory settings")
        << "classic PSWD=0000 ROLE=1 UART=9600,0,0 NAME=X"
        << L { "AT+ORGL", "AT+PSWD?", "AT+ROLE?", "AT+UART?", "AT+NAME?" } << QList<int> {}
        << L { "OK\r\n", "+PSWD:1234\r\nOK\r\n", "+ROLE:0\r\nOK\r\n", "+UART:38400,0,0\r\nOK\r\n",
               "+NAME:TARVENIT-BT\r\nOK\r\n" };
    QTest::newRow("classic: pairing list cleared; reset leaves command mode until a power cycle")
        << "classic MRAD=1a2b:3c:4d5e6f"
        << L { "AT+RMAAD", "AT+RESET", "AT", "<power>", "AT+MRAD?" } << QList<int> {}
        << L { "OK\r\n", "OK\r\n", "none", "none", "+MRAD:0:0:0\r\nOK\r\n" };
    QTest::newRow("series: addresses, names and firmware of their own, then no module")
        << "series 4 0"
        << L { "AT+ADDR?",    "AT+VERSION?", "<next>",      "AT+ADDR?", "AT+NAME?",
               "AT+VERSION?", "<next>",      "AT+VERSION?", "<next>",   "AT+VERSION?",
               "<next>",      "AT",          "<next>" }
        << QList<int> {}
        << L { "+ADDR:98d3:31:fd5e01\r\nOK\r\n",
               "+VERSION:2.0-20100601\r\nOK\r\n",
               "next",
               "+ADDR:98d3:31:fd5e02\r\nOK\r\n",
               "+NAME:TARVENIT-BT-02\r\nOK\r\n",
               "VERSION:3.0-20170601\r\nOK\r\n",
               "next",
               "+VERSION:4.0-20190815\r\nOK\r\n",
               "next",
               "+VERSION:2.0-20100601\r\nOK\r\n",
               "end",
               "none",
               "end" };
    QTest::newRow("series: settings kept per module, each back to its own factory name")
        << "series 2 0 ROLE=1"
        << L { "AT+ROLE=0", "<next>", "AT+ROLE?", "AT+NAME=X", "AT+ORGL", "AT+NAME?" }
        << QList<int> {} << L { "OK\r\n", "next",   "+ROLE:1\r\nOK\r\n",
                                "OK\r\n", "OK\r\n", "+NAME:TARVENIT-BT-02\r\nOK\r\n" };
    // The 2nd has firmware 3.0, which takes a PIN in quotes.
    QTest::newRow("series: every 2nd acknowledges a PIN and keeps the old one, only the PIN")
        << "series 4 2"
        << L { "AT+PSWD=0000", "AT+PSWD?", "<next>", "AT+PSWD=\"0000\"", "AT+PSWD?", "AT+NAME=X",
               "AT+NAME?",     "<next>",   "<next>", "AT+PSWD=0000",     "AT+PSWD?" }
        << QList<int> {}
        << L { "OK\r\n",
               "+PSWD:0000\r\nOK\r\n",
               "next",
               "OK\r\n",
               "+PIN:\"1234\"\r\nOK\r\n",
               "OK\r\n",
               "+NAME:X\r\nOK\r\n",
               "next",
               "next",
               "OK\r\n",
               "+PSWD:1234\r\nOK\r\n" };
}

void TestSimCore::statefulReplies()
{
    QFETCH(QString, setup);
    QFETCH(QList<QByteArray>, commands);
    QFETCH(QList<int>, rates);
    QFETCH(QList<QByteArray>, replies);
    ModuleCore core;
    const QStringList words = setup.split(u' ');
    const bool batch = words.first() == u"series";
    QVERIFY(Configure(core, batch ? words.mid(3).join(u' ') : setup));
    std::optional<sim::ModuleSeries> modules;
    if (batch)
        modules.emplace(core, words[1].toInt(), words[2].toInt());
    QList<QByteArray> got;
    for (qsizetype i = 0; i < commands.size(); ++i) {
        std::optional<std::string> reply;
        ModuleCore *module = batch ? modules->Current() : &core;
        if (commands[i] == "<next>")
            reply = modules->Next() ? "next" : "end";
        else if (!module) // the line without a module: no answer
            reply.reset();
        else if (commands[i] == "<link>")
            reply = module->ToggleLink(rates.value(i));
        else if (commands[i] == "<power>")
            module->PowerCycleWithKey();
        else
            reply = module->Reply(commands[i].toStdString(), rates.value(i));
        got << QByteArray::fromStdString(reply.value_or("none"));
    }
    QCOMPARE(got, replies);
}

void TestSimCore::timedFraming_data()
{
    QTest::addColumn<bool>("pause"); // else the "OK+" family
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QList<int>>("times"); // ms at which each piece arrives
    QTest::addColumn<QList<QByteArray>>("commands");
    using L = QList<QByteArray>;
    QTest::newRow("pause: within the second")
        << true << L { "AT", "+VERSION" } << QList<int> { 0, 999 } << L { "AT+VERSION" };
    QTest::newRow("pause: over a second, never a second without a byte, cut")
        << true << L { "AT", "+VER", "SION" } << QList<int> { 0, 600, 1200 }
        << L { "AT+VER", "SION" };
    QTest::newRow("pause: two commands 1.2 s apart")
        << true << L { "AT", "AT+PIN1234" } << QList<int> { 0, 1200 } << L { "AT", "AT+PIN1234" };
    QTest::newRow("ok-plus: a line end after the command, the next 0.15 s on")
        << false << L { "AT", "\r\n", "AT+ROLE?" } << QList<int> { 0, 50, 200 }
        << L { "AT\r\n", "AT+ROLE?" };
}

void TestSimCore::timedFraming()
{
    QFETCH(bool, pause);
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QList<int>, times);
    QFETCH(QList<QByteArray>, commands);
    sim::TimedFramer framer(pause ? sim::CommandSet::Pause : sim::CommandSet::OkPlus);
    QList<QByteArray> got;
    for (qsizetype i = 0; i <= pieces.size(); ++i) { // and what is left a minute on
        const auto command = i < pieces.size() ? framer.Feed(pieces[i].toStdString(), times[i])
                                               : framer.Take(times.last() + 60000);
        if (command)
            got << QByteArray::fromStdString(*command);
    }
    QCOMPARE(got, commands);
}

void TestSimCore::overrides()
{
    ModuleCore core;
    QVERIFY(core.Set("NAME", "OK-BOOK"));
    QVERIFY(!core.Set("COLOUR", "red"));
    QCOMPARE(core.Reply("AT+NAME?").value(), std::string("+NAME:OK-BOOK\r\nOK\r\n"));
}

QTEST_GUILESS_MAIN(TestSimCore)
#include "tst_simcore.moc"
