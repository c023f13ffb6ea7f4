// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes.h"
#include "serial/portmap.h"
#include "serial/portsearch.h"

#include <QtTest>

class TestPortSearch : public QObject
{
    Q_OBJECT

private slots:
    void search_data();
    void search();
    void stepsOfOneTry();
    void refusalsInTooltipAndBox_data();
    void refusalsInTooltipAndBox();
    void portMap_data();
    void portMap();
};

void TestPortSearch::search_data()
{
    QTest::addColumn<QList<int>>("openable");
    QTest::addColumn<int>("lastTried");
    QTest::addColumn<int>("lastTriedAfter");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<bool>("box");
    QTest::addColumn<bool>("openAfter");
    QTest::newRow("first port found")
        << QList<int> { 1, 5 } << 0 << 1 << "端口：1 已打开"
        << QStringList { "正在搜索： 1", "端口：1 已打开" } << false << true;
    QTest::newRow("next click moves on")
        << QList<int> { 1, 5 } << 1 << 5 << "端口：5 已打开"
        << QStringList { "正在搜索： 2", "正在搜索： 3", "正在搜索： 4", "正在搜索： 5",
                         "端口：5 已打开" }
        << false << true;
    QTest::newRow("only port passed: end box")
        << QList<int> { 5 } << 5 << 0 << "" << QStringList {} << true << false;
    QTest::newRow("nothing opens")
        << QList<int> {} << 0 << 0 << "" << QStringList {} << true << false;
    QTest::newRow("port 16 found")
        << QList<int> { 16 } << 15 << 16 << "端口：16 已打开"
        << QStringList { "正在搜索： 16", "端口：16 已打开" } << false << true;
    QTest::newRow("past 16 runs nothing, 16 stays open")
        << QList<int> { 16 } << 16 << 0 << "" << QStringList {} << true << true;
}

void TestPortSearch::search()
{
    QFETCH(QList<int>, openable);
    QFETCH(int, lastTried);
    QFETCH(int, lastTriedAfter);
    QFETCH(QString, label);
    QFETCH(QStringList, labels);
    QFETCH(bool, box);
    QFETCH(bool, openAfter);

    FakePort port;
    port.openable = QSet<int>(openable.begin(), openable.end());
    port.selected = lastTried;
    port.open = lastTried > 0 && port.openable.contains(lastTried);
    FakeWarning warning;
    QStringList captions;
    qint16 last = qint16(lastTried);
    SearchNextPort(
        last, port, QStringLiteral("38400"),
        [&](const QString &caption, const QString &) { captions << caption; }, warning);

    QCOMPARE(int(last), lastTriedAfter);
    QCOMPARE(captions.last(), label);
    if (!box)
        QCOMPARE(captions, labels);
    if (box) {
        QCOMPARE(warning.shown, QStringList { "提示|已经搜索到最后，再次点击重新搜索！" });
        QStringList expected;
        for (int n = lastTried + 1; n <= 16; ++n)
            expected << QStringLiteral("正在搜索： %1").arg(n);
        expected << QString();
        QCOMPARE(captions, expected);
    } else {
        QVERIFY(warning.shown.isEmpty());
    }
    QCOMPARE(port.IsOpen(), openAfter);
}

void TestPortSearch::stepsOfOneTry()
{
    FakePort port;
    port.open = false;
    port.openable = { 2 };
    FakeWarning warning;
    qint16 last = 1;
    SearchNextPort(
        last, port, QStringLiteral("115200"), [](const QString &, const QString &) {}, warning);
    QCOMPARE(port.calls,
             (QStringList { "ReadPortList", "Close", "SetPortNumber 2", "SetLine 115200,n,8,1",
                            "SetReceiveThreshold 1", "SetTextMode", "Open", "ClearBuffers" }));
}

void TestPortSearch::refusalsInTooltipAndBox_data()
{
    QTest::addColumn<QList<int>>("openable");
    QTest::addColumn<QString>("tooltip");
    QTest::newRow("found: its device") << QList<int> { 7 } << "/dev/fake7";
    QTest::newRow("none found: each refusal")
        << QList<int> {}
        << "无权访问 /dev/fake2：请将当前用户加入 dialout 组后重新登录\n/dev/fake5 "
           "正被其他程序占用\n/dev/fake9 不存在";
}

void TestPortSearch::refusalsInTooltipAndBox()
{
    QFETCH(QList<int>, openable);
    QFETCH(QString, tooltip);
    FakePort port;
    port.open = false;
    port.openable = QSet<int>(openable.begin(), openable.end());
    port.refused = { { 2, Refusal::NoPermission }, { 5, Refusal::InUse }, { 9, Refusal::Missing } };
    FakeWarning warning;
    QString shown;
    qint16 last = 0;
    SearchNextPort(
        last, port, QStringLiteral("9600"),
        [&](const QString &, const QString &text) { shown = text; }, warning);
    QCOMPARE(shown, tooltip);
    // The end box, as always, and the reasons with it.
    QCOMPARE(warning.details, openable.isEmpty() ? QStringList { tooltip } : QStringList {});
}

void TestPortSearch::portMap_data()
{
    QTest::addColumn<QString>("ports");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("device");
    QTest::newRow("first") << "/dev/pts/7:/dev/ttyUSB0" << 1 << "/dev/pts/7";
    QTest::newRow("second") << "/dev/pts/7:/dev/ttyUSB0" << 2 << "/dev/ttyUSB0";
    QTest::newRow("past the list") << "/dev/pts/7:/dev/ttyUSB0" << 3 << "";
    QTest::newRow("empty entry keeps numbering") << ":/dev/pts/3" << 2 << "/dev/pts/3";
    QTest::newRow("empty entry is no port") << ":/dev/pts/3" << 1 << "";
    QTest::newRow("zero") << "/dev/pts/7" << 0 << "";
}

void TestPortSearch::portMap()
{
    QFETCH(QString, ports);
    QFETCH(int, number);
    QFETCH(QString, device);
    // The rows are written with Linux's separator; Windows separates the entries with ';'.
    ports.replace(QLatin1Char(':'), QDir::listSeparator());
    qputenv("TARVENIT_PORTS", ports.toLocal8Bit());
    QCOMPARE(DeviceForPort(PortDevices(), number), device);
    qunsetenv("TARVENIT_PORTS");
}

QTEST_GUILESS_MAIN(TestPortSearch)
#include "tst_portsearch.moc"
