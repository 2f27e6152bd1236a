// The program as its entry makes it: the application title, the main window
// (its creation runs FormCreate), then the hidden print settings dialog.
// Destroying it destroys the dialog, then the main window, which runs
// FormDestroy.
#pragma once

#include <memory>

class TForm1;
class TForm2;

// Sets the application's title, "Quorvel".
void InitApplication();

class QuorvelProgram {
  public:
    QuorvelProgram();
    ~QuorvelProgram();
    TForm1 &form1() { return *form1_; }
    TForm2 &form2() { return *form2_; }

  private:
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm2> form2_;
};
