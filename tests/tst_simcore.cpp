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
    const QStringList words = setup.split(u' ', Qt::SkipEmptyParts);
    for (const QString &word : words) {
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
    using B = QByteArray;
    const B noName = "none"; // the reply column's mark of no answer, as the test reads it
    QTest::newRow("pause: AT") << "pause" << 0 << B("AT") << true << B("OK") << name;
    QTest::newRow("pause 1.5: version")
        << "pause 1.5" << 0 << B("AT+VERSION") << true << B("BTMODV1.5") << name;
    QTest::newRow("pause 1.8: version")
        << "pause" << 0 << B("AT+VERSION") << true << B("BTMODV1.8") << name;
    QTest::newRow("pause 2.0: version")
        << "pause 2.0" << 0 << B("AT+VERSION") << true << B("OKBTMODV2.0") << name;
    QTest::newRow("pause 2.0: name")
        << "pause 2.0" << 0 << B("AT+NAMEX") << true << B("OKname") << B("X");
    QTest::newRow("pause: name of 21")
        << "pause" << 0 << B("AT+NAME" + B(21, 'n')) << false << noName << name;
    QTest::newRow("pause: PIN") << "pause" << 0 << B("AT+PIN1234") << true << B("OKsetPIN") << name;
    QTest::newRow("pause 2.0: PIN")
        << "pause 2.0" << 0 << B("AT+PIN1234") << true << B("OKsetpin") << name;
    QTest::newRow("pause: PIN of 5") << "pause" << 0 << B("AT+PIN12345") << false << noName << name;
    QTest::newRow("pause: rate 1") << "pause" << 0 << B("AT+BAUD1") << true << B("OK1200") << name;
    QTest::newRow("pause: rate 8")
        << "pause" << 0 << B("AT+BAUD8") << true << B("OK115200") << name;
    QTest::newRow("pause: rate 9")
        << "pause" << 0 << B("AT+BAUD9") << true << B("OK230400") << name;
    QTest::newRow("pause: rate A")
        << "pause" << 0 << B("AT+BAUDA") << true << B("OK460800") << name;
    QTest::newRow("pause: rate B")
        << "pause" << 0 << B("AT+BAUDB") << true << B("OK921600") << name;
    QTest::newRow("pause: rate C")
        << "pause" << 0 << B("AT+BAUDC") << true << B("OK1382400") << name;
    QTest::newRow("pause: rate D") << "pause" << 0 << B("AT+BAUDD") << false << noName << name;
    QTest::newRow("ok-plus: AT, its line end ignored")
        << "ok-plus" << 0 << QByteArray("AT\r\n") << true << QByteArray("OK") << name;
    QTest::newRow("ok-plus crlf: the line end answered")
        << "ok-plus crlf" << 0 << B("AT\r\n") << true << B("OK\r\n") << name;
    QTest::newRow("ok-plus crlf: no line end to answer with")
        << "ok-plus crlf" << 0 << B("AT") << true << B("OK") << name;
    QTest::newRow("ok-plus: version")
        << "ok-plus" << 0 << B("AT+VERR?") << true << B("BLEMOD V707") << name;
    QTest::newRow("ok-plus 605: version, other query")
        << "ok-plus 605" << 0 << B("AT+VERS?") << true << B("BLEMOD V605") << name;
    QTest::newRow("ok-plus 523: name, old form")
        << "ok-plus 523" << 0 << B("AT+NAME?") << true << B("OK+NAME:TARVENIT-BT") << name;
    QTest::newRow("ok-plus 599: name, old form")
        << "ok-plus 599" << 0 << B("AT+NAME?") << true << B("OK+NAME:TARVENIT-BT") << name;
    QTest::newRow("ok-plus 600: name, new form")
        << "ok-plus 600" << 0 << B("AT+NAME?") << true << B("OK+Get:TARVENIT-BT") << name;
    QTest::newRow("ok-plus 539: PIN, old form")
        << "ok-plus 539" << 0 << B("AT+PASS?") << true << B("OK+PASS:000000") << name;
    QTest::newRow("ok-plus 540: PIN, new form")
        << "ok-plus 540" << 0 << B("AT+PASS?") << true << B("OK+Get:000000") << name;
    QTest::newRow("ok-plus 523: address, old form")
        << "ok-plus 523" << 0 << B("AT+ADDR?") << true << B("OK+LADD:02A5F03C7E19") << name;
    QTest::newRow("ok-plus: address")
        << "ok-plus" << 0 << B("AT+ADDR?") << true << B("OK+ADDR:02A5F03C7E19") << name;
    QTest::newRow("ok-plus 523: a set, old form")
        << "ok-plus 523" << 0 << B("AT+ROLE1") << true << B("OK+Get:1") << name;
    QTest::newRow("ok-plus: a set")
        << "ok-plus" << 0 << B("AT+BAUD8") << true << B("OK+Set:8") << name;
    QTest::newRow("ok-plus 543: name of 13 refused")
        << "ok-plus 543" << 0 << B("AT+NAME" + B(13, 'n')) << false << noName << name;
    QTest::newRow("ok-plus 544: name of 13, not yet in force")
        << "ok-plus 544" << 0 << B("AT+NAME" + B(13, 'n')) << true << B("OK+Set:" + B(13, 'n'))
        << name;
    QTest::newRow("ok-plus: PIN of 5")
        << "ok-plus" << 0 << B("AT+PASS12345") << false << noName << name;
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
    QTest::addColumn<QString>("setup"); // as for Configure()
    // "<link>" is a link made or lost by the far end, "<power>" a power cycle with the key.
    QTest::addColumn<QList<QByteArray>>("commands");
    QTest::addColumn<QList<int>>("rates"); // the line's rate for each command; none: not known
    QTest::addColumn<QList<QByteArray>>("replies"); // "none": no answer
    using L = QList<QByteArray>;
    const L ok(5, "OK\r\n");
    // A rate misheard at the old one changes nothing.
    QTest::newRow("pause: a new rate in force at once")
        << "pause" << L { "AT+BAUD4", "AT", "AT+BAUD6", "AT" }
        << QList<int> { 38400, 38400, 38400, 9600 }
        << L { "OK9600", "\x8F\x8B", "\x8F\x8B\xB3\xB8\xB4\xB0\xB0", "OK" };
    QTest::newRow("ok-plus: name and role after the restart")
        << "ok-plus" << L { "AT+NAMENEW", "AT+ROLE1", "AT+NAME?", "AT+ROLE?",
                            "AT+RESET",   "AT+NAME?", "AT+ROLE?" }
        << QList<int> {}
        << L { "OK+Set:NEW", "OK+Set:1", "OK+Get:TARVENIT-BT", "OK+Get:0", "OK+RESET",
               "OK+Get:NEW", "OK+Get:1" };
    QTest::newRow("ok-plus: the rate after the restart, the PIN at once")
        << "ok-plus" << L { "AT+BAUD4", "AT+PASS123456", "AT+BAUD?", "AT+RESET", "AT", "AT+PASS?" }
        << QList<int> { 9600, 9600, 9600, 9600, 9600, 115200 }
        << L { "OK+Set:4", "OK+Set:123456", "OK+Get:0", "OK+RESET", "\x8F\x8B", "OK+Get:123456" };
    QTest::newRow("ok-plus: restarted at 1200, locked out")
        << "ok-plus" << L { "AT+BAUD7", "AT+RESET", "AT", "AT" }
        << QList<int> { 9600, 9600, 1200, 9600 } << L { "OK+Set:7", "OK+RESET", "none", "none" };
    QTest::newRow("ok-plus: AT drops a link")
        << "ok-plus" << L { "<link>", "AT", "AT", "<link>", "<link>" } << QList<int> {}
        << L { "OK+CONN", "OK+LOST", "OK", "OK+CONN", "OK+LOST" };
    QTest::newRow("classic: factory settings")
        << "classic PSWD=0000 ROLE=1 UART=9600,0,0 NAME=X CMOD=1 BIND=1,2,3"
        << L { "AT+ORGL", "AT+PSWD?", "AT+ROLE?", "AT+UART?", "AT+NAME?", "AT+CMODE?", "AT+BIND?" }
        << QList<int> {}
        << L { "OK\r\n",
               "+PSWD:1234\r\nOK\r\n",
               "+ROLE:0\r\nOK\r\n",
               "+UART:38400,0,0\r\nOK\r\n",
               "+NAME:TARVENIT-BT\r\nOK\r\n",
               "+CMOD:0\r\nOK\r\n",
               "+BIND:0:0:0\r\nOK\r\n" };
    QTest::newRow("classic: pairing list cleared")
        << "classic MRAD=1a2b:3c:4d5e6f" << L { "AT+RMAAD", "AT+MRAD?" } << QList<int> {}
        << L { "OK\r\n", "+MRAD:0:0:0\r\nOK\r\n" };
    QTest::newRow("classic: reset leaves command mode until a power cycle")
        << "classic" << L { "AT+NAME=X", "AT+RESET", "AT", "<power>", "AT+NAME?" } << QList<int> {}
        << L { "OK\r\n", "OK\r\n", "none", "none", "+NAME:X\r\nOK\r\n" };
}

void TestSimCore::statefulReplies()
{
    QFETCH(QString, setup);
    QFETCH(QList<QByteArray>, commands);
    QFETCH(QList<int>, rates);
    QFETCH(QList<QByteArray>, replies);
    ModuleCore core;
    QVERIFY(Configure(core, setup));
    QList<QByteArray> got;
    for (qsizetype i = 0; i < commands.size(); ++i) {
        const long rate = rates.value(i);
        std::optional<std::string> reply;
        if (commands[i] == "<link>")
            reply = core.ToggleLink(rate);
        else if (commands[i] == "<power>")
            core.PowerCycleWithKey();
        else
            reply = core.Reply(commands[i].toStdString(), rate);
        got << QByteArray::fromStdString(reply.value_or("none"));
    }
    QCOMPARE(got, replies);
}

void TestSimCore::timedFraming_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QList<int>>("times"); // ms at which each piece arrives
    QTest::addColumn<QList<QByteArray>>("replies");
    using L = QList<QByteArray>;
    QTest::newRow("pause: within the second")
        << "pause" << L { "AT", "+VERSION" } << QList<int> { 0, 999 } << L { "BTMODV1.8" };
    QTest::newRow("pause: over a second, bytes never apart by one, cut")
        << "pause" << L { "AT", "+VER", "SION" } << QList<int> { 0, 600, 1200 } << L {};
    QTest::newRow("pause: two commands 1.2 s apart")
        << "pause" << L { "AT", "AT+PIN1234" } << QList<int> { 0, 1200 } << L { "OK", "OKsetPIN" };
    QTest::newRow("ok-plus: the line end after a command")
        << "ok-plus" << L { "AT", "\r\n" } << QList<int> { 0, 50 } << L { "OK" };
    QTest::newRow("ok-plus: two commands 0.15 s apart")
        << "ok-plus" << L { "AT", "AT+ROLE?" } << QList<int> { 0, 150 } << L { "OK", "OK+Get:0" };
}

void TestSimCore::timedFraming()
{
    QFETCH(QString, setup);
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QList<int>, times);
    QFETCH(QList<QByteArray>, replies);
    ModuleCore core;
    QVERIFY(Configure(core, setup));
    sim::TimedFramer framer(core.Family());
    QList<QByteArray> got;
    const auto answer = [&](const std::optional<std::string> &command) {
        if (const auto reply = command ? core.Reply(*command) : std::nullopt)
            got << QByteArray::fromStdString(*reply);
    };
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        answer(framer.Take(times[i] - 1)); // as the server looks before each read
        answer(framer.Feed(pieces[i].toStdString(), times[i]));
    }
    answer(framer.Take(times.last() + 60000));
    QCOMPARE(got, replies);
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
