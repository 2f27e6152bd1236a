// The program as its entry makes it: the application title, where the files
// are kept (an installed copy may make the user's folders), the main window
// (its creation runs FormCreate), then the hidden print settings dialog and
// the hidden find dialog. Destroying it destroys the print settings dialog,
// then the main window, which runs FormDestroy and takes its find dialog
// with it.
#pragma once

#include <memory>

class QLocale;
class QTranslator;
class TForm1;
class TForm2;
class TForm3;

// Sets the application's title, "Quorvel".
void InitApplication();

// Qt's own texts (its dialogs and standard buttons) in the language of the
// locale: Qt's translation is loaded into translator, which the application
// then uses. False when Qt has none for that language.
bool InstallQtTranslation(QTranslator &translator, const QLocale &locale);

class QuorvelProgram {
  public:
    QuorvelProgram();
    ~QuorvelProgram();
    TForm1 &form1() { return *form1_; }
    TForm2 &form2() { return *form2_; }
    TForm3 &form3() { return *form3_; }

  private:
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm2> form2_;
    TForm3 *form3_ = nullptr; // a dialog of the main window, which owns it
};
