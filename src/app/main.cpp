// SPDX-License-Identifier: GPL-3.0-or-later
#include "form1.h"
#include "language.h"
#include "termination.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>

#include <cstdio>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// Qt's own options, which QApplication and its platform plugin take out of the arguments
// when it starts. They are accepted here, with their values, so that they reach Qt.
constexpr char QtOptionsWithValue[] = "platform platformpluginpath platformtheme plugin "
                                      "qwindowgeometry geometry qwindowicon icon qwindowtitle "
                                      "title session style stylesheet display name visual "
                                      "qmljsdebugger";
constexpr char QtFlags[] = "reverse widgetcount testability dograb nograb";

constexpr int StartWindow = -1;

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
#define TARVENIT_NEEDS_DISPLAY // an X11 or Wayland display

// Tells, in one line, that the window needs a display and how to give it one.
void SayNoDisplay(const char *program, const QString &reason)
{
    const QString line = QCoreApplication::translate(
                             "CommandLine",
                             "%1: cannot open its window: %2. It needs a graphical session: start "
                             "it on the desktop, or over SSH with X forwarding (ssh -X).")
                             .arg(QString::fromLocal8Bit(program), reason);
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
}

const char *ProgramName = "tarvenit";
QtMessageHandler QtHandler = nullptr;

// In force only while the application object is made: a fatal message there is Qt's
// platform giving up on the display that was named (its warnings above say which).
void StartUpMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtFatalMsg) {
        QtHandler(type, context, message);
        return;
    }
    SayNoDisplay(ProgramName,
                 QCoreApplication::translate("CommandLine", "the display could not be reached"));
    std::_Exit(1); // as Qt's abort would, without running anything of a half-made application
}
#endif

// The tool's own options and Qt's. Their descriptions are translated by whatever
// translation is installed when it is made.
struct CommandLine
{
    QCommandLineParser parser;
    QCommandLineOption help { { QStringLiteral("h"), QStringLiteral("help") },
                              QCoreApplication::translate("CommandLine",
                                                          "Print this help and exit.") };
    QCommandLineOption version { { QStringLiteral("v"), QStringLiteral("version") },
                                 QCoreApplication::translate("CommandLine",
                                                             "Print the version and exit.") };
    QCommandLineOption language {
        QStringLiteral("lang"),
        QCoreApplication::translate(
            "CommandLine",
            "Speak LANGUAGE in the window: zh (Chinese) or en (English).\n"
            "Without it, TARVENIT_LANG chooses, else the system's language."),
        QStringLiteral("LANGUAGE")
    };

    CommandLine()
    {
        // Qt's options are single-dash words (-platform); -h and -v still work.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.setApplicationDescription(QCoreApplication::translate(
            "CommandLine",
            "Bench tool for serial Bluetooth modules that speak AT commands.\n"
            "Without options it opens its window: find the module's serial port, read and\n"
            "write its settings, send commands by hand and watch the traffic. The window\n"
            "speaks Chinese or English."));
        parser.addOption(help);
        parser.addOption(version);
        parser.addOption(language);
        const auto addQtOptions = [&](const char *names, const QString &valueName) {
            for (const QString &name : QString::fromLatin1(names).split(QLatin1Char(' '))) {
                QCommandLineOption option(name, QString(), valueName);
                option.setFlags(QCommandLineOption::HiddenFromHelp);
                parser.addOption(option);
            }
        };
        addQtOptions(QtOptionsWithValue, QStringLiteral("value"));
        addQtOptions(QtFlags, QString());
    }
};

// Reads the command line before any application object exists, so that --help, --version
// and a wrong option are answered without a display. Returns the exit status, or
// StartWindow with the language the window is to speak.
int ReadCommandLine(int &argc, char *argv[], QString &language)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    CommandLine line;
    QCommandLineParser &parser = line.parser;
    const bool parsed = parser.parse(arguments);
    const QStringList extra = parser.positionalArguments();
    QString reason;
    if (!parsed) {
        reason = parser.errorText();
        // The parser names an unknown option without its dashes; quote it as typed.
        if (!parser.unknownOptionNames().isEmpty()) {
            const QString name = parser.unknownOptionNames().constFirst();
            for (const QString &argument : arguments) {
                const QString typed = argument.section(QLatin1Char('='), 0, 0);
                if (typed == QLatin1Char('-') + name || typed == QLatin1String("--") + name) {
                    reason = QCoreApplication::translate("CommandLine", "Unknown option '%1'.")
                                 .arg(typed);
                    break;
                }
            }
        }
    } else if (!extra.isEmpty()) {
        reason = QCoreApplication::translate("CommandLine", "Unexpected argument '%1'.")
                     .arg(extra.constFirst());
    }
    const QString asked = parser.isSet(line.language) ? parser.value(line.language)
                                                      : qEnvironmentVariable("TARVENIT_LANG");
    language = ChooseLanguage(asked, QLocale::system().uiLanguages(), AvailableLanguages());
    if (reason.isEmpty() && language.isEmpty()) {
        reason = QCoreApplication::translate("CommandLine", "Unknown language '%1' (choose %2).")
                     .arg(asked, AvailableLanguages().join(QLatin1String(" or ")));
    }
    if (!reason.isEmpty()) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", argv[0],
                     reason.toLocal8Bit().constData(), argv[0]);
        return 2;
    }
    if (parser.isSet(line.help)) {
        QCoreApplication named(argc, argv); // names the program in the usage line
        // The command line has no Chinese of its own: Qt's part of the help stays English
        // beside it.
        UseLanguage(language, false);
        CommandLine translated;
        translated.parser.parse(arguments);
        const QString text
            = translated.parser.helpText()
            + QCoreApplication::translate(
                  "CommandLine",
                  "\nQt's own options, such as -platform NAME, -display DISPLAY and -style STYLE,\n"
                  "are passed on to Qt. The ports and TARVENIT_PORTS are described in "
                  "tarvenit(1).\n");
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parser.isSet(line.version)) {
        std::printf("tarvenit %s\n", TARVENIT_VERSION);
        return 0;
    }
#ifdef TARVENIT_NEEDS_DISPLAY
    // With neither a display nor a platform named, Qt would only abort.
    const bool named = parser.isSet(QStringLiteral("platform"))
        || parser.isSet(QStringLiteral("display"))
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")
        || !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (!named) {
        SayNoDisplay(argv[0],
                     QCoreApplication::translate("CommandLine", "no display (DISPLAY is not set)"));
        return 1;
    }
#endif
    return StartWindow;
}

} // namespace

int main(int argc, char *argv[])
{
    QString language;
    if (const int status = ReadCommandLine(argc, argv, language); status != StartWindow)
        return status;
#ifdef __GLIBC__
    // A flood passes megabytes through short-lived buffers. Once such a buffer is freed,
    // glibc would serve blocks up to its size from the heap from then on, and the console's
    // lasting blocks would sit among their holes; a fixed threshold gives large blocks back.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
    // Named before the application exists: the X11 window class (the desktop entry's
    // StartupWMClass) is taken from the name.
    QApplication::setApplicationName(QStringLiteral("Tarvenit"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tarvenit"));
    QApplication::setApplicationVersion(QStringLiteral(TARVENIT_VERSION));
#ifdef TARVENIT_NEEDS_DISPLAY
    ProgramName = argv[0];
    QtHandler = qInstallMessageHandler(StartUpMessage);
#endif
    QApplication app(argc, argv);
    UseLanguage(language);
#ifdef TARVENIT_NEEDS_DISPLAY
    qInstallMessageHandler(QtHandler);
#endif
    // Matches the window to its menu entry and icon, on Wayland and X11 alike.
    QGuiApplication::setDesktopFileName(QStringLiteral(TARVENIT_APP_ID));
    Form1 window;
    window.show();
    CloseOnTerminationSignals(&window);
    return app.exec();
}
