// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QString>

#include <optional>

class PanelOrigin;
class SettingsFields;

// An address as one text to compare, whatever its case and separators: "98D3,31,FD5E6F"
// is "98d3:31:fd5e6f", both "98d331fd5e6f".
QString ComparableAddress(const QString &address);

// A pair of modules: the address of one, as a query read it, is kept while the tool runs;
// another is then bound to it. Binding sets three settings in the panel and leaves the
// rest: the master role, connection mode 0 (connect to the bound address only), and the
// address in the bind box as the module gives it, with colons (the update writes it with
// commas). The operator writes them with the update, as any other edit. A module is
// never bound to its own address.
class Pairing
{
    Q_DECLARE_TR_FUNCTIONS(Pairing)

public:
    Pairing(SettingsFields &panel, PanelOrigin &origin);

    // Whether a query has read an address to keep, and keeps it.
    bool CanKeep() const;
    void Keep();
    // The address kept, empty while none is.
    const QString &Kept() const { return m_kept; }
    // Why a bind was refused: the warning's text and its details.
    struct Refusal
    {
        QString text;
        QString details;
    };
    // Sets the three settings; or, when the kept address is the one a query read on this
    // port (whatever its case and separators), leaves the panel as it is and says why.
    std::optional<Refusal> Bind();

private:
    SettingsFields &m_panel;
    PanelOrigin &m_origin;
    QString m_kept;
};
