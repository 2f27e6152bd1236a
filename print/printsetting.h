// The print settings dialog: a small modeless tool window that sets the
// print font size, the line spacing and whether only titles are printed.
#pragma once

#include <QWidget>

class TForm2 : public QWidget {
    Q_OBJECT
  public:
    explicit TForm2(QWidget *parent = nullptr);
};

// The one print settings dialog of the run, created hidden after the main window.
extern TForm2 *Form2;
