// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/families/families.h"
#include "engine/seams.h"

#include <QList>
#include <QRect>

#include <functional>
#include <map>

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

// The settings panel: thirteen captioned rows right of the console. Eleven rows are
// Text1 boxes (no index 6); the role and connection-mode rows are option groups.
// Its controls are children of the window and placed in window coordinates.
//
// A box whose text is wider than it shows the whole text in its tooltip. A setting can
// be marked (the module answered otherwise than an update wrote): a frame in the warning
// colour around its box or group, and the mark's text as tooltip and accessible
// description. The boxes of what the update never writes (the version, the own address, the
// state, the last address) are read-only.
class SettingsPanel : public SettingsFields
{
public:
    explicit SettingsPanel(QWidget *window);

    QString Text1(int index) const override;
    void SetText1(int index, const QString &text) override;
    bool Option(int number) const override;
    void SetOption(int number, bool on) override;
    QString Text1Caption(int index) const override;
    QString GroupCaption(int number) const override;
    QString OptionCaption(int number) const override;

    // "清除表格数据": empties every box and leaves both groups with no selection.
    void ClearSettingsPanel();

    QLineEdit *Text1Box(int index) const;
    QLabel *Label6(int index) const;
    QRadioButton *OptionButton(int number) const;
    QWidget *Frame(int number) const; // Frame1 (role) or Frame2 (connection mode)

    // The box, or the group's frame, of the setting that update step `step` writes.
    QWidget *SettingWidget(int step) const;
    // Marks exactly these settings, by update step, each with its text.
    void SetMarks(const std::map<int, QString> &marks);
    bool Marked(int step) const;
    // Runs with the update step of a setting the operator has just changed by hand.
    void SetEditedHandler(std::function<void(int step)> edited) { m_edited = std::move(edited); }
    // Runs with the note a box shows beside it (a paste it refused), for a screen reader.
    void SetNoteHandler(std::function<void(const QString &note)> noted)
    {
        m_noted = std::move(noted);
    }
    // The line over the rows that says whose module the values came from, when it is not
    // the one on the open port ("来自端口 1 的模块"); empty hides it.
    void SetSource(const QString &source);
    QLabel *SourceLabel() const { return m_source; }
    // Shows each row as the module's command family has it (FamilyRowUse): one it lacks
    // disabled, `absent` its tooltip and accessible description; one it can only write
    // with `writeOnly` as its placeholder and description. Null: every row as ever.
    void ShowFamily(const CommandFamily *family, const QString &absent, const QString &writeOnly);
    // Moves the rows `shift` pixels right of their design places (the window is wider).
    void SetShift(int shift);
    // The rectangle the rows take in the window.
    QRect Area() const;

    // Text1(0)-(5), (7)-(11), then Option1-Option6: the panel's part of the focus chain.
    // Tab stops at one option of each group, the selected one (the first when none is).
    QList<QWidget *> TabOrder() const;

private:
    // The labels, boxes and frames of the rows.
    QList<QWidget *> RowWidgets() const;

    std::map<int, QLineEdit *> m_text1;
    std::map<int, QLabel *> m_label6;
    std::map<int, QRadioButton *> m_options;
    QWidget *m_frames[2] = {};
    QLabel *m_source = nullptr;
    int m_shift = 0;
    QButtonGroup *m_groups[2] = {};
    std::function<void(int)> m_edited;
    std::function<void(const QString &)> m_noted;
};
