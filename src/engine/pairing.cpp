// SPDX-License-Identifier: GPL-3.0-or-later
#include "pairing.h"

#include "panelorigin.h"
#include "update.h"

#include <utility>

namespace {

// The values as the module takes them after "AT+ROLE=" and "AT+CMODE=".
const QString MasterRole = QStringLiteral("1");
const QString BoundAddressOnly = QStringLiteral("0");

} // namespace

QString ComparableAddress(const QString &address)
{
    QString parts = address.toLower();
    parts.remove(QLatin1Char(':'));
    parts.remove(QLatin1Char(','));
    return parts;
}

Pairing::Pairing(SettingsFields &panel, PanelOrigin &origin)
    : m_panel(panel)
    , m_origin(origin)
{ }

bool Pairing::CanKeep() const
{
    return !m_origin.AddressRead().isEmpty();
}

void Pairing::Keep()
{
    if (CanKeep())
        m_kept = m_origin.AddressRead();
}

std::optional<Pairing::Refusal> Pairing::Bind()
{
    if (m_kept.isEmpty())
        return std::nullopt;
    const QString here = m_origin.AddressReadHere();
    if (!here.isEmpty() && ComparableAddress(here) == ComparableAddress(m_kept))
        return Refusal {
            tr("不能绑定到模块自己的地址"),
            tr("%1 是这个端口上的模块自己的地址：请换到另一个模块，读取之后再绑定。").arg(m_kept)
        };
    const std::pair<const char16_t *, QString> settings[]
        = { { u"ROLE", MasterRole }, { u"CMODE", BoundAddressOnly }, { u"BIND", m_kept } };
    for (const auto &[word, value] : settings) {
        const int step = SettingStep(word);
        SetSettingValue(step, value, m_panel);
        m_origin.Edited(step); // the settings changed are the operator's now
    }
    m_origin.Bound(m_kept);
    return std::nullopt;
}
