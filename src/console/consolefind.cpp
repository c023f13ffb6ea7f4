// SPDX-License-Identifier: GPL-3.0-or-later
#include "consolefind.h"

#include "consolelines.h"
#include "consoleview.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace {

constexpr qsizetype Piece = 1 << 20;

} // namespace

qsizetype FindIn(const ConsoleLines &lines, const QString &needle, qsizetype from, bool backward)
{
    const qsizetype size = lines.Size();
    const qsizetype overlap = needle.size() - 1; // a match across two pieces
    if (needle.isEmpty())
        return -1;
    if (!backward) {
        for (qsizetype at = std::max<qsizetype>(from, 0); at + overlap < size; at += Piece) {
            const QString piece = lines.Text(at, std::min(size, at + Piece + overlap));
            const qsizetype found = piece.indexOf(needle, 0, Qt::CaseInsensitive);
            if (found >= 0)
                return at + found;
        }
        return -1;
    }
    // Pieces that end where a match may start no later than `from - 1`.
    for (qsizetype end = std::min(from, size); end > 0; end -= Piece) {
        const qsizetype at = std::max<qsizetype>(0, end - Piece);
        const QString piece = lines.Text(at, std::min(size, end + overlap));
        const qsizetype found = piece.lastIndexOf(needle, end - 1 - at, Qt::CaseInsensitive);
        if (found >= 0)
            return at + found;
    }
    return -1;
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
    const ConsoleLines &lines = m_view->Shown();
    // From the caret: after a match, the caret is at its end and its start before it.
    const qsizetype from = backward ? m_view->SelectionStart() : m_view->CaretPosition();
    qsizetype found = FindIn(lines, needle, from, backward);
    if (found < 0) // round the end
        found = FindIn(lines, needle, backward ? lines.Size() : 0, backward);
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
