// Runs one parsed scenario against the real program in a folder that stands
// for the program's folder: set-up steps, user actions through the widgets,
// dialog answers for the scripted platform, and expectations.
#pragma once

#include "tests/runner/qvs_parser.h"
#include "tests/runner/scripted_platform.h"

#include <QString>
#include <memory>

class QuorvelProgram;
class TForm1;
class TForm4;
class QUrl;
class QWidget;
class QAction;
class QTimer;

class Scenario {
  public:
    // dir: the program's folder; startFolder: where screenshots go.
    Scenario(QString dir, QString startFolder);
    ~Scenario();

    struct Outcome {
        bool passed = true;
        int line = 0;
        QString message;
    };
    Outcome Run(const qvs::Script &script);

  private:
    void Execute(const qvs::Step &step);
    void ExecuteExpect(const qvs::Step &step);
    void ExecuteAnswer(const qvs::Step &step);
    void ExecuteClick(const qvs::Step &step);

    // The program, when it is running.
    TForm1 &Form1();
    // Whether any window of the program is there: the main window, or quick
    // capture shown alone.
    bool Running() const { return program_ != nullptr || capture_ != nullptr; }
    // A start of the program with these command-line arguments: the first
    // one starts it (or quick capture alone); one while the window runs
    // hands its request to that window.
    void Start(const QStringList &args);
    // Closes the main window as the user would and ends the run of the program.
    void CloseProgram();
    // Closes quick capture shown alone as the user would (its close box).
    void CloseCapture();
    // Handles pending events; a window closed by the program ends its run.
    void Settle();
    // Makes the window of w (the main window when null) the active one.
    void ActivateWindow(QWidget *w = nullptr);
    // The user drags row FROM of a list onto row TO (-1: below the last row).
    void Drag(const QString &name, int from, int to);
    // Files dragged from a file manager and let go over control c.
    void Drop(QWidget *c, const QList<QUrl> &files);
    // Lets the program run for ms milliseconds without any user action.
    void Wait(int ms);
    // The first thing the program showed or did, or an answer it did not
    // take, that no step expected; empty when there is none.
    QString Leftover() const;

    // A dialog of the program by its name: "Form2", "Form3".
    QWidget *Dialog(const QString &form);
    QWidget *Control(const QString &name);
    QWidget *ReachableControl(const QString &name);
    QAction *MenuItem(const QString &name);
    QList<QAction *> RecentItems();
    QString Path(const QString &name) const;

    QString dir_;
    QString startFolder_;
    ScriptedPlatform platform_;
    std::unique_ptr<QuorvelProgram> program_;
    std::unique_ptr<TForm4> capture_; // quick capture alone, with no window running
    bool closedByProgram_ = false;
    QTimer *modalGuard_ = nullptr;
};
