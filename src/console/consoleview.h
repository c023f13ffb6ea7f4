// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "consolegeometry.h"
#include "consolehex.h"
#include "consolelog.h"
#include "consolerecord.h"
#include "consolestore.h"
#include "segmentlayout.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QElapsedTimer>

#include <functional>
#include <memory>

class FindBar;
class QMenu;
class QSettings;

// The console's widget: a read-only view over a ConsoleStore that lays out and paints only
// the lines in view. The operator places the caret with a click or the keys (arrows,
// Home/End, Page Up/Down, Ctrl+Home/End), selects with the mouse or Shift, and copies with
// Ctrl+C or the context menu; screen readers read the text through the accessibility
// interface (the newest gigacharacter of a longer session).
//
// A line wider than the view wraps, and so does every SegmentLimit characters of a long
// line; a continuation row carries a mark in the left margin, outside the text.
//
// The console is the operator's record: it is saved to a file (Ctrl+S) or logged to one as
// it arrives (on request with which way each line went and where a port opened), shows
// each line's arrival time in a margin on request, shows the bytes of every line in hex
// with their characters beside them, finds text (Ctrl+F, F3), zooms (Ctrl+Plus,
// Ctrl+Minus, Ctrl+0, Ctrl+wheel), and holds still while text streams in (Scroll Lock),
// each also from its context menu.
class ConsoleView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    static constexpr int DefaultPointSize = 10;
    static constexpr int SmallestPointSize = 6;
    static constexpr int LargestPointSize = 40;

    explicit ConsoleView(QWidget *parent = nullptr);
    ~ConsoleView() override;

    const ConsoleStore &Store() const { return m_store; }
    // The lines as they are shown: the text, or its bytes in hex. Every position the view
    // takes or gives is one of these.
    const ConsoleLines &Shown() const
    {
        return m_hexShown ? static_cast<const ConsoleLines &>(m_hexLines) : m_store;
    }
    const SegmentLayouts &Layouts() const { return m_layouts; }

    // Appends and then, once per batch, EndAppend(): the caret goes to the end and the
    // newest text comes into view. Says whether the batch alone fills the view.
    // `time`: when it arrived or went out; `bytes`: what went out or came in on the line
    // for the text.
    void Append(const QString &text, QRgb colour, qint64 time, const QByteArray &bytes);
    bool EndAppend(qsizetype appendedFrom);
    void Clear();

    // The text as copy and screen readers get it: controls as their pictures.
    QString Text(qsizetype from, qsizetype to) const;
    QString toPlainText() const { return Text(0, Shown().Size()); }
    qsizetype CaretPosition() const { return m_caret; }
    qsizetype SelectionStart() const { return std::min(m_anchor, m_caret); }
    qsizetype SelectionEnd() const { return std::max(m_anchor, m_caret); }
    // What copy gives of [from, to): the text, with each line's time while times are shown.
    QString CopiedText(qsizetype from, qsizetype to) const;
    // The caret never rests between the halves of a surrogate pair.
    void SetCaret(qsizetype pos, bool keepAnchor = false);
    void SetSelection(qsizetype anchor, qsizetype caret);
    void selectAll();
    void copy() const;
    // Scrolls, if need be, so that the position is in view.
    void EnsureVisible(qsizetype pos);
    // How often the console was cleared or changed its form: a position kept from before
    // is void.
    quint64 Clears() const { return m_clears; }
    // Where the text a screen reader reads starts (see consoleaccessible.h).
    qsizetype ReaderBase() const { return m_readerBase; }
    // Appends copies of the whole text, at once (see ConsoleStore::AppendCopies); then
    // EndAppend().
    void AppendCopies(qsizetype times) { m_store.AppendCopies(times); }

    // The console's line metrics: a line is what ended with a line feed, however it is
    // wrapped, and a line break is one position.
    qsizetype GetLineFromChar(qsizetype charPos) const { return Shown().LineOf(charPos); }
    qsizetype LineCount() const { return Shown().LineCount(); }
    qsizetype LineStart(qsizetype line) const { return Shown().LineStart(line); }

    // Where a position is drawn, in viewport coordinates; empty when it is out of view or
    // not in the text.
    QRect PositionRect(qsizetype pos) const;
    QRect CaretRect() const { return PositionRect(m_caret); }
    // The position nearest to a point of the viewport; one above or below the text counts
    // as its first or last row.
    qsizetype PositionAt(QPoint viewportPoint) const;

    // Asks for a file and saves the text there; SaveTo() does the writing.
    void SaveAs();
    SaveOutcome SaveTo(const QString &path);
    void SetTimesShown(bool shown);
    bool TimesShown() const { return m_timesShown; }
    // Shows every line as its bytes in hex, or as text again; the caret stays on its line.
    void SetHexShown(bool shown);
    bool HexShown() const { return m_hexShown; }
    // What the column beside the hex digits shows for the row that holds `pos`: the
    // characters of its bytes (see HexLines::Characters); empty while the text is shown.
    // The column is only drawn: the text, find, copy and save have the hex digits alone.
    QString CharacterColumn(qsizetype pos) const;
    // Opens the find field over the bottom edge.
    void OpenFind();
    FindBar *Finder() const { return m_find; }
    // The running log: asks for a file and starts it, or stops it; StartLog() starts it on
    // a file (false when it cannot be opened, the reason told by logFailed).
    void SetLogging(bool on);
    bool StartLog(const QString &path);
    bool Logging() const { return m_log.Running(); }
    // Whether the saved file and the log tell which way each line went ("> " sent, "< "
    // received, by its colour) and where a port opened, each in a line of its own. Off,
    // they hold the text as the console shows it.
    void SetDirectionsRecorded(bool on);
    bool DirectionsRecorded() const { return m_directions; }
    // The colour of what came in; text in any other colour went out.
    void SetReceivedColour(QRgb colour) { m_marks.SetReceivedColour(colour); }
    // A port opened, at the text there is now (what is on its way to the console goes in
    // first): the record tells so at this place, "— 端口 2 已打开 (ttyUSB0) 38400 —".
    // `device`: its name as people say it ("ttyUSB0").
    void NotePortOpened(int number, const QString &device, int baud);
    // Where the console keeps the operator's choices between runs: `open` gives the
    // settings, for a moment, each time one is read or written. The choices read from it
    // apply at once.
    using PreferencesSource = std::function<std::unique_ptr<QSettings>()>;
    void KeepChoicesIn(PreferencesSource open);
    // Where the mark that tells of the log is drawn, its tooltip naming the file; empty
    // while there is no log.
    QRect LogMarkRect() const;
    // Steps of one point up (positive) or down; 0 returns to the size it starts with.
    void Zoom(int steps);
    // Held, the view, the caret and the selection stay as they are while text comes in;
    // released, the caret goes to the end and the newest text comes into view.
    // Scroll Lock in the console toggles it; its window passes the key on from elsewhere.
    void SetHeld(bool held);
    bool Held() const { return m_held; }
    qsizetype LinesSinceHeld() const { return m_held ? LineCount() - m_heldLines : 0; }
    // The context menu: Copy and Select All first, then the record's entries.
    QMenu *ContextMenu();
    // Its entries, enabled as they apply now, for the window's menu.
    QList<QAction *> MenuActions();

signals:
    void cursorPositionChanged();
    void selectionChanged();
    // Text came in, or the console was cleared.
    void textChanged();
    void saveFailed(const QString &path, const QString &reason);
    // The log stopped: it could not be opened, or a write failed.
    void logFailed(const QString &path, const QString &reason);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    ConsoleGeometry::Top TopOfView() const;
    // Sets the bar's range. While the view follows a feed and the slider would be drawn
    // the same, it is left for later, unless `now`.
    void UpdateScrollBar(bool now = false);
    QRect SliderRect(int maximum, int value) const;
    void BarUpToDate();
    int RowsPerPage() const;
    void RestartBlink();
    void CreateActions();
    void PaintTimes(QPainter &painter, Clock &clock, const LaidSegment &laid, int y) const;
    // The hex form's character column, at the right of the view: as wide as the most bytes
    // a row of the narrower hex text can hold, in a font of fixed pitch so that it lines up.
    int CharacterColumnWidth() const;
    QFont CharacterFont() const;
    // The rows' width: the view's, less the character column's.
    void FitWidth();
    // The bytes of a hex row: where the first starts in the hex text, and their characters.
    std::pair<qsizetype, QString> RowCharacters(const LaidSegment &laid,
                                                const QTextLine &row) const;
    void PaintCharacters(QPainter &painter, const LaidSegment &laid, int y) const;
    void PaintBanner(QPainter &painter) const;
    QRect BannerRect() const;
    void Place(qsizetype anchor, qsizetype caret);
    void MoveReaderWindow(qsizetype appendedFrom);
    // The text was cleared or changed its form: positions kept from before are void, and
    // the layouts and the reader's window start again at the top.
    void StartAfresh();
    void OfferSelection();
    void LogStopped();
    void LogFailed(const QString &path, const QString &reason);
    QString LogMarkText() const;
    void PaintLogMark(QPainter &painter) const;

    ConsoleStore m_store;
    HexLines m_hexLines { m_store };
    bool m_hexShown = false;
    SegmentLayouts m_layouts { m_store };
    ConsoleGeometry m_geometry { m_layouts };
    ConsoleLog m_log { m_store };
    RecordMarks m_marks;
    bool m_directions = false;
    PreferencesSource m_preferences;
    qsizetype m_caret = 0;
    qsizetype m_anchor = 0;
    quint64 m_clears = 0; // tells an offered selection that its text is gone (or its form)
    qsizetype m_readerBase = 0;
    bool m_follow = true; // the view keeps the newest text in view
    int m_topY = 0; // where the top segment starts when not following, at or above 0
    bool m_timesShown = false;
    bool m_held = false;
    qsizetype m_heldLines = 0; // the line count when the console was held
    int m_wheelZoom = 0; // Ctrl+wheel's eighths of a degree not yet zoomed by
    QMenu *m_menu = nullptr;
    QAction *m_copyAction = nullptr;
    QAction *m_timesAction = nullptr;
    QAction *m_hexAction = nullptr;
    QAction *m_logAction = nullptr;
    QAction *m_directionsAction = nullptr;
    FindBar *m_find = nullptr;
    QAction *m_holdAction = nullptr;
    QAction *m_zoomLevel = nullptr; // "缩放：120%", not an action
    void ShowZoomLevel();
    bool m_settingScroll = false;
    bool m_barStale = false; // the bar's range lags behind a feed it follows
    bool m_caretShown = true;
    bool m_selecting = false;
    QBasicTimer m_blink;
    // Since text last came in: while it comes, a view that follows it keeps its caret still,
    // or its blink would paint the view again between the frames.
    QElapsedTimer m_sinceAppend;
    QBasicTimer m_release; // gives back what a clear left, a piece each time
    QBasicTimer m_pack; // puts in place what the packer's thread packed, and feeds it
};
