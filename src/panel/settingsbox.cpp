// SPDX-License-Identifier: GPL-3.0-or-later
#include "settingsbox.h"

#include "engine/settingcheck.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QPainter>
#include <QToolTip>
#include <QValidator>

namespace {

// A mark's frame: in the warning colour, inside the control's own edge, so that the
// layout stays as it is.
constexpr QRgb MarkColour = qRgb(230, 126, 0);
constexpr int MarkWidth = 2;

void PaintMark(QWidget *field)
{
    if (field->property(MarkProperty).toString().isEmpty())
        return;
    QPainter painter(field);
    painter.setPen(QPen(QColor(MarkColour), MarkWidth));
    constexpr qreal Half = MarkWidth / 2.0;
    painter.drawRect(QRectF(field->rect()).adjusted(Half, Half, -Half, -Half));
}

// What a screen reader reads of a settings box: what Qt's own interface of a line edit
// gives, but one attribute run over the whole text.
class SettingsBoxAccessible : public QAccessibleWidget,
                              public QAccessibleTextInterface,
                              public QAccessibleEditableTextInterface
{
public:
    explicit SettingsBoxAccessible(QWidget *box)
        : QAccessibleWidget(box, QAccessible::EditableText)
    { }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        if (type == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = !Box()->isReadOnly();
        state.readOnly = Box()->isReadOnly();
        state.selectableText = true;
        return state;
    }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? Box()->text() : QAccessibleWidget::text(t);
    }

    void selection(int index, int *start, int *end) const override
    {
        const bool any = index == 0 && Box()->hasSelectedText();
        *start = any ? Box()->selectionStart() : 0;
        *end = any ? Box()->selectionEnd() : 0;
    }
    int selectionCount() const override { return Box()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { Box()->deselect(); }
    void setSelection(int, int start, int end) override { Box()->setSelection(start, end - start); }
    int cursorPosition() const override { return Box()->cursorPosition(); }
    void setCursorPosition(int position) override { Box()->setCursorPosition(position); }
    QString text(int start, int end) const override
    {
        return start > end ? QString() : Box()->text().mid(start, end - start);
    }
    int characterCount() const override { return int(Box()->text().size()); }
    QRect characterRect(int offset) const override
    {
        // Where the box draws the character while its text starts at the left (a long text
        // scrolled to its end is drawn further left).
        const QLineEdit *box = Box();
        if (offset < 0 || offset >= characterCount())
            return {};
        constexpr int TextMargin = 2; // what QLineEdit keeps free beside its text
        const QFontMetrics metrics = box->fontMetrics();
        const QRect contents = box->contentsRect().marginsRemoved(box->textMargins());
        const int left
            = contents.left() + TextMargin + metrics.horizontalAdvance(box->text().left(offset));
        const QRect rect(left, contents.top(), metrics.horizontalAdvance(box->text().at(offset)),
                         contents.height());
        return QRect(box->mapToGlobal(rect.topLeft()), rect.size());
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        return Box()->cursorPositionAt(Box()->mapFromGlobal(point));
    }
    void scrollToSubstring(int start, int end) override
    {
        Box()->setCursorPosition(end);
        Box()->setCursorPosition(start);
    }
    QString attributes(int offset, int *start, int *end) const override
    {
        const bool inside = offset >= 0 && offset <= characterCount();
        *start = inside ? 0 : -1;
        *end = inside ? characterCount() : -1;
        return QString();
    }
    QString textBeforeOffset(int offset,
                             QAccessible::TextBoundaryType type,
                             int *start,
                             int *end) const override
    {
        return QAccessibleTextInterface::textBeforeOffset(AtCaret(offset), type, start, end);
    }
    QString textAfterOffset(int offset,
                            QAccessible::TextBoundaryType type,
                            int *start,
                            int *end) const override
    {
        return QAccessibleTextInterface::textAfterOffset(AtCaret(offset), type, start, end);
    }
    QString textAtOffset(int offset,
                         QAccessible::TextBoundaryType type,
                         int *start,
                         int *end) const override
    {
        return QAccessibleTextInterface::textAtOffset(AtCaret(offset), type, start, end);
    }

    void deleteText(int start, int end) override
    {
        Box()->TakeEdit(Box()->text().remove(start, end - start), start);
    }
    void insertText(int offset, const QString &text) override
    {
        Box()->TakeEdit(Box()->text().insert(offset, text), offset + int(text.size()));
    }
    void replaceText(int start, int end, const QString &text) override
    {
        Box()->TakeEdit(Box()->text().replace(start, end - start, text), start + int(text.size()));
    }

private:
    SettingsBox *Box() const { return static_cast<SettingsBox *>(widget()); }
    // By convention -2 stands for the caret.
    int AtCaret(int offset) const { return offset == -2 ? cursorPosition() : offset; }
};

QString ControlNote()
{
    return QCoreApplication::translate("SettingsBox", "这里不能有换行或其他控制字符，没有填入。");
}

// What the operator pastes, drops or types lands before the caret: one line end there is
// what a spreadsheet cell carries, and goes; anything else with a control character is
// refused, and the box stays as it was.
class NoControlCharacters : public QValidator
{
public:
    explicit NoControlCharacters(SettingsBox *box)
        : QValidator(box)
        , m_box(box)
    { }

    State validate(QString &input, int &pos) const override
    {
        if (!HoldsControlCharacter(input))
            return Acceptable;
        const std::optional<QString> before = PastedValue(input.first(pos));
        const QStringView after = QStringView(input).sliced(pos);
        if (before && !HoldsControlCharacter(after)) {
            input = *before + after.toString();
            pos = int(before->size());
            return Acceptable;
        }
        m_box->ShowNote(ControlNote());
        return Invalid;
    }

private:
    SettingsBox *m_box;
};

QAccessibleInterface *SettingsBoxFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("SettingsBox") && object && object->isWidgetType())
        return new SettingsBoxAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

SettingsBox::SettingsBox(QWidget *parent)
    : QLineEdit(parent)
{
    static const bool installed = (QAccessible::installFactory(SettingsBoxFactory), true);
    Q_UNUSED(installed);
    setValidator(new NoControlCharacters(this));
}

void SettingsBox::ShowNote(const QString &note)
{
    QToolTip::showText(mapToGlobal(QPoint(0, height())), note, this);
    emit noteShown(note);
}

bool SettingsBox::TakeEdit(const QString &text, int caret)
{
    if (isReadOnly())
        return false;
    QString edited = text;
    if (validator()->validate(edited, caret) == QValidator::Invalid)
        return false;
    setText(edited);
    setCursorPosition(caret);
    return true;
}

void SettingsBox::paintEvent(QPaintEvent *event)
{
    QLineEdit::paintEvent(event);
    PaintMark(this);
}

void SettingsBox::focusInEvent(QFocusEvent *event)
{
    const bool byKey
        = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    QFocusEvent focus(event->type(), byKey ? Qt::OtherFocusReason : event->reason());
    QLineEdit::focusInEvent(&focus);
}

void OptionFrame::paintEvent(QPaintEvent *)
{
    PaintMark(this);
}
