// SPDX-License-Identifier: GPL-3.0-or-later
#include "framebatcher.h"

#include "consoleview.h"

#include <QApplication>
#include <QDateTime>

namespace {

// Events before which the console must hold every append: the operator's clicks and keys.
bool NeedsWholeText(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::InputMethod:
        return true;
    default:
        return false;
    }
}

} // namespace

FrameBatcher::FrameBatcher(ConsoleView *view)
    : m_view(view)
{
    m_frame.setSingleShot(true);
    m_frame.setInterval(FrameMilliseconds);
    connect(&m_frame, &QTimer::timeout, this, &FrameBatcher::Flush);
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMilliseconds);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        m_sinceSettled = 0;
        if (m_pending.isEmpty()) { // a flood's room is not kept for the trickle after it
            m_pending = {};
            m_text = QString();
            m_bytes = QByteArray();
        }
        GiveBackFreedMemory();
    });
    qApp->installEventFilter(this);
}

FrameBatcher::~FrameBatcher()
{
    qApp->removeEventFilter(this);
}

void FrameBatcher::Append(const QString &text, QRgb colour, const QByteArray &bytes)
{
    if (m_pending.isEmpty()) {
        if (!m_drawn.isValid() || m_drawn.elapsed() >= SkimMilliseconds)
            m_frame.setInterval(FrameMilliseconds); // a feed that paused starts afresh
        m_frame.start();
        m_waiting.start();
    }
    m_text += text;
    m_bytes += bytes;
    m_pending.append(
        { m_text.size(), m_bytes.size(), colour, QDateTime::currentMSecsSinceEpoch() });
    // A port that is always ready can hold the frame's timer back for many frames.
    if (m_waiting.elapsed() >= 2 * m_frame.interval())
        Flush();
}

void FrameBatcher::Flush()
{
    m_frame.stop();
    if (m_pending.isEmpty())
        return;
    ++m_frames;
    m_drawn.start();
    const qsizetype from = m_view->Shown().Size();
    qsizetype textAt = 0;
    qsizetype bytesAt = 0;
    for (const Piece &piece : std::as_const(m_pending)) {
        // Views of the pieces: the console copies what it keeps.
        m_view->Append(
            QString::fromRawData(m_text.constData() + textAt, piece.textEnd - textAt), piece.colour,
            piece.time,
            QByteArray::fromRawData(m_bytes.constData() + bytesAt, piece.bytesEnd - bytesAt));
        textAt = piece.textEnd;
        bytesAt = piece.bytesEnd;
    }
    m_sinceSettled += m_text.size();
    // Emptied, their room kept, before anything the end of the append sets off appends again.
    m_pending.clear();
    m_text.resize(0);
    m_bytes.resize(0);
    if (m_sinceSettled >= SettleAfter)
        m_settle.start(); // again at every draw: it fires once the feed pauses
    // The caret at the end, where the next append goes: the status line follows it, once
    // for the whole batch, and the newest text is scrolled into view.
    // The keyboard stays where the operator put it: a screen reader would otherwise announce
    // the console at every reply, and Tab would have to find the way back.
    const bool allNew = m_view->EndAppend(from);
    // A feed that fills the view between two pictures is too fast to read line by line;
    // fewer pictures of it show as much.
    m_frame.setInterval(allNew ? SkimMilliseconds : FrameMilliseconds);
}

bool FrameBatcher::eventFilter(QObject *watched, QEvent *event)
{
    if (m_pending.isEmpty())
        return QObject::eventFilter(watched, event);
    // A paint shows everything, unless the console drew less than a frame ago (as when
    // that draw is what asked for the paint): then the frame's timer draws the rest.
    const bool paint = event->type() == QEvent::UpdateRequest || event->type() == QEvent::Expose;
    if (NeedsWholeText(event->type())
        || (paint && (!m_drawn.isValid() || m_drawn.elapsed() >= m_frame.interval())))
        Flush();
    return QObject::eventFilter(watched, event);
}
