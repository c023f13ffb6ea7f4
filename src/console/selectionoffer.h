// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMimeData>
#include <QPointer>

class ConsoleView;

// The console's selection offered as the X11 primary selection (middle-click paste). Its
// text is made only when a program asks for it, so that selecting a day of traffic costs
// nothing until then; once the console is cleared it has none.
class SelectionOffer : public QMimeData
{
public:
    explicit SelectionOffer(const ConsoleView *view);
    QStringList formats() const override;
    bool hasFormat(const QString &mime) const override;

protected:
    QVariant retrieveData(const QString &mime, QMetaType type) const override;

private:
    QPointer<const ConsoleView> m_view;
    qsizetype m_from;
    qsizetype m_to;
    quint64 m_clears;
};
