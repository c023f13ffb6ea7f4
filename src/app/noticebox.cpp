// SPDX-License-Identifier: GPL-3.0-or-later
#include "noticebox.h"

#include "common/plaintext.h"
#include "spoken.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace {

// Closes a fleeting box at the operator's next click, wherever in the program it falls.
// A child of the box: it goes with it.
class ClickCloses : public QObject
{
public:
    explicit ClickCloses(QMessageBox *box)
        : QObject(box)
        , m_box(box)
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonPress)
            m_box->done(QMessageBox::Ok);
        return QObject::eventFilter(watched, event);
    }

private:
    QMessageBox *m_box;
};

// Inside `screen` as far as it goes: its top left corner where a box larger than the screen
// is cut at the right and at the bottom.
QPoint WithinScreen(const QRect &box, const QRect &screen)
{
    return { std::max(screen.left(), std::min(box.left(), screen.right() + 1 - box.width())),
             std::max(screen.top(), std::min(box.top(), screen.bottom() + 1 - box.height())) };
}

} // namespace

QPoint NoticePlace(QSize size, const QRect &free, const QRect &window, const QRect &screen)
{
    constexpr int Gap = 8; // clear of the free area's edges
    const QRect over(QPoint(free.right() + 1 - Gap - size.width(), free.top() + Gap), size);
    // Left of the free area lies only the window's margin, and beyond it no field.
    if (over.left() >= screen.left() && over.bottom() <= free.bottom())
        return over.topLeft();
    const QRect right(QPoint(window.right() + 1, over.top()), size);
    if (screen.contains(right))
        return right.topLeft();
    return WithinScreen(over, screen);
}

NoticeBox::NoticeBox(QWidget *parent)
    : m_parent(parent)
{ }

NoticeBox::~NoticeBox()
{
    Close();
}

void NoticeBox::Show(const NoticeContent &content)
{
    Close();
    const QMessageBox::Icon icon
        = content.tone == NoticeTone::News ? QMessageBox::Information : QMessageBox::Warning;
    // Spoken when it appears: the keyboard stays where it was, so nothing else would say it.
    auto *box
        = new NoticeWindow(icon, content.title, content.text,
                           content.actionOnly ? QMessageBox::NoButton : QMessageBox::Ok, m_parent);
    // The text may quote what the module sent: never read it as markup.
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(AsPlainText(content.informative));
    box->setWindowModality(Qt::NonModal);
    // The operator may be typing a command: the keys stay where they go.
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (content.actionOnly) {
        // Its button, Escape and the title bar all reject the box; Close() does not.
        box->addButton(content.action, QMessageBox::RejectRole);
        QObject::connect(box, &QDialog::rejected, m_parent, content.onAction, Qt::QueuedConnection);
    } else if (!content.action.isEmpty()) {
        QPushButton *action = box->addButton(content.action, QMessageBox::ActionRole);
        // Queued, on the window: the action may show the next notice, which closes and
        // deletes this box.
        QObject::connect(action, &QPushButton::clicked, m_parent, content.onAction,
                         Qt::QueuedConnection);
    }
    if (content.fleeting) {
        new ClickCloses(box);
        QTimer::singleShot(NoticeContent::FleetingMs, box, [box] { box->done(QMessageBox::Ok); });
    }
    box->SetPlacer([free = m_free](QWidget *shown) {
        if (!free || !free->isVisible())
            return;
        const QWidget *window = free->window();
        const QRect area(free->mapToGlobal(QPoint()), free->size());
        const QRect inWindow(window->mapToGlobal(QPoint()), window->size());
        // Not yet on the screen, its frame is not known: the window's own is its measure.
        const QRect outer = window->frameGeometry();
        const QRect inner = window->geometry();
        const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(),
                             outer.right() - inner.right(), outer.bottom() - inner.bottom());
        shown->move(NoticePlace(shown->size().grownBy(frame), area & inWindow, outer,
                                free->screen()->availableGeometry())
                    + QPoint(0, frame.top()));
    });
    m_box = box;
    box->show();
}

void NoticeBox::Close()
{
    // Not close(): a message box without an escape button (one with a button of its own
    // beside OK) ignores it and stays on the screen.
    if (m_box)
        m_box->done(QMessageBox::Ok);
    m_box = nullptr;
}

bool NoticeBox::IsShown() const
{
    return m_box && m_box->isVisible();
}
