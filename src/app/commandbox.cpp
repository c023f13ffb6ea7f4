// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandbox.h"

#include "preferences.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLockFile>
#include <QMenu>
#include <QSettings>
#include <QTextCursor>

namespace {

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
    CreateActions();
    ShowChoices();
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
    // Another copy of the tool may have written its texts since this one read them: they
    // are merged in, not overwritten, one copy at a time.
    Preferences preferences;
    QLockFile lock(preferences.fileName() + QLatin1String(".history-lock"));
    lock.tryLock(1000); // a copy that hangs holding it costs a text, not the window
    preferences.sync();
    m_history.Merge(preferences.value(HistoryKey).toStringList());
    preferences.setValue(HistoryKey, m_history.Texts());
    preferences.sync();
}

void CommandBox::SetEnding(LineEnding ending)
{
    m_ending = ending;
    for (const LineEndingChoice &choice : LineEndingChoices) {
        if (choice.ending == ending)
            Preferences().setValue(EndingKey, QString::fromLatin1(choice.key));
    }
    ShowChoices();
}

void CommandBox::SetHexEntry(bool hex)
{
    m_hex = hex;
    Preferences().setValue(HexKey, hex);
    ShowChoices();
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

void CommandBox::CreateActions()
{
    m_endings = new QMenu(LineEndingsCaption(), this);
    auto *group = new QActionGroup(m_endings);
    for (const LineEndingChoice &choice : LineEndingChoices) {
        QAction *action
            = m_endings->addAction(QCoreApplication::translate("Outgoing", choice.caption));
        action->setCheckable(true);
        action->setData(int(choice.ending));
        group->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, ending = choice.ending] { SetEnding(ending); });
    }
    m_hexAction = new QAction(HexEntryCaption(), this);
    m_hexAction->setCheckable(true);
    connect(m_hexAction, &QAction::toggled, this, &CommandBox::SetHexEntry);
    // The box's own keys, named where the operator finds them.
    const auto named = [this](const QString &caption, const QKeySequence &keys, auto handler) {
        auto *action = new QAction(
            caption + QLatin1Char('\t') + keys.toString(QKeySequence::NativeText), this);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    m_keyActions = {
        named(tr("发送命令"), QKeySequence(Qt::ControlModifier | Qt::Key_Return),
              [this] { emit sendRequested(); }),
        named(tr("上一条命令"), QKeySequence(Qt::ControlModifier | Qt::Key_Up),
              [this] { Recall(m_history.Older(toPlainText())); }),
        named(tr("下一条命令"), QKeySequence(Qt::ControlModifier | Qt::Key_Down),
              [this] { Recall(m_history.Newer()); }),
    };
    m_mark = new QLabel(this);
    m_mark->setObjectName(QStringLiteral("LineEndingMark"));
    QPalette palette = m_mark->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Disabled, QPalette::WindowText));
    m_mark->setPalette(palette);
    m_mark->setAttribute(Qt::WA_TransparentForMouseEvents);
    setViewportMargins(0, 0, 0, m_mark->fontMetrics().height());
}

QList<QAction *> CommandBox::ToolActions() const
{
    return m_keyActions + QList<QAction *> { m_endings->menuAction(), m_hexAction };
}

void CommandBox::ShowChoices()
{
    // Hex entry adds nothing: the choice waits until the box is text again.
    m_endings->setEnabled(!m_hex);
    for (QAction *action : m_endings->actions())
        action->setChecked(action->data().toInt() == int(m_ending));
    const QSignalBlocker quiet(m_hexAction);
    m_hexAction->setChecked(m_hex);
    QString caption;
    for (const LineEndingChoice &choice : LineEndingChoices) {
        if (choice.ending == m_ending)
            caption = QCoreApplication::translate("Outgoing", choice.caption);
    }
    const QString shown = m_hex ? HexEntryCaption() : tr("行尾：%1").arg(caption);
    m_mark->setText(shown);
    setAccessibleDescription(shown);
    emit choicesShown(shown);
}

QString CommandBox::ChoicesText() const
{
    return m_mark->text();
}

void CommandBox::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    // Under the text, inside the frame, left of the scroll bar.
    const QRect text = viewport()->geometry();
    m_mark->setGeometry(text.left() + 2, text.bottom() + 1, text.width() - 2,
                        m_mark->fontMetrics().height());
}

void CommandBox::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    menu->addActions(ToolActions());
    menu->popup(event->globalPos());
}
