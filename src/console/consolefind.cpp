// SPDX-License-Identifier: GPL-3.0-or-later
#include "consolefind.h"

#include "consolehex.h"
#include "consolelines.h"
#include "consolestore.h"
#include "consoleview.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>

#include <limits>

namespace {

// The bytes that a needle of whole bytes in hex stands for ("0d 0a"), or none. Such a needle
// matches the hex form only where its bytes are, within a line: it is looked for among the
// bytes, without writing a line of hex.
QByteArray WholeBytes(const QString &needle)
{
    static const QRegularExpression bytes(QStringLiteral("^[0-9A-Fa-f]{2}( [0-9A-Fa-f]{2})*$"));
    return bytes.match(needle).hasMatch() ? QByteArray::fromHex(needle.toLatin1()) : QByteArray();
}

// Lines' bytes one after another, and where each line's begin.
struct LineBytes
{
    QByteArray bytes;
    QList<qsizetype> starts;

    // The line a byte belongs to (counted in the piece), if the `length` bytes from it are
    // all its own; else -1.
    qsizetype LineOf(qsizetype at, qsizetype length) const
    {
        const qsizetype index
            = std::upper_bound(starts.cbegin(), starts.cend(), at) - starts.cbegin() - 1;
        const qsizetype end = index + 1 < starts.size() ? starts.at(index + 1) : bytes.size();
        return at + length <= end ? index : -1;
    }
};

qsizetype
FindBytes(const ConsoleStore &store, const QByteArray &needle, qsizetype from, bool backward)
{
    const HexLines hex(store);
    const qsizetype count = store.LineCount();
    from = std::clamp<qsizetype>(from, 0, hex.Size());
    if (backward && from == 0)
        return -1;
    // The line to begin with, and in it the first byte at or after `from`, or the last one
    // before it.
    const qsizetype at = backward ? from - 1 : from;
    qsizetype line = hex.LineOf(at);
    const qsizetype offset = at - hex.LineStart(line);
    qsizetype byte = backward ? offset / 3 : (offset + 2) / 3;
    while (line >= 0 && line < count) {
        // A piece of whole lines [low, high), the one to begin with at its end or start.
        qsizetype low = line;
        qsizetype high = line + 1;
        for (qsizetype size = store.LineByteCount(line); size < TextPiece;) {
            if (backward && low > 0)
                size += store.LineByteCount(--low);
            else if (!backward && high < count)
                size += store.LineByteCount(high++);
            else
                break;
        }
        LineBytes piece;
        for (qsizetype l = low; l < high; ++l) {
            piece.starts.append(piece.bytes.size());
            store.AppendLineBytes(l, piece.bytes);
        }
        const auto position = [&](qsizetype found) {
            const qsizetype index = piece.LineOf(found, needle.size());
            return index < 0 ? -1
                             : hex.LineStart(low + index) + 3 * (found - piece.starts.at(index));
        };
        if (backward) {
            for (qsizetype found
                 = std::min(piece.starts.last() + byte, piece.bytes.size() - needle.size());
                 found >= 0 && (found = piece.bytes.lastIndexOf(needle, found)) >= 0; --found) {
                if (const qsizetype pos = position(found); pos >= 0)
                    return pos;
            }
            line = low - 1;
            byte = std::numeric_limits<qsizetype>::max() / 2; // from the end of the line
        } else {
            for (qsizetype found = byte; (found = piece.bytes.indexOf(needle, found)) >= 0;
                 ++found) {
                if (const qsizetype pos = position(found); pos >= 0)
                    return pos;
            }
            line = high;
            byte = 0;
        }
    }
    return -1;
}

} // namespace

qsizetype FindIn(const ConsoleLines &lines, const QString &needle, qsizetype from, bool backward)
{
    const qsizetype size = lines.Size();
    const qsizetype overlap = needle.size() - 1; // a match across two pieces
    if (needle.isEmpty())
        return -1;

    if (!backward) {
        for (qsizetype at = std::max<qsizetype>(from, 0); at + overlap < size; at += TextPiece) {
            const QString piece = lines.Text(at, std::min(size, at + TextPiece + overlap));
            const qsizetype found = piece.indexOf(needle, 0, Qt::CaseInsensitive);
            if (found >= 0)
                return at + found;
        }
        return -1;
    }
    // Pieces that end where a match may start no later than `from - 1`.
    for (qsizetype end = std::min(from, size); end > 0; end -= TextPiece) {
        const qsizetype at = std::max<qsizetype>(0, end - TextPiece);
        const QString piece = lines.Text(at, std::min(size, end + overlap));
        const qsizetype found = piece.lastIndexOf(needle, end - 1 - at, Qt::CaseInsensitive);
        if (found >= 0)
            return at + found;
    }
    return -1;
}

qsizetype FindInHex(const ConsoleStore &store, const QString &needle, qsizetype from, bool backward)
{
    if (const QByteArray bytes = WholeBytes(needle); !bytes.isEmpty())
        return FindBytes(store, bytes, from, backward);
    return FindIn(HexLines(store), needle, from, backward);
}

FindBar::FindBar(ConsoleView *view)
    : QWidget(view)
    , m_view(view)
    , m_field(new QLineEdit(this))
    , m_status(new QLabel(this))
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    auto *caption = new QLabel(tr("查找："), this);
    caption->setBuddy(m_field);
    layout->addWidget(caption);
    layout->addWidget(m_field, 1);
    layout->addWidget(m_status);
    m_field->setAccessibleName(tr("查找"));
    m_field->installEventFilter(this);
    connect(m_field, &QLineEdit::textEdited, m_status, &QLabel::clear);
    hide();
}

void FindBar::Open()
{
    Place();
    show();
    raise();
    m_field->setFocus();
    m_field->selectAll();
}

QString FindBar::Needle() const
{
    return m_field->text();
}

void FindBar::Place()
{
    const QRect area = m_view->viewport()->geometry();
    const int height = sizeHint().height();
    setGeometry(area.left(), area.bottom() + 1 - height, area.width(), height);
}

bool FindBar::Find(bool backward)
{
    const QString needle = Needle();
    const auto find = [&](qsizetype from) {
        return m_view->HexShown() ? FindInHex(m_view->Store(), needle, from, backward)
                                  : FindIn(m_view->Shown(), needle, from, backward);
    };
    // From the caret: after a match, the caret is at its end and its start before it.
    qsizetype found = find(backward ? m_view->SelectionStart() : m_view->CaretPosition());
    if (found < 0) // round the end
        found = find(backward ? m_view->Shown().Size() : 0);
    m_status->setText(found < 0 && !needle.isEmpty() ? tr("未找到") : QString());
    if (found < 0)
        return false;
    m_view->SetSelection(found, found + needle.size());
    m_view->EnsureVisible(found);
    m_view->EnsureVisible(m_view->CaretPosition());
    return true;
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            Find(key->modifiers() & Qt::ShiftModifier);
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            hide();
            m_view->setFocus();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
