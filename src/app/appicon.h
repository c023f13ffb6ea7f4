#pragma once

#include <QIcon>

// The 48×48 application icon, drawn at run time.
QIcon AppIcon();
