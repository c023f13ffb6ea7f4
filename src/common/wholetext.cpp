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
        return radio->style()
            ->subElementRect(QStyle::SE_RadioButtonContents, &option, radio)
            .width();
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

} // namespace

void FitCaption(QWidget *control)
{
    const QString text = Caption(control);
    QFont font = control->parentWidget() ? control->parentWidget()->font() : control->font();
    const double room = CaptionRoom(control);
    for (double size = font.pointSizeF();
         size > MinimumPointSize && QFontMetricsF(font).horizontalAdvance(text) > room;) {
        size = std::max(MinimumPointSize, size - 0.5);
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
