// SPDX-License-Identifier: GPL-3.0-or-later
// The console's scrolling: the view follows the feed, with the newest text at the bottom,
// until the operator scrolls away; the bar's range keeps up with the text.
#include "consoleview.h"

#include <QDir>
#include <QHelpEvent>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QToolTip>

#include <climits>

ConsoleGeometry::Top ConsoleView::TopOfView() const
{
    if (!m_follow)
        return { verticalScrollBar()->value(), m_topY };
    return m_geometry.Following(viewport()->height());
}

void ConsoleView::UpdateScrollBar(bool now)
{
    m_barStale = false;
    const qsizetype fit = m_geometry.FitAtBottom(viewport()->height());
    const int maximum = int(std::min<qsizetype>(Shown().SegmentCount() - fit, INT_MAX));
    QScrollBar *bar = verticalScrollBar();
    if (!now && m_follow && !bar->isSliderDown()
        && SliderRect(maximum, maximum) == SliderRect(bar->maximum(), bar->value())) {
        // Following a feed deep into a long session, the slider stays where it is drawn:
        // the bar takes its new range when the operator next reaches for it.
        m_barStale = true;
        return;
    }
    m_settingScroll = true;
    bar->setRange(0, maximum);
    bar->setPageStep(int(fit));
    if (m_follow)
        bar->setValue(maximum);
    m_settingScroll = false;
}

QRect ConsoleView::SliderRect(int maximum, int value) const
{
    const QScrollBar *bar = verticalScrollBar();
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_All;
    option.orientation = Qt::Vertical;
    option.minimum = 0;
    option.maximum = maximum;
    option.sliderPosition = value;
    option.sliderValue = value;
    option.singleStep = 1;
    option.pageStep = bar->pageStep();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider,
                                        bar);
}

void ConsoleView::BarUpToDate()
{
    if (m_barStale)
        UpdateScrollBar(true);
}

bool ConsoleView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == verticalScrollBar()
        && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::Wheel
            || event->type() == QEvent::KeyPress || event->type() == QEvent::ContextMenu))
        BarUpToDate();
    return QAbstractScrollArea::eventFilter(watched, event);
}

bool ConsoleView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::Wheel)
        BarUpToDate();
    if (event->type() == QEvent::ToolTip) { // the log's mark names the file
        const auto *help = static_cast<QHelpEvent *>(event);
        if (LogMarkRect().contains(help->pos())) {
            QToolTip::showText(help->globalPos(),
                               tr("正在记录到 %1").arg(QDir::toNativeSeparators(m_log.Path())),
                               viewport(), LogMarkRect());
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void ConsoleView::scrollContentsBy(int, int)
{
    if (m_settingScroll)
        return; // whoever moves the bar repaints what changes
    m_topY = 0;
    // Held, the view never follows the feed, even scrolled to the end.
    m_follow = !m_held && verticalScrollBar()->value() == verticalScrollBar()->maximum();
    viewport()->update();
}

void ConsoleView::EnsureVisible(qsizetype pos)
{
    BarUpToDate();
    const QRect rect = PositionRect(pos);
    if (!rect.isNull() && rect.top() >= 0 && rect.bottom() < viewport()->height())
        return;
    const qsizetype segment = Shown().SegmentOf(pos);
    QScrollBar *bar = verticalScrollBar();
    m_settingScroll = true;
    m_topY = 0;
    if (segment >= bar->maximum() && !m_held) {
        m_follow = true;
        bar->setValue(bar->maximum());
    } else if (segment >= bar->maximum()) {
        bar->setValue(bar->maximum());
    } else if (segment <= TopOfView().segment) {
        m_follow = false;
        bar->setValue(int(segment));
    } else {
        // The segment at the bottom of the view.
        m_follow = false;
        bar->setValue(int(m_geometry.FirstWithAtBottom(segment, viewport()->height())));
    }
    m_settingScroll = false;
    viewport()->update();
}

QRect ConsoleView::PositionRect(qsizetype pos) const
{
    return m_geometry.PositionRect(TopOfView(), viewport()->height(), pos);
}

qsizetype ConsoleView::PositionAt(QPoint point) const
{
    return m_geometry.PositionAt(TopOfView(), viewport()->height(), point);
}
