// SPDX-License-Identifier: GPL-3.0-or-later
#include "diskfull.h"
#include "engine/firmware.h"
#include "engine/optiongroups.h"
#include "engine/query.h"
#include "engine/refusalcodes.h"
#include "engine/replystore.h"
#include "engine/sequence.h"
#include "engine/update.h"
#include "fakes.h"
#include "panel/settingsfile.h"

#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using Texts = QMap<int, QString>;

namespace {

// The buffer as the engine fills it: the first `start` characters came before the
// sequence began.
ReplyStore Stored(QStringView text, qsizetype start = 0)
{
    ReplyStore reply;
    reply.Append(text.first(start));
    reply.StartSequence();
    reply.Append(text.sliced(start));
    return reply;
}

// The length at which `complete` first holds, fed a character at a time as chunks arrive
// (it looks at the new text only), and checked on the whole text so far.
template<typename Check>
std::pair<qsizetype, qsizetype> FirstComplete(const QString &text, qsizetype start, Check complete)
{
    ReplyStore fed = Stored(QStringView(text).first(start), start);
    qsizetype fedAt = -1;
    qsizetype wholeAt = -1;
    for (qsizetype size = start; size <= text.size(); ++size) {
        if (size > start)
            fed.Append(QStringView(text).sliced(size - 1, 1));
        ReplyStore whole = Stored(QStringView(text).first(size), start);
        if (fedAt < 0 && complete(fed, fed.ConsumeNew()))
            fedAt = size;
        if (wholeAt < 0 && complete(whole, 0))
            wholeAt = size;
    }
    return { fedAt, wholeAt };
}

} // namespace

class TestSequences : public QObject
{
    Q_OBJECT

private slots:
    void operatorSequence_data();
    void operatorSequence();
    void sequenceWarnings_data();
    void sequenceWarnings();
    void queryLine_data();
    void queryLine();
    void queryComplete_data();
    void queryComplete();
    void replyBound_data();
    void replyBound();
    void extractValue_data();
    void extractValue();
    void consume_data();
    void consume();
    void groupValue_data();
    void groupValue();
    void updateLine_data();
    void updateLine();
    void updateComplete_data();
    void updateComplete();
    void settingsFileReadBack_data();
    void settingsFileReadBack();
    void settingsFileRefused_data();
    void settingsFileRefused();
    void firmwareForms_data();
    void firmwareForms();
    void refusalMeaning_data();
    void refusalMeaning();
};

void TestSequences::queryLine_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("line");
    QTest::newRow("1") << 1 << "AT\r\n";
    QTest::newRow("2") << 2 << "AT+VERSION?\r\n";
    QTest::newRow("10") << 10 << "AT+UART?\r\n";
    QTest::newRow("11 has no question mark") << 11 << "AT+CMODE\r\n";
    QTest::newRow("12") << 12 << "AT+BIND?\r\n";
    QTest::newRow("14") << 14 << "AT+STATE?\r\n";
}

void TestSequences::queryLine()
{
    QFETCH(int, step);
    QFETCH(QString, line);
    QCOMPARE(QueryLine(step), line);
}

void TestSequences::queryComplete_data()
{
    QTest::addColumn<QString>("buffer");
    QTest::addColumn<int>("replyStart"); // where the sequence began
    QTest::addColumn<bool>("complete");
    QTest::newRow("empty") << "" << 0 << false;
    QTest::newRow("plain OK") << "OK\n" << 0 << true;
    QTest::newRow("OK after a value line") << "+NAME:x\nOK" << 0 << true;
    QTest::newRow("OK that goes on") << "OKsomething" << 0 << true;
    QTest::newRow("letters inside a name") << "+NAME:BOOK" << 0 << false;
    QTest::newRow("name ending in OK, line done") << "+NAME:BOOK\n" << 0 << false;
    QTest::newRow("error") << "ERROR:(0)\n" << 0 << false;
    QTest::newRow("lower case") << "ok\n" << 0 << false;
    QTest::newRow("only O so far") << "+ROLE:1\nO" << 0 << false;
    QTest::newRow("stale partial line, then OK") << "xOK\n" << 1 << true;
    QTest::newRow("stale partial line, then a reply") << "AT+N+NAME:x\nOK\n" << 4 << true;
    QTest::newRow("stale text, then letters of a name") << "xBOOK" << 1 << false;
    QTest::newRow("stale complete OK line") << "OK\nx" << 4 << true;
}

void TestSequences::queryComplete()
{
    QFETCH(QString, buffer);
    QFETCH(int, replyStart);
    QFETCH(bool, complete);
    QCOMPARE(QueryReplyComplete(Stored(buffer, replyStart)), complete);
    const auto [fedAt, wholeAt]
        = FirstComplete(buffer, replyStart,
                        [](ReplyStore &r, qsizetype from) { return QueryReplyComplete(r, from); });
    QCOMPARE(fedAt, wholeAt);
}

void TestSequences::replyBound_data()
{
    const qsizetype limit = ReplyStore::Limit;
    QTest::addColumn<QStringList>("chunks");
    QTest::addColumn<int>("startAfter"); // chunks before the sequence began, -1 never
    QTest::addColumn<QString>("kept");
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("complete");
    const QString full(limit, QLatin1Char('x'));
    QTest::newRow("up to the bound all stays")
        << QStringList { full.first(limit - 4) + "\n", "O", "K\n" } << -1
        << full.first(limit - 4) + "\nOK\n"
        << 0 << true;
    QTest::newRow("cut at the first line start that keeps the bound")
        << QStringList { "a\nbc\n" + full.first(limit - 5), "\nOK\n" } << -1
        << full.first(limit - 5) + "\nOK\n"
        << -1 << true;
    QTest::newRow("cut where the sequence began") << QStringList { full, "OK\n" } << 1 << "OK\n"
                                                  << 0 << true;
    QTest::newRow("the sequence start moves with the cut")
        << QStringList { "ab\n" + full.first(limit - 11), "xy", "OK" + full.first(7) } << 1
        << full.first(limit - 11) + "xyOK" + full.first(7) << int(limit - 11) << false;
    QTest::newRow("a line past the bound: its rest begins no line")
        << QStringList { "zOK" + full.first(limit - 2) } << -1 << "OK" + full.first(limit - 2) << -1
        << false;
    QTest::newRow("a character stays whole")
        << QStringList { "ab" + QString::fromUcs4(U"𝄞") + full.first(limit - 1) } << -1
        << full.first(limit - 1) << -1 << false;
}

void TestSequences::replyBound()
{
    QFETCH(QStringList, chunks);
    QFETCH(int, startAfter);
    QFETCH(QString, kept);
    QFETCH(int, start);
    QFETCH(bool, complete);
    ReplyStore reply;
    qsizetype from = 0;
    for (int i = 0; i < chunks.size(); ++i) {
        if (i == startAfter)
            reply.StartSequence();
        reply.Append(chunks[i]);
        from = reply.ConsumeNew();
        QVERIFY(from <= reply.Text().size());
    }
    QCOMPARE(reply.Text(), kept);
    QCOMPARE(int(reply.Start()), start);
    QCOMPARE(QueryReplyComplete(reply, from), complete);
}

void TestSequences::extractValue_data()
{
    QTest::addColumn<QString>("buffer");
    QTest::addColumn<QString>("value");
    QTest::newRow("value then line feeds") << "+NAME:TARVENIT-BT\n\n"
                                           << "TARVENIT-BT";
    QTest::newRow("first colon of the buffer") << "+ADDR:1a2b:3c:4d5e6f\n"
                                               << "1a2b:3c:4d5e6f";
    QTest::newRow("cut at 20") << "+NAME:abcdefghijklmnopqrstuvwxyz\n"
                               << "abcdefghijklmnopqrst";
    QTest::newRow("no colon: first 20 of the buffer") << "VERSION 1.2.3 build 4567 extra"
                                                      << "VERSION 1.2.3 build ";
    QTest::newRow("empty value, then another line") << "+NAME:\nother\n"
                                                    << "";
    QTest::newRow("nothing after colon") << "+NAME:\n\n"
                                         << "";
    QTest::newRow("colon at end") << "+NAME:"
                                  << "";
    QTest::newRow("empty buffer") << ""
                                  << "";
    QTest::newRow("colon of an earlier line wins") << "noise:+NAME:x\n"
                                                   << "+NAME:x";
    QTest::newRow("20 counts characters, not halves")
        << QStringLiteral("+NAME:") + QString(19, QLatin1Char('a')) + QString::fromUcs4(U"𝄞b")
        << QString(19, QLatin1Char('a')) + QString::fromUcs4(U"𝄞");
}

void TestSequences::extractValue()
{
    QFETCH(QString, buffer);
    QFETCH(QString, value);
    QCOMPARE(ExtractValue(buffer), value);
    QVERIFY(!ExtractValue(buffer).contains(QLatin1Char('\n')));
}

void TestSequences::consume_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<Texts>("texts");
    QTest::addColumn<int>("role"); // selected option of the role group, 0 none
    QTest::addColumn<int>("connectionMode"); // selected option of the connection group

    QTest::newRow("name") << "+NAME:TARVENIT-BT\nOK\n" << Texts { { 0, "TARVENIT-BT" } } << 0 << 0;
    QTest::newRow("name with OK inside") << "+NAME:BOOK\nOK\n" << Texts { { 0, "BOOK" } } << 0 << 0;
    QTest::newRow("name starting with OK keeps it") << "+NAME:OKAY\nOK\n"
                                                    << Texts { { 0, "OKAY" } } << 0 << 0;
    QTest::newRow("reply beginning OK and going on") << "OK+VERSION:2.0\n"
                                                     << Texts { { 1, "2.0" } } << 0 << 0;
    QTest::newRow("version") << "+VERSION:1.4-20250310\nOK\n"
                             << Texts { { 1, "1.4-20250310" } } << 0 << 0;
    QTest::newRow("address keeps colons") << "+ADDR:1a2b:3c:4d5e6f\nOK\n"
                                          << Texts { { 2, "1a2b:3c:4d5e6f" } } << 0 << 0;
    // A keyword counts where a line names it, never inside another setting's value.
    for (const char *name : { "MYCLASS", "ADDR-TEST", "BIND-ME", "UART", "X+PSWD:1" })
        QTest::addRow("name %s", name)
            << QStringLiteral("+NAME:%1\nOK\n").arg(name) << Texts { { 0, name } } << 0 << 0;
    QTest::newRow("each value from the line that names it")
        << "+NAME:a:b\n+ADDR:1a2b:3c:4d5e6f\nOK\n"
        << Texts { { 0, "a:b" }, { 2, "1a2b:3c:4d5e6f" } } << 0 << 0;
    QTest::newRow("version of 3.0, without the plus sign")
        << "VERSION:3.0-20170601\nOK\n"
        << Texts { { 1, "3.0-20170601" } } << 0 << 0;
    QTest::newRow("connection mode of 4.0") << "+CMODE:1\nOK\n" << Texts {} << 0 << 4;
    QTest::newRow("role 1 is master") << "+ROLE:1\nOK\n" << Texts {} << 1 << 0;
    QTest::newRow("role 0 is slave") << "+ROLE:0\nOK\n" << Texts {} << 2 << 0;
    QTest::newRow("role 2 is loopback") << "+ROLE:2\nOK\n" << Texts {} << 3 << 0;
    QTest::newRow("role 7 is loopback") << "+ROLE:7\nOK\n" << Texts {} << 3 << 0;
    QTest::newRow("role 1.0 is master") << "+ROLE: 1.0 \nOK\n" << Texts {} << 1 << 0;
    QTest::newRow("role -0 is slave") << "+ROLE:-0\nOK\n" << Texts {} << 2 << 0;
    QTest::newRow("connection mode 0.00") << "+CMOD:0.00\nOK\n" << Texts {} << 0 << 5;
    QTest::newRow("connection mode 1") << "+CMOD:1\nOK\n" << Texts {} << 0 << 4;
    QTest::newRow("connection mode 2") << "+CMOD:2\nOK\n" << Texts {} << 0 << 6;
    QTest::newRow("name holding ROLE is not a number") << "+NAME:ROLEPLAY\nOK\n"
                                                       << Texts { { 0, "ROLEPLAY" } } << 0 << 0;
    QTest::newRow("inquiry mode") << "+INQM:1,1,48\nOK\n" << Texts { { 8, "1,1,48" } } << 0 << 0;
    QTest::newRow("state") << "+STATE:INITIALIZED\nOK\n"
                           << Texts { { 9, "INITIALIZED" } } << 0 << 0;
    QTest::newRow("uart") << "+UART:38400,0,0\nOK\n" << Texts { { 10, "38400,0,0" } } << 0 << 0;
    QTest::newRow("bind") << "+BIND:0:0:0\nOK\n" << Texts { { 7, "0:0:0" } } << 0 << 0;
    QTest::newRow("most recent address") << "+MRAD:0:0:0\nOK\n"
                                         << Texts { { 11, "0:0:0" } } << 0 << 0;
    QTest::newRow("class, PIN, access code") << "+CLASS:1f00\nOK\n"
                                             << Texts { { 3, "1f00" } } << 0 << 0;
    QTest::newRow("no colon: first 20 characters") << "+PSWD 1234\nOK\n"
                                                   << Texts { { 4, "+PSWD 1234" } } << 0 << 0;
    QTest::newRow("no keyword fills nothing") << "OK\n" << Texts {} << 0 << 0;
    QTest::newRow("PIN of 2.x") << "+PSWD:1234\nOK\n" << Texts { { 4, "1234" } } << 0 << 0;
    QTest::newRow("PIN of 3.0, quotes gone") << "+PIN:\"1234\"\nOK\n"
                                             << Texts { { 4, "1234" } } << 0 << 0;
    QTest::newRow("PIN in quotes after PSWD") << "+PSWD:\"0000\"\nOK\n"
                                              << Texts { { 4, "0000" } } << 0 << 0;
    QTest::newRow("a lone quote stays") << "+PSWD:\"12\nOK\n" << Texts { { 4, "\"12" } } << 0 << 0;
}

void TestSequences::consume()
{
    QFETCH(QString, reply);
    QFETCH(Texts, texts);
    QFETCH(int, role);
    QFETCH(int, connectionMode);
    FakeFields fields;
    ReplyStore buffer = Stored(reply);
    QVERIFY(QueryReplyComplete(buffer));
    ConsumeQueryReply(buffer, fields);
    QCOMPARE(buffer.Text(), QString());
    QCOMPARE(fields.texts, texts);
    QCOMPARE(fields.Selected(1), role);
    QCOMPARE(fields.Selected(4), connectionMode);
}

void TestSequences::groupValue_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("after");
    QTest::newRow("text keeps the selection") << 1 << "master" << 1;
    QTest::newRow("empty keeps the selection") << 3 << "" << 3;
    QTest::newRow("hex is not a number") << 2 << "0x1" << 2;
    QTest::newRow("two numbers are not one") << 2 << "1 2" << 2;
    QTest::newRow("signed one") << 2 << "+1" << 1;
    QTest::newRow("fraction other than zero") << 2 << "1.5" << 3;
    QTest::newRow("white space around") << 1 << " \t0 " << 2;
}

void TestSequences::groupValue()
{
    QFETCH(int, before);
    QFETCH(QString, value);
    QFETCH(int, after);
    FakeFields fields;
    fields.SetOption(before, true);
    ApplyGroupValue(RoleGroup, value, fields);
    QCOMPARE(fields.Selected(1), after);
}

void TestSequences::updateLine_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<Texts>("texts");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QString>("line");
    using Options = QList<int>;
    QTest::newRow("name") << 1 << Texts { { 0, "BENCH-1" } } << Options {} << "AT+NAME=BENCH-1\r\n";
    QTest::newRow("empty name still sent") << 1 << Texts {} << Options {} << "AT+NAME=\r\n";
    QTest::newRow("text as held, spaces kept")
        << 1 << Texts { { 0, " a b " } } << Options {} << "AT+NAME= a b \r\n";
    QTest::newRow("role master") << 2 << Texts {} << Options { 1 } << "AT+ROLE=1\r\n";
    QTest::newRow("role slave") << 2 << Texts {} << Options { 2 } << "AT+ROLE=0\r\n";
    QTest::newRow("role loopback") << 2 << Texts {} << Options { 3 } << "AT+ROLE=2\r\n";
    QTest::newRow("role none") << 2 << Texts {} << Options {} << "AT+ROLE=0\r\n";
    QTest::newRow("class") << 3 << Texts { { 3, "1f00" } } << Options {} << "AT+CLASS=1f00\r\n";
    QTest::newRow("pin") << 4 << Texts { { 4, "0000" } } << Options {} << "AT+PSWD=0000\r\n";
    QTest::newRow("access code") << 5 << Texts { { 5, "9e8b33" } } << Options {}
                                 << "AT+IAC=9e8b33\r\n";
    QTest::newRow("connection mode 1") << 6 << Texts {} << Options { 4 } << "AT+CMODE=1\r\n";
    QTest::newRow("connection mode 0") << 6 << Texts {} << Options { 5 } << "AT+CMODE=0\r\n";
    QTest::newRow("connection mode 2") << 6 << Texts {} << Options { 6 } << "AT+CMODE=2\r\n";
    QTest::newRow("connection mode none") << 6 << Texts {} << Options { 1 } << "AT+CMODE=0\r\n";
    QTest::newRow("bind colons to commas")
        << 7 << Texts { { 7, "1a2b:3c,4d5e6f" } } << Options {} << "AT+BIND=1a2b,3c,4d5e6f\r\n";
    QTest::newRow("inquiry mode") << 8 << Texts { { 8, "1,1,48" } } << Options {}
                                  << "AT+INQM=1,1,48\r\n";
    QTest::newRow("uart from Text1(10)")
        << 9 << Texts { { 9, "x" }, { 10, "9600,0,0" } } << Options {} << "AT+UART=9600,0,0\r\n";
}

void TestSequences::updateLine()
{
    QFETCH(int, step);
    QFETCH(Texts, texts);
    QFETCH(QList<int>, selected);
    QFETCH(QString, line);
    FakeFields fields;
    fields.texts = texts;
    for (int option : selected)
        fields.SetOption(option, true);
    QCOMPARE(UpdateLine(step, fields), line);
}

void TestSequences::updateComplete_data()
{
    QTest::addColumn<QString>("buffer");
    QTest::addColumn<bool>("complete");
    QTest::newRow("OK") << "OK\n" << true;
    QTest::newRow("ERROR") << "ERROR:(1)\n" << true;
    QTest::newRow("partial") << "ERR" << false;
    QTest::newRow("other") << "+NAME:x\n" << false;
    QTest::newRow("anywhere in a line") << "xERROR" << true;
}

void TestSequences::updateComplete()
{
    QFETCH(QString, buffer);
    QFETCH(bool, complete);
    ReplyStore held = Stored(buffer);
    QCOMPARE(UpdateReplyComplete(held), complete);
    QCOMPARE(held.Text(), complete ? QString() : buffer);
    const auto [fedAt, wholeAt] = FirstComplete(buffer, 0, UpdateReplyComplete);
    QCOMPARE(fedAt, wholeAt);
}

void TestSequences::firmwareForms_data()
{
    using L = QStringList;
    QTest::addColumn<QStringList>("given"); // the reply to step 2, the PIN in the panel
    QTest::addColumn<QStringList>("sent"); // query step 11 and update step 4, without CR LF
    QTest::newRow("2.0") << L { "+VERSION:2.0-20100601\nOK\n", "1234" }
                         << L { "AT+CMODE", "AT+PSWD=1234" };
    QTest::newRow("2.x keeps quotes as typed")
        << L { "+VERSION:2.1\n", "\"12\"" } << L { "AT+CMODE", "AT+PSWD=\"12\"" };
    QTest::newRow("3.0, without the plus sign")
        << L { "VERSION:3.0-20170601\nOK\n", "1234" } << L { "AT+CMODE", "AT+PSWD=\"1234\"" };
    QTest::newRow("3.0, a PIN typed in quotes keeps one pair")
        << L { "VERSION:3.0-20170601\n", "\"1234\"" } << L { "AT+CMODE", "AT+PSWD=\"1234\"" };
    QTest::newRow("4.0") << L { "+VERSION:4.0-20190815\nOK\n", "1234" }
                         << L { "AT+CMODE?", "AT+PSWD=1234" };
    QTest::newRow("30 is not 3") << L { "+VERSION:30.1\n", "1" } << L { "AT+CMODE", "AT+PSWD=1" };
    QTest::newRow("not a number") << L { "+VERSION:beta\n", "1" } << L { "AT+CMODE", "AT+PSWD=1" };
}

void TestSequences::firmwareForms()
{
    QFETCH(QStringList, given);
    QFETCH(QStringList, sent);
    const FirmwareForms &forms = FormsFor(VersionIn(given[0]));
    FakeFields fields;
    fields.texts[4] = given[1];
    QCOMPARE(QueryLine(11, forms), sent[0] + "\r\n");
    QCOMPARE(UpdateLine(4, fields, forms), sent[1] + "\r\n");
    // Every other step stays as 2.x sends it.
    for (int step = 1; step <= 14; ++step)
        QVERIFY(step == 11 || QueryLine(step, forms) == QueryLine(step));
    for (int step = 1; step <= 9; ++step)
        QVERIFY(step == 4 || UpdateLine(step, fields, forms) == UpdateLine(step, fields));
}

void TestSequences::refusalMeaning_data()
{
    QTest::addColumn<QString>("meaning"); // empty: shown as it is; each row named by the reply
    // By code from 0; 1E is not in the table.
    const QStringList byCode
        = QString("命令错误：未知命令、格式不对，或行结束符不对|默认结果|PSKEY 写入错误|"
                  "设备名称太长（超过 32 字节）|设备名称为空|蓝牙地址的 NAP 部分太长|"
                  "蓝牙地址的 UAP 部分太长|蓝牙地址的 LAP 部分太长|缺少 PIO 口掩码|缺少 PIO 口序号|"
                  "缺少设备类|设备类太长|缺少查询访问码|查询访问码太长|查询访问码无效|连接密码为空|"
                  "连接密码太长（超过 16 字节）|模块角色无效|波特率无效|停止位无效|校验位无效|"
                  "该设备不在配对列表中|SPP 库未初始化|SPP 库重复初始化（再次初始化后出现，无妨）|"
                  "查询模式无效|查询时间太长|缺少蓝牙地址|安全模式无效|加密模式无效|"
                  "连接密码没有加引号（固件 3.0）||"
                  "此命令在这种命令模式下不可用（固件 3.0）：模块上电时没有按住进入命令模式的按键")
              .split(u'|');
    for (int code = 0; code < byCode.size(); ++code)
        QTest::addRow("ERROR:(%X)", code) << byCode[code];
    QTest::newRow("ERROR:(01d)") << byCode[0x1D]; // lower case, leading 0
    QTest::newRow("+UART:x\nERROR:(12)\n") << byCode[0x12];
    QTest::newRow("ERROR:(1G)") << QString();
    QTest::newRow("ERROR\n") << QString();
}

void TestSequences::refusalMeaning()
{
    QFETCH(QString, meaning);
    QCOMPARE(RefusalMeaning(QString::fromUtf8(QTest::currentDataTag())), meaning);
}

void TestSequences::settingsFileReadBack_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("role"); // the option selected, 0 for none
    QTest::addColumn<QString>("bind");
    QTest::addColumn<QByteArray>("before"); // what the file held; "-" for no file
    QTest::newRow("plain") << "TARVENIT-BT" << 1 << "98d3:31:fd5e6f" << QByteArray("-");
    QTest::newRow("chinese and spaces, over an unreadable file")
        << " 蓝牙 模块 一 " << 2 << "0:0:0" << QByteArray("\xff\xfe[[\n=\n\"\n");
    QTest::newRow("commas, colons, quotes, over another module's")
        << "a,b; \"c\": d=e" << 3 << "98d3,31,fd5e6f"
        << QByteArray("[module]\nADDR=1\nSERIAL=7\n[settings]\nNAME=old\n");
    QTest::newRow("empty, no role") << "" << 0 << "" << QByteArray("-");
    QTest::newRow("percent, @, backslash") << "@%1 \\n #x" << 0 << "[x]" << QByteArray("-");
#ifdef Q_OS_UNIX
    QTest::newRow("a full disk") << "x" << 1 << "" << QByteArray("[settings]\nNAME=old\n");
#endif
}

void TestSequences::settingsFileReadBack()
{
    QFETCH(QString, name);
    QFETCH(int, role);
    QFETCH(QString, bind);
    QFETCH(QByteArray, before);
    FakeFields saved;
    saved.texts = { { 0, name }, { 3, "1f00" },   { 4, "1234" },     { 5, "9e8b33" },
                    { 7, bind }, { 8, "1,1,48" }, { 10, "9600,0,0" } };
    if (role)
        saved.SetOption(role, true);
    saved.SetOption(5, true);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("模块 1.ini"));
    QFile old(path);
    QVERIFY(before == "-" || (old.open(QIODevice::WriteOnly) && old.write(before) > 0));
    old.close();
    const ModuleRecord module { "1a2b:3c:4d5e6f", "1.4", QDateTime::currentDateTime() };
#ifdef Q_OS_UNIX
    if (QByteArray(QTest::currentDataTag()) == "a full disk") { // a failure, the old file whole
        std::optional<QString> failed;
        {
            const DiskFull full;
            failed = SaveSettingsFile(path, saved, module);
        }
        QVERIFY(failed && !failed->isEmpty());
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), before);
        return;
    }
#endif
    QVERIFY(!SaveSettingsFile(path, saved, module)); // the file there is replaced, read or not
    FakeFields loaded;
    loaded.texts = { { 1, "kept" }, { 2, "kept" }, { 9, "kept" }, { 11, "kept" } };
    loaded.SetOption(3, true);
    Texts expected = loaded.texts; // and nothing else
    expected.insert(saved.texts);
    QVERIFY(!LoadSettingsFile(path, loaded));
    QCOMPARE(loaded.texts, expected);
    QCOMPARE(loaded.Selected(1), role);
    QCOMPARE(loaded.Selected(4), 5);
    // Saving again replaces the file.
    QVERIFY(!SaveSettingsFile(path, loaded, {}));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text)); // CR LF on Windows
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY(text.contains(QStringLiteral("\nIAC=9e8b33\n")));
    QVERIFY(!text.contains(QStringLiteral("ADDR")));
}

void TestSequences::settingsFileRefused_data()
{
    QTest::addColumn<QByteArray>("content"); // "-" for no file, "/" for a folder
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("reason");
    const QByteArray good = "[settings]\nNAME=x\nROLE=1\nCLASS=1f00\nPSWD=1234\nIAC=9e8b33\n"
                            "CMODE=0\nBIND=0:0:0\nINQM=1,1,48\nUART=9600,0,0\n";
    QTest::newRow("missing") << QByteArray("-") << 0 << "文件不存在";
    QTest::newRow("a folder") << QByteArray("/") << 0 << "不是普通文件";
    QTest::newRow("too large") << good + QByteArray(70000, ';') << 0 << "文件太大，不是配置文件";
    QTest::newRow("not UTF-8") << good + "NAME=\xff\xfe\n" << 11 << "不是 UTF-8 文本";
    QTest::newRow("a line that is no setting") << "[module]\nADDR=1\n" + good + "garbage\n"
                                               << 13 << "无法读懂这一行";
    QTest::newRow("an unknown key") << good + "MRAD=0:0:0\n" << 11 << "未知的设置 MRAD";
    QTest::newRow("a key outside the section") << "NAME=x\n" + good << 1 << "未知的设置 NAME";
    QTest::newRow("an open section") << "[settings\n" + good << 1 << "无法读懂这一行";
    QTest::newRow("a role the panel cannot hold")
        << QByteArray(good).replace("ROLE=1", "ROLE=3") << 3 << "ROLE 的值不能填入面板";
    QTest::newRow("first of two bad values") << QByteArray(good)
                                                    .replace("CMODE=0", "CMODE=x")
                                                    .replace("UART=9600,0,0", "UART=@Variant(x)")
                                             << 7 << "CMODE 的值不能填入面板";
    QTest::newRow("a second command in a value")
        << QByteArray(good).replace("NAME=x", "NAME=\"BENCH\\r\\nAT+ORGL\"") << 2
        << "NAME 的值含有换行或其他控制字符";
    QTest::newRow("a hidden command last")
        << QByteArray(good).replace("UART=9600,0,0", "UART=\"38400,0,0\\r\\nAT+PSWD=0000\"") << 10
        << "UART 的值含有换行或其他控制字符";
    QTest::newRow("an octal escape") << QByteArray(good).replace("PSWD=1234", "PSWD=\"12\\034\"")
                                     << 5 << "PSWD 的值含有换行或其他控制字符";
    QTest::newRow("CR line ends, a second command") // line numbers as QSettings reads them
        << QByteArray(good).replace('\n', '\r').replace("NAME=x", "NAME=\"B\\r\\nAT+ORGL\"") << 2
        << "NAME 的值含有换行或其他控制字符";
    QTest::newRow("a comment ended by CR") << good + "; note\rROLE=9\n"
                                           << 12 << "ROLE 的值不能填入面板";
    QTest::newRow("a quote left open")
        << QByteArray(good).replace("NAME=x", "NAME=\"x") << 0 << "无法读懂这个文件";
    QTest::newRow("a setting missing")
        << QByteArray(good).replace("PSWD=1234\n", "") << 0 << "缺少设置 PSWD";
    QTest::newRow("empty") << QByteArray() << 0 << "缺少设置 NAME";
}

void TestSequences::settingsFileRefused()
{
    QFETCH(QByteArray, content);
    QFETCH(int, line);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = content == "/" ? dir.path() : dir.filePath(QStringLiteral("x.ini"));
    QFile file(path);
    QVERIFY(content == "/" || content == "-"
            || (file.open(QIODevice::WriteOnly) && file.write(content) == content.size()));
    file.close();
    FakeFields fields;
    fields.texts = { { 0, "before" } };
    fields.SetOption(2, true);
    const FakeFields before = fields;
    const auto fault = LoadSettingsFile(path, fields);
    QVERIFY(fault);
    QCOMPARE(fault->line, line);
    QCOMPARE(fault->reason, reason);
    QCOMPARE(fields.texts, before.texts); // the panel as it was
    QCOMPARE(fields.options, before.options);
}

void TestSequences::operatorSequence_data()
{
    QTest::addColumn<QString>("file");
    // Each step as "kind|text|ms|exact" (a pattern's text between slashes); or "line N: reason".
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("every kind, comments and empty lines skipped")
        << "# check\r\n\nsend AT+STATE?\nexpect OK 500\nexpect /\\+STATE:\\w+/\nwait 1000\n"
        << QStringList { "send|AT+STATE?|0|0", "expect|OK|500|0", "expect|/\\+STATE:\\w+/|2000|0",
                         "wait||1000|0" };
    QTest::newRow("escapes: sent exactly as written")
        << "send AT+NAME=a\\\\b\\t\\x41\\r\\n"
        << QStringList { "send|AT+NAME=a\\b\tA\r\n|0|1" };
    QTest::newRow("values kept for the run")
        << "send AT+BIND={bind}\nexpect +ADDR:{addr}"
        << QStringList { "send|AT+BIND={bind}|0|0", "expect|+ADDR:{addr}|2000|0" };
    QTest::newRow("maybe: an expect whose timeout is no failure")
        << "maybe OK 25000\nmaybe /^OK$/"
        << QStringList { "maybe|OK|25000|0", "maybe|/^OK$/|2000|0" };
    QTest::newRow("maybe without text") << "maybe 500" << QStringList { "maybe|500|2000|0" };
    QTest::newRow("a number alone is what is expected")
        << "expect 1234" << QStringList { "expect|1234|2000|0" };
    QTest::newRow("an unknown word")
        << "send AT\n\nsned AT"
        << QStringList { "line 3: 不认识“sned”：每一行以 send、expect、maybe、wait 或 # 开始" };
    QTest::newRow("expect without text")
        << "send AT\nexpect  " << QStringList { "line 2: “expect”后面没有要等待的内容" };
    QTest::newRow("send without text")
        << "send" << QStringList { "line 1: “send”后面没有要发送的内容" };
    QTest::newRow("an unknown escape")
        << "send AT\\q"
        << QStringList { "line 1: 不认识的转义“\\q”：可以用 \\r、\\n、\\t、\\\\ 和 \\xHH" };
    QTest::newRow("a cut hex escape")
        << "send AT\\x4" << QStringList { "line 1: “\\x”后面要有两位十六进制数字" };
    QTest::newRow("a raw control character")
        << "send AT\x01" << QStringList { "line 1: 含有控制字符：换行等要写成 \\r、\\n" };
    QTest::newRow("a wait of no number")
        << "wait soon" << QStringList { "line 1: “wait”后面要有 1 到 600000 之间的毫秒数" };
    QTest::newRow("a wait too long")
        << "wait 600001" << QStringList { "line 1: “wait”后面要有 1 到 600000 之间的毫秒数" };
    QTest::newRow("a bad pattern")
        << "expect /(/" << QStringList { "line 1: 模式有误：missing closing parenthesis" };
    QTest::newRow("an unknown value")
        << "wait 5\nsend AT+NAME={name}"
        << QStringList { "line 2: 不认识“{name}”：可以用 {addr} 和 {bind}" };
}

void TestSequences::operatorSequence()
{
    QFETCH(QString, file);
    QFETCH(QStringList, steps);
    const ParsedSequence parsed = ParseSequence(file);
    QStringList got;
    if (parsed.badLine)
        got << QStringLiteral("line %1: %2").arg(parsed.badLine).arg(parsed.reason);
    QCOMPARE(parsed.steps.isEmpty(), parsed.badLine > 0); // a bad line refuses the whole file
    const QStringList kinds { "send", "expect", "wait" };
    for (const SequenceStep &step : parsed.steps)
        got << QStringLiteral("%1|%2|%3|%4")
                   .arg(step.optional ? "maybe" : kinds[int(step.kind)],
                        step.pattern.pattern().isEmpty() ? step.text
                                                         : '/' + step.pattern.pattern() + '/')
                   .arg(step.ms)
                   .arg(int(step.exact));
    QCOMPARE(got, steps);
    QString missing;
    QCOMPARE(WithValues("AT+BIND={bind}", "1:2:3", "98d3,31,fd5e6f", &missing),
             "AT+BIND=98d3,31,fd5e6f");
    QCOMPARE(WithValues("AT+BIND={bind}", "1:2:3", "", &missing), QString());
    QCOMPARE(missing, "{bind}");
}

void TestSequences::sequenceWarnings_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("warnings"); // how each begins
    QTest::newRow("none guarded") << "send AT+NAME?\nexpect OK" << QStringList {};
    QTest::newRow("each once, in order")
        << "send AT+RMAAD\r\nsend AT+ORGL\nsend at+rmaad"
        << QStringList { "模块将清空配对列表", "模块将恢复出厂设置" };
    QTest::newRow("a rate the adapter cannot be set to")
        << "send AT+UART=1382400,0,0\r\nsend AT+UART=9600,0,0"
        << QStringList { "模块将以 1382400 波特通信" };
}

void TestSequences::sequenceWarnings()
{
    QFETCH(QString, file);
    QFETCH(QStringList, warnings);
    const QStringList got = SequenceWarnings(ParseSequence(file).steps, nullptr,
                                             [](int rate) { return rate <= 921600; });
    QCOMPARE(got.size(), warnings.size());
    for (qsizetype i = 0; i < got.size(); ++i)
        QVERIFY2(got[i].startsWith(warnings[i]), qPrintable(got[i]));
}

QTEST_GUILESS_MAIN(TestSequences)
#include "tst_sequences.moc"
