// SPDX-License-Identifier: GPL-3.0-or-later
#include "settingspanel.h"

#include "settingsbox.h"

#include "common/plaintext.h"
#include "common/twips.h"
#include "common/wholetext.h"
#include "engine/enginestate.h"
#include "engine/settingcheck.h"
#include "engine/update.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QWidget>

#include <array>

namespace {

constexpr int RowHeight = 330; // every label and box, in twips
constexpr int OptionTop = 105; // options, relative to their frame
constexpr int OptionHeight = 225;

// One row of the panel, top to bottom. field is a Text1 index, or -1/-2 for Frame1/Frame2.
struct PanelRow
{
    int label6;
    const char *caption;
    int field;
    int labelLeft, labelTop, labelWidth;
    int fieldLeft, fieldTop, fieldWidth;
};

// The line over the rows, between the buttons and the first row: it fits that gap.
constexpr int SourceLeft = 5145, SourceTop = 645, SourceWidth = 4005, SourceHeight = 195;
constexpr QRgb SourceColour = qRgb(160, 80, 0);

constexpr int Frame1 = -1;
constexpr int Frame2 = -2;

const std::array<PanelRow, 13> PanelRows = { {
    { 2, QT_TRANSLATE_NOOP("SettingsPanel", "设备名称："), 0, 5145, 930, 1065, 6195, 840, 2955 },
    { 0, QT_TRANSLATE_NOOP("SettingsPanel", "软件版本："), 1, 5145, 1350, 1065, 6195, 1260, 2955 },
    { 1, QT_TRANSLATE_NOOP("SettingsPanel", "本机MAC地址："), 2, 5145, 1770, 1170, 6300, 1680,
      2850 },
    { 3, QT_TRANSLATE_NOOP("SettingsPanel", "主从角色："), Frame1, 5145, 2190, 1065, 6090, 2100,
      3165 },
    { 4, QT_TRANSLATE_NOOP("SettingsPanel", "设备类："), 3, 5145, 2610, 1065, 6195, 2520, 2955 },
    { 7, QT_TRANSLATE_NOOP("SettingsPanel", "连接密码："), 4, 5145, 3030, 1065, 6195, 2940, 2955 },
    { 5, QT_TRANSLATE_NOOP("SettingsPanel", "查询访问码："), 5, 5145, 3450, 1170, 6195, 3360,
      2955 },
    { 9, QT_TRANSLATE_NOOP("SettingsPanel", "连接模式："), Frame2, 5145, 3870, 1065, 6195, 3780,
      2955 },
    { 10, QT_TRANSLATE_NOOP("SettingsPanel", "绑定地址："), 7, 5145, 4290, 1065, 6195, 4200, 2955 },
    { 6, QT_TRANSLATE_NOOP("SettingsPanel", "查询访问模式："), 8, 5145, 4710, 1275, 6510, 4620,
      2640 },
    { 12, QT_TRANSLATE_NOOP("SettingsPanel", "当前工作状态："), 9, 5145, 5130, 1485, 6510, 5040,
      2640 },
    { 8, QT_TRANSLATE_NOOP("SettingsPanel", "通讯波特率(数据模式）："), 10, 5145, 5550, 2220, 7245,
      5460, 1905 },
    { 11, QT_TRANSLATE_NOOP("SettingsPanel", "最近使用过的蓝牙认证设备地址："), 11, 5145, 5970,
      2745, 7875, 5880, 1275 },
} };

// The options of both groups; what each stands for lives with the engine's groups.
struct PanelOption
{
    int number;
    int frame; // 0 for Frame1, 1 for Frame2
    const char *caption;
    int left, width;
};

const std::array<PanelOption, 6> PanelOptions = { {
    { 1, 0, QT_TRANSLATE_NOOP("SettingsPanel", "主角色"), 105, 960 },
    { 2, 0, QT_TRANSLATE_NOOP("SettingsPanel", "从角色"), 1050, 855 },
    { 3, 0, QT_TRANSLATE_NOOP("SettingsPanel", "回环角色"), 1995, 1065 },
    // The connection mode: any address (1), only the bound one (0), loopback (2).
    { 4, 1, QT_TRANSLATE_NOOP("SettingsPanel", "任意地址"), 0, 1065 },
    { 5, 1, QT_TRANSLATE_NOOP("SettingsPanel", "指定地址"), 945, 960 },
    { 6, 1, QT_TRANSLATE_NOOP("SettingsPanel", "回环"), 1890, 1065 },
} };

// The caption of the row whose field is `field` (a Text1 index, Frame1 or Frame2).
QString RowCaption(int field)
{
    for (const PanelRow &row : PanelRows) {
        if (row.field == field)
            return QCoreApplication::translate("SettingsPanel", row.caption);
    }
    return QString();
}

constexpr std::array<int, 11> Text1Indices = { 0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11 };

// Tab enters an option group at its selected option (its first when none is) and the arrow
// keys move within it: the group is one stop of the tab order. Qt moves the stop to an
// option only when that option takes the focus, not when the query selects one, so the
// stop follows the selection here. While the focus is inside, Qt's stop stays, so that
// Tab and Backtab leave the group rather than walk through it.
void PlaceTabStop(const QWidget *frame, const QButtonGroup *group)
{
    if (frame->isAncestorOf(QApplication::focusWidget()))
        return;
    const QList<QAbstractButton *> options = group->buttons();
    const QAbstractButton *stop = group->checkedButton() ? group->checkedButton() : options.first();
    for (QAbstractButton *option : options)
        option->setFocusPolicy(option == stop ? Qt::StrongFocus : Qt::ClickFocus);
}

// Whether the box shows the whole of its text; QLineEdit keeps 2 pixels free on each side
// of its text, and the caret takes one more.
bool ShowsWholeText(const QLineEdit *box)
{
    QStyleOptionFrame option;
    option.initFrom(box);
    option.lineWidth = box->hasFrame()
        ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box)
        : 0;
    const QRect room = box->style()
                           ->subElementRect(QStyle::SE_LineEditContents, &option, box)
                           .marginsRemoved(box->textMargins());
    return box->fontMetrics().horizontalAdvance(box->text()) <= room.width() - 2 * 2 - 1;
}

// The tooltip and accessible description of a box or frame: its mark, else, for a box
// that cuts its text, the whole text.
void ShowTip(QWidget *field)
{
    QString tip = field->property(MarkProperty).toString();
    if (tip.isEmpty())
        tip = field->property(RowNoteProperty).toString();
    // A screen reader is told of every change of description: only of real ones.
    if (field->accessibleDescription() != tip)
        field->setAccessibleDescription(tip);
    const auto *box = qobject_cast<QLineEdit *>(field);
    if (tip.isEmpty() && box && !ShowsWholeText(box))
        tip = box->text();
    field->setToolTip(AsPlainText(tip));
}

} // namespace

SettingsPanel::SettingsPanel(QWidget *window)
{
    for (const PanelRow &row : PanelRows) {
        const QString caption = QCoreApplication::translate("SettingsPanel", row.caption);
        auto *label = new QLabel(caption, window);
        label->setObjectName(QStringLiteral("Label6_%1").arg(row.label6));
        label->setGeometry(FromTwips(row.labelLeft, row.labelTop, row.labelWidth, RowHeight));
        FitCaption(label);
        m_label6[row.label6] = label;

        const QRect fieldRect = FromTwips(row.fieldLeft, row.fieldTop, row.fieldWidth, RowHeight);
        if (row.field >= 0) {
            auto *box = new SettingsBox(window);
            box->setObjectName(QStringLiteral("Text1_%1").arg(row.field));
            box->setGeometry(fieldRect);
            box->setAccessibleName(caption);
            label->setBuddy(box);
            m_text1[row.field] = box;
            QObject::connect(box, &QLineEdit::textChanged, box, [box] { ShowTip(box); });
            QObject::connect(box, &SettingsBox::noteShown, box, [this](const QString &note) {
                if (m_noted)
                    m_noted(note);
            });
            // What the update never writes is shown, not edited: an edit there would be lost.
            box->setReadOnly(StepOfText1(row.field) == 0);
            if (const int step = StepOfText1(row.field)) {
                QObject::connect(box, &QLineEdit::textEdited, box, [this, step] {
                    if (m_edited)
                        m_edited(step);
                });
            }
            continue;
        }
        // It makes its options one group.
        const int frame = row.field == Frame1 ? 0 : 1;
        auto *container = new OptionFrame(caption, window);
        container->setObjectName(frame == 0 ? QStringLiteral("Frame1") : QStringLiteral("Frame2"));
        container->setGeometry(fieldRect);
        m_frames[frame] = container;
        m_groups[frame] = new QButtonGroup(container);
        m_groups[frame]->setExclusive(true);
        // Only the operator clicks: the query and the update set options without a click.
        QObject::connect(m_groups[frame], &QButtonGroup::idClicked, container, [this](int id) {
            if (m_edited)
                m_edited(StepOfOption(id));
        });
    }

    m_source = new QLabel(window);
    m_source->setObjectName(QStringLiteral("PanelSource"));
    m_source->setGeometry(FromTwips(SourceLeft, SourceTop, SourceWidth, SourceHeight));
    QPalette palette = m_source->palette();
    palette.setColor(QPalette::WindowText, QColor(SourceColour));
    m_source->setPalette(palette);
    m_source->hide();

    for (const PanelOption &option : PanelOptions) {
        auto *button = new QRadioButton(
            QCoreApplication::translate("SettingsPanel", option.caption), m_frames[option.frame]);
        button->setObjectName(QStringLiteral("Option%1").arg(option.number));
        button->setGeometry(FromTwips(option.left, OptionTop, option.width, OptionHeight));
        m_groups[option.frame]->addButton(button, option.number);
        m_options[option.number] = button;
    }
    // Once all are there: a caption ends before the next option of its row begins.
    for (const auto &[number, button] : m_options)
        FitCaption(button);

    for (int frame : { 0, 1 }) {
        QWidget *container = m_frames[frame];
        QButtonGroup *group = m_groups[frame];
        PlaceTabStop(container, group);
        QObject::connect(group, &QButtonGroup::idToggled, container,
                         [container, group] { PlaceTabStop(container, group); });
        QObject::connect(qApp, &QApplication::focusChanged, container,
                         [container, group](QWidget *old, QWidget *now) {
                             if (container->isAncestorOf(old) && !container->isAncestorOf(now))
                                 PlaceTabStop(container, group);
                         });
    }
}

QString SettingsPanel::Text1(int index) const
{
    const QLineEdit *box = Text1Box(index);
    return box ? box->text() : QString();
}

void SettingsPanel::SetText1(int index, const QString &text)
{
    // Whatever it is given, a box holds no control character.
    if (QLineEdit *box = Text1Box(index))
        box->setText(ControlsReplaced(text));
}

bool SettingsPanel::Option(int number) const
{
    const QRadioButton *button = OptionButton(number);
    return button && button->isChecked();
}

void SettingsPanel::SetOption(int number, bool on)
{
    QRadioButton *button = OptionButton(number);
    if (!button || button->isChecked() == on)
        return;
    // An exclusive group refuses to turn its checked button off; lift that for a moment.
    QButtonGroup *group = button->group();
    group->setExclusive(on);
    button->setChecked(on);
    group->setExclusive(true);
}

QString SettingsPanel::Text1Caption(int index) const
{
    return index >= 0 ? RowCaption(index) : QString();
}

QString SettingsPanel::OptionCaption(int number) const
{
    for (const PanelOption &option : PanelOptions) {
        if (option.number == number)
            return QCoreApplication::translate("SettingsPanel", option.caption);
    }
    return QString();
}

QString SettingsPanel::GroupCaption(int number) const
{
    for (const PanelOption &option : PanelOptions) {
        if (option.number == number)
            return RowCaption(option.frame == 0 ? Frame1 : Frame2);
    }
    return QString();
}

void SettingsPanel::ClearSettingsPanel()
{
    for (int index : Text1Indices)
        SetText1(index, QString());
    for (int number = 1; number <= 6; ++number)
        SetOption(number, false);
}

QLineEdit *SettingsPanel::Text1Box(int index) const
{
    const auto it = m_text1.find(index);
    return it == m_text1.end() ? nullptr : it->second;
}

QLabel *SettingsPanel::Label6(int index) const
{
    const auto it = m_label6.find(index);
    return it == m_label6.end() ? nullptr : it->second;
}

QRadioButton *SettingsPanel::OptionButton(int number) const
{
    const auto it = m_options.find(number);
    return it == m_options.end() ? nullptr : it->second;
}

QWidget *SettingsPanel::Frame(int number) const
{
    return number == 1 || number == 2 ? m_frames[number - 1] : nullptr;
}

QWidget *SettingsPanel::SettingWidget(int step) const
{
    if (const int index = SettingText1Index(step); index >= 0)
        return Text1Box(index);
    const QRadioButton *option = OptionButton(SettingOption(step));
    return option ? option->parentWidget() : nullptr;
}

void SettingsPanel::SetMarks(const std::map<int, QString> &marks)
{
    for (int step = 1; step <= UpdateSteps; ++step) {
        QWidget *field = SettingWidget(step);
        const auto mark = marks.find(step);
        const QString text = mark == marks.end() ? QString() : mark->second;
        if (field->property(MarkProperty).toString() == text)
            continue;
        field->setProperty(MarkProperty, text);
        ShowTip(field);
        field->update();
    }
}

bool SettingsPanel::Marked(int step) const
{
    const QWidget *field = SettingWidget(step);
    return field && !field->property(MarkProperty).toString().isEmpty();
}

void SettingsPanel::ShowFamily(const CommandFamily *family,
                               const QString &absent,
                               const QString &writeOnly)
{
    const auto show = [&](QWidget *field, RowUse use) {
        field->setEnabled(use != RowUse::Absent);
        const QString note
            = use == RowUse::Absent ? absent : (use == RowUse::WriteOnly ? writeOnly : QString());
        if (auto *box = qobject_cast<QLineEdit *>(field))
            box->setPlaceholderText(use == RowUse::WriteOnly ? writeOnly : QString());
        field->setProperty(RowNoteProperty, note);
        ShowTip(field);
    };
    for (int index : Text1Indices) {
        if (StepOfText1(index) == 0)
            show(m_text1.at(index), FamilyRowUse(family, 0, index));
    }
    for (int step = 1; step <= UpdateSteps; ++step)
        show(SettingWidget(step), FamilyRowUse(family, step));
}

void SettingsPanel::SetSource(const QString &source)
{
    SetWholeText(m_source, source);
    m_source->setVisible(!source.isEmpty());
}

void SettingsPanel::SetShift(int shift)
{
    const QPoint by(shift - m_shift, 0);
    if (by.isNull())
        return;
    m_shift = shift;
    QList<QWidget *> widgets = RowWidgets();
    widgets << m_source;
    for (QWidget *widget : widgets)
        widget->move(widget->pos() + by);
}

QList<QWidget *> SettingsPanel::RowWidgets() const
{
    QList<QWidget *> widgets { m_frames[0], m_frames[1] };
    for (const auto &[index, label] : m_label6)
        widgets << label;
    for (const auto &[index, box] : m_text1)
        widgets << box;
    return widgets;
}

QRect SettingsPanel::Area() const
{
    QRect area;
    for (const QWidget *widget : RowWidgets())
        area |= widget->geometry();
    return area;
}

QList<QWidget *> SettingsPanel::TabOrder() const
{
    QList<QWidget *> order;
    for (int index : Text1Indices)
        order << Text1Box(index);
    for (int number = 1; number <= 6; ++number)
        order << OptionButton(number);
    return order;
}
