// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class PanelOrigin;
class SettingsFields;

// A pair of modules: the address of one, as a query read it, is kept while the tool runs;
// another is then bound to it. Binding sets three settings in the panel and leaves the
// rest: the master role, connection mode 0 (connect to the bound address only), and the
// address in the bind box as the module gives it, with colons (the update writes it with
// commas). The operator writes them with the update, as any other edit.
class Pairing
{
public:
    Pairing(SettingsFields &panel, PanelOrigin &origin);

    // Whether a query has read an address to keep, and keeps it.
    bool CanKeep() const;
    void Keep();
    // The address kept, empty while none is.
    const QString &Kept() const { return m_kept; }
    void Bind();

private:
    SettingsFields &m_panel;
    PanelOrigin &m_origin;
    QString m_kept;
};
