#include "form1.h"
#include "termination.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvenit"));
    Form1 window;
    window.show();
    CloseOnTerminationSignals(&window);
    return app.exec();
}
