// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGroupBox>
#include <QLineEdit>

// The panel's controls as the operator and a screen reader meet them.

// A setting's mark (what an update wrote and the module answered otherwise) is held in this
// property of its box or its group's frame, and drawn over it in the warning colour.
inline const char *const MarkProperty = "settingMark";
// What a row is to the module's command family (one it lacks, one it can only write).
inline const char *const RowNoteProperty = "rowNote";

// A setting's box. Tab does not select its text: the selection's and the caret's events
// would reach a screen reader before the focus's, and it would take the box as focused
// from them, silently, and then say nothing of the focus (and on leaving, "unselected").
// Screen readers read it through an accessible interface of its own, which gives the text
// its whole length in every attribute run (Qt's own gives runs of no length, and a screen
// reader that builds the spoken line from them drops the last character).
//
// A box never holds a control character: a line break in a value would reach the module as a
// second command. A paste loses the one line end a spreadsheet cell carries; any other
// control character refuses the paste (or drop) whole, with a short note beside the box.
class SettingsBox : public QLineEdit
{
    Q_OBJECT

public:
    explicit SettingsBox(QWidget *parent);

    // The note beside the box: shown as a tooltip there, and told with noteShown.
    void ShowNote(const QString &note);
    // The text an edit of a screen reader's gives, with the caret after what it put in, if
    // the box takes it.
    bool TakeEdit(const QString &text, int caret);

signals:
    void noteShown(const QString &note);

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
};

// An option group's container: borderless, its caption not shown (the row's label beside it
// is), only its mark drawn. A group box all the same, titled with that caption: screen
// readers then name each option's group, which the options' own captions do not tell apart
// (in English both groups have a "Loop").
class OptionFrame : public QGroupBox
{
    Q_OBJECT

public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent *event) override;
};
