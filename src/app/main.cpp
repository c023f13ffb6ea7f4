#include "form1.h"
#include "termination.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Named before the application exists: the X11 window class (the desktop entry's
    // StartupWMClass) is taken from the name.
    QApplication::setApplicationName(QStringLiteral("Tarvenit"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tarvenit"));
    QApplication::setApplicationVersion(QStringLiteral(TARVENIT_VERSION));
    QApplication app(argc, argv);
    // Matches the window to its menu entry and icon, on Wayland and X11 alike.
    QGuiApplication::setDesktopFileName(QStringLiteral(TARVENIT_APP_ID));
    Form1 window;
    window.show();
    CloseOnTerminationSignals(&window);
    return app.exec();
}
