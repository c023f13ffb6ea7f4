// SPDX-License-Identifier: GPL-3.0-or-later
#include "wholetext.h"

#include <QAbstractButton>
#include <QFontMetricsF>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

namespace {

constexpr int CaptionGap = 6; // pixels between a caption and the control after it

QString Caption(const QWidget *control)
{
    if (const auto *label = qobject_cast<const QLabel *>(control))
        return label->text();
    if (const auto *button = qobject_cast<const QAbstractButton *>(control))
        return button->text();
    return QString();
}

// The width a control has for its caption's text.
int CaptionRoom(const QWidget *control)
{
    if (const auto *label = qobject_cast<const QLabel *>(control))
        return label->contentsRect().width() - 2 * label->margin();
    if (const auto *radio = qobject_cast<const QRadioButton *>(control)) {
        QStyleOptionButton option;
        option.initFrom(radio);
        const QRect contents
            = radio->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, radio);
        // Options of a row may reach under the next one: the caption ends before it begins.
        int room = contents.width();
        const QWidget *row = radio->parentWidget();
        for (const QWidget *next :
             row ? row->findChildren<QWidget *>(Qt::FindDirectChildrenOnly) : QList<QWidget *>()) {
            const bool sameRow
                = next->y() < radio->geometry().bottom() && radio->y() < next->geometry().bottom();
            if (sameRow && next->x() > radio->x())
                room = std::min(room, next->x() - radio->x() - contents.x() - CaptionGap);
        }
        return room;
    }
    if (const auto *button = qobject_cast<const QPushButton *>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
        return button->style()
                   ->subElementRect(QStyle::SE_PushButtonContents, &option, button)
                   .width()
            - margin;
    }
    return control->width();
}

// The width the caption takes in `font`: where it begins at the left, only what it inks (the
// right half of a full-width colon is blank); centred, its whole advance.
double CaptionWidth(const QWidget *control, const QString &text, const QFont &font)
{
    const QFontMetricsF metrics(font);
    const auto *label = qobject_cast<const QLabel *>(control);
    const bool fromLeft = qobject_cast<const QRadioButton *>(control)
        || (label && (label->alignment() & Qt::AlignHorizontal_Mask) == Qt::AlignLeft);
    // A pixel more for the ink's smoothed edge.
    return fromLeft ? metrics.tightBoundingRect(text).right() + 1 : metrics.horizontalAdvance(text);
}

} // namespace

void FitCaption(QWidget *control)
{
    const QString text = Caption(control);
    const QFont base = control->parentWidget() ? control->parentWidget()->font() : control->font();
    const double room = CaptionRoom(control);
    QFont font = base;
    const auto fits = [&] { return CaptionWidth(control, text, font) <= room; };
    // A caption a little too wide is first set closer (down to 95 % of its letters' advance),
    // so that it keeps its neighbours' size; only one still too wide is set smaller, and
    // closer again where that is enough.
    for (double size = base.pointSizeF(); !fits();) {
        for (int spacing = 99; spacing >= 95 && !fits(); --spacing)
            font.setLetterSpacing(QFont::PercentageSpacing, spacing);
        if (fits() || size <= MinimumPointSize)
            break;
        size = std::max(MinimumPointSize, size - 0.5);
        font = base;
        font.setPointSizeF(size);
    }
    if (font != control->font())
        control->setFont(font);
}

void SetWholeText(QLabel *label, const QString &text)
{
    if (text == label->text())
        return;
    label->setText(text);
    // Measuring text is costly (shaping, font fallback for the Chinese captions), and the
    // status line changes its numbers all the time: digits share one width in the fonts of
    // a desktop, so a text whose digits alone changed keeps the size found for it before.
    QString shape = text;
    for (QChar &c : shape) {
        if (c.isDigit())
            c = QLatin1Char('0');
    }
    static const char *const FittedShape = "wholeTextShape";
    if (label->property(FittedShape).toString() == shape)
        return;
    label->setProperty(FittedShape, shape);
    FitCaption(label);
}
