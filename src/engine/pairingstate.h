// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

// What a module's answers say of its pairing, for the notice at the end of a sequence that
// asked: "+STATE:" (its state), "+ADCN:" (how many modules its pairing list holds) and
// "+MRAD:" (the last one it paired with), the last of each in `heard`. It begins with the
// verdict: "已连接", "已配对，但没有连接" or "没有配对"; empty when `heard` holds none of
// them. A pass over the text.
QString PairingFindings(QStringView heard);

// Why a module answered FAIL to a pairing or a link command (`command` as sent); empty for
// another command or answer.
QString PairingFailure(QStringView command, QStringView answer);
