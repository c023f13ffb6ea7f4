// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "consolestore.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QCache>

#include <memory>

class QTextLayout;

// The console's widget: a read-only view over a ConsoleStore that lays out and paints only
// the lines in view. The operator places the caret with a click or the keys (arrows,
// Home/End, Page Up/Down, Ctrl+Home/End), selects with the mouse or Shift, and copies with
// Ctrl+C or the context menu; screen readers read the whole text through the
// accessibility interface.
//
// A line wider than the view wraps, and so does every SegmentLimit characters of a long
// line; a continuation row carries a mark in the left margin, outside the text. A
// character that would be invisible or would rearrange the line is drawn as its code
// point in a box; the text keeps the character itself.
class ConsoleView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    static constexpr int Margin = 9; // room for the continuation mark

    explicit ConsoleView(QWidget *parent = nullptr);
    ~ConsoleView() override;

    const ConsoleStore &Store() const { return m_store; }

    // Appends and then, once per batch, EndAppend(): the caret goes to the end and the
    // newest text comes into view. Says whether the batch alone fills the view.
    void Append(QStringView text, QRgb colour);
    bool EndAppend(qsizetype appendedFrom);
    void Clear();

    QString toPlainText() const { return m_store.Text(0, m_store.Size()); }
    qsizetype CaretPosition() const { return m_caret; }
    qsizetype SelectionStart() const { return std::min(m_anchor, m_caret); }
    qsizetype SelectionEnd() const { return std::max(m_anchor, m_caret); }
    QString SelectedText() const { return m_store.Text(SelectionStart(), SelectionEnd()); }
    void SetCaret(qsizetype pos, bool keepAnchor = false);
    void SetSelection(qsizetype anchor, qsizetype caret);
    void selectAll();
    void copy() const;

    // Where a position is drawn, in viewport coordinates; empty when it is out of view.
    QRect PositionRect(qsizetype pos) const;
    QRect CaretRect() const { return PositionRect(m_caret); }
    qsizetype PositionAt(QPoint viewportPoint) const;

    // A segment's text as drawn, each boxed character written as its code point in
    // brackets, e.g. "a[200B]b".
    static QString Painted(const QString &text);
    static bool ShownAsCode(char16_t c);

signals:
    void cursorPositionChanged();
    void selectionChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    struct Laid;

    // The text a segment is laid out with: each boxed character as its hex digits, whose
    // offsets in `text` go into `codes`.
    static QString Shown(const QString &text, QList<qsizetype> &codes);
    struct Top
    {
        qsizetype segment;
        int y;
    };

    Laid *LayoutOf(qsizetype segment) const;
    Top TopOfView() const;
    void UpdateScrollBar();
    QRect SliderRect(int maximum, int value) const;
    void BarUpToDate();
    void EnsureCaretVisible();
    qsizetype MoveRows(qsizetype pos, int rows) const;
    qsizetype RowEdge(qsizetype pos, bool end) const;
    int RowsPerPage() const;
    void RestartBlink();

    ConsoleStore m_store;
    mutable QCache<qsizetype, Laid> m_layouts;
    qsizetype m_caret = 0;
    qsizetype m_anchor = 0;
    bool m_follow = true; // the view keeps the newest text in view
    bool m_settingScroll = false;
    bool m_barStale = false; // the bar's range lags behind a feed it follows
    bool m_caretShown = true;
    bool m_selecting = false;
    QBasicTimer m_blink;
};
