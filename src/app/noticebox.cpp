// SPDX-License-Identifier: GPL-3.0-or-later
#include "noticebox.h"

#include "common/plaintext.h"
#include "spoken.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

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

} // namespace

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
