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

void Pairing::Bind()
{
    if (m_kept.isEmpty())
        return;
    const std::pair<const char16_t *, QString> settings[]
        = { { u"ROLE", MasterRole }, { u"CMODE", BoundAddressOnly }, { u"BIND", m_kept } };
    for (const auto &[word, value] : settings) {
        const int step = SettingStep(word);
        SetSettingValue(step, value, m_panel);
        m_origin.Edited(step); // the settings changed are the operator's now
    }
    m_origin.Bound(m_kept);
}
