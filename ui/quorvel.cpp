// Quorvel: a to-do list of short memos.
#include "ui/Quorvelmain.h"
#include "ui/program.h"

#include <QApplication>
#include <QLocale>
#include <QTranslator>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    InitApplication();
    // Qt's dialogs and buttons speak the user's language, as the program does.
    QTranslator qtTexts;
    InstallQtTranslation(qtTexts, QLocale());
    int rc = 0;
    {
        QuorvelProgram program;
        // Closing the main window ends the program, even with the print
        // settings dialog still open.
        QObject::connect(&program.form1(), &TForm1::Closed, &app, &QCoreApplication::quit);
        program.form1().show();
        rc = QApplication::exec();
    }
    return rc;
}
