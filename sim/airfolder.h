// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modulecore.h"

#include <string>

namespace sim {

// The modules in range shared by simulators through a folder: a file a module, named by its
// address, holding its PIN, role and the module it is linked to, a line each. Each simulator
// reads the folder before a command and writes back what the command changed, so a master
// finds the slave another simulator plays, and the slave sees the link the master made.
void ReadAir(const std::string &folder, Air &air);
void WriteAir(const std::string &folder, const Air &air, const Air &before);

} // namespace sim
