// SPDX-License-Identifier: GPL-3.0-or-later
#include "updateguard.h"

#include "commandengine.h"
#include "optiongroups.h"
#include "panelorigin.h"
#include "settingcheck.h"
#include "update.h"

UpdateGuard::UpdateGuard(const PanelOrigin &origin, CommandEngine &engine, ConfirmBox &confirm)
    : m_origin(origin)
    , m_engine(engine)
    , m_confirm(&confirm)
{ }

void UpdateGuard::StartUpdate()
{
    const auto listing = [this] {
        return tr("将写入的设置：") + QLatin1Char('\n') + Listing().join(QLatin1Char('\n'));
    };
    if (const QStringList problems = Problems(); !problems.isEmpty()) {
        m_engine.StopSequence();
        m_confirm->Refuse(tr("以下设置模块不能接受，改正之后才能写入：") + QLatin1Char('\n')
                              + problems.join(QLatin1Char('\n')),
                          listing());
        return;
    }
    const QStringList causes = Causes();
    if (!causes.isEmpty()) {
        // A query still running would go on filling the panel while the box lists it: the
        // update takes its place in any case.
        m_engine.StopSequence();
        const QString text
            = tr("是否向模块写入以下设置？") + QLatin1Char('\n') + causes.join(QLatin1Char('\n'));
        if (!m_confirm->Confirm(text, listing()))
            return;
    }
    m_engine.StartUpdate();
}

QStringList UpdateGuard::Problems() const
{
    return ValueProblems(m_origin, FormsFor(m_origin.VersionRead()));
}

QStringList UpdateGuard::Causes() const
{
    QStringList causes = m_origin.WhyNot();
    QStringList empty;
    for (int step = 1; step <= UpdateSteps; ++step) {
        if (!SettingValue(step, m_origin).isEmpty())
            continue;
        if (SettingText1Index(step) >= 0)
            empty << SettingName(step, m_origin);
        else
            causes << tr("%1没有选择：将写入 %2。")
                          .arg(SettingName(step, m_origin), QString::number(UnselectedGroupValue));
    }
    if (!empty.isEmpty())
        causes << tr("以下设置为空：%1。").arg(empty.join(tr("、")));
    return causes;
}

QStringList UpdateGuard::Listing() const
{
    QStringList lines;
    for (int step = 1; step <= UpdateSteps; ++step) {
        const QString value = SettingValue(step, m_origin);
        QString line = tr("%1%2", "a caption, and the value after it")
                           .arg(UpdateCaption(step, m_origin), ShownValue(step, value, m_origin));
        const std::optional<QString> answered = m_origin.Answered(step);
        if (answered && WrittenValue(step, *answered) != WrittenValue(step, value))
            line += tr("（模块回答：%1）").arg(ShownValue(step, *answered, m_origin));
        lines << line;
    }
    return lines;
}
