// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandbox.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QSettings>
#include <QTextCursor>

namespace {

// The operator's choices kept between runs: one file in the user's configuration folder
// (~/.config/Tarvenit/Tarvenit.ini; %APPDATA%\Tarvenit\Tarvenit.ini on Windows).
class Preferences : public QSettings
{
public:
    Preferences()
        : QSettings(QSettings::IniFormat,
                    QSettings::UserScope,
                    QStringLiteral("Tarvenit"),
                    QStringLiteral("Tarvenit"))
    { }
};

const QString EndingKey = QStringLiteral("CommandBox/lineEnding");
const QString HexKey = QStringLiteral("CommandBox/hexEntry");
const QString HistoryKey = QStringLiteral("CommandBox/history");

} // namespace

CommandBox::CommandBox(QWidget *parent)
    : QPlainTextEdit(parent)
{
    const Preferences preferences;
    const QString ending = preferences.value(EndingKey).toString();
    for (const LineEndingChoice &choice : LineEndingChoices) {
        if (ending == QLatin1String(choice.key))
            m_ending = choice.ending;
    }
    m_hex = preferences.value(HexKey, false).toBool();
    m_history = CommandHistory(preferences.value(HistoryKey).toStringList());
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_recalling)
            m_history.Edited();
    });
}

OutgoingCommand CommandBox::Command()
{
    OutgoingCommand command = MakeCommand(toPlainText(), m_ending, m_hex);
    if (command.wrongAt >= 0) {
        QTextCursor wrong(document());
        wrong.setPosition(int(command.wrongAt));
        wrong.setPosition(int(command.wrongAt + command.wrongLength), QTextCursor::KeepAnchor);
        setTextCursor(wrong);
    }
    return command;
}

void CommandBox::Sent()
{
    m_history.Add(toPlainText());
    Preferences().setValue(HistoryKey, m_history.Texts());
}

void CommandBox::SetEnding(LineEnding ending)
{
    m_ending = ending;
    for (const LineEndingChoice &choice : LineEndingChoices) {
        if (choice.ending == ending)
            Preferences().setValue(EndingKey, QString::fromLatin1(choice.key));
    }
}

void CommandBox::SetHexEntry(bool hex)
{
    m_hex = hex;
    Preferences().setValue(HexKey, hex);
}

void CommandBox::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (modifiers == Qt::ControlModifier && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        emit sendRequested();
    } else if (modifiers == Qt::ControlModifier && key == Qt::Key_Up) {
        Recall(m_history.Older(toPlainText()));
    } else if (modifiers == Qt::ControlModifier && key == Qt::Key_Down) {
        Recall(m_history.Newer());
    } else if (modifiers == Qt::ShiftModifier && key == Qt::Key_F10) {
        // The menu key's stand-in, as in the console: the menu opens at the caret.
        const QPoint at = cursorRect().center();
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, viewport()->mapToGlobal(at));
        contextMenuEvent(&menu);
    } else {
        QPlainTextEdit::keyPressEvent(event);
    }
}

void CommandBox::Recall(const std::optional<QString> &text)
{
    if (!text)
        return;
    // One step of the box's own undo, so that Ctrl+Z brings back what it replaced.
    m_recalling = true;
    QTextCursor all(document());
    all.select(QTextCursor::Document);
    all.insertText(*text);
    m_recalling = false;
    moveCursor(QTextCursor::End);
}

void CommandBox::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    QMenu *endings = menu->addMenu(LineEndingsCaption());
    // Hex entry adds nothing: the choice waits until the box is text again.
    endings->setEnabled(!m_hex);
    auto *group = new QActionGroup(endings);
    for (const LineEndingChoice &choice : LineEndingChoices) {
        QAction *action
            = endings->addAction(QCoreApplication::translate("Outgoing", choice.caption));
        action->setCheckable(true);
        action->setChecked(choice.ending == m_ending);
        group->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, ending = choice.ending] { SetEnding(ending); });
    }
    QAction *hex = menu->addAction(HexEntryCaption());
    hex->setCheckable(true);
    hex->setChecked(m_hex);
    connect(hex, &QAction::toggled, this, &CommandBox::SetHexEntry);
    menu->popup(event->globalPos());
}
