// SPDX-License-Identifier: GPL-3.0-or-later
// What the operator does with the console as a record: copy it, save it, show arrival
// times, zoom and hold it, from the keyboard or the context menu.
#include "consoleview.h"

#include "consoleaccessible.h"
#include "consolefind.h"
#include "consolerecord.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QPainter>
#include <QProgressDialog>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>

namespace {

constexpr int WheelNotch = 120; // eighths of a degree

const QString DirectionsKey = QStringLiteral("Console/recordDirections");

} // namespace

void ConsoleView::CreateActions()
{
    m_menu = new QMenu(this);
    // Copy and Select All are the view's own keys; the menu only names them.
    const auto named = [](const QString &text, QKeySequence::StandardKey key) {
        return text + QLatin1Char('\t') + QKeySequence(key).toString(QKeySequence::NativeText);
    };
    m_copyAction
        = m_menu->addAction(named(tr("复制(&C)"), QKeySequence::Copy), this, &ConsoleView::copy);
    m_menu->addAction(named(tr("全选(&A)"), QKeySequence::SelectAll), this,
                      &ConsoleView::selectAll);
    m_menu->addSeparator();
    QAction *find = m_menu->addAction(tr("查找…"), this, &ConsoleView::OpenFind);
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(find);
    // Keys outside the menu, from the console or its find field.
    const auto key = [this](const QKeySequence &keys, const auto &handler) {
        auto *action = new QAction(this);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, handler);
        addAction(action);
    };
    // F3 and Shift+F3 go on finding.
    for (const bool backward : { false, true }) {
        key(backward ? QKeySequence::FindPrevious : QKeySequence::FindNext, [this, backward] {
            if (m_find->Needle().isEmpty())
                OpenFind();
            else
                m_find->Find(backward);
        });
    }
    m_menu->addSeparator();
    // The record's entries work from anywhere in the window.
    QAction *save = m_menu->addAction(tr("保存为文件…"), this, &ConsoleView::SaveAs);
    save->setShortcut(QKeySequence::Save);
    m_logAction = m_menu->addAction(tr("记录到文件…"), this, &ConsoleView::SetLogging);
    m_logAction->setCheckable(true);
    m_directionsAction
        = m_menu->addAction(tr("记录方向和端口变化"), this, &ConsoleView::SetDirectionsRecorded);
    m_directionsAction->setCheckable(true);
    m_timesAction = m_menu->addAction(tr("显示时间"), this, &ConsoleView::SetTimesShown);
    m_timesAction->setCheckable(true);
    m_hexAction = m_menu->addAction(tr("十六进制显示"), this, &ConsoleView::SetHexShown);
    m_hexAction->setCheckable(true);
    save->setShortcutContext(Qt::WindowShortcut);
    addAction(save);
    // Qt takes no lock key for a shortcut: the console and its window handle Scroll Lock.
    m_holdAction = m_menu->addAction(
        tr("暂停滚动") + QLatin1Char('\t')
            + QKeySequence(Qt::Key_ScrollLock).toString(QKeySequence::NativeText),
        this, &ConsoleView::SetHeld);
    m_holdAction->setCheckable(true);
    // Zoom, while the console has the keyboard. Ctrl and the main keyboard's "+" arrive as
    // the zoom key only with Shift; Ctrl+= is the same key without it.
    const std::pair<QKeySequence, int> zooms[] = {
        { QKeySequence::ZoomIn, 1 },
        { QKeySequence(Qt::ControlModifier | Qt::Key_Equal), 1 },
        { QKeySequence::ZoomOut, -1 },
        { QKeySequence(Qt::ControlModifier | Qt::Key_0), 0 },
    };
    for (const auto &[keys, steps] : zooms)
        key(keys, [this, steps = steps] { Zoom(steps); });
    // The same in the menu, named with their keys, and the level in force.
    m_menu->addSeparator();
    const std::pair<QString, int> zoomEntries[] = {
        { named(tr("放大"), QKeySequence::ZoomIn), 1 },
        { named(tr("缩小"), QKeySequence::ZoomOut), -1 },
        { tr("原始大小") + QLatin1Char('\t')
              + QKeySequence(Qt::ControlModifier | Qt::Key_0).toString(QKeySequence::NativeText),
          0 },
    };
    for (const auto &[caption, steps] : zoomEntries)
        m_menu->addAction(caption, this, [this, steps = steps] { Zoom(steps); });
    m_zoomLevel = m_menu->addAction(QString());
    m_zoomLevel->setEnabled(false);
    ShowZoomLevel();
}

void ConsoleView::ShowZoomLevel()
{
    if (!m_zoomLevel)
        return; // the font is set before the menu is made
    m_zoomLevel->setText(
        tr("缩放：%1%").arg(qRound(100.0 * font().pointSizeF() / DefaultPointSize)));
}

QList<QAction *> ConsoleView::MenuActions()
{
    return ContextMenu()->actions();
}

QMenu *ConsoleView::ContextMenu()
{
    m_copyAction->setEnabled(SelectionStart() != SelectionEnd());
    return m_menu;
}

void ConsoleView::contextMenuEvent(QContextMenuEvent *event)
{
    // From the menu key, the menu opens at the caret.
    const QPoint at = event->reason() == QContextMenuEvent::Mouse
        ? event->globalPos()
        : viewport()->mapToGlobal(CaretRect().isNull() ? QPoint() : CaretRect().bottomLeft());
    ContextMenu()->exec(at);
}

void ConsoleView::SaveAs()
{
    const QString name
        = QStringLiteral("tarvenit-%1.txt")
              .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QDir(folder).exists())
        folder = QDir::homePath();
    // The dialog asks before it replaces a file.
    const QString path = QFileDialog::getSaveFileName(
        this, tr("保存为文件"), QDir(folder).filePath(name), tr("文本文件 (*.txt);;所有文件 (*)"));
    if (path.isEmpty())
        return;
    const SaveOutcome outcome = SaveTo(path);
    if (outcome.result == SaveOutcome::Failed)
        emit saveFailed(path, outcome.reason);
}

SaveOutcome ConsoleView::SaveTo(const QString &path)
{
    // A save that takes longer than a moment shows how far it is, and can be cancelled.
    constexpr int Steps = 1000;
    QProgressDialog progress(tr("正在保存…"), tr("取消"), 0, Steps, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    return SaveConsole(
        Shown(), path, m_timesShown,
        [&](qint64 done, qint64 total) {
            progress.setValue(int(done * Steps / std::max<qint64>(total, 1)));
            return !progress.wasCanceled();
        },
        m_directions ? &m_marks : nullptr, m_hexShown);
}

void ConsoleView::SetDirectionsRecorded(bool on)
{
    m_directions = on;
    m_directionsAction->setChecked(on);
    m_log.SetDirections(on ? &m_marks : nullptr);
    if (m_preferences)
        m_preferences()->setValue(DirectionsKey, on);
}

void ConsoleView::KeepChoicesIn(PreferencesSource open)
{
    m_preferences = std::move(open);
    SetDirectionsRecorded(m_preferences()->value(DirectionsKey, false).toBool());
}

void ConsoleView::NotePortOpened(int number, const QString &device, int baud)
{
    const qsizetype line = m_store.LineCount() - 1;
    m_marks.NotePort({ line,
                       { m_store.LineLength(line), 3 * m_store.LineByteCount(line) },
                       tr("— 端口 %1 已打开 (%2) %3 —")
                           .arg(QString::number(number), device, QString::number(baud)) });
}

void ConsoleView::OpenFind()
{
    m_find->Open();
}

void ConsoleView::SetLogging(bool on)
{
    if (!on) {
        m_log.Stop();
        LogStopped();
        return;
    }
    const QString name
        = QStringLiteral("tarvenit-%1.log")
              .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QDir(folder).exists())
        folder = QDir::homePath();
    // A log goes on at the end of a file that is there already.
    const QString path = QFileDialog::getSaveFileName(
        this, tr("记录到文件"), QDir(folder).filePath(name), tr("记录文件 (*.log);;所有文件 (*)"),
        nullptr, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty())
        m_logAction->setChecked(false);
    else
        StartLog(path); // a failure unchecks the entry
}

bool ConsoleView::StartLog(const QString &path)
{
    QString reason;
    if (!m_log.Start(path, reason)) {
        LogFailed(path, reason);
        return false;
    }
    m_logAction->setChecked(true);
    viewport()->update(LogMarkRect());
    return true;
}

void ConsoleView::LogStopped()
{
    m_logAction->setChecked(false);
    viewport()->update();
}

void ConsoleView::LogFailed(const QString &path, const QString &reason)
{
    LogStopped();
    emit logFailed(path, reason);
}

QRect ConsoleView::LogMarkRect() const
{
    if (!m_log.Running())
        return {};
    const QFontMetrics metrics(font());
    QRect rect(0, 0, metrics.horizontalAdvance(LogMarkText()) + 2 * metrics.averageCharWidth(),
               metrics.height() + 6);
    rect.moveTopRight(viewport()->rect().topRight() + QPoint(-4, 4));
    return rect;
}

QString ConsoleView::LogMarkText() const
{
    return tr("● 记录中");
}

void ConsoleView::PaintLogMark(QPainter &painter) const
{
    // A small note at the top of the view, like the hold's at the bottom.
    const QRect rect = LogMarkRect();
    painter.setPen(palette().color(QPalette::ToolTipText));
    painter.setBrush(palette().toolTipBase());
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.setFont(font());
    painter.drawText(rect, Qt::AlignCenter, LogMarkText());
}

void ConsoleView::SetTimesShown(bool shown)
{
    m_timesShown = shown;
    m_log.SetTimesShown(shown);
    m_timesAction->setChecked(shown);
    // Room for the widest time, "00:00:00.000", and a gap.
    const QFontMetrics metrics(font());
    m_layouts.SetTimeMargin(shown ? metrics.horizontalAdvance(QStringLiteral("00:00:00.000"))
                                    + metrics.averageCharWidth()
                                  : 0);
    FitWidth();
    UpdateScrollBar(true);
    viewport()->update();
}

void ConsoleView::SetHexShown(bool shown)
{
    m_hexAction->setChecked(shown);
    if (shown == m_hexShown)
        return;
    const qsizetype line = Shown().LineOf(m_caret);
    const QString removed = ReaderTextStart(this);
    m_hexShown = shown;
    m_log.SetHexShown(shown);
    StartAfresh();
    FitWidth(); // room for the character column, or none
    NotifyReplaced(this, removed);
    m_anchor = m_caret = -1; // a position of the old form: the caret moves, whatever it was
    SetCaret(Shown().LineStart(line));
    UpdateScrollBar(true);
    if (!m_follow)
        EnsureVisible(m_caret);
    viewport()->update();
    emit textChanged();
}

void ConsoleView::Zoom(int steps)
{
    const int size = steps == 0
        ? DefaultPointSize
        : std::clamp(font().pointSize() + steps, SmallestPointSize, LargestPointSize);
    if (size == font().pointSize())
        return;
    QFont zoomed = font();
    zoomed.setPointSize(size);
    setFont(zoomed); // the rest follows the font's change
}

void ConsoleView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() != QEvent::FontChange)
        return;
    m_layouts.SetFont(font());
    ShowZoomLevel();
    m_topY = 0;
    SetTimesShown(m_timesShown); // the times' room, the bar, the picture
    if (!m_follow)
        EnsureVisible(m_caret);
}

void ConsoleView::wheelEvent(QWheelEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    m_wheelZoom += event->angleDelta().y();
    const int steps = m_wheelZoom / WheelNotch;
    m_wheelZoom -= steps * WheelNotch;
    if (steps != 0)
        Zoom(steps);
    event->accept();
}

void ConsoleView::SetHeld(bool held)
{
    if (held == m_held)
        return;
    m_held = held;
    m_holdAction->setChecked(held);
    if (held) {
        m_heldLines = LineCount();
        if (m_follow) { // what is shown now stays, to the pixel
            const ConsoleGeometry::Top top = TopOfView();
            m_settingScroll = true;
            m_follow = false;
            UpdateScrollBar(true);
            verticalScrollBar()->setValue(int(top.segment));
            m_topY = top.y;
            m_settingScroll = false;
        }
    } else {
        m_follow = true;
        UpdateScrollBar(true);
        SetCaret(Shown().Size());
    }
    viewport()->update();
}
