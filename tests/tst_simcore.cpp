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
    void overrides();
};

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
    QTest::newRow("ok-plus: version")
        << "ok-plus" << 0 << QByteArray("AT+VERR?") << true << QByteArray("OK+Get:V7.05") << name;
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
    else if (failure == QLatin1String("pause"))
        core.SetCommandSet(sim::CommandSet::Pause);
    else if (failure == QLatin1String("ok-plus"))
        core.SetCommandSet(sim::CommandSet::OkPlus);
    else
        QVERIFY(core.SetFirmware(failure.toInt()));
    const auto got = core.Reply(command.toStdString(), lineRate);
    QCOMPARE(QByteArray::fromStdString(got.value_or("none")), answers ? reply : "none");
    QCOMPARE(QByteArray::fromStdString(core.Current().at("NAME")), nameAfter);
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
