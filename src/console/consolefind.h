// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class ConsoleLines;
class ConsoleStore;
class ConsoleView;
class QLabel;
class QLineEdit;

// Where `needle` is next found in the lines, ignoring case: the first match that starts at
// or after `from`, or going backward the last one that starts before it; -1 when there is
// none that way. Reads the text in pieces of a megacharacter: nothing grows with the
// session.
qsizetype FindIn(const ConsoleLines &lines, const QString &needle, qsizetype from, bool backward);
// The same in the store's hex form (HexLines); a needle of whole bytes ("0d 0a") is looked for
// among the lines' bytes, without writing their hex.
qsizetype
FindInHex(const ConsoleStore &store, const QString &needle, qsizetype from, bool backward);

// The console's find field, over its bottom edge: Enter or F3 finds the next match after
// the caret, Shift+Enter or Shift+F3 the one before, wrapping at the ends; the match is
// selected and scrolled into view, and "未找到" shows when there is none. Escape closes it
// and gives the keyboard back to the console, the caret at the match.
class FindBar : public QWidget
{
    Q_OBJECT

public:
    explicit FindBar(ConsoleView *view);

    // Shows the field, with the keyboard and its text selected.
    void Open();
    // Finds from the caret; says whether there was a match.
    bool Find(bool backward);
    QString Needle() const;
    // Lays itself over the bottom of the view's text area.
    void Place();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ConsoleView *m_view;
    QLineEdit *m_field;
    QLabel *m_status;
};
