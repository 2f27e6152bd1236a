// The program as its entry makes it: the application title, where the files
// are kept (an installed copy may make the user's folders), the main window
// (its creation runs FormCreate), then the hidden print settings dialog, the
// hidden find dialog and the hidden quick capture window. Destroying it
// destroys the print settings dialog, then the main window, which runs
// FormDestroy and takes its find dialog with it.
#pragma once

#include "ui/arguments.h"

#include <QList>
#include <memory>

class QLocale;
class QTranslator;
class TForm1;
class TForm2;
class TForm4;
class WindowChannel;

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
    TForm4 &form4() { return *form4_; }

    // A later start's request: the window comes to the front, opens a list
    // file as Fopen would, or shows quick capture. While a command runs (or
    // waits for a dialog) the request waits for it to end.
    void Request(const WindowRequest &request);
    // Requests of later starts come through channel from now on.
    void Listen(std::unique_ptr<WindowChannel> channel);

  private:
    void HandleRequests();

    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<TForm4> form4_;
    std::unique_ptr<WindowChannel> channel_;
    QList<WindowRequest> requests_;
};

// What a start of the program for the window made. Both null: the request
// went to the window that runs already.
struct Started {
    std::unique_ptr<QuorvelProgram> program; // the window, shown
    std::unique_ptr<TForm4> capture;         // quick capture alone, shown
};

// A start with a request for the window (no argument, FILE or --new-memo):
// hands it to the window of this copy that runs; otherwise starts the
// program (with FILE current, as Fopen makes it) and takes later starts'
// requests, or, for --new-memo, shows quick capture alone.
Started StartProgram(const WindowRequest &request);
