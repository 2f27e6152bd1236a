// Quorvel: a to-do list of short memos.
#include "ui/Quorvelmain.h"
#include "ui/arguments.h"
#include "ui/commandline.h"
#include "ui/program.h"
#include "ui/quickcapture.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QTranslator>

int main(int argc, char **argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const Arguments arguments = ParseArguments(args, QDir::currentPath());
    if (arguments.mode != Arguments::Mode::Window) {
        // No window: no display is needed, none is opened.
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Quorvel"));
        return RunCommandLine(arguments);
    }

    QApplication app(argc, argv);
    InitApplication();
    // Qt's dialogs and buttons speak the user's language, as the program does.
    QTranslator qtTexts;
    InstallQtTranslation(qtTexts, QLocale());
    Started started = StartProgram(arguments.request);
    if (started.program) {
        // Closing the main window ends the program, even with the print
        // settings dialog or quick capture still open.
        QObject::connect(&started.program->form1(), &TForm1::Closed, &app, &QCoreApplication::quit);
    } else if (started.capture) {
        QObject::connect(started.capture.get(), &QDialog::finished, &app, &QCoreApplication::quit);
    } else {
        return 0; // the window that runs took the request
    }
    return QApplication::exec();
}
