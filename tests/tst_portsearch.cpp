// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes.h"
#include "serial/portmap.h"
#include "serial/portsearch.h"
#include "serial/portwatch.h"

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
    void portNames_data();
    void portNames();
    void sameAdapter_data();
    void sameAdapter();
    void adapterInTooltip();
    void watchReopens_data();
    void watchReopens();
    void watchReadsTheListOnlyAfterAChange();
};

namespace {

PortIdentity
Adapter(const QString &path, const QString &serial = QString(), int vendor = -1, int product = -1)
{
    PortIdentity identity;
    identity.path = path;
    identity.serialNumber = serial;
    identity.hasIds = vendor >= 0;
    identity.vendorId = quint16(std::max(0, vendor));
    identity.productId = quint16(std::max(0, product));
    return identity;
}

} // namespace

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
        << QList<int> { 1, 5 } << 0 << 1 << "端口：1 已打开 · fake1"
        << QStringList { "正在搜索： 1", "端口：1 已打开 · fake1" } << false << true;
    QTest::newRow("next click moves on")
        << QList<int> { 1, 5 } << 1 << 5 << "端口：5 已打开 · fake5"
        << QStringList { "正在搜索： 2", "正在搜索： 3", "正在搜索： 4", "正在搜索： 5",
                         "端口：5 已打开 · fake5" }
        << false << true;
    QTest::newRow("only port passed: end box")
        << QList<int> { 5 } << 5 << 0 << "" << QStringList {} << true << false;
    QTest::newRow("nothing opens")
        << QList<int> {} << 0 << 0 << "" << QStringList {} << true << false;
    QTest::newRow("port 16 found")
        << QList<int> { 16 } << 15 << 16 << "端口：16 已打开 · fake16"
        << QStringList { "正在搜索： 16", "端口：16 已打开 · fake16" } << false << true;
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
    FakeNotice notice;
    QStringList captions;
    qint16 last = qint16(lastTried);
    SearchNextPort(
        last, port, QStringLiteral("38400"),
        [&](const QString &caption, const QString &) { captions << caption; }, warning, notice);

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
    FakeNotice notice;
    qint16 last = 1;
    SearchNextPort(
        last, port, QStringLiteral("115200"), [](const QString &, const QString &) {}, warning,
        notice);
    QCOMPARE(port.calls,
             (QStringList { "ReadPortList", "Close", "SetPortNumber 2", "SetLine 115200,n,8,1",
                            "SetReceiveThreshold 1", "SetTextMode", "Open", "ClearBuffers" }));
}

void TestPortSearch::refusalsInTooltipAndBox_data()
{
    QTest::addColumn<QList<int>>("openable");
    QTest::addColumn<bool>("shared"); // port 3 is open in another program too
    QTest::addColumn<QString>("tooltip");
    QTest::addColumn<QStringList>("notices");
    QTest::newRow("found: its device")
        << QList<int> { 7 } << false << "/dev/fake7" << QStringList {};
    QTest::newRow("found, and shared")
        << QList<int> { 3 } << true << "/dev/fake3\n同时被 ModemManager（进程 812）打开"
        << QStringList { "提示|端口：3（/dev/fake3）同时被 ModemManager（进程 812）打开。" };
    QTest::newRow("none found: each refusal")
        << QList<int> {} << false
        << "无权访问 /dev/fake2：请将当前用户加入 dialout 组后重新登录\n/dev/fake5 "
           "正被其他程序占用\n/dev/fake9 不存在\n/dev/fake11 正被 ModemManager（进程 812）占用"
        << QStringList {};
}

void TestPortSearch::refusalsInTooltipAndBox()
{
    QFETCH(QList<int>, openable);
    QFETCH(bool, shared);
    QFETCH(QString, tooltip);
    QFETCH(QStringList, notices);
    FakePort port;
    port.open = false;
    port.openable = QSet<int>(openable.begin(), openable.end());
    port.refused = { { 2, Refusal::NoPermission },
                     { 5, Refusal::InUse },
                     { 9, Refusal::Missing },
                     { 11, Refusal::InUse } };
    port.holders[11] = PortHolder { 812, QStringLiteral("ModemManager") };
    if (shared)
        port.holders[3] = PortHolder { 812, QStringLiteral("ModemManager") };
    FakeWarning warning;
    FakeNotice notice;
    notice.open = true; // one from the port opened before
    QString shown;
    qint16 last = 0;
    SearchNextPort(
        last, port, QStringLiteral("9600"),
        [&](const QString &, const QString &text) { shown = text; }, warning, notice);
    QCOMPARE(shown, tooltip);
    // The end box, as always, and the reasons with it.
    QCOMPARE(warning.details, openable.isEmpty() ? QStringList { tooltip } : QStringList {});
    // Another program that has the port open too is worth a word beside the window.
    QCOMPARE(notice.Said(), notices);
    QCOMPARE(notice.IsShown(), shared);
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

void TestPortSearch::portNames_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QStringList>("natural");
    QTest::addColumn<QStringList>("windows"); // each as Windows writes it
    QTest::newRow("COM numbers") << QStringList { "COM10", "COM2", "COM1", "COM16" }
                                 << QStringList { "COM1", "COM2", "COM10", "COM16" }
                                 << QStringList { "COM10", "COM2", "COM1", "COM16" };
    QTest::newRow("Windows spellings") << QStringList { "\\\\.\\com12", "com3", "\\\\.\\COM4" }
                                       << QStringList { "\\\\.\\COM4", "\\\\.\\com12", "com3" }
                                       << QStringList { "COM12", "COM3", "COM4" };
    QTest::newRow("not a COM port")
        << QStringList { "comX", "LPT1", "COM" } << QStringList { "COM", "LPT1", "comX" }
        << QStringList { "comX", "LPT1", "COM" };
    QTest::newRow("device paths")
        << QStringList { "/dev/ttyUSB10", "/dev/ttyS1", "/dev/ttyUSB2", "/dev/ttyACM0" }
        << QStringList { "/dev/ttyACM0", "/dev/ttyS1", "/dev/ttyUSB2", "/dev/ttyUSB10" }
        << QStringList { "/dev/ttyUSB10", "/dev/ttyS1", "/dev/ttyUSB2", "/dev/ttyACM0" };
    QTest::newRow("leading zeros, then the text decides")
        << QStringList { "port010", "port9", "port09" }
        << QStringList { "port09", "port9", "port010" }
        << QStringList { "port010", "port9", "port09" };
}

void TestPortSearch::portNames()
{
    QFETCH(QStringList, ports);
    QFETCH(QStringList, natural);
    QFETCH(QStringList, windows);
    QStringList sorted = ports;
    std::sort(sorted.begin(), sorted.end(), NaturalLess);
    QCOMPARE(sorted, natural);
    QStringList written;
    for (const QString &port : ports)
        written << WindowsPortName(port);
    QCOMPARE(written, windows);
}

void TestPortSearch::sameAdapter_data()
{
    QTest::addColumn<PortIdentity>("lost");
    QTest::addColumn<QList<PortIdentity>>("present");
    QTest::addColumn<int>("found"); // its port number, 0 for none
    const PortIdentity ftdi = Adapter("/dev/ttyUSB0", "A10KXYZ", 0x0403, 0x6001);
    QTest::newRow("same serial number under a new name")
        << ftdi
        << QList<PortIdentity> { PortIdentity(),
                                 Adapter("/dev/ttyUSB1", "A10KXYZ", 0x0403, 0x6001) }
        << 2;
    QTest::newRow("same path, nothing more known")
        << Adapter("/tmp/link") << QList<PortIdentity> { Adapter("/tmp/link") } << 1;
    QTest::newRow("same path, same ids, no serial number")
        << Adapter("/dev/ttyUSB0", "", 0x1a86, 0x7523)
        << QList<PortIdentity> { Adapter("/dev/ttyUSB0", "", 0x1a86, 0x7523) } << 1;
    QTest::newRow("another adapter under the old name: other serial number")
        << ftdi << QList<PortIdentity> { Adapter("/dev/ttyUSB0", "B77", 0x0403, 0x6001) } << 0;
    QTest::newRow("another adapter under the old name: other ids")
        << Adapter("/dev/ttyUSB0", "", 0x1a86, 0x7523)
        << QList<PortIdentity> { Adapter("/dev/ttyUSB0", "", 0x10c4, 0xea60) } << 0;
    QTest::newRow("another adapter under the old name: one with a serial number")
        << Adapter("/dev/ttyUSB0", "", 0x1a86, 0x7523)
        << QList<PortIdentity> { Adapter("/dev/ttyUSB0", "0001", 0x1a86, 0x7523) } << 0;
    QTest::newRow("another adapter under the old name: ids unknown yet")
        << ftdi << QList<PortIdentity> { Adapter("/dev/ttyUSB0") } << 0;
    QTest::newRow("same serial number, other ids")
        << ftdi << QList<PortIdentity> { Adapter("/dev/ttyUSB1", "A10KXYZ", 0x0403, 0x6015) } << 0;
    QTest::newRow("nothing known: not under another name")
        << Adapter("/dev/pts/4") << QList<PortIdentity> { Adapter("/dev/pts/5") } << 0;
    QTest::newRow("both names listed: the old one")
        << ftdi
        << QList<PortIdentity> { Adapter("/dev/ttyUSB1", "A10KXYZ", 0x0403, 0x6001),
                                 Adapter("/dev/ttyUSB0", "A10KXYZ", 0x0403, 0x6001) }
        << 2;
    QTest::newRow("nothing present") << ftdi << QList<PortIdentity> { PortIdentity() } << 0;
}

void TestPortSearch::sameAdapter()
{
    QFETCH(PortIdentity, lost);
    QFETCH(QList<PortIdentity>, present);
    QFETCH(int, found);
    QCOMPARE(FindAdapter(lost, present), found);
}

void TestPortSearch::adapterInTooltip()
{
    PortIdentity identity = Adapter("/dev/ttyUSB0", "A10KXYZ", 0x0403, 0x6001);
    identity.description = QStringLiteral("FT232R USB UART");
    identity.manufacturer = QStringLiteral("FTDI");
    QCOMPARE(AdapterText(identity),
             QStringLiteral("/dev/ttyUSB0\n描述：FT232R USB UART\n制造商：FTDI\n"
                            "VID:PID：0403:6001\n序列号：A10KXYZ"));
    QCOMPARE(AdapterText(Adapter("/dev/pts/3")), QStringLiteral("/dev/pts/3"));
}

void TestPortSearch::watchReopens_data()
{
    QTest::addColumn<int>("refusedLooks"); // looks at which the adapter is back but refuses
    QTest::newRow("opens at once") << 0;
    QTest::newRow("refused at first (permissions not yet set)") << 2;
}

void TestPortSearch::watchReopens()
{
    QFETCH(int, refusedLooks);
    FakePort port;
    port.selected = 2;
    port.identities[2] = Adapter(QString(), "A10KXYZ", 0x0403, 0x6001);
    port.identities[4] = port.identities[2];
    port.devices[4] = QStringLiteral("/dev/ttyUSB1");
    port.open = false; // just lost
    qint16 last = 1; // as the engine leaves it after the loss
    QStringList captions;
    FakeNotice notice;
    notice.open = true;
    PortWatch watch(
        port, last, [] { return QStringLiteral("9600"); }, // the baud list's rate
        [&](const QString &caption, const QString &) { captions << caption; }, notice);
    QList<PortIdentity> present(4);
    int reads = 0;
    QByteArray stamp = "away";
    watch.SetPresentPorts(
        [&] {
            ++reads;
            return present;
        },
        [&] { return stamp; });
    watch.Start();
    QVERIFY(watch.IsWatching());
    QVERIFY(!notice.IsShown()); // what it said was about the port now gone

    watch.Poll(); // still away
    QCOMPARE(port.calls, QStringList {});
    present[3] = Adapter("/dev/ttyUSB1", "A10KXYZ", 0x0403, 0x6001); // back as port 4
    stamp = "back";
    reads = 0;
    for (int look = 0; look < refusedLooks; ++look) {
        watch.Poll();
        QVERIFY(!port.IsOpen());
        QVERIFY(watch.IsWatching());
    }
    port.openable = { 4 };
    watch.Poll();
    QVERIFY(port.IsOpen());
    QVERIFY(!watch.IsWatching());
    // Found once; only the open tried again, at the rate the list shows.
    QCOMPARE(reads, 1);
    QStringList expected { "Close", "ReadPortList", "SetPortNumber 4" };
    for (int look = 0; look <= refusedLooks; ++look)
        expected << "SetLine 9600,n,8,1"
                 << "Open";
    expected << "ClearBuffers";
    QCOMPARE(port.calls, expected);
    QCOMPARE(captions, QStringList { "端口：4 已打开 · ttyUSB1" });
    QCOMPARE(int(last), 4); // the next search moves on from it
}

void TestPortSearch::watchReadsTheListOnlyAfterAChange()
{
    FakePort port;
    port.open = false;
    port.selected = 1;
    qint16 last = 0;
    FakeNotice notice;
    PortWatch watch(
        port, last, [] { return QString(); }, [](const QString &, const QString &) {}, notice);
    int reads = 0;
    QByteArray stamp = "a";
    watch.SetPresentPorts(
        [&] {
            ++reads;
            return QList<PortIdentity> { PortIdentity() };
        },
        [&] { return stamp; });
    const int settling = PortWatch::SettleMilliseconds / PortWatch::PollMilliseconds;
    watch.Start();
    for (int look = 0; look < 3 * settling; ++look)
        watch.Poll();
    QCOMPARE(reads, 0); // nothing changed since the loss
    stamp = "b";
    for (int look = 0; look < 3 * settling; ++look)
        watch.Poll();
    QCOMPARE(reads, settling); // read for a while after a change, then no more
    stamp = "c";
    watch.Poll();
    QCOMPARE(reads, settling + 1);
    watch.Stop();
    stamp = "d";
    watch.Poll();
    QCOMPARE(reads, settling + 1);
}

QTEST_GUILESS_MAIN(TestPortSearch)
#include "tst_portsearch.moc"
