// SPDX-License-Identifier: GPL-3.0-or-later
// Kept apart from <termios.h>: the kernel's own terminal structures below clash with it.
#include "linerate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace sim {

long LineRate(int fd)
{
    // The kernel keeps the rate as a number beside the Bxxx code, which cannot name
    // rates such as 14400 or 256000.
    termios2 settings {};
    if (::ioctl(fd, TCGETS2, &settings) != 0)
        return 0;
    return long(settings.c_ospeed);
}

} // namespace sim
