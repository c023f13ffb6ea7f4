// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sim {

// The baud rate set on the terminal `fd` (by whoever set it last: on a pseudo-terminal,
// the tool on its end), rates outside the standard table included; 0 when it cannot be
// read.
long LineRate(int fd);

} // namespace sim
