// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/consoleaccessible.h"
#include "console/consolefind.h"
#include "console/consolehex.h"
#include "console/consolelog.h"
#include "console/consolerecord.h"
#include "console/consolestore.h"
#include "console/consoletext.h"
#include "console/consoleview.h"
#include "console/framebatcher.h"
#include "console/segmentlayout.h"
#include "diskfull.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSettings>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr QRgb Red = qRgb(255, 0, 0);
constexpr QRgb Green = qRgb(0, 255, 0);
constexpr QRgb Blue = qRgb(0, 0, 255);

const QString Smile = QString::fromUcs4(U"\U0001F600");

// An append: the text as the console gets it, and the bytes on the line for it.
struct Piece
{
    QString text;
    QByteArray bytes;
    QRgb colour = Blue;
};
using Pieces = QList<Piece>;
using Runs = QList<ConsoleLines::Run>;

// The bytes of a text as commands go out and most modules answer: UTF-8, a CR before each LF.
QByteArray Wire(const QString &text)
{
    return WithoutPairedCr(text).toUtf8().replace("\n", "\r\n");
}

// What a screen reader hears of one object, event by event; a long text by its length.
QStringList g_heard;
const QObject *g_listenedTo = nullptr;

QString Told(const QString &text)
{
    const bool half = !text.isEmpty() && text.back().isHighSurrogate();
    return (text.size() > 100 ? QStringLiteral("[%1 characters]").arg(text.size()) : text)
        + (half ? " ending in half a pair" : "");
}

void Listen(QAccessibleEvent *event)
{
    if (event->object() != g_listenedTo)
        return;
    switch (event->type()) {
    case QAccessible::TextInserted: {
        const auto *inserted = static_cast<QAccessibleTextInsertEvent *>(event);
        g_heard << QStringLiteral("inserted %1 %2")
                       .arg(inserted->changePosition())
                       .arg(Told(inserted->textInserted()));
        break;
    }
    case QAccessible::TextRemoved: {
        const auto *removed = static_cast<QAccessibleTextRemoveEvent *>(event);
        g_heard << QStringLiteral("removed %1 %2")
                       .arg(removed->changePosition())
                       .arg(Told(removed->textRemoved()));
        break;
    }
    case QAccessible::TextCaretMoved:
        g_heard << QStringLiteral("caret %1")
                       .arg(static_cast<QAccessibleTextCursorEvent *>(event)->cursorPosition());
        break;
    case QAccessible::TextSelectionChanged: {
        const auto *selection = static_cast<QAccessibleTextSelectionEvent *>(event);
        g_heard << QStringLiteral("selection %1 %2")
                       .arg(selection->selectionStart())
                       .arg(selection->selectionEnd());
        break;
    }
    case QAccessible::TextUpdated:
    case QAccessible::TextAttributeChanged:
    case QAccessible::TextColumnChanged:
        g_heard << QStringLiteral("other text event %1").arg(event->type());
        break;
    default:
        break;
    }
}

// The child of logSurvivesAKill: a line every 10 ms into `path`, each told on stdout with its time.
[[noreturn]] void LogUntilKilled(const QString &path)
{
    static int argc = 1;
    static char name[] = "tst_console";
    static char *argv[] = { name, nullptr };
    QCoreApplication app(argc, argv);
    ConsoleStore store;
    ConsoleLog log(store);
    QString reason;
    if (!log.Start(path, reason))
        std::exit(1);
    QTimer timer;
    int line = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        store.Append(QStringLiteral("line %1\n").arg(line), Blue);
        std::printf("%d %lld\n", line++, QDeadlineTimer::current().deadline());
        std::fflush(stdout);
    });
    timer.start(10);
    std::exit(app.exec());
}

} // namespace

Q_DECLARE_METATYPE(Pieces)

// The console on its own: the store and its layouts without a widget, the view as the
// operator and a screen reader use it.
class TestConsole : public QObject
{
    Q_OBJECT

    std::unique_ptr<ConsoleView> m_view;
    std::unique_ptr<FrameBatcher> m_batcher;

    // Appends and draws at once, as the console does once a frame.
    void Append(const QString &text, QRgb colour = Blue)
    {
        m_batcher->Append(text, colour, Wire(text));
        m_batcher->Flush();
    }
    // Appends without drawing; then EndAppend().
    void Add(const QString &text, QRgb colour, qint64 time = 0)
    {
        m_view->Append(text, colour, time, Wire(text));
    }
    // The line drawn at the top of the view.
    qsizetype LineAtTop() const
    {
        return m_view->Store().LineOf(m_view->PositionAt(QPoint(SegmentLayouts::Margin + 2, 1)));
    }
    QAction *Entry(const QString &text) const
    {
        const QList<QAction *> entries = m_view->ContextMenu()->actions();
        const auto found = std::find_if(entries.begin(), entries.end(), [&](QAction *action) {
            return action->text().startsWith(text);
        });
        return found == entries.end() ? nullptr : *found;
    }
    QAccessibleTextInterface *Read() const
    {
        return QAccessible::queryAccessibleInterface(m_view.get())->textInterface();
    }

public:
    static void initMain()
    {
        if (qEnvironmentVariableIsSet("TST_CONSOLE_LOG_CHILD"))
            LogUntilKilled(qEnvironmentVariable("TST_CONSOLE_LOG_CHILD"));
    }

private slots:
    void init()
    {
        m_view = std::make_unique<ConsoleView>();
        m_view->resize(319, 414); // as in the window
        m_batcher = std::make_unique<FrameBatcher>(m_view.get());
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        // The keyboard's, as in use: the zoom keys work where the console has it.
        m_view->activateWindow();
        m_view->setFocus();
        QTRY_VERIFY_WITH_TIMEOUT(m_view->hasFocus(), 5000);
    }
    void cleanup()
    {
        QAccessible::installUpdateHandler(nullptr);
        g_heard.clear();
        m_batcher.reset();
        m_view.reset();
    }

    void segments_data();
    void segments();
    void boxedCodeStaysOnOneRow();
    void lineTimes_data();
    void lineTimes();
    void hexForm_data();
    void hexForm();
    void hexKeepsTheCaretsLine();
    void find_data();
    void find();
    void logContent_data();
    void logContent();
    void logSurvivesAKill();
    void scrollAfterLongTrickle_data();
    void scrollAfterLongTrickle();
    void surrogatePairAtSegmentEnd();
    void accessibleEvents_data();
    void accessibleEvents();
    void accessibleEnds_data();
    void accessibleEnds();
    void colourAttributes_data();
    void colourAttributes();
    void accessibleBringsIntoView_data();
    void accessibleBringsIntoView();
    void accessibleValueIsTheNewestText();
    void readerPastTwoGiga_data();
    void readerPastTwoGiga();
    void clearsGiveBackInPieces();
    void packedBlocks_data();
    void packedBlocks();
    void packedThenCleared_data();
    void packedThenCleared();
    void primarySelection_data();
    void primarySelection();
    void saveRoundTrip_data();
    void saveRoundTrip();
    void saveFailureLeavesNoFile();
    void saveTimesAcrossDaylightSaving();
    void zoom_data();
    void zoom();
    void holdWhileTextArrives();
    void menuByKeyboard_data();
    void menuByKeyboard();
};

void TestConsole::segments_data()
{
    // Where the segments of one received line begin: every 500 units, one earlier where
    // the cut would part a surrogate pair.
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<qsizetype>>("starts");
    const QString x(1, QLatin1Char('x'));
    QTest::newRow("one segment") << x.repeated(500) << QList<qsizetype> { 0 };
    QTest::newRow("plain cut") << x.repeated(1001) << QList<qsizetype> { 0, 500, 1000 };
    QTest::newRow("pair at 499") << x.repeated(499) + Smile + x << QList<qsizetype> { 0, 499 };
    QTest::newRow("pair at 500") << x.repeated(500) + Smile << QList<qsizetype> { 0, 500 };
    QTest::newRow("pair at 999") << x.repeated(999) + Smile << QList<qsizetype> { 0, 500, 999 };
    QTest::newRow("pairs from an even start") << Smile.repeated(300) << QList<qsizetype> { 0, 500 };
    QTest::newRow("pairs from an odd start")
        << x + Smile.repeated(300) << QList<qsizetype> { 0, 499 };
}

void TestConsole::segments()
{
    QFETCH(QString, text);
    QFETCH(QList<qsizetype>, starts);
    ConsoleStore store;
    for (qsizetype from = 0; from < text.size(); from += 97) // in pieces, as a stream comes
        store.Append(QStringView(text).sliced(from, std::min<qsizetype>(97, text.size() - from)),
                     Blue);
    QList<qsizetype> found;
    for (qsizetype s = 0; s < store.SegmentCount(); ++s) {
        const auto [from, to] = store.SegmentRange(s);
        found << from;
        QVERIFY(!store.InsidePair(to));
        for (qsizetype pos = from; pos < to; ++pos)
            QCOMPARE(store.SegmentOf(pos), s);
    }
    QCOMPARE(found, starts);
    QCOMPARE(store.SegmentRange(store.SegmentCount() - 1).second, text.size());
}

void TestConsole::boxedCodeStaysOnOneRow()
{
    // Whatever the width, the hex digits of a boxed character share one row.
    ConsoleStore store;
    const QString text = QString(40, QLatin1Char('x')) + QChar(0x200B) + QString(40, u'y');
    store.Append(text, Blue);
    SegmentLayouts layouts(store);
    layouts.SetFont(QFont(QStringLiteral("Arial"), 10));
    for (int width = 60; width < 400; width += 3) {
        layouts.SetWidth(width);
        const LaidSegment *laid = layouts.Of(0);
        const int code = laid->ToShown(40);
        QCOMPARE(laid->layout.lineForTextPosition(code).lineNumber(),
                 laid->layout.lineForTextPosition(code + 3).lineNumber());
    }
}

void TestConsole::lineTimes_data()
{
    QTest::addColumn<QList<qint64>>("times"); // a line appended at each
    const qint64 t = QDateTime(QDate(2026, 12, 8), QTime(9, 5, 3)).toMSecsSinceEpoch();
    const qint64 days50 = 50LL * 24 * 3600 * 1000;
    QTest::newRow("the same millisecond") << QList<qint64> { t, t, t + 1 };
    QTest::newRow("fifty days on")
        << QList<qint64> { t, t + days50, t + days50 + 7, t + 2 * days50 };
    QTest::newRow("the clock set back") << QList<qint64> { t, t - 1000, t - 999, t };
    QTest::newRow("none, then some") << QList<qint64> { 0, t, 0, t + 5 };
}

void TestConsole::lineTimes()
{
    QFETCH(QList<qint64>, times);
    ConsoleStore store;
    for (qint64 time : times)
        store.Append(u"line\n", Blue, time);
    for (qsizetype line = 0; line < times.size(); ++line)
        QCOMPARE(store.LineTime(line), times.at(line));
    QCOMPARE(store.LineTime(times.size()), 0); // the empty line after the last line feed
}

void TestConsole::hexForm_data()
{
    // Appended as the engine appends; the hex form of the whole text, the characters drawn
    // beside each line's digits, and its colours.
    QTest::addColumn<Pieces>("pieces");
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("characters");
    QTest::addColumn<Runs>("runs");
    const auto row = [](const char *name, const Pieces &pieces, const QString &hex,
                        const QString &characters, const Runs &runs = { { 0, Blue } }) {
        QTest::newRow(name) << pieces << hex << characters << runs;
    };
    row("received CR LF", { { "OK\n", "OK\r\n" } }, "4F 4B 0D 0A\n", "OK..\n");
    row("a bare LF", { { "OK\n", "OK\n" } }, "4F 4B 0A\n", "OK.\n");
    row("a lone CR", { { "ab\n", "a\rb\r\n" } }, "61 0D 62 0D 0A\n", "a.b..\n");
    row("NUL", { { QString::fromLatin1("A\0B\n", 4), QByteArray("A\0B\r\n", 5) } },
        "41 00 42 0D 0A\n", "A.B..\n");
    row("a byte that is not UTF-8", { { "A\uFFFD\n", "A\xFF\r\n" } }, "41 FF 0D 0A\n", "A...\n");
    row("a character split across reads", { { "", "\xE4\xB8" }, { "\u4E2D\n", "\xAD\r\n" } },
        "E4 B8 AD 0D 0A\n", ".....\n");
    row("a sent command, its reply on the next lines",
        { { "AT+NAME?\n", "AT+NAME?\r\n", Red }, { "+NAME:x\nOK\n", "+NAME:x\r\nOK\r\n" } },
        "41 54 2B 4E 41 4D 45 3F 0D 0A\n2B 4E 41 4D 45 3A 78 0D 0A\n4F 4B 0D 0A\n",
        "AT+NAME?..\n+NAME:x..\nOK..\n", { { 0, Red }, { 30, Blue } });
    row("a command without a line end, and the reply",
        { { "AT", "AT", Red }, { "OK", "OK" }, { "\n", "\r\n" } }, "41 54 4F 4B 0D 0A\n",
        "ATOK..\n", { { 0, Red }, { 6, Blue } });
    row("a line without bytes", { { "ab\n", "" }, { "OK\n", "OK\r\n" } }, "\n4F 4B 0D 0A\n",
        "\nOK..\n", { { 1, Blue } });
    row("a long line", { { QString(200, u'x') + "\n", QByteArray(200, 'x') + "\r\n" } },
        QStringList(202, "78").join(u' ').replace(600, 5, "0D 0A") + "\n",
        QString(200, u'x') + "..\n");
}

void TestConsole::hexForm()
{
    QFETCH(Pieces, pieces);
    QFETCH(QString, hex);
    QFETCH(QString, characters);
    QFETCH(Runs, runs);
    ConsoleStore store;
    QByteArray all;
    for (const Piece &piece : pieces) {
        store.Append(piece.text, piece.colour, 0, piece.bytes);
        all += piece.bytes;
    }
    const HexLines lines(store);
    QCOMPARE(lines.Text(0, lines.Size()), hex);
    const auto colourAt = [](const Runs &runs, qsizetype pos) {
        const auto run
            = std::find_if(runs.rbegin(), runs.rend(), [&](auto r) { return r.first <= pos; });
        return run == runs.rend() ? QRgb(0) : run->second;
    };
    const Runs whole = lines.Runs(0, lines.Size());
    QCOMPARE(whole, runs);
    for (qsizetype from = 0; from < hex.size(); from += 7) { // and any piece of it
        QCOMPARE(lines.Text(from, from + 11), hex.mid(from, 11));
        const Runs piece = lines.Runs(from, from + 11);
        for (qsizetype pos = from; pos < std::min(hex.size(), from + 11); ++pos)
            QCOMPARE(colourAt(piece, pos), colourAt(whole, pos));
    }
    QByteArray kept;
    for (qsizetype line = 0; line < lines.LineCount(); ++line) {
        kept += store.LineBytes(line);
        QCOMPARE(store.LineBytes(line, 1, 4), store.LineBytes(line).mid(1, 3));
        QCOMPARE(lines.LineStart(line) + lines.LineLength(line),
                 line + 1 < lines.LineCount() ? lines.LineStart(line + 1) - 1 : lines.Size());
    }
    QCOMPARE(kept, all);
    QCOMPARE(lines.Runs(0, 1).first().second, pieces.first().colour);
    // Segments of 166 bytes cover each line, one after the other.
    qsizetype covered = 0;
    for (qsizetype s = 0; s < lines.SegmentCount(); ++s) {
        const auto [from, to] = lines.SegmentRange(s);
        QVERIFY(from == covered || from == covered + 1);
        QVERIFY(to - from <= HexLines::SegmentChars && lines.SegmentOf(from) == s);
        covered = to;
    }
    QCOMPARE(covered, lines.Size());
    // The view draws each row's characters beside its digits, row after row as it wraps;
    // its text stays the digits alone.
    for (const Piece &piece : pieces)
        m_view->Append(piece.text, piece.colour, 0, piece.bytes);
    m_view->EndAppend(0);
    m_view->SetHexShown(true);
    QCOMPARE(m_view->toPlainText(), hex);
    QString drawn;
    for (qsizetype pos = 0; pos < lines.Size();) {
        drawn += m_view->CharacterColumn(pos);
        const qsizetype to = m_view->Layouts().RowRange(pos).second;
        QVERIFY(to > pos);
        if (lines.At(to - 1) == u'\n')
            drawn += u'\n';
        pos = to;
    }
    QCOMPARE(drawn, characters);
}

void TestConsole::hexKeepsTheCaretsLine()
{
    for (int i = 0; i < 300; ++i)
        Append(QStringLiteral("line %1\n").arg(i));
    m_view->SetCaret(m_view->LineStart(42) + 3);
    m_view->EnsureVisible(m_view->CaretPosition());
    for (const bool hex : { true, false }) { // and back
        m_view->SetHexShown(hex);
        QCOMPARE(m_view->CaretPosition(), m_view->LineStart(42));
        QCOMPARE(m_view->Text(m_view->LineStart(42), m_view->LineStart(43)),
                 QString(hex ? "6C 69 6E 65 20 34 32 0D 0A\n" : "line 42\n"));
        QVERIFY(m_view->viewport()->rect().contains(m_view->CaretRect()));
    }
}

void TestConsole::find_data()
{
    // In "AT\nOK\nat+x\nOK\n", from a selection, with Enter (forward) or Shift+F3.
    QTest::addColumn<QString>("needle");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<qsizetype>("anchor");
    QTest::addColumn<qsizetype>("caret");
    QTest::addColumn<bool>("backward");
    QTest::addColumn<qsizetype>("found"); // -1: none
    QTest::newRow("forward") << "ok" << false << 0LL << 0LL << false << 3LL;
    QTest::newRow("the next after a match") << "ok" << false << 3LL << 5LL << false << 11LL;
    QTest::newRow("forward, round the end") << "ok" << false << 13LL << 13LL << false << 3LL;
    QTest::newRow("backward") << "ok" << false << 11LL << 13LL << true << 3LL;
    QTest::newRow("backward, round the start") << "ok" << false << 3LL << 5LL << true << 11LL;
    QTest::newRow("any case") << "AT+" << false << 0LL << 0LL << false << 6LL;
    QTest::newRow("none") << "ERROR" << false << 4LL << 4LL << false << -1LL;
    QTest::newRow("hex") << "54 0d" << true << 0LL << 0LL << false << 3LL;
    QTest::newRow("hex, backward round the start") << "4f 4b" << true << 0LL << 0LL << true << 42LL;
    QTest::newRow("hex, not whole bytes") << "4 0d" << true << 0LL << 0LL << false << 4LL;
    QTest::newRow("hex, not across lines") << "0a 4f" << true << 0LL << 0LL << false << -1LL;
}

void TestConsole::find()
{
    QFETCH(QString, needle);
    QFETCH(bool, hex);
    QFETCH(qsizetype, anchor);
    QFETCH(qsizetype, caret);
    QFETCH(bool, backward);
    QFETCH(qsizetype, found);
    Append(QStringLiteral("AT\nOK\nat+x\nOK\n"));
    m_view->SetHexShown(hex);
    m_view->SetSelection(anchor, caret);
    QTest::keyClick(m_view.get(), Qt::Key_F, Qt::ControlModifier);
    const auto *field = m_view->Finder()->findChild<QLineEdit *>();
    QTRY_VERIFY_WITH_TIMEOUT(field && field->hasFocus(), 5000); // as the keyboard types
    QTest::keyClicks(QApplication::focusWidget(), needle);
    QTest::keyClick(QApplication::focusWidget(), backward ? Qt::Key_F3 : Qt::Key_Return,
                    backward ? Qt::ShiftModifier : Qt::NoModifier);
    const auto none = [](QLabel *label) { return label->text() == "未找到"; };
    QCOMPARE(std::ranges::any_of(m_view->Finder()->findChildren<QLabel *>(), none), found < 0);
    QCOMPARE(m_view->SelectionStart(), found < 0 ? std::min(anchor, caret) : found);
    QCOMPARE(m_view->SelectionEnd(), found < 0 ? std::max(anchor, caret) : found + needle.size());
    // Escape gives the keyboard back, the match still selected.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!m_view->Finder()->isVisible() && m_view->hasFocus());
    QCOMPARE(m_view->SelectionStart(), found < 0 ? std::min(anchor, caret) : found);
}

void TestConsole::logContent_data()
{
    // A line under way when the log starts, then the rest of it and another; or the log
    // fails, and stops. Each row named by the form, a clear before the rest, or the fault.
    QTest::addColumn<QString>("logged");
    QTest::newRow("text") << "par\u2401tial\nOK\n";
    QTest::newRow("with times") << "[09:05:03.007] par\u2401tial\n[09:05:04.000] OK\n";
    QTest::newRow("hex") << "70 61 72 01 74 69 61 6C 0D 0A\n4F 4B 0D 0A\n";
    QTest::newRow("across a clear") << "par\n\u2401tial\nOK\n";
    // A port opens in the middle of a line, and a command goes out before the rest comes.
    const QString port = QStringLiteral("— 端口 2 已打开 (ttyUSB0) 38400 —\n");
    QTest::newRow("directions") << "< par\n" + port + "> AT\n< \u2401tial\n< OK\n";
    QTest::newRow("directions in hex")
        << "< 70 61 72\n" + port + "> 41 54\n< 01 74 69 61 6C 0D 0A\n< 4F 4B 0D 0A\n";
#ifdef Q_OS_UNIX // a full disk, a named pipe and an open file removed, as POSIX has them
    QTest::newRow("a named pipe nobody reads") << "";
    QTest::newRow("a named pipe being read") << "";
    QTest::newRow("a full disk") << "";
    QTest::newRow("a full disk as the console closes") << "";
    QTest::newRow("a removed file") << "par\u2401tial\nOK\n";
#endif
}

void TestConsole::logContent()
{
    QFETCH(QString, logged);
    const QByteArray how = QTest::currentDataTag();
    const qint64 t = QDateTime(QDate(2026, 12, 8), QTime(9, 5, 3)).toMSecsSinceEpoch();
    m_view->SetTimesShown(how == "with times");
    m_view->SetHexShown(how.endsWith("hex"));
    m_view->SetReceivedColour(Blue);
    m_view->SetDirectionsRecorded(how.startsWith("directions"));
    Add(QStringLiteral("old\npar"), Blue, t + 7);
    m_view->EndAppend(0);
    QTemporaryDir dir;
    const QString path = dir.filePath("s.log");
    QSignalSpy failed(m_view.get(), &ConsoleView::logFailed);
#ifdef Q_OS_UNIX
    if (how.startsWith("a named pipe")) { // refused at once, never waited on
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        const QByteArray fifo = QFile::encodeName(path);
        const int reader
            = how.endsWith("being read") ? ::open(fifo.constData(), O_RDONLY | O_NONBLOCK) : -1;
        // Should the log wait for a reader after all, one comes in 2 s: a slow pass, no hang.
        std::thread rescue([fifo] {
            std::this_thread::sleep_for(std::chrono::seconds(2));
            ::close(::open(fifo.constData(), O_RDONLY | O_NONBLOCK));
        });
        QElapsedTimer took;
        took.start();
        const bool started = m_view->StartLog(path);
        const qint64 elapsed = took.elapsed();
        rescue.join();
        ::close(reader);
        QVERIFY(!started && !m_view->Logging() && failed.count() == 1);
        QCOMPARE(failed.first().at(1).toString(), "不是普通文件");
        QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
        return;
    }
    std::optional<DiskFull> full;
    if (how.startsWith("a full disk"))
        full.emplace();
#endif
    QVERIFY(m_view->StartLog(path) && m_view->Logging());
    if (how == "text") { // a mark names the file in its tooltip
        const QRect mark = m_view->LogMarkRect();
        QVERIFY(m_view->viewport()->rect().contains(mark));
        QHelpEvent help(QEvent::ToolTip, mark.center(),
                        m_view->viewport()->mapToGlobal(mark.center()));
        QApplication::sendEvent(m_view->viewport(), &help);
        QVERIFY(QToolTip::text().contains(QDir::toNativeSeparators(path)));
    }
    if (how == "across a clear")
        m_view->Clear();
    const qsizetype from = m_view->Shown().Size();
    m_view->NotePortOpened(2, QStringLiteral("ttyUSB0"), 38400); // told only with directions
    if (how.startsWith("directions"))
        Add(QStringLiteral("AT"), Red, t + 500);
    Add(QStringLiteral("\u0001tial\nOK\n"), Blue, t + 1000);
    m_view->EndAppend(from);
    if (how == "a full disk as the console closes") {
        m_view.reset(); // the last write fails as the console goes: no word of it
        QCOMPARE(failed.count(), 0);
        return;
    }
    QFile file(path);
    if (!logged.isEmpty()) {
        QTRY_VERIFY_WITH_TIMEOUT(file.size() == logged.toUtf8().size(), 5000); // by the timer
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), logged);
    }
    QAction *entry = Entry(QStringLiteral("记录到文件…"));
    QVERIFY(entry && entry->isChecked());
    if (how != "a full disk" && how != "a removed file") { // unchecked, the log stops
        entry->trigger();
        QVERIFY(!m_view->Logging() && !entry->isChecked());
        return;
    }
    // Removed while nothing more arrives, the file is missed all the same.
    if (how == "a removed file")
        QVERIFY(file.remove());
    QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 5000);
    QCOMPARE(failed.first().at(0).toString(), path);
    QVERIFY(!failed.first().at(1).toString().isEmpty());
    QVERIFY(!m_view->Logging() && !entry->isChecked());
    QCOMPARE(m_view->toPlainText(), QStringLiteral("old\npar\u2401tial\nOK\n")); // kept it all
}

void TestConsole::logSurvivesAKill()
{
#ifndef Q_OS_UNIX
    QSKIP("SIGKILL is POSIX's");
#else
    // Killed, a child logging through the same code has every line it appended a second before.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("killed.log"));
    QProcess child;
    child.setEnvironment(QProcess::systemEnvironment() << "TST_CONSOLE_LOG_CHILD=" + path);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForStarted(5000));
    QByteArray told;
    // A line each 10 ms: 2.5 s of them, so that the second before the kill holds well over
    // 50 lines even when the child's timer runs a little fast.
    QTRY_VERIFY_WITH_TIMEOUT((told += child.readAllStandardOutput()).count('\n') >= 250, 10000);
    const qint64 killed = QDeadlineTimer::current().deadline();
    ::kill(pid_t(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished(5000));
    told += child.readAllStandardOutput();
    int due = -1; // the last line appended a second before the kill
    for (const QByteArray &line : told.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 2 && fields.at(1).toLongLong() <= killed - 1000)
            due = fields.at(0).toInt();
    }
    QVERIFY(due >= 50);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> logged = file.readAll().split('\n');
    QVERIFY2(logged.size() > due + 1, qPrintable(QString::number(logged.size())));
    for (int line = 0; line <= due; ++line)
        QCOMPARE(logged.at(line), QByteArray("line ") + QByteArray::number(line));
#endif
}

void TestConsole::scrollAfterLongTrickle_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("wheel") << "wheel";
    QTest::newRow("page up") << "page up";
    QTest::newRow("slider") << "slider";
}

void TestConsole::scrollAfterLongTrickle()
{
    // A module that logs a line at a time: every line is a frame of its own, far past the
    // point where the slider has its smallest length.
    constexpr int Lines = 2000;
    for (int i = 0; i < Lines; ++i) {
        Append(QStringLiteral("line %1\n").arg(i));
        QCoreApplication::processEvents();
    }
    const qsizetype bottom = LineAtTop();
    QVERIFY2(bottom > Lines - 40, qPrintable(QString::number(bottom)));
    QFETCH(QString, how);
    QScrollBar *bar = m_view->verticalScrollBar();
    if (how == "wheel") {
        const QPointF at(50, 50);
        QWheelEvent notch(at, m_view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_view->viewport(), &notch);
        const qsizetype rows = QApplication::wheelScrollLines();
        QVERIFY2(LineAtTop() < bottom && LineAtTop() >= bottom - rows - 1,
                 qPrintable(QStringLiteral("%1 from %2").arg(LineAtTop()).arg(bottom)));
    } else if (how == "page up") {
        QTest::keyClick(m_view.get(), Qt::Key_PageUp); // to the top of the view
        QTest::keyClick(m_view.get(), Qt::Key_PageUp); // and a page above it
        const QRect caret = m_view->CaretRect();
        QVERIFY(!caret.isNull() && m_view->viewport()->rect().contains(caret));
        QVERIFY(LineAtTop() < bottom);
    } else {
        QStyleOptionSlider option;
        option.initFrom(bar);
        option.orientation = Qt::Vertical;
        option.maximum = bar->maximum();
        option.sliderPosition = option.sliderValue = bar->value();
        option.pageStep = bar->pageStep();
        const QRect slider = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option,
                                                          QStyle::SC_ScrollBarSlider, bar);
        const QRect groove = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option,
                                                          QStyle::SC_ScrollBarGroove, bar);
        QTest::mousePress(bar, Qt::LeftButton, {}, slider.center());
        QTest::mouseMove(bar, QPoint(slider.center().x(), groove.center().y()));
        QTest::mouseRelease(bar, Qt::LeftButton, {},
                            QPoint(slider.center().x(), groove.center().y()));
        QVERIFY2(LineAtTop() > Lines * 0.35 && LineAtTop() < Lines * 0.65,
                 qPrintable(QString::number(LineAtTop())));
    }
}

void TestConsole::surrogatePairAtSegmentEnd()
{
    Append(QString(499, QLatin1Char('x')) + Smile + QStringLiteral("\nz"));
    const ConsoleStore &store = m_view->Store();
    using Range = std::pair<qsizetype, qsizetype>;
    QCOMPARE(store.SegmentRange(0), Range(0, 499));
    QCOMPARE(store.SegmentRange(1), Range(499, 501));
    // No place of the caret splits the pair: set, clicked, or moved by the keys.
    m_view->SetCaret(500);
    QCOMPARE(m_view->CaretPosition(), 499);
    const QRect smile = m_view->PositionRect(499);
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, smile.center() + QPoint(4, 0));
    QVERIFY(m_view->CaretPosition() == 499 || m_view->CaretPosition() == 501);
    for (Qt::Key key : { Qt::Key_End, Qt::Key_Up, Qt::Key_End, Qt::Key_Down, Qt::Key_Home,
                         Qt::Key_Right, Qt::Key_Left, Qt::Key_Down, Qt::Key_Up }) {
        QTest::keyClick(m_view.get(), key);
        QVERIFY2(!store.InsidePair(m_view->CaretPosition()),
                 qPrintable(QString::number(m_view->CaretPosition())));
    }
    // The first segment copies without half a character.
    m_view->SetSelection(0, store.SegmentRange(0).second);
    m_view->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString(499, QLatin1Char('x')));
}

void TestConsole::accessibleEvents_data()
{
    // Each starts from "ab\ncd" with the caret at the end.
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("heard");
    QTest::newRow("append: text, then caret")
        << "append" << QStringList { "inserted 5 ef\n", "caret 8" };
    QTest::newRow("clear: the old text removed")
        << "clear" << QStringList { "removed 0 ab\ncd", "caret 0" };
    QTest::newRow("shift+left") << "shift+left" << QStringList { "caret 4", "selection 4 5" };
    QTest::newRow("select all") << "select all" << QStringList { "selection 0 5" };
    QTest::newRow("drag") << "drag" << QStringList { "caret 0", "caret 5", "selection 0 5" };
    QTest::newRow("clear a selection")
        << "select all, clear"
        << QStringList { "selection 0 5", "removed 0 ab\ncd", "caret 0", "selection 0 0" };
}

void TestConsole::accessibleEvents()
{
    QFETCH(QString, action);
    QFETCH(QStringList, heard);
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        QSKIP("No accessibility here: the desktop session runs this test (desktop-session.sh)");
    QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 5000); // the bus says one listens
    Append(QStringLiteral("ab\ncd"));
    g_listenedTo = m_view.get();
    QAccessible::installUpdateHandler(Listen); // what the screen reader would hear
    if (action == "append") {
        Append(QStringLiteral("ef\n"));
    } else if (action == "clear") {
        m_view->Clear();
    } else if (action == "shift+left") {
        QTest::keyClick(m_view.get(), Qt::Key_Left, Qt::ShiftModifier);
    } else if (action.startsWith("select all")) {
        QTest::keyClick(m_view.get(), Qt::Key_A, Qt::ControlModifier);
        if (action.endsWith("clear"))
            m_view->Clear();
    } else if (action == "drag") {
        const QPoint end = m_view->PositionRect(5).center();
        QTest::mousePress(m_view->viewport(), Qt::LeftButton, {}, m_view->PositionRect(0).center());
        QTest::mouseMove(m_view->viewport(), end);
        QTest::mouseRelease(m_view->viewport(), Qt::LeftButton, {}, end);
    }
    QCOMPARE(g_heard, heard);
}

void TestConsole::accessibleEnds_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<bool>("drawn"); // a character there, with a rectangle on screen
    QTest::newRow("before the start") << -1 << false;
    QTest::newRow("first") << 0 << true;
    QTest::newRow("last") << 6 << true;
    QTest::newRow("the end") << 7 << false;
    QTest::newRow("past the end") << 8 << false;
    QTest::newRow("from before a clear") << 100000 << false;
}

void TestConsole::accessibleEnds()
{
    QFETCH(int, offset);
    QFETCH(bool, drawn);
    Append(QStringLiteral("abc\ndef"));
    QAccessibleTextInterface *read = Read();
    const QRect rect = read->characterRect(offset);
    QCOMPARE(!rect.isNull(), drawn);
    if (drawn) // and a point inside it names the character back
        QCOMPARE(read->offsetAtPoint(rect.center()), offset);
    // A point outside the view is no character.
    const QPoint outside = m_view->viewport()->mapToGlobal(QPoint(-5, -5));
    QCOMPARE(read->offsetAtPoint(outside), -1);
    int start = 0, end = 0;
    QCOMPARE(read->attributes(offset, &start, &end).isEmpty(), offset < 0 || offset >= 7);
}

void TestConsole::colourAttributes_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("attributes");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::newRow("a query command") << 1 << "fg-color:255,0,0;" << 0 << 3;
    QTest::newRow("a reply") << 3 << "fg-color:0,0,255;" << 3 << 6;
    QTest::newRow("an update command") << 12 << "fg-color:0,255,0;" << 6 << 13;
}

void TestConsole::colourAttributes()
{
    // Who sent a line is told by its colour alone: a screen reader gets it as an attribute.
    QFETCH(int, offset);
    QFETCH(QString, attributes);
    Append(QStringLiteral("AT\r\n"), Red);
    Append(QStringLiteral("OK\n"), Blue);
    Append(QStringLiteral("AT+X=1\r\n"), Green);
    int start = -1, end = -1;
    QCOMPARE(Read()->attributes(offset, &start, &end), attributes);
    QTEST(start, "start");
    QTEST(end, "end");
}

void TestConsole::accessibleBringsIntoView_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("caret") << "caret";
    QTest::newRow("selection") << "selection";
    QTest::newRow("scroll to a substring") << "substring";
}

void TestConsole::accessibleBringsIntoView()
{
    QString text;
    for (int i = 0; i < 500; ++i)
        text += QStringLiteral("line %1\n").arg(i, 3, 10, QLatin1Char('0'));
    Append(text);
    QVERIFY(m_view->PositionRect(9).isNull()); // line 1 is out of view
    QFETCH(QString, how);
    if (how == "caret")
        Read()->setCursorPosition(9);
    else if (how == "selection")
        Read()->setSelection(0, 9, 12);
    else
        Read()->scrollToSubstring(9, 12);
    const QRect rect = m_view->PositionRect(9);
    QVERIFY(!rect.isNull() && m_view->viewport()->rect().contains(rect));
}

void TestConsole::accessibleValueIsTheNewestText()
{
    // Asked for often, the value never grows with the session: the newest whole lines.
    QString text;
    for (int i = 0; i < 10000; ++i)
        text += QStringLiteral("%1 0123456789abcd\n").arg(i, 5, 10, QLatin1Char('0'));
    Append(text);
    const QString value
        = QAccessible::queryAccessibleInterface(m_view.get())->text(QAccessible::Value);
    QVERIFY(value.size() <= 64 * 1024);
    QVERIFY(value.size() > 60 * 1024);
    QVERIFY(text.endsWith(value));
    QCOMPARE(text.at(text.size() - value.size() - 1), QLatin1Char('\n'));
}

void TestConsole::readerPastTwoGiga_data()
{
    // A session past 2^31 characters, its lines full of surrogate pairs on either parity and
    // no divisor of a piece long: a piece from the window's start ends inside a pair. A row
    // reads from `start` (in the window, from its end when below 0) to the end, or acts and
    // hears what a screen reader hears.
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("action");
    QTest::newRow("the whole text, as the bridge asks") << 0 << "";
    QTest::newRow("from inside a pair") << 1 << "";
    QTest::newRow("the end") << -10 << "";
    QTest::newRow("more than a piece arrives") << 0 << "append";
    QTest::newRow("clear") << 0 << "clear";
    QTest::newRow("hex") << 0 << "hex";
}

void TestConsole::readerPastTwoGiga()
{
    QFETCH(int, start);
    QFETCH(QString, action);
    const QString line = "x" + Smile.repeated(1000) + "x" + Smile.repeated(2070) + "x\n";
    const QString lines = line.repeated(64); // three whole blocks
    Add(lines, Blue);
    m_view->AppendCopies((qsizetype(1) << 31) / lines.size());
    const qsizetype from = m_view->Store().Size();
    QVERIFY(from > (qsizetype(1) << 31));
    Add(QStringLiteral("newest"), Red);
    m_view->EndAppend(from);
    const ConsoleStore &store = m_view->Store();
    QAccessibleTextInterface *read = Read();
    // The caret, its row and the end within reach, the window within its bound.
    const qsizetype base = m_view->ReaderBase();
    const int count = read->characterCount();
    QCOMPARE(base + count, store.Size());
    QVERIFY(count <= ReaderWindow && count > ReaderWindow - ConsoleStore::SegmentLimit);
    QCOMPARE(read->cursorPosition(), count);
    QVERIFY(!store.InsidePair(base) && store.InsidePair(base + TextPiece));
    int first = -1, last = -1;
    QCOMPARE(read->textAtOffset(count, QAccessible::LineBoundary, &first, &last),
             QStringLiteral("newest"));
    QCOMPARE(last, count);

    if (action.isEmpty()) {
        start = start < 0 ? count + start : start;
        const QString text = read->text(start, count);
        QVERIFY(text.size() > TextPiece - 2 || start + text.size() == count);
        QVERIFY(text.size() <= TextPiece);
        QVERIFY(!store.InsidePair(base + start + text.size()));
        QCOMPARE(text, m_view->Text(base + start, base + start + text.size()));
        first = last = -1; // with no boundary: from the window's start, a piece
        const QString whole = read->textAtOffset(start, QAccessible::NoBoundary, &first, &last);
        QVERIFY(first == 0 && last == whole.size() && whole.size() == TextPiece - 1);
    } else {
        QAccessible::installUpdateHandler(Listen);
        g_listenedTo = m_view.get();
        const QString told = QStringLiteral("%1 %2 [%3 characters]");
        QStringList heard;
        if (action == "append") {
            // The window moves by more than a piece: told in pieces, as the new text is.
            const QString batch = QLatin1Char('\n') + line.repeated(200);
            Append(batch);
            const qsizetype moved = m_view->ReaderBase() - base;
            QVERIFY(moved > TextPiece && moved < 2 * TextPiece);
            const int at = int(from + 6 - m_view->ReaderBase());
            const int head = TextPiece - (store.InsidePair(from + 6 + TextPiece) ? 1 : 0);
            heard << told.arg("removed").arg(0).arg(TextPiece)
                  << told.arg("removed").arg(0).arg(moved - TextPiece)
                  << told.arg("inserted").arg(at).arg(head)
                  << told.arg("inserted").arg(at + head).arg(batch.size() - head)
                  << QStringLiteral("caret %1").arg(at + batch.size());
        } else { // the old text's start told as removed, and the new text's as inserted
            action == "clear" ? m_view->Clear() : m_view->SetHexShown(true);
            heard << told.arg("removed").arg(0).arg(TextPiece - 1);
            if (action == "hex")
                heard << told.arg("inserted").arg(0).arg(TextPiece);
            heard << QStringLiteral("caret %1").arg(read->cursorPosition());
            QCOMPARE(read->characterCount() == 0, action == "clear");
        }
        if (QGuiApplication::platformName() != QLatin1String("offscreen")) // events only there
            QCOMPARE(g_heard, heard);
    }
}

void TestConsole::clearsGiveBackInPieces()
{
    // A clear gives back a piece at a time, 256 blocks at most, even if another clear follows.
    ConsoleStore store;
    store.Append(QString(ConsoleStore::BlockChars - 1, QLatin1Char('x')) + "\n", Blue);
    store.AppendCopies(1023); // 1024 blocks
    store.Clear();
    store.Append(u"x\n", Blue);
    store.Clear();
    int pieces = 0;
    while (store.ReleaseCleared())
        ++pieces;
    QVERIFY(pieces > 1024 / 256);
}

void TestConsole::packedBlocks_data()
{
    // Appended so that they begin `before` characters ahead of the first block's edge, many
    // lines after them; the needle is looked for in them.
    QTest::addColumn<Pieces>("pieces");
    QTest::addColumn<qsizetype>("before");
    QTest::addColumn<QString>("needle");
    QTest::newRow("lines across the edge") << Pieces { { "AT+NAME?\n", "AT+NAME?\r\n", Red },
                                                       { "+NAME:x\nOK\n", "+NAME:x\r\nOK\r\n" } }
                                           << 5LL << "NAME:x";
    QTest::newRow("a line feed last in a block") << Pieces { { "abc\n", "abc\r\n" } } << 4LL << "c";
    QTest::newRow("a pair across the edge")
        << Pieces { { Smile + "\n", Smile.toUtf8() + "\r\n" } } << 1LL << Smile;
    QTest::newRow("a character split across reads at the edge")
        << Pieces { { "", "\xE4\xB8" }, { "\u4E2D\n", "\xAD\r\n" } } << 1LL << "\u4E2D";
    QTest::newRow("odd bytes across the edge")
        << Pieces { { "ok\n", "ok\n" }, { "ab\n", "a\rb\r\n" } } << 2LL << "ok";
    QTest::newRow("a line longer than a block")
        << Pieces { { QString(ConsoleStore::BlockChars + 99, u'y') + "z\n",
                      QByteArray(ConsoleStore::BlockChars + 99, 'y') + "z\r\n" } }
        << 10LL << "yz";
}

void TestConsole::packedBlocks()
{
    // A store whose blocks are packed reads as one whose blocks are plain, in either form,
    // and the view saves it byte for byte.
    QFETCH(Pieces, pieces);
    QFETCH(qsizetype, before);
    QFETCH(QString, needle);
    ConsoleStore packed, plain;
    const auto append = [&](const QString &text, const QByteArray &bytes, QRgb colour) {
        const qint64 time = 1765000000000 + packed.LineCount() * 7;
        packed.Append(text, colour, time, bytes);
        plain.Append(text, colour, time, bytes);
        m_view->Append(text, colour, time, bytes);
    };
    const auto fill = [&](qsizetype until) { // lines without letters: the needles have some
        for (qsizetype line = 0; packed.Size() < until; ++line) {
            const qsizetype left = until - packed.Size();
            const QString text = left > 80 ? QStringLiteral("%1 0123456789 -+-+-+ 0123456789\n")
                                                 .arg(line, 6, 10, QLatin1Char('0'))
                                           : QString(left - 1, u'-') + u'\n';
            append(text, text.toUtf8().replace("\n", "\r\n"), line % 3 ? Blue : Red);
        }
        m_view->EndAppend(0);
    };
    fill(ConsoleStore::BlockChars - before);
    const qsizetype at = packed.Size() + packed.Text(0, 0).size();
    for (const Piece &piece : pieces)
        append(piece.text, piece.bytes, piece.colour);
    fill(packed.Size() + (TextBlocks::KeptPlain + 2) * ConsoleStore::BlockChars + 33);
    packed.PackNow(0);
    QVERIFY(packed.PackedBlocks() >= TextBlocks::KeptPlain + 2 && plain.PackedBlocks() == 0);
    QCOMPARE(packed.Text(0, packed.Size()), plain.Text(0, plain.Size()));
    QCOMPARE(packed.LineCount(), plain.LineCount());
    for (qsizetype line = 0; line < plain.LineCount(); ++line) {
        QCOMPARE(packed.LineStart(line), plain.LineStart(line));
        QCOMPARE(packed.LineTime(line), plain.LineTime(line));
        QCOMPARE(packed.LineBytes(line), plain.LineBytes(line));
        QCOMPARE(packed.LineByteRuns(line), plain.LineByteRuns(line));
        QCOMPARE(packed.HexLineStart(line), plain.HexLineStart(line));
    }
    for (qsizetype pos = at - 70; pos < at + 200; ++pos) {
        QCOMPARE(packed.LineOf(pos), plain.LineOf(pos));
        QCOMPARE(packed.SegmentOf(pos), plain.SegmentOf(pos));
    }
    const HexLines hex(packed), plainHex(plain);
    const qsizetype hexAt = hex.LineStart(packed.LineOf(at));
    QCOMPARE(hex.Text(hexAt - 300, hexAt + 900), plainHex.Text(hexAt - 300, hexAt + 900));
    for (qsizetype pos = hexAt - 300; pos < hexAt + 900; pos += 7)
        QCOMPARE(hex.LineOf(pos), plainHex.LineOf(pos));
    // Found where it was put, from either end, and its bytes in the hex form.
    const qsizetype found = at + (pieces.first().text + pieces.last().text).indexOf(needle);
    QCOMPARE(FindIn(packed, needle, 0, false), found);
    QCOMPARE(FindIn(packed, needle, packed.Size(), true),
             plain.Text(0, plain.Size()).lastIndexOf(needle));
    const QString needleHex = HexLines::Hex(needle.toUtf8());
    QCOMPARE(FindInHex(packed, needleHex, 0, false), FindInHex(plain, needleHex, 0, false));
    QVERIFY(FindInHex(packed, needleHex, 0, false) >= hexAt - 300);
    // The view packs on its own thread, and saves what it holds.
    QTRY_VERIFY_WITH_TIMEOUT(m_view->Store().PackedBlocks() >= 2, 10000);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("session.txt"));
    QCOMPARE(m_view->SaveTo(path).result, SaveOutcome::Saved);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), plain.Text(0, plain.Size()).toUtf8());
}

void TestConsole::packedThenCleared_data()
{
    QTest::addColumn<bool>("waits"); // for the packer before the clear
    QTest::newRow("cleared while the packer works") << false;
    QTest::newRow("cleared once it is done") << true;
}

void TestConsole::packedThenCleared()
{
    // What the packer was given before a clear never shows in the text that follows it.
    QFETCH(bool, waits);
    ConsoleStore store;
    const auto fill = [&store](QChar mark, qsizetype blocks) {
        const QString line = QString(57, mark) + u'\n';
        while (store.Size() < blocks * ConsoleStore::BlockChars)
            store.Append(line, Blue);
    };
    fill(u'a', TextBlocks::KeptPlain + 6);
    QVERIFY(store.PackCold()); // a batch is on its way
    if (waits) {
        QTRY_VERIFY_WITH_TIMEOUT(!store.PackCold(), 10000);
        QCOMPARE(store.Text(0, store.Size()).count(u'a'), store.Size() - store.LineCount() + 1);
    }
    store.Clear();
    while (store.ReleaseCleared()) { } // their room may go to the blocks that follow
    fill(u'b', TextBlocks::KeptPlain + 3);
    QTRY_VERIFY_WITH_TIMEOUT(!store.PackCold(), 10000);
    QVERIFY(store.PackedBlocks() > 0);
    const QString text = store.Text(0, store.Size());
    QCOMPARE(text.count(u'b') + text.count(u'\n'), store.Size());
    QCOMPARE(store.LineCount(), store.Size() / 58 + 1);
}

void TestConsole::primarySelection_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("selected");
    QTest::newRow("shift and the keys") << "keys"
                                        << "def";
    QTest::newRow("select all") << "all"
                                << "abc\ndef";
    QTest::newRow("drag") << "drag"
                          << "bc\nd";
}

void TestConsole::primarySelection()
{
    // What is selected is pasted with the middle button elsewhere, as from any text view.
    if (!QGuiApplication::clipboard()->supportsSelection())
        QSKIP("No primary selection here: the desktop session runs this test");
    QFETCH(QString, how);
    QFETCH(QString, selected);
    Append(QStringLiteral("abc\ndef"));
    QGuiApplication::clipboard()->setText(QString(), QClipboard::Selection);
    if (how == "keys") {
        QTest::keyClick(m_view.get(), Qt::Key_Home, Qt::ShiftModifier);
    } else if (how == "all") {
        QTest::keyClick(m_view.get(), Qt::Key_A, Qt::ControlModifier);
    } else {
        const QPoint end = m_view->PositionRect(5).center();
        QTest::mousePress(m_view->viewport(), Qt::LeftButton, {}, m_view->PositionRect(1).center());
        QTest::mouseMove(m_view->viewport(), end);
        QTest::mouseRelease(m_view->viewport(), Qt::LeftButton, {}, end);
    }
    QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::clipboard()->text(QClipboard::Selection), selected,
                              5000);
}

void TestConsole::saveRoundTrip_data()
{
    // Appended at known times, a port opened after the first line; the file is what copy
    // gives, a line feed ending each line, and with directions which way each line went.
    QTest::addColumn<bool>("times");
    QTest::addColumn<bool>("cleared"); // the first appends cleared away
    QTest::addColumn<bool>("directions");
    QTest::addColumn<QString>("saved");
    const QString wrapped(1200, QLatin1Char('w'));
    QTest::newRow("text") << false << false << false
                          << "old\nAT\nOK\n" + wrapped + "\na\u2401b\u00E9\n";
    QTest::newRow("with times")
        << true << false << false
        << "[09:05:03.007] old\n[09:05:03.120] AT\n[09:05:03.120] OK\n[09:05:04.000] " + wrapped
            + "\n[09:05:04.000] a\u2401b\u00E9\n";
    QTest::newRow("times after a clear") << true << true << false
                                         << "[09:05:03.120] AT\n[09:05:03.120] OK\n[09:05:04.000] "
            + wrapped + "\n[09:05:04.000] a\u2401b\u00E9\n";
    QTest::newRow("directions") << false << false << true
                                << "< old\n— 端口 2 已打开 (ttyUSB0) 38400 —\n> AT\n< OK\n< "
            + wrapped + "\n< a\u2401b\u00E9\n";
    QTest::newRow("directions with times")
        << true << false << true
        << "[09:05:03.007] < old\n— 端口 2 已打开 (ttyUSB0) 38400 —\n[09:05:03.120] > AT\n"
           "[09:05:03.120] < OK\n[09:05:04.000] < "
            + wrapped + "\n[09:05:04.000] < a\u2401b\u00E9\n";
    QTest::newRow("directions after a clear")
        << false << true << true << "> AT\n< OK\n< " + wrapped + "\n< a\u2401b\u00E9\n";
}

void TestConsole::saveRoundTrip()
{
    QFETCH(bool, times);
    QFETCH(bool, cleared);
    QFETCH(bool, directions);
    QFETCH(QString, saved);
    const auto at = [](int ms) {
        return QDateTime(QDate(2026, 12, 8), QTime(9, 5, 3)).toMSecsSinceEpoch() + ms;
    };
    QTemporaryDir dir;
    const auto preferences = [&dir] {
        return std::make_unique<QSettings>(dir.filePath("choices.ini"), QSettings::IniFormat);
    };
    m_view->KeepChoicesIn(preferences);
    QVERIFY(!m_view->DirectionsRecorded()); // off until chosen
    if (directions)
        Entry(QStringLiteral("记录方向和端口变化"))->trigger();
    m_view->SetReceivedColour(Blue);
    Add(QStringLiteral("old\n"), Blue, at(7));
    m_view->NotePortOpened(2, QStringLiteral("ttyUSB0"), 38400);
    if (cleared)
        m_view->Clear();
    Add(QStringLiteral("AT\r\n"), Red, at(120));
    Add(QStringLiteral("OK\n"), Blue, at(120));
    Add(QString(1200, QLatin1Char('w')) + QStringLiteral("\na\u0001bé"), Blue, at(1000));
    m_view->EndAppend(0);
    m_view->SetTimesShown(times);
    const QString path = dir.filePath(QStringLiteral("session.txt"));
    QCOMPARE(m_view->SaveTo(path).result, SaveOutcome::Saved);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()), saved);
    // Copy gives the same, the times while they are shown, but never the directions.
    m_view->selectAll();
    m_view->copy();
    QString copied = saved.chopped(1);
    copied.remove(
        QRegularExpression(QStringLiteral("^— [^\n]*\n"), QRegularExpression::MultilineOption));
    copied.replace(QRegularExpression(QStringLiteral("^(\\[[^]]*\\] )?[<>] "),
                                      QRegularExpression::MultilineOption),
                   QStringLiteral("\\1"));
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    // Cleared, the console forgets the ports; one that opens with nothing after it is told.
    m_view->Clear();
    m_view->NotePortOpened(1, QStringLiteral("COM3"), 9600);
    file.close(); // the save puts a new file in its place, which Windows refuses over an open one
    QCOMPARE(m_view->SaveTo(path).result, SaveOutcome::Saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()),
             directions ? QStringLiteral("— 端口 1 已打开 (COM3) 9600 —\n") : QString());
    // The choice holds for the next run.
    ConsoleView next;
    next.KeepChoicesIn(preferences);
    QCOMPARE(next.DirectionsRecorded(), directions);
}

void TestConsole::saveFailureLeavesNoFile()
{
    Append(QStringLiteral("AT\r\nOK\n"));
    QTemporaryDir dir;
    // A name taken by a folder, and a folder that does not exist: nothing is written.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("taken")));
    for (const QString &name : { QStringLiteral("taken"), QStringLiteral("missing/file.txt") }) {
        const SaveOutcome outcome = m_view->SaveTo(dir.filePath(name));
        QCOMPARE(outcome.result, SaveOutcome::Failed);
        QVERIFY(!outcome.reason.isEmpty());
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList { "taken" });
    QVERIFY(QDir(dir.filePath(QStringLiteral("taken"))).isEmpty());
}

void TestConsole::saveTimesAcrossDaylightSaving()
{
#ifdef Q_OS_WIN
    QSKIP("The zone is chosen through TZ, which Windows' time functions do not read");
#endif
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    const auto restore
        = qScopeGuard([&] { zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone); });
    ConsoleStore store; // half-hourly into summer time, then back to winter time
    for (const QDate day : { QDate(2026, 3, 29), QDate(2026, 10, 25) }) {
        for (int line = 0; line < 3; ++line)
            store.Append(u"x\n", Blue,
                         QDateTime(day, QTime(0, 30), Qt::UTC).toMSecsSinceEpoch()
                             + line * 1800000);
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("times.txt"));
    QCOMPARE(SaveConsole(store, path, true).result, SaveOutcome::Saved);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
             "[01:30:00.000] x\n[03:00:00.000] x\n[03:30:00.000] x\n"
             "[02:30:00.000] x\n[02:00:00.000] x\n[02:30:00.000] x\n");
}

void TestConsole::zoom_data()
{
    QTest::addColumn<QList<QKeyCombination>>("keys");
    QTest::addColumn<int>("notches"); // of the wheel with Ctrl, after the keys
    QTest::addColumn<int>("size");
    using K = QKeyCombination;
    const K in(Qt::ControlModifier, Qt::Key_Plus);
    const K out(Qt::ControlModifier, Qt::Key_Minus);
    QTest::newRow("in") << QList<K> { in } << 0 << 11;
    QTest::newRow("in with Ctrl+=")
        << QList<K> { K(Qt::ControlModifier, Qt::Key_Equal) } << 0 << 11;
    QTest::newRow("up to 40") << QList<K>(40, in) << 0 << 40;
    QTest::newRow("down to 6") << QList<K>(10, out) << 0 << 6;
    QTest::newRow("back to 10") << QList<K> { in, in, in, K(Qt::ControlModifier, Qt::Key_0) } << 0
                                << 10;
    QTest::newRow("wheel") << QList<K> {} << 3 << 13;
    QTest::newRow("wheel down") << QList<K> { out } << -2 << 7;
}

void TestConsole::zoom()
{
    QFETCH(QList<QKeyCombination>, keys);
    QFETCH(int, notches);
    QFETCH(int, size);
    Append(QStringLiteral("line one\nline two: 0123456789\x01\u200B end"));
    const int rowHeight = m_view->PositionRect(0).height();
    for (int i = 0; i < 30; ++i) // more than a view of lines at any size
        Append(QStringLiteral("\n%1").arg(i));
    const int range = m_view->verticalScrollBar()->maximum();
    m_view->SetCaret(0);
    m_view->EnsureVisible(0);
    for (const QKeyCombination key : keys)
        QTest::keyClick(m_view.get(), key.key(), key.keyboardModifiers());
    const QPointF at(40, 40);
    QWheelEvent wheel(at, m_view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    if (notches != 0)
        QApplication::sendEvent(m_view->viewport(), &wheel);
    QCOMPARE(m_view->font().pointSize(), size);
    QCOMPARE(m_view->font().family(), QStringLiteral("Arial"));
    // Rows, the caret and the clicks follow the size.
    const QRect row = m_view->PositionRect(0);
    QVERIFY2(size == 10 ? row.height() == rowHeight : (row.height() > rowHeight) == (size > 10),
             qPrintable(QStringLiteral("%1 px at %2 pt").arg(row.height()).arg(size)));
    for (const qsizetype pos : { 4, 15, 29, 30, 34 }) { // a picture and a box among them
        const QRect rect = m_view->PositionRect(pos);
        const QRect next = m_view->PositionRect(pos + 1);
        if (next.top() != rect.top())
            continue; // wrapped at this size
        QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {},
                          QPoint(rect.left() + (next.left() - rect.left()) / 4, rect.center().y()));
        QCOMPARE(m_view->CaretPosition(), pos);
    }
    // The scroll range follows: a larger text needs more of it, a smaller one less.
    const int zoomed = m_view->verticalScrollBar()->maximum();
    QVERIFY2(size == 10 ? zoomed == range : (zoomed > range) == (size > 10),
             qPrintable(QStringLiteral("%1 against %2 at 10 pt").arg(zoomed).arg(range)));
}

void TestConsole::holdWhileTextArrives()
{
    for (int i = 0; i < 100; ++i)
        Append(QStringLiteral("line %1\n").arg(i));
    m_view->SetSelection(700, 650);
    const qsizetype top = LineAtTop();
    QTest::keyClick(m_view.get(), Qt::Key_ScrollLock);
    QVERIFY(m_view->Held());
    QSignalSpy changed(m_view.get(), &ConsoleView::textChanged);
    for (int i = 100; i < 150; ++i) {
        Append(QStringLiteral("line %1\n").arg(i));
        QCoreApplication::processEvents();
    }
    // Stored and counted, but the view, the caret and the selection stay.
    QCOMPARE(m_view->LineCount(), 151);
    QCOMPARE(m_view->LinesSinceHeld(), 50);
    QCOMPARE(changed.count(), 50);
    QCOMPARE(LineAtTop(), top);
    QCOMPARE(m_view->CaretPosition(), 650);
    QCOMPARE(m_view->SelectionEnd(), 700);
    m_view->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), m_view->Text(650, 700));
    // Released: the caret at the end, the newest text in view.
    QAction *hold = Entry(QStringLiteral("暂停滚动"));
    QVERIFY(hold);
    hold->trigger();
    QVERIFY(!m_view->Held());
    QCOMPARE(m_view->CaretPosition(), m_view->Store().Size());
    QVERIFY(m_view->viewport()->rect().contains(m_view->CaretRect()));
}

void TestConsole::menuByKeyboard_data()
{
    QTest::addColumn<QKeyCombination>("key");
    QTest::newRow("menu key") << QKeyCombination(Qt::Key_Menu);
    QTest::newRow("Shift+F10") << QKeyCombination(Qt::ShiftModifier, Qt::Key_F10);
}

void TestConsole::menuByKeyboard()
{
    QFETCH(QKeyCombination, key);
    QStringList entries;
    // Reads and closes whatever pops up; it goes with this function, so a menu that never
    // opens leaves nothing behind, and a popup that is not the menu cannot hold the test.
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        QWidget *popup = QApplication::activePopupWidget();
        if (!popup)
            return;
        if (auto *menu = qobject_cast<QMenu *>(popup)) {
            for (const QAction *action : menu->actions()) {
                if (!action->isSeparator())
                    entries << action->text().section(QLatin1Char('\t'), 0, 0)
                            + (action->isCheckable() ? "[ ]" : "");
            }
        }
        popup->close();
        closer.stop();
    });
    closer.start(10);
    if (key.key() == Qt::Key_Menu) {
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(), QPoint());
        QApplication::sendEvent(m_view.get(), &menu); // what the menu key sends
    } else {
        QTest::keyClick(m_view.get(), key.key(), key.keyboardModifiers());
    }
    QCOMPARE(entries,
             (QStringList { "复制(&C)", "全选(&A)", "查找…", "保存为文件…", "记录到文件…[ ]",
                            "记录方向和端口变化[ ]", "显示时间[ ]", "十六进制显示[ ]",
                            "暂停滚动[ ]", "放大", "缩小", "原始大小", "缩放：100%" }));
}

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
