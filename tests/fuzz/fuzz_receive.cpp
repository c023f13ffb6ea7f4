// SPDX-License-Identifier: GPL-3.0-or-later
// The receive path: any bytes, split into any reads, through the port adapter's decoding,
// the engine in each mode and the real console and panel.
// The first byte picks the mode (bits 0-1: idle, query, update, hand-typed) and whether
// the pacing tick runs after every read (bit 2); the rest are reads as ForEachRead cuts them.

#include "console/consolehex.h"
#include "console/consoletext.h"
#include "console/consoleview.h"
#include "console/framebatcher.h"
#include "engine/commandengine.h"
#include "fuzzcheck.h"
#include "panel/settingspanel.h"
#include "serial/seriallink.h"
#include "serial/utf8stream.h"

#include <QApplication>
#include <QStringDecoder>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

// The port as the engine sees it: what the test "receives" goes through the adapter's
// decoding; what the engine writes is dropped.
class FuzzPort : public SerialLink
{
public:
    void Close() override { }
    void ReadPortList() override { }
    void SetPortNumber(int) override { }
    int PortNumber() const override { return 1; }
    bool SetLine(const QString &) override { return true; }
    int BaudRate() const override { return 38400; }
    void SetReceiveThreshold(int) override { }
    void SetTextMode() override { }
    void Open() override { }
    bool IsOpen() const override { return true; }
    Refusal LastRefusal() const override { return Refusal::None; }
    QString Device() const override { return QString(); }
    PortIdentity Identity() const override { return PortIdentity(); }
    std::optional<PortHolder> Holder() const override { return std::nullopt; }
    void ClearBuffers() override { }
    void Write(const QString &) override { }
    void WriteBytes(const QByteArray &) override { }
    QString Read() override
    {
        const QString text = stream.Decode(waiting);
        lastRead = std::exchange(waiting, {});
        decoded += text;
        return text;
    }
    CommEvent LastEvent() const override { return CommEvent::Receive; }

    QByteArray LastRead() const override { return lastRead; }

    Utf8Stream stream;
    QByteArray waiting;
    QByteArray lastRead;
    QString decoded;
};

// Passes every append on to the console and keeps the text as the engine gave it.
class Tee : public ConsoleSink
{
public:
    explicit Tee(FrameBatcher &console)
        : m_console(console)
    { }
    void AppendToConsole(const QString &text, QColor colour, const QByteArray &bytes) override
    {
        if (!text.isEmpty())
            appended << text;
        if (colour == QColor(ColourReceived))
            received += text;
        this->bytes += bytes;
        m_console.Append(text, colour.rgb(), bytes);
    }
    QStringList appended;
    QString received;
    QByteArray bytes; // everything that went out or came in, in order

private:
    FrameBatcher &m_console;
};

class NoWarning : public WarningBox
{
public:
    void Show(const QString &, const QString &, const QString &) override { }
};

int CodePoints(const QString &text)
{
    return int(text.toUcs4().size());
}

struct Window
{
    QWidget form;
    ConsoleView *view = new ConsoleView(&form);
    FrameBatcher console { view };
    SettingsPanel panel { &form };
};

std::unique_ptr<QApplication> g_app;
std::unique_ptr<Window> g_window;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The application outlives main's arguments.
    static int argc = 1;
    static char name[] = "fuzz_receive";
    static char *argv[] = { name, nullptr };
    qputenv("QT_QPA_PLATFORM", "offscreen");
    g_app = std::make_unique<QApplication>(argc, argv);
    g_window = std::make_unique<Window>();
    // Gone before the library's own globals are, which were made before this point.
    std::atexit([] {
        g_window.reset();
        g_app.reset();
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    Window &window = *g_window;
    window.view->Clear();
    QCoreApplication::processEvents(); // the last input's text goes back, as idle time gives it
    window.panel.ClearSettingsPanel();
    EngineState state;
    FuzzPort port;
    Tee tee(window.console);
    NoWarning warning;
    CommandEngine engine(state, port, tee, window.panel, warning);
    const int mode = data[0] & 3;
    const bool ticks = data[0] & 4;
    if (mode == 1)
        engine.StartQuery();
    else if (mode == 2)
        engine.StartUpdate();
    else if (mode == 3)
        engine.SendManual("AT");

    QByteArray all;
    ForEachRead(data + 1, size - 1, [&](const unsigned char *bytes, std::size_t length) {
        port.waiting = QByteArray(reinterpret_cast<const char *>(bytes), qsizetype(length));
        all += port.waiting;
        engine.OnReceive();
        if (ticks)
            engine.OnTick();

        for (int index : { 0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11 }) {
            const QString value = window.panel.Text1(index);
            FUZZ_CHECK(CodePoints(value) <= 20 && !value.contains(QLatin1Char('\n')));
        }
        for (int first : { 1, 4 }) {
            int selected = 0;
            for (int n = first; n < first + 3; ++n)
                selected += window.panel.Option(n);
            FUZZ_CHECK(selected <= 1);
        }
        if (state.WorkMode == ModeSearching)
            FUZZ_CHECK(state.StepIndex >= 1 && state.StepIndex <= QuerySteps);
        if (state.WorkMode == ModeUpdating)
            FUZZ_CHECK(state.StepIndex >= 1 && state.StepIndex <= UpdateSteps);
    });

    // However it was split, the text is the whole stream decoded; the console holds every
    // appended character in order, carriage returns aside, once pictures are mapped back.
    const QString whole
        = QStringDecoder(QStringDecoder::Utf8,
                         QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom)
              .decode(all);
    FUZZ_CHECK(port.decoded + port.stream.Release() == whole);
    FUZZ_CHECK(tee.received == QString(port.decoded).remove(QLatin1Char('\r')));
    // The console keeps what was appended, in order, but the CR of each CR LF; copy and
    // screen readers get the same with controls as their pictures.
    window.console.Flush();
    const ConsoleStore &store = window.view->Store();
    const QString kept = store.Text(0, store.Size());
    FUZZ_CHECK(kept
               == tee.appended.join(QString()).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    QString copied = kept;
    for (QChar &c : copied) {
        if ((c < QChar(0x20) && c != QLatin1Char('\n') && c != QLatin1Char('\t'))
            || c == QChar(0x7F))
            c = c == QChar(0x7F) ? QChar(0x2421) : QChar(0x2400 + c.unicode());
    }
    FUZZ_CHECK(window.view->toPlainText() == copied);
    // One line per line feed, and every line drawn in segments that cover it exactly,
    // none cutting a character in two.
    FUZZ_CHECK(store.LineCount() == kept.count(QLatin1Char('\n')) + 1);
    qsizetype covered = 0;
    for (qsizetype s = 0; s < store.SegmentCount(); ++s) {
        const auto [from, to] = store.SegmentRange(s);
        const qsizetype line = store.SegmentLine(s).first;
        FUZZ_CHECK(to - from <= ConsoleStore::SegmentLimit + 1 && store.LineOf(from) == line);
        FUZZ_CHECK(!store.InsidePair(from) && !store.InsidePair(to));
        FUZZ_CHECK(from == covered
                   || (from == covered + 1 && kept.at(covered) == QLatin1Char('\n')));
        covered = to;
    }
    FUZZ_CHECK(covered == kept.size());
    // Line by line, the bytes are all that went out and came in, in order, each line's
    // ending after its 0A; the hex form is theirs, its segments covering it.
    QByteArray bytes;
    const HexLines hex(store);
    QString hexText;
    for (qsizetype line = 0; line < store.LineCount(); ++line) {
        const QByteArray lineBytes = store.LineBytes(line);
        FUZZ_CHECK(lineBytes.indexOf('\n') < 0 || lineBytes.indexOf('\n') == lineBytes.size() - 1
                   || line + 1 == store.LineCount());
        bytes += lineBytes;
        hexText += HexLines::Hex(lineBytes) + (line + 1 < store.LineCount() ? "\n" : "");
    }
    FUZZ_CHECK(bytes == tee.bytes);
    FUZZ_CHECK(hex.Text(0, hex.Size()) == hexText);
    covered = 0;
    for (qsizetype s = 0; s < hex.SegmentCount(); ++s) {
        const auto [from, to] = hex.SegmentRange(s);
        FUZZ_CHECK((from == covered || from == covered + 1) && hex.SegmentOf(from) == s);
        FUZZ_CHECK(hex.Text(from, to) == QStringView(hexText).sliced(from, to - from));
        covered = to;
    }
    FUZZ_CHECK(covered == hex.Size());
    return 0;
}
