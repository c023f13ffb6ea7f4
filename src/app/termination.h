// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

// When the process is asked to end (SIGTERM, SIGINT), closes the window as the operator
// would, so the program ends normally and the port is closed with its terminal settings
// restored. The signal handler only writes a byte to a socket; the window thread reads
// it and does the rest.
void CloseOnTerminationSignals(QWidget *window);
