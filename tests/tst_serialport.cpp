// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/commandbox.h"
#include "app/form1.h"
#include "app/noticebox.h"
#include "app/termination.h"
#include "console/consoletext.h"
#include "console/consoleview.h"
#include "console/framebatcher.h"
#include "engine/modulefinder.h"
#include "fakes.h"
#include "ptypair.h"
#include "serial/portholder.h"
#include "serial/portopener.h"
#include "serial/portsearch.h"
#include "serial/portwatch.h"
#include "serial/serialport.h"

#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

// The text as the console draws it, each boxed character written as its code point in
// brackets, e.g. "a[200B]b".
QString Painted(const QString &text)
{
    QList<qsizetype> codes;
    QString painted = Shown(text, codes);
    // Backwards, so that each code's place in the shown text stays where Shown put it.
    for (qsizetype i = codes.size() - 1; i >= 0; --i) {
        const qsizetype at = codes[i] + i * (CodeDigits - 1);
        painted.insert(at + CodeDigits, QLatin1Char(']'));
        painted.insert(at, QLatin1Char('['));
    }
    return painted;
}

// Another program that has a device, for as long as it lives: a child process that
// either takes the device's lock file, as serial programs do, or simply holds it open.
class HoldingChild
{
public:
    enum Way { ByLockFile, ByOpenDevice, AsFarEnd };

    // AsFarEnd: holds the device open and the pty's master `master`, as the program
    // playing the module does.
    HoldingChild(Way way, const QString &device, int master = -1)
    {
        // Everything the child needs is made before the fork: it only makes system calls.
        const QByteArray path = QFile::encodeName(device);
        QString name = device.mid(5); // below /dev/
        name.replace(QLatin1Char('/'), QLatin1Char('_'));
        if (way == ByLockFile)
            m_lock = QFile::encodeName(LockDirectories().constFirst() + "/LCK.." + name);
        // A lock file as QSerialPort writes it: process id, program, (no) host name.
        const QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            for (int fd = 3; fd < 1024; ++fd) {
                if (fd != ready[1] && !(way == AsFarEnd && fd == master))
                    ::close(fd); // the test's own pty ends stay the test's
            }
            ::prctl(PR_SET_NAME, "evil%1x%2"); // the tool shows a name as it is
            if (way != ByLockFile) {
                if (::open(path.constData(), O_RDWR | O_NOCTTY) < 0)
                    ::_exit(1);
            } else {
                const int lock = ::open(m_lock.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
                if (lock < 0)
                    ::_exit(1);
                char pid[32];
                const int length = std::snprintf(pid, sizeof pid, "%d\n", int(::getpid()));
                if (::write(lock, pid, size_t(length)) != length
                    || ::write(lock, program.constData(), size_t(program.size())) != program.size()
                    || ::write(lock, "\n\n", 2) != 2)
                    ::_exit(1);
                ::close(lock);
            }
            if (::write(ready[1], "x", 1) != 1)
                ::_exit(1);
            ::pause();
            ::_exit(0);
        }
        ::close(ready[1]);
        char byte = 0;
        m_ready = m_pid > 0 && ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
    }
    ~HoldingChild()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (!m_lock.isEmpty())
            ::unlink(m_lock.constData());
    }
    HoldingChild(const HoldingChild &) = delete;
    HoldingChild &operator=(const HoldingChild &) = delete;

    bool IsReady() const { return m_ready; }
    QString Named() const
    {
        return QStringLiteral("evil%1x%2（进程 ") + QString::number(m_pid) + "）";
    }

private:
    pid_t m_pid = -1;
    QByteArray m_lock;
    bool m_ready = false;
};

} // namespace

// The window over a real QSerialPort on a pseudo-terminal named by TARVENIT_PORTS.
class TestSerialPort : public QObject
{
    Q_OBJECT

    std::unique_ptr<Pty> m_pty;
    std::optional<TemporaryPreferences> m_preferences;
    std::unique_ptr<Form1> m_form;
    FakeWarning m_warning;
    FakeConfirm m_confirm; // the update of an empty panel is written

    // A new pty as port `number`, the ports below it missing.
    bool PlugIn(int number)
    {
        m_pty = std::make_unique<Pty>();
        QStringList ports;
        for (int n = 1; n < number; ++n)
            ports << QStringLiteral("/nonexistent/tty%1").arg(n);
        ports << m_pty->Path();
        qputenv("TARVENIT_PORTS", ports.join(QLatin1Char(':')).toLocal8Bit());
        return m_pty->IsValid();
    }

    // Opens the window with the pty as port `number` and searches once: true when the
    // search opened it.
    [[nodiscard]] bool Connect(int number = 1)
    {
        if (!PlugIn(number))
            return false;
        m_form = std::make_unique<Form1>();
        m_warning.shown.clear();
        m_form->SetWarningBox(&m_warning);
        m_form->SetConfirmBox(&m_confirm);
        m_form->Command4->click();
        return m_form->Port().IsOpen();
    }

    // Every character of the console from `from` on is in this colour, Arial 10 pt.
    static void VerifyFormat(const ConsoleView *console, int from, QColor colour)
    {
        const ConsoleStore &store = console->Store();
        const auto runs = store.Runs(from, store.Size());
        QVERIFY(!runs.isEmpty());
        for (const auto &[start, rgb] : runs)
            QCOMPARE(QColor(rgb), colour);
        QCOMPARE(console->font().family(), QStringLiteral("Arial"));
        QCOMPARE(console->font().pointSize(), 10);
    }

private slots:
    void init() { m_preferences.emplace(); }
    void cleanup()
    {
        m_form.reset();
        m_pty.reset();
        m_warning.shown.clear();
        m_warning.details.clear();
        qunsetenv("TARVENIT_PORTS");
    }

    void searchFindsThePtyAtItsNumber();
    void portChosenFromTheList_data();
    void portChosenFromTheList();
    void handTypedCommandArrivesByteForByte_data();
    void handTypedCommandArrivesByteForByte();
    void trickleIsReadInGathers_data();
    void trickleIsReadInGathers();
    void receivedTextShownInBlue_data();
    void receivedTextShownInBlue();
    void characterCutOffAtTheEnd_data();
    void characterCutOffAtTheEnd();
    void lostDevice_data();
    void lostDevice();
    void tickPacesOnlyWhileRunning_data();
    void tickPacesOnlyWhileRunning();
    void lineSettingsAreApplied();
    void pathThatIsNotUtf8();
    void portInUse();
    void holderNamed_data();
    void holderNamed();
    void backByItselfBehindALink_data();
    void backByItselfBehindALink();
    void noPermissionForReal();
    void noPermissionAsUnprivilegedChild();
    void hostileLockFile_data();
    void hostileLockFile();
    void operatorTakesOver_data();
    void operatorTakesOver();
    void terminationSignalClosesThePort();
};

void TestSerialPort::searchFindsThePtyAtItsNumber()
{
    QVERIFY(Connect(3));
    QCOMPARE(m_form->Label4->text(),
             QStringLiteral("端口：3 已打开 · %1").arg(ShortDeviceName(m_pty->Path())));
    QCOMPARE(m_form->Label4->toolTip(), m_pty->Path());
    QCOMPARE(m_form->State().LastPortTried, qint16(3));
    QVERIFY(m_form->Port().IsOpen());
    QVERIFY(m_warning.shown.isEmpty());

    m_form->Command4->click(); // closes it and finds nothing above
    QVERIFY(!m_form->Port().IsOpen());
    QCOMPARE(m_form->Label4->text(), QString());
    QCOMPARE(m_form->Label4->toolTip(), QString());
    QCOMPARE(m_form->State().LastPortTried, qint16(0));
    QCOMPARE(m_warning.shown, QStringList { "提示|已经搜索到最后，再次点击重新搜索！" });

    m_form->Command4->click(); // and back to it
    QCOMPARE(m_form->Label4->text(),
             QStringLiteral("端口：3 已打开 · %1").arg(ShortDeviceName(m_pty->Path())));
    QVERIFY(m_form->Port().IsOpen());

    // The console's record tells where the port opened, each time.
    m_form->RichTextBox1->SetDirectionsRecorded(true);
    QTemporaryDir dir;
    QCOMPARE(m_form->RichTextBox1->SaveTo(dir.filePath("s.txt")).result, SaveOutcome::Saved);
    QFile saved(dir.filePath("s.txt"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QString opened
        = QStringLiteral("— 端口 3 已打开 (%1) 38400 —\n").arg(m_pty->Path().mid(5)); // "pts/N"
    QCOMPARE(QString::fromUtf8(saved.readAll()), opened + opened);
}

void TestSerialPort::portChosenFromTheList_data()
{
    QTest::addColumn<bool>("two"); // ports there: a second pty as port 3, else the one alone
    QTest::addColumn<bool>("byKey"); // Space on the label, else a click
    QTest::addColumn<bool>("gone"); // the port chosen went away while the list was open
    QTest::newRow("one port, clicked") << false << false << false;
    QTest::newRow("two ports, Space") << true << true << false;
    QTest::newRow("two ports, the chosen one gone") << true << false << true;
}

void TestSerialPort::portChosenFromTheList()
{
    QFETCH(bool, two);
    QFETCH(bool, byKey);
    QFETCH(bool, gone);
    QVERIFY(PlugIn(1));
    auto other = std::make_unique<Pty>();
    const QString first = m_pty->Path();
    if (two)
        qputenv("TARVENIT_PORTS", (first + ":/nonexistent/tty2:" + other->Path()).toLocal8Bit());
    m_form = std::make_unique<Form1>();
    m_form->SetWarningBox(&m_warning);
    m_form->show();
    // Nothing opens at start; a port alone is named, to say where to begin.
    QVERIFY(!m_form->Port().IsOpen());
    QCOMPARE(m_form->Label4->text(), two ? "端口：未打开" : "发现 " + ShortDeviceName(first));
    QCOMPARE(m_form->Label4->toolTip(),
             two ? QString() : "发现 1 个端口：" + ShortDeviceName(first) + "，点击搜索端口打开");
    if (byKey) {
        m_form->Label4->setFocus();
        QTest::keyClick(m_form->Label4, Qt::Key_Space);
    } else {
        QTest::mouseClick(m_form->Label4, Qt::LeftButton);
    }
    QMenu *list = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(list = qobject_cast<QMenu *>(QApplication::activePopupWidget()), 5000);
    QStringList entries;
    for (const QAction *entry : list->actions())
        entries << entry->text();
    const QString chosen = two ? other->Path() : first;
    QStringList expected { "端口 1：" + ShortDeviceName(first) };
    if (two)
        expected << "端口 3：" + ShortDeviceName(chosen);
    QCOMPARE(entries, expected);
    if (gone)
        other.reset();
    list->actions().last()->trigger();
    list->close();
    const int number = two ? 3 : 1;
    if (gone) {
        QTRY_COMPARE_WITH_TIMEOUT(m_warning.shown.size(), 1, 5000);
        QCOMPARE(m_warning.shown.first(),
                 QStringLiteral("提示|端口：3（%1）打不开！").arg(ShortDeviceName(chosen)));
        QVERIFY(!m_form->Port().IsOpen());
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(m_form->Port().IsOpen(), 5000);
        QCOMPARE(m_form->Label4->text(), PortOpenCaption(number, chosen));
        QVERIFY(m_warning.shown.isEmpty());
    }
    QCOMPARE(m_form->State().LastPortTried, qint16(number)); // a search goes on after it
}

void TestSerialPort::handTypedCommandArrivesByteForByte_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<LineEnding>("ending");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QString>("shown"); // in the console
    const QString typed = QStringLiteral("AT+NAME=蓝牙\nAT");
    const QByteArray asTyped = QStringLiteral("AT+NAME=蓝牙\r\nAT").toUtf8();
    QTest::newRow("as typed") << typed << LineEnding::None << false << asTyped << typed;
    QTest::newRow("CR") << typed << LineEnding::Cr << false << asTyped + "\r" << typed + "\u240D";
    QTest::newRow("LF") << typed << LineEnding::Lf << false << asTyped + "\n" << typed + "\n";
    QTest::newRow("CR LF") << typed << LineEnding::CrLf << false << asTyped + "\r\n"
                           << typed + "\n";
    QTest::newRow("hex, not UTF-8") << " 41 54\tff 00 0D0a " << LineEnding::CrLf << true
                                    << QByteArray("AT\xFF\0\r\n", 6) << "AT\uFFFD\u2400\n";
}

void TestSerialPort::handTypedCommandArrivesByteForByte()
{
    QFETCH(QString, typed);
    QFETCH(LineEnding, ending);
    QFETCH(bool, hex);
    QFETCH(QByteArray, expected);
    QFETCH(QString, shown);
    QVERIFY(Connect());
    m_form->Text2->SetEnding(ending);
    m_form->Text2->SetHexEntry(hex);
    m_form->Text2->setPlainText(typed);
    m_form->Command5->click();
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT((got += m_pty->ReadAvailable()).size() >= expected.size(), 5000);
    QCOMPARE(got, expected);
    QCOMPARE(m_form->State().WorkMode, ModeManual);
    QCOMPARE(m_form->Text2->toPlainText(), typed); // kept after sending
    QTRY_COMPARE_WITH_TIMEOUT(m_form->RichTextBox1->toPlainText(), shown, 5000);
    VerifyFormat(m_form->RichTextBox1, 0, QColor(255, 0, 0));
}

void TestSerialPort::trickleIsReadInGathers_data()
{
    QTest::addColumn<QString>("before"); // what the operator did before the stream
    QTest::addColumn<bool>("gathered");
    QTest::newRow("idle") << "" << true;
    QTest::newRow("a query awaits its reply") << "query" << false;
    QTest::newRow("right after a hand-typed command") << "send" << false;
    // Faster than any serial rate: gathered, it would hold up the sender.
    QTest::newRow("right after a flood") << "flood" << false;
}

void TestSerialPort::trickleIsReadInGathers()
{
    // Eight bytes every 10 ms, as an adapter passes a stream on: idle, it is taken in a
    // few gathers, not once for each write; a reply that is awaited is announced as each
    // piece arrives. A loop of its own reads as soon as the port is ready, unlike QTRY's
    // naps.
    QFETCH(QString, before);
    QFETCH(bool, gathered);
    QVERIFY(Connect());
    m_form->Text2->setPlainText(QStringLiteral("AT\n"));
    if (before == "query")
        m_form->Command1->click();
    else if (before == "send")
        m_form->Command5->click();
    QByteArray written; // the command, read off the line before the module answers
    const bool wrote = before == "query" || before == "send";
    QTRY_VERIFY_WITH_TIMEOUT(!wrote || (written += m_pty->ReadAvailable()) == QByteArray("AT\r\n"),
                             5000);
    const qsizetype start = m_form->State().ReplyBuffer.Text().size();
    QSignalSpy notified(&m_form->Port(), &SerialPort::commEvent);
    QByteArray sent;
    QEventLoop loop;
    QTimer writer;
    writer.setTimerType(Qt::PreciseTimer);
    connect(&writer, &QTimer::timeout, &loop, [&] {
        if (before == "flood" && sent.isEmpty()) {
            sent = QByteArray(8000, 'x'); // two of the system's reads, and some
            m_pty->Write(sent);
        }
        sent += QByteArray::number(10000000 + sent.size());
        m_pty->Write(sent.right(8));
        if (sent.size() % 8000 == 160)
            writer.stop();
    });
    connect(&m_form->Port(), &SerialPort::commEvent, &loop, [&] {
        if (m_form->State().ReplyBuffer.Text().size() >= start + 160 + (before == "flood") * 8000)
            loop.quit();
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    writer.start(10);
    loop.exec();
    QCOMPARE(m_form->State().ReplyBuffer.Text().mid(start), QString::fromLatin1(sent));
    const QString count = QString::number(notified.count());
    QVERIFY2(gathered ? notified.count() <= 10 : notified.count() > 12, qPrintable(count));
}

void TestSerialPort::receivedTextShownInBlue_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("byteAtATime");
    QTest::addColumn<QString>("shown"); // what the engine receives
    QTest::addColumn<QString>("console"); // the console's text: copied, read by screen readers
    QTest::addColumn<QString>("painted"); // what the console draws, a boxed code as [XXXX]
    const QByteArray reply = "+NAME:蓝牙模块\r\nOK\r\n";
    const QString replyText = QStringLiteral("+NAME:蓝牙模块\nOK\n");
    QTest::newRow("whole") << reply << false << replyText << replyText << replyText;
    QTest::newRow("a byte at a time") << reply << true << replyText << replyText << replyText;
    QTest::newRow("invalid byte") << QByteArray("a\xff"
                                                "b")
                                  << true << QStringLiteral("a\uFFFDb")
                                  << QStringLiteral("a\uFFFDb") << QStringLiteral("a\uFFFDb");
    QTest::newRow("character cut off before ASCII")
        << QByteArray("+NAME:ab\xE4"
                      "cd\r\nOK\r\n")
        << true << QStringLiteral("+NAME:ab\uFFFDcd\nOK\n")
        << QStringLiteral("+NAME:ab\uFFFDcd\nOK\n") << QStringLiteral("+NAME:ab\uFFFDcd\nOK\n");
    QTest::newRow("character cut off before a line feed")
        << QByteArray("x\xC3\nOK\n") << true << QStringLiteral("x\uFFFD\nOK\n")
        << QStringLiteral("x\uFFFD\nOK\n") << QStringLiteral("x\uFFFD\nOK\n");
    QTest::newRow("NUL") << QByteArray("a\0b", 3) << true << QString::fromUtf16(u"a\0b", 3)
                         << QStringLiteral("a\u2400b") << QStringLiteral("a\u2400b");
    QTest::newRow("control bytes") << QByteArray("a\0b\ac\x1b"
                                                 "d\x7f"
                                                 "e\t\r\n",
                                                 12)
                                   << false
                                   << QString::fromUtf16(u"a\0b\ac\x1b"
                                                         u"d\x7f"
                                                         u"e\t\n",
                                                         11)
                                   << QStringLiteral("a\u2400b\u2407c\u241Bd\u2421e\t\n")
                                   << QStringLiteral("a\u2400b\u2407c\u241Bd\u2421e\t\n");
    QTest::newRow("lone carriage return") << QByteArray("a\rb") << false << QStringLiteral("ab")
                                          << QStringLiteral("ab") << QStringLiteral("ab");
    QTest::newRow("C1 controls of a wrong baud rate")
        << QByteArray("a\xC2\x85\xC2\x9F"
                      "b")
        << false << QStringLiteral("a\u0085\u009Fb") << QStringLiteral("a\u0085\u009Fb")
        << QStringLiteral("a[0085][009F]b");
    QTest::newRow("zero width and byte-order mark")
        << QByteArray("\xEF\xBB\xBF"
                      "a\xE2\x80\x8B"
                      "b\xE2\x80\x8D\xE2\x81\xA0"
                      "c")
        << false << QStringLiteral("\uFEFFa\u200Bb\u200D\u2060c")
        << QStringLiteral("\uFEFFa\u200Bb\u200D\u2060c")
        << QStringLiteral("[FEFF]a[200B]b[200D][2060]c");
    QTest::newRow("bidirectional controls stay in order")
        << QByteArray("AT\xE2\x80\xAE"
                      "OK\xE2\x80\x8F\xE2\x81\xA6"
                      "x")
        << false << QStringLiteral("AT\u202EOK\u200F\u2066x")
        << QStringLiteral("AT\u202EOK\u200F\u2066x") << QStringLiteral("AT[202E]OK[200F][2066]x");
    QTest::newRow("separators do not break the line")
        << QByteArray("a\xE2\x80\xA8"
                      "b\xE2\x80\xA9"
                      "c\xEF\xB7\x90"
                      "d")
        << false << QStringLiteral("a\u2028b\u2029c\uFDD0d")
        << QStringLiteral("a\u2028b\u2029c\uFDD0d") << QStringLiteral("a[2028]b[2029]c[FDD0]d");
    QTest::newRow("a received control picture is boxed")
        << QByteArray("a\xE2\x90\x90"
                      "b\x10"
                      "c")
        << false << QStringLiteral("a\u2410b\u0010c") << QStringLiteral("a\u2410b\u2410c")
        << QStringLiteral("a[2410]b\u2410c");
    QTest::newRow("markup stays text")
        << QByteArray("<b>x</b>&amp;") << false << QStringLiteral("<b>x</b>&amp;")
        << QStringLiteral("<b>x</b>&amp;") << QStringLiteral("<b>x</b>&amp;");
}

void TestSerialPort::receivedTextShownInBlue()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, byteAtATime);
    QFETCH(QString, shown);
    QVERIFY(Connect());
    QSignalSpy notified(&m_form->Port(), &SerialPort::commEvent);
    if (byteAtATime) {
        for (char byte : bytes) {
            const qsizetype before = notified.count();
            QVERIFY(m_pty->Write(QByteArray(1, byte)));
            QTRY_VERIFY_WITH_TIMEOUT(notified.count() > before, 5000);
        }
    } else {
        QVERIFY(m_pty->Write(bytes));
    }
    // The console draws control characters as their pictures; the engine keeps them.
    QFETCH(QString, console);
    QFETCH(QString, painted);
    QTRY_COMPARE_WITH_TIMEOUT(m_form->State().ReplyBuffer.Text(), shown, 5000);
    ConsoleView *view = m_form->RichTextBox1;
    QTRY_COMPARE_WITH_TIMEOUT(view->toPlainText(), console, 5000);
    QCOMPARE(view->Store().LineCount(), console.count(QLatin1Char('\n')) + 1);
    QCOMPARE(Painted(view->Store().Text(0, view->Store().Size())), painted);
    // What the operator copies, and what a screen reader reads, is the whole text.
    view->selectAll();
    view->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), console);
    QAccessibleTextInterface *read = QAccessible::queryAccessibleInterface(view)->textInterface();
    QVERIFY(read);
    QCOMPARE(read->text(0, read->characterCount()), console);
    VerifyFormat(view, 0, QColor(0, 0, 255));
}

void TestSerialPort::characterCutOffAtTheEnd_data()
{
    QTest::addColumn<QString>("then");
    QTest::newRow("nothing follows") << "";
    QTest::newRow("a search closes the port") << "search";
    QTest::newRow("the device is lost") << "lost";
}

void TestSerialPort::characterCutOffAtTheEnd()
{
    QFETCH(QString, then);
    QVERIFY(Connect());
    const EngineState &state = m_form->State();
    QStringList chunks; // as the engine took each
    connect(&m_form->Port(), &SerialPort::commEvent, this, [&] { chunks << state.LastChunk; });
    QVERIFY(m_pty->Write("+NAME:ab\xE4"));
    QTRY_COMPARE_WITH_TIMEOUT(state.ReplyBuffer.Text(), QStringLiteral("+NAME:ab"), 5000);
    if (then == QLatin1String("lost")) {
        m_pty->CloseMaster();
        m_pty->CloseHeldSlave();
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->Port().IsOpen(), 5000);
    }
    if (then == QLatin1String("search"))
        m_form->Command4->click();
    QTRY_COMPARE_WITH_TIMEOUT(chunks.value(chunks.size() - 1), QStringLiteral("\uFFFD"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(m_form->RichTextBox1->toPlainText(), QStringLiteral("+NAME:ab\uFFFD"),
                              5000);
    // What the port's module said is no reply once the port has changed.
    QCOMPARE(state.ReplyBuffer.Text(),
             then.isEmpty() ? QStringLiteral("+NAME:ab\uFFFD") : QString());
}

void TestSerialPort::lostDevice_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("searchedPast"); // clicked once more after finding it
    QTest::addColumn<bool>("update"); // an update started by its button, unanswered
    QTest::addColumn<QString>("mode"); // else the engine as set here
    QTest::addColumn<bool>("awaiting");
    QTest::addColumn<bool>("warned");
    QTest::newRow("query waiting for a reply")
        << 2 << false << false << ModeSearching << true << true;
    QTest::newRow("update waiting for its first reply")
        << 2 << false << true << ModeUpdating << true << true;
    QTest::newRow("idle") << 2 << false << false << ModeIdle << false << false;
    QTest::newRow("after a hand-typed command")
        << 2 << false << false << ModeManual << false << false;
    QTest::newRow("port 16, left open by a search past it")
        << 16 << true << false << ModeIdle << false << false;
}

void TestSerialPort::lostDevice()
{
    QFETCH(int, number);
    QFETCH(bool, searchedPast);
    QFETCH(bool, update);
    QFETCH(QString, mode);
    QFETCH(bool, awaiting);
    QFETCH(bool, warned);
    QVERIFY(Connect(number));
    const QString device = m_pty->Path();
    QSignalSpy lost(&m_form->Port(), &SerialPort::deviceLost);
    EngineState &state = m_form->State();
    if (searchedPast) {
        m_form->Command4->click();
        QVERIFY(m_form->Port().IsOpen());
        QCOMPARE(state.LastPortTried, qint16(0));
        m_warning.shown.clear();
    }
    if (update) {
        m_form->Command2->click();
        QByteArray sent;
        QTRY_VERIFY_WITH_TIMEOUT((sent += m_pty->ReadAvailable()).endsWith("\r\n"), 5000);
    } else {
        state.WorkMode = mode;
        state.StepIndex = 4;
        state.AwaitingReply = awaiting;
    }
    QCOMPARE(state.WorkMode, mode);
    QCOMPARE(state.AwaitingReply, awaiting);

    m_pty->CloseMaster(); // the adapter is pulled
    m_pty->CloseHeldSlave();
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 5000);
    QVERIFY(!m_form->Port().IsOpen());
    QCOMPARE(m_form->Label4->text(), QStringLiteral("端口：%1 已断开").arg(number));
    QCOMPARE(m_form->Label4->toolTip(), device);
    QCOMPARE(state.LastPortTried, qint16(number - 1));
    QCOMPARE(m_warning.shown, warned ? QStringList { PortWarning } : QStringList {});
    QCOMPARE(state.WorkMode, warned ? ModeIdle : mode);
    QCOMPARE(state.AwaitingReply, warned ? false : awaiting);

    // A tight error loop would report again on every turn of the event loop.
    for (int turn = 0; turn < 100; ++turn)
        QCoreApplication::processEvents();
    QCOMPARE(lost.count(), 1);
    QCOMPARE(m_warning.shown.size(), warned ? 1 : 0);

    m_form->Text2->setPlainText(QStringLiteral("AT"));
    m_form->Command5->click(); // a hand-typed send warns, as on any closed port
    QCOMPARE(m_warning.shown.size(), warned ? 2 : 1);

    // Plugged back in: one click finds it on the same number.
    QVERIFY(PlugIn(number));
    m_form->Command4->click();
    QCOMPARE(m_form->Label4->text(), PortOpenCaption(number, m_pty->Path()));
    QVERIFY(m_form->Port().IsOpen());
    QCOMPARE(m_warning.shown.size(), warned ? 2 : 1);
}

void TestSerialPort::tickPacesOnlyWhileRunning_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("steps");
    QTest::addColumn<QByteArray>("first");
    QTest::newRow("query") << "Command1" << int(QuerySteps) << QByteArray("AT\r\n");
    QTest::newRow("update") << "Command2" << int(UpdateSteps) << QByteArray("AT+NAME=\r\n");
}

void TestSerialPort::tickPacesOnlyWhileRunning()
{
    QFETCH(QString, button);
    QFETCH(int, steps);
    QFETCH(QByteArray, first);
    QVERIFY(Connect());
    const EngineState &state = m_form->State();
    // Connected after the window's own handler: whether each tick has sent a line.
    QList<bool> sentAtTick;
    connect(m_form->Timer1, &QTimer::timeout, this, [&] { sentAtTick << state.AwaitingReply; });
    m_form->findChild<QPushButton *>(button)->click();
    for (int step = 1; step <= steps; ++step) {
        QByteArray line;
        QTRY_VERIFY_WITH_TIMEOUT((line += m_pty->ReadAvailable()).endsWith("\r\n"), 5000);
        if (step == 1) {
            QCOMPARE(line, first);
            QCOMPARE(sentAtTick.value(0), true); // it went out at the first tick
        }
        QVERIFY(m_pty->Write("OK\r\n"));
    }
    QTRY_COMPARE_WITH_TIMEOUT(state.WorkMode, ModeIdle, 5000);

    // Idle, while the module talks: nothing is written, and the tick never wakes.
    const qsizetype ticks = sentAtTick.size();
    QTimer clock;
    QSignalSpy clockTicks(&clock, &QTimer::timeout);
    clock.start(10);
    QVERIFY(m_pty->Write("+STATE:PAIRED\r\n"));
    QTRY_VERIFY_WITH_TIMEOUT(clockTicks.count() >= 5 && state.LastChunk.endsWith(u'\n'), 5000);
    QCOMPARE(m_pty->ReadAvailable(), QByteArray());
    QCOMPARE(sentAtTick.size(), ticks);
}

void TestSerialPort::lineSettingsAreApplied()
{
    m_pty = std::make_unique<Pty>();
    qputenv("TARVENIT_PORTS", m_pty->Path().toLocal8Bit());
    SerialPort port;
    port.ReadPortList();
    port.SetPortNumber(1);
    port.SetLine(QStringLiteral("115200,n,8,1"));
    port.Open();
    QVERIFY(port.IsOpen());
    termios tio {};
    QCOMPARE(::tcgetattr(m_pty->SlaveFd(), &tio), 0);
    QCOMPARE(cfgetospeed(&tio), speed_t(B115200));
    QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
    QVERIFY(!(tio.c_cflag & PARENB));
    QVERIFY(!(tio.c_cflag & CSTOPB));
    QCOMPARE(port.Device(), m_pty->Path());
}

void TestSerialPort::pathThatIsNotUtf8()
{
    m_pty = std::make_unique<Pty>();
    QTemporaryDir dir;
    const QByteArray link = QFile::encodeName(dir.path()) + "/adapter-\xff\xfe";
    QCOMPARE(::symlink(m_pty->Path().toLocal8Bit().constData(), link.constData()), 0);
    qputenv("TARVENIT_PORTS", link);
    SerialPort port;
    port.ReadPortList();
    port.SetPortNumber(1);
    port.Open();
    QVERIFY(port.IsOpen());
}

void TestSerialPort::terminationSignalClosesThePort()
{
    QVERIFY(PlugIn(1));
    termios before {};
    QCOMPARE(::tcgetattr(m_pty->SlaveFd(), &before), 0);
    m_form = std::make_unique<Form1>();
    m_form->show();
    m_form->Command4->click();
    QVERIFY(m_form->Port().IsOpen());
    CloseOnTerminationSignals(m_form.get());

    ::raise(SIGTERM);
    QTRY_VERIFY_WITH_TIMEOUT(!m_form->isVisible(), 5000);
    QVERIFY(!m_form->Port().IsOpen());
    termios after {};
    QCOMPARE(::tcgetattr(m_pty->SlaveFd(), &after), 0);
    QCOMPARE(after.c_cflag, before.c_cflag);
    QCOMPARE(after.c_lflag, before.c_lflag);
    QCOMPARE(after.c_iflag, before.c_iflag);
    QCOMPARE(cfgetospeed(&after), cfgetospeed(&before));
}

void TestSerialPort::portInUse()
{
    QVERIFY(PlugIn(2)); // port 1 names a device that does not exist
    QSerialPort holder(m_pty->Path()); // another program has the port open
    QVERIFY(holder.open(QIODevice::ReadWrite));
    m_form = std::make_unique<Form1>();
    m_form->SetWarningBox(&m_warning);
    m_form->Command4->click();
    QVERIFY(!m_form->Port().IsOpen());
    const QString reasons
        = QStringLiteral("/nonexistent/tty1 不存在\n%1 正被其他程序占用").arg(m_pty->Path());
    QCOMPARE(m_form->Label4->toolTip(), reasons);
    QCOMPARE(m_warning.details, QStringList { reasons }); // the end-of-range box, as always
}

void TestSerialPort::holderNamed_data()
{
    QTest::addColumn<int>("way");
    QTest::addColumn<bool>("opens"); // the tool still opens the port, which is then shared
    QTest::addColumn<bool>("named");
    QTest::newRow("by its lock file") << int(HoldingChild::ByLockFile) << false << true;
    QTest::newRow("by having it open") << int(HoldingChild::ByOpenDevice) << true << true;
    QTest::newRow("the pty's far end: not another user")
        << int(HoldingChild::AsFarEnd) << true << false;
}

void TestSerialPort::holderNamed()
{
    QFETCH(int, way);
    QFETCH(bool, opens);
    QFETCH(bool, named);
    QVERIFY(PlugIn(1));
    const QString device = m_pty->Path();
    HoldingChild child(HoldingChild::Way(way), device, m_pty->MasterFd());
    QVERIFY(child.IsReady());
    const auto holder = FindHolder(device);
    QCOMPARE(bool(holder), named);
    if (holder)
        QCOMPARE(HolderText(*holder), child.Named());

    m_form = std::make_unique<Form1>();
    m_form->SetWarningBox(&m_warning);
    m_form->Command4->click();
    QCOMPARE(m_form->Port().IsOpen(), opens);
    if (!opens) {
        const QString reason = QStringLiteral("%1 正被 %2占用").arg(device, child.Named());
        QCOMPARE(m_form->Label4->toolTip(), reason);
        QCOMPARE(m_warning.details, QStringList { reason });
        return;
    }
    if (!named) {
        QCOMPARE(m_form->Label4->toolTip(), device);
        QVERIFY(!m_form->SharedNotice().IsShown());
        return;
    }
    QCOMPARE(m_form->Label4->toolTip(),
             QStringLiteral("%1\n同时被 %2打开").arg(device, child.Named()));
    QMessageBox *box = m_form->SharedNotice().Box();
    QVERIFY(box && m_form->SharedNotice().IsShown());
    QCOMPARE(box->windowTitle(), QStringLiteral("提示"));
    QCOMPARE(box->text(),
             QStringLiteral("端口：1（%1）同时被 %2打开。").arg(device, child.Named()));
    QVERIFY(m_warning.shown.isEmpty());
    // Once per open: the next search, which finds nothing, closes it and shows no other.
    m_form->Command4->click();
    QVERIFY(!m_form->SharedNotice().IsShown());
}

void TestSerialPort::backByItselfBehindALink_data()
{
    QTest::addColumn<QString>("meanwhile"); // what the operator does while the tool waits
    QTest::newRow("comes back") << "";
    QTest::newRow("the operator searches meanwhile") << "search";
    QTest::newRow("the window is closed meanwhile") << "close";
}

// The adapter is a pty behind a link named in TARVENIT_PORTS; the link goes with the
// adapter and comes back to a new pty, as a device link does when it is plugged in again.
void TestSerialPort::backByItselfBehindALink()
{
    QFETCH(QString, meanwhile);
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("module"));
    m_pty = std::make_unique<Pty>();
    QVERIFY(QFile::link(m_pty->Path(), link));
    qputenv("TARVENIT_PORTS", QFile::encodeName(link));
    m_form = std::make_unique<Form1>();
    m_form->SetWarningBox(&m_warning);
    m_form->Combo1->setCurrentText(QStringLiteral("115200"));
    m_form->Command4->click();
    QVERIFY(m_form->Port().IsOpen());
    m_form->Command1->click(); // a query waits for its first reply
    QByteArray sent;
    QTRY_VERIFY_WITH_TIMEOUT((sent += m_pty->ReadAvailable()).endsWith("\r\n"), 5000);
    m_form->Text2->setPlainText(QStringLiteral("AT+NAME?"));
    m_form->Combo1->setCurrentText(QStringLiteral("9600")); // the port's rate at once
    const auto consoleSize = [&] {
        m_form->Batcher().Flush();
        return m_form->RichTextBox1->Store().Size();
    };
    const qsizetype console = consoleSize();

    m_pty.reset(); // pulled: the far end and its link are gone
    QVERIFY(QFile::remove(link));
    QTRY_COMPARE_WITH_TIMEOUT(m_form->Label4->text(), QStringLiteral("端口：1 已断开"), 5000);
    QCOMPARE(m_warning.shown, QStringList { PortWarning }); // the query is abandoned
    QVERIFY(m_form->Watch().IsWatching());
    if (meanwhile == "close")
        m_form->close();
    if (meanwhile == "search") {
        m_form->Command4->click(); // as today: the link is missing, so the search ends
        QVERIFY(!m_form->Watch().IsWatching());
        QCOMPARE(m_warning.shown.size(), 2);
        QCOMPARE(m_form->Label4->toolTip(), QStringLiteral("%1 不存在").arg(link));
    }

    m_pty = std::make_unique<Pty>(); // plugged back in
    QVERIFY(QFile::link(m_pty->Path(), link));
    if (!meanwhile.isEmpty()) {
        // Nothing will open it but the next search: give the watch a few of its rounds.
        QVERIFY(!QTest::qWaitFor([&] { return m_form->Port().IsOpen(); },
                                 3 * PortWatch::PollMilliseconds));
        QVERIFY(!m_form->Watch().IsWatching());
        return;
    }
    QElapsedTimer back;
    back.start();
    // Back well within a second on a quiet machine (the figure below); the deadline is
    // for a loaded one.
    QTRY_COMPARE_WITH_TIMEOUT(m_form->Label4->text(), PortOpenCaption(1, m_form->Port().Device()),
                              5000);
    qInfo("open again %lld ms after the link came back", back.elapsed());
    QVERIFY(m_form->Port().IsOpen());
    QVERIFY(!m_form->Watch().IsWatching());
    QCOMPARE(m_form->State().WorkMode, ModeIdle); // the query stays abandoned
    QCOMPARE(m_form->State().LastPortTried, qint16(1));
    termios tio {};
    QCOMPARE(::tcgetattr(m_pty->SlaveFd(), &tio), 0);
    QCOMPARE(cfgetospeed(&tio), speed_t(B9600)); // the rate the list shows
    QCOMPARE(consoleSize(), console); // the console records traffic only
    QCOMPARE(m_form->Text2->toPlainText(), QStringLiteral("AT+NAME?"));
    QCOMPARE(m_pty->ReadAvailable(), QByteArray()); // nothing resumed

    m_form->Command1->click(); // and a query runs on it
    sent.clear();
    QTRY_VERIFY_WITH_TIMEOUT((sent += m_pty->ReadAvailable()).endsWith("\r\n"), 5000);
    QCOMPARE(sent, QByteArray("AT\r\n"));
    QVERIFY(m_pty->Write("\r\nOK\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(m_form->State().StepIndex, 2, 5000);
    QCOMPARE(m_warning.shown.size(), 1);
}

// Root may open any device, so this runs the check below in a child that has dropped to
// an unprivileged user, against a pty only root may open.
void TestSerialPort::noPermissionForReal()
{
    if (::geteuid() != 0)
        QSKIP("needs root, to run a child as another user");
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty())
        QSKIP("setpriv is not installed");
    Pty pty;
    QVERIFY(pty.IsValid());
    QCOMPARE(::chmod(pty.Path().toLocal8Bit().constData(), 0600), 0);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARVENIT_PORTS"), pty.Path());
    env.insert(QStringLiteral("TARVENIT_UNPRIVILEGED_CHILD"), QStringLiteral("1"));
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(setpriv,
                { "--reuid=65534", "--regid=65534", "--clear-groups", "--",
                  QCoreApplication::applicationFilePath(), "noPermissionAsUnprivilegedChild" });
    QVERIFY(child.waitForFinished(30000));
    const QString output = QString::fromLocal8Bit(child.readAll());
    QVERIFY2(child.exitCode() == 0
                 && output.contains(
                     QLatin1String("PASS   : TestSerialPort::noPermissionAsUnprivilegedChild")),
             qPrintable(output));
}

void TestSerialPort::noPermissionAsUnprivilegedChild()
{
    if (!qEnvironmentVariableIsSet("TARVENIT_UNPRIVILEGED_CHILD"))
        QSKIP("run by noPermissionForReal");
    const QString device = qEnvironmentVariable("TARVENIT_PORTS");
    m_form = std::make_unique<Form1>();
    m_form->SetWarningBox(&m_warning);
    m_form->Command4->click();
    QVERIFY(!m_form->Port().IsOpen());
    QCOMPARE(m_form->Label4->toolTip(),
             QStringLiteral("无权访问 %1：请将当前用户加入 dialout 组后重新登录").arg(device));
}

void TestSerialPort::hostileLockFile_data()
{
    QTest::addColumn<bool>("fifo"); // else a huge file
    QTest::addColumn<bool>("afterCheck"); // swapped in between the tool's check and Qt's open
    QTest::newRow("a FIFO") << true << false;
    QTest::newRow("a huge file") << false << false;
    QTest::newRow("a FIFO after the check") << true << true;
}

// Put by another user where the holder's search and Qt's own lock read a lock file.
void TestSerialPort::hostileLockFile()
{
    QFETCH(bool, fifo);
    QFETCH(bool, afterCheck);
    QVERIFY(PlugIn(1));
    const QString device = m_pty->Path();
    const QString lock = QtLockFile(device); // in /var/lock, where FindHolder looks too
    const QByteArray lockName = QFile::encodeName(lock);
    const auto remove = qScopeGuard([&] { QFile::remove(lock); });
    QFile file(lock);
    QVERIFY(afterCheck
            || (fifo ? ::mkfifo(lockName.constData(), 0666) == 0
                     : file.open(QIODevice::WriteOnly) && file.resize(1LL << 30)));
    ::alarm(10); // a wait on the FIFO ends the test rather than hanging it
    const auto disarm = qScopeGuard([] { ::alarm(0); });
    QVERIFY(!FindHolder(device));
    m_form = std::make_unique<Form1>();
    m_form->SetWarningBox(&m_warning);
    if (afterCheck) {
        m_form->Port().SetOpenForTest([&](QSerialPort &port) {
            ::mkfifo(lockName.constData(), 0666);
            return port.open(QIODevice::ReadWrite); // Qt's read of the lock waits here
        });
        QElapsedTimer took;
        took.start();
        m_form->Command4->click();
        QVERIFY2(took.elapsed() < 1000, qPrintable(QString::number(took.elapsed())));
        QCOMPARE(m_form->Label4->toolTip(),
                 QStringLiteral("%1 打开后一秒内没有返回，已放弃：它的锁文件 %2 可能被换成了管道")
                     .arg(device, lock));
        m_form->Command4->click(); // refused at once while that open still waits
        QVERIFY(PortOpener::Stalled(device));
        QVERIFY(!m_form->Port().IsOpen());
        // Once the pipe gives way, the waiting open ends and the device may be tried again.
        ::close(::open(lockName.constData(), O_WRONLY | O_NONBLOCK));
        QTRY_VERIFY_WITH_TIMEOUT(!PortOpener::Stalled(device), 5000);
        QFile::remove(lock);
        m_form->Port().SetOpenForTest({});
        m_form->Command4->click();
        QVERIFY(m_form->Port().IsOpen());
        m_pty->Write("OK\r\n"); // and it reads, its notifiers back on the window's thread
        QTRY_VERIFY_WITH_TIMEOUT(m_form->RichTextBox1->toPlainText().contains("OK"), 5000);
        return;
    }
    m_form->Command4->click();
    // Refused for the lock file, without Qt having read it.
    QCOMPARE(m_form->Label4->toolTip(),
             QStringLiteral("%1 无法加锁：%2 不是正常的锁文件，请删除它后重试").arg(device, lock));
}

void TestSerialPort::operatorTakesOver_data()
{
    QTest::addColumn<QString>("action"); // while the finder probes at 9600, or a query runs
    QTest::addColumn<int>("rate"); // the port's after it
    QTest::newRow("Escape on the finder's box") << "box" << 38400;
    QTest::newRow("Escape in the window") << "window" << 38400;
    QTest::newRow("a rate chosen in the list") << "57600" << 57600;
    QTest::newRow("a rate typed in the list") << "460800" << 460800;
    QTest::newRow("the window closed mid-query") << "query" << 38400;
}

void TestSerialPort::operatorTakesOver()
{
    QFETCH(QString, action);
    QFETCH(int, rate);
    QVERIFY(Connect());
    if (action == "query") {
        m_form->Command1->click(); // its first step would go out at the next tick
        m_form->close();
    } else {
        m_form->Finder().Start();
        QMessageBox *box = m_form->Notices().Box();
        QCOMPARE(box->buttons().size(), 1); // "取消": it cannot be hidden to search on unseen
        QByteArray sent;
        QTRY_VERIFY_WITH_TIMEOUT((sent += m_pty->ReadAvailable()).count("AT\r\n") == 2, 5000);
        if (action == "57600") {
            m_form->Combo1->setCurrentText(action);
        } else if (action == "460800") { // typed: set on Enter, not before
            m_form->Combo1->lineEdit()->selectAll();
            QTest::keyClicks(m_form->Combo1, action);
            QVERIFY(m_form->Finder().Running());
            QTest::keyClick(m_form->Combo1, Qt::Key_Return);
        } else {
            QTest::keyClick(action == "box" ? static_cast<QWidget *>(box) : m_form.get(),
                            Qt::Key_Escape);
        }
    }
    QTRY_VERIFY_WITH_TIMEOUT(!m_form->Finder().Running() && !m_form->Notices().IsShown(), 5000);
    QCOMPARE(m_form->Port().BaudRate(), rate);
    // Nothing more goes out, and nothing warns of a closed port.
    QVERIFY(!QTest::qWaitFor([&] { return !m_pty->ReadAvailable().isEmpty(); },
                             2 * ModuleFinder::Probes().front().waitMs));
    QVERIFY(m_warning.shown.isEmpty());
}

QTEST_MAIN(TestSerialPort)
#include "tst_serialport.moc"
