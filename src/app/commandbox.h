// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/outgoing.h"

#include <QPlainTextEdit>

class QLabel;
class QMenu;

// The command box Text2, where commands are typed by hand. Enter types a line break (sent
// as CR LF); Ctrl+Enter asks for a send; Ctrl+Up and Ctrl+Down step through the texts sent
// before. Its context menu, Qt's own entries and the tool's: "行尾" (what every send adds)
// and "十六进制发送" (the box read as bytes), shown also under the text. The choices and the
// history are kept between runs in the user's configuration folder, each written when it changes.
class CommandBox : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit CommandBox(QWidget *parent = nullptr);

    // What a send puts on the line now. When hex entry does not read as bytes, the
    // command carries the refusal, and the wrong character is selected.
    OutgoingCommand Command();
    // The box's text went out: it goes to the front of the history.
    void Sent();

    void SetEnding(LineEnding ending);
    LineEnding Ending() const { return m_ending; }
    void SetHexEntry(bool hex);
    const CommandHistory &History() const { return m_history; }

    // The entries of the box's own: "行尾", "十六进制发送", and its keys by name; the box's
    // context menu and the window's menu both show them.
    QList<QAction *> ToolActions() const;
    // What a send adds, as the mark under the text shows it ("行尾：CR LF").
    QString ChoicesText() const;

signals:
    void sendRequested(); // Ctrl+Enter
    void choicesShown(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void Recall(const std::optional<QString> &text);
    void CreateActions();
    // The menu's checks, the mark and the description follow the choices.
    void ShowChoices();

    LineEnding m_ending = LineEnding::None;
    bool m_hex = false;
    CommandHistory m_history;
    bool m_recalling = false; // the text changes by a step through the history
    QMenu *m_endings = nullptr;
    QAction *m_hexAction = nullptr;
    QList<QAction *> m_keyActions;
    QLabel *m_mark = nullptr; // the line ending in force, under the text
};
