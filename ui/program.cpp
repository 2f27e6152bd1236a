#include "ui/program.h"

#include "platform/platform.h"
#include "print/printsetting.h"
#include "ui/Quorvelmain.h"
#include "ui/finddialog.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void InitApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Quorvel"));
    // The desktop entry an installed copy is started from: the desktop shows
    // its name and icon for the window.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.quorvel.Quorvel"));
}

bool InstallQtTranslation(QTranslator &translator, const QLocale &locale) {
    if (!translator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

QuorvelProgram::QuorvelProgram() {
    // Where the files are kept is known from here on: an installed copy may
    // make the user's folders for them.
    MakeFoldersOnWrite(Places());
    form1_ = std::make_unique<TForm1>();
    form2_ = std::make_unique<TForm2>();
    Form2 = form2_.get();
    form3_ = new TForm3(form1_.get());
    Form3 = form3_;
}

QuorvelProgram::~QuorvelProgram() {
    Form2 = nullptr;
    form2_.reset();
    Form3 = nullptr;
    form1_.reset();
}
