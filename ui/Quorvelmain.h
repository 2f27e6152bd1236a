// The main window: one per run. It owns all state of a run: the current list
// file, the raw records of the list, the title lists, the edit areas and the
// status bar. Every command is one of its handlers; handlers that belong to
// the memo store, the settings or printing are defined in those folders.
#pragma once

#include "platform/fileio.h"
#include "platform/platform.h"
#include "store/history.h"
#include "store/listfile.h"
#include "store/record.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QSet>
#include <QString>
#include <exception>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPainter;
class QPushButton;
class QStatusBar;
class QTimer;
class MemoEdit;
class PageControl;
class TitleListView;

class TForm1 : public QMainWindow {
    Q_OBJECT
  public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // --- Controls, named as the program knows them -----------------------
    QMenuBar *MainMenu1 = nullptr;
    QMenu *N2 = nullptr; // File
    QAction *New1 = nullptr, *Fopen = nullptr, *SaveAs1 = nullptr, *PrintSetting = nullptr,
            *Print = nullptr, *CloseMenu = nullptr, *N7 = nullptr;
    QMenu *N8 = nullptr; // Settings
    QAction *N9 = nullptr, *N10 = nullptr;
    // The Edit menu (not the find dialog's search field, TForm3::Edit1: the
    // two keep the names the program gives them).
    QMenu *Edit1 = nullptr;
    QAction *Undo1 = nullptr, *Redo1 = nullptr, *N11 = nullptr, *Find1 = nullptr,
            *FindNext1 = nullptr, *FindPrev1 = nullptr;
    QMenu *Help1 = nullptr;
    QAction *ReadMe = nullptr, *N3 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *N1 = nullptr, *D1 = nullptr, *N5 = nullptr, *BgColor = nullptr, *N4 = nullptr,
            *ToTop = nullptr, *ToBottom = nullptr;
    QMenu *PopupMenu2 = nullptr;
    QAction *Restore = nullptr, *N6 = nullptr;

    PageControl *PageControl1 = nullptr;
    // The pages of PageControl1, by their index.
    enum Page { ListPage = 0, NewMemoPage = 1, EditPage = 2, TrashPage = 3 };
    QWidget *TabSheet1 = nullptr, *TabSheet2 = nullptr, *TabSheet3 = nullptr, *TabSheet4 = nullptr;
    TitleListView *ListBox1 = nullptr;
    QPushButton *Button2 = nullptr, *Button3 = nullptr;
    MemoEdit *Memo1 = nullptr;
    QPushButton *Button1 = nullptr;
    QCheckBox *CheckBox1 = nullptr;
    MemoEdit *Memo3 = nullptr;
    QPushButton *Button4 = nullptr, *Button5 = nullptr;
    TitleListView *ListBox3 = nullptr;
    QPushButton *Button6 = nullptr, *Button7 = nullptr, *DummyButton = nullptr;
    QStatusBar *StatusBar1 = nullptr;

    // --- State of the run --------------------------------------------------
    // The current list file and its trash file, as this program last read or
    // wrote them. Every read and write of the memos goes through these.
    ListFile List;
    ListFile Trash;
    // The current list file (a native path), set by SetListFileName.
    const QString &ListFileName = List.path();
    // The raw list: every record of the list file exactly as stored, as the
    // list was last loaded.
    const Records &ListBox2 = List.records();
    // The changes this program made to the list and its trash in this run,
    // for the Edit menu to take back and make again.
    ChangeHistory *History = nullptr;
    // The row of the memo that Memo3 holds, opened for editing (N1, a double
    // click, Return); -1 while it holds none. Button4 saves only that memo.
    int Memo3Record = -1;
    // The colour the colour dialog opens with: the one chosen last in this run.
    TColor ColorDialog1Color = 0x00000000;
    // The background each row of the title list was last painted with.
    QHash<int, TColor> ListBox1Fills;

    // --- Start-up, shut-down and pages -----------------------------------
    void FormCreate();
    void FormDestroy();
    void PageControl1Changing(bool &AllowChange);
    void TabSheet1Show();
    void TabSheet2Show();
    void TabSheet3Show();
    void TabSheet3Exit();
    void TabSheet4Show();
    void CloseMenuClick();
    void ReadMeClick();
    void N3Click();

    // --- The list file -----------------------------------------------------
    void LoadList();
    // Replaces the whole list file by its new text: the loaded records
    // changed as the splices say (offsets in the text of the records, each
    // followed by CR LF), the bytes from a NUL on kept after them. False
    // when writing failed (reported; the file keeps its old content). When
    // another program changed the file since it was loaded: beep, message,
    // reload, and the command stops with nothing written.
    bool SaveListText(const QList<Splice> &splices);
    // Makes a list file the current one (and its trash the current trash);
    // the history of the one before goes.
    void SetListFileName(const QString &path);
    // Stops the command when another program changed the list file since it
    // was loaded: beep, message, reload, and nothing is written.
    void CheckListFileUnchanged();

    // --- Memo commands -------------------------------------------------------
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void ToTopClick();
    void ToBottomClick();
    void ListBox1DblClick();
    void N1Click();
    void Button4Click();
    void BgColorClick();
    // A memo dragged from row from and dropped on row to takes that row's
    // place; the memos between move up or down by one.
    void MoveMemo(int from, int to);
    void ListBox1DrawItem(QPainter *Canvas, int Index, const QRect &Rect, bool Selected);

    // --- Trash ---------------------------------------------------------------
    void Button5Click();
    void DummyButtonClick();
    void D1Click();
    void RestoreClick();
    void Button6Click();
    void N6Click();
    void Button7Click();
    void ListBox3DrawItem(QPainter *Canvas, int Index, const QRect &Rect, bool Selected);

    // --- Edit menu -----------------------------------------------------------
    void Undo1Click();
    void Redo1Click();

    // --- Settings and list files --------------------------------------------
    void N9Click();
    void N10Click();
    void UpdateRecentFiles();
    void BuildRecentMenu();
    void RecentFileClick(QAction *Sender);
    void New1Click();
    void FopenClick();
    // What Fopen does with the path chosen, also for a path named on the
    // command line or dropped on the window.
    void OpenListFile(const QString &chosen);
    void SaveAs1Click();

    // --- Printing ------------------------------------------------------------
    void PrintClick();
    void PrintSettingClick();

    // --- Changes made by other programs ------------------------------------
    // Once a burst of changes to the list or trash file has settled: the list
    // page is loaded again, or the trash page refreshed, when the file it
    // shows is no longer the one it read. The program's own writes leave the
    // page as it is; the new-memo and edit pages are never touched.
    void ReloadChangedPage();

    // --- Conflict copies that sync tools make of the list --------------------
    // Asks about each conflict copy of the list file not yet answered in this
    // run, the one modified longest ago first, and takes in the memos of each
    // copy the user accepts. Due when the list page has loaded the list (its
    // show, a live reload, another list file made current); it runs once the
    // command that loaded it has ended, while the list page shows.
    void TakeInConflictCopies();
    // Appends the copy's memos that neither the list nor the trash holds to
    // the list, in one write under the checks of every command, and deletes
    // the copy; entered in the history as one change.
    void TakeInConflictCopy(const QString &path);
    bool ConflictCopiesDue = false;
    // The copies asked about in this run, by path.
    QSet<QString> ConflictCopiesAnswered;

    // --- Finding memos (with the find dialog) ---------------------------------
    void Find1Click();
    void FindNext1Click();
    void FindPrev1Click();
    // Finds the next (or previous) memo of the showing page that holds the
    // find dialog's text: on the trash page among the trash entries, on any
    // other the list page's memos.
    void FindMemo(bool Next);

    // --- Shared helpers ------------------------------------------------------
    // The settings file beside the executable.
    static QString SettingsFileName();
    // The text of the status bar's single panel.
    void SetStatusText(const QString &text);
    QString StatusText() const;
    // Makes a page the active one, as the program does: never refused; the
    // page's show handler runs when it was not the active page already.
    void ActivatePage(int index);
    // Runs a command; an error it does not catch is shown in the general
    // error report and the program goes on. While a command runs (also while
    // it waits for a dialog) no page is reloaded under it.
    template <class F> void Run(F &&command);
    // Whether a command runs (perhaps waiting for a dialog).
    bool CommandRunning() const { return commandsRunning_ > 0; }

  Q_SIGNALS:
    // The window was closed: the program's message loop ends.
    void Closed();

  protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    // A list file dragged from a file manager and dropped on the window
    // opens as Fopen opens it.
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dragMoveEvent(QDragMoveEvent *e) override;
    void dropEvent(QDropEvent *e) override;

  private:
    // Runs handler as a command on each of sender's signals.
    template <class Sender, class Signal>
    void On(Sender *sender, Signal signal, void (TForm1::*handler)());
    void BuildLayout();
    void BuildMenus();
    void WireHandlers();
    void PageShown(int index);
    // Runs reload, which fills list anew from records: the record selected
    // before stays selected where it then stands.
    void KeepSelection(TitleListView *list, const Records &records,
                       const std::function<void()> &reload);
    void WatchFiles();
    // After the outermost command: the files of the current list are the
    // watched ones, and a change that settled meanwhile is looked at.
    void CommandEnded();

    QLabel *statusPanel_ = nullptr;
    bool shownOnce_ = false;
    bool destroyed_ = false;

    std::unique_ptr<FileWatch> fileWatch_;
    QStringList watchedFiles_;
    // Restarted by every notice: fires once the burst has settled.
    QTimer *settleTimer_ = nullptr;
    int commandsRunning_ = 0;
    bool changeSettledMeanwhile_ = false;
};

template <class F> void TForm1::Run(F &&command) {
    struct Running {
        int &count;
        ~Running() { --count; }
    };
    {
        Running running{++commandsRunning_};
        try {
            command();
        } catch (const std::exception &e) {
            ReportUncaughtError(e);
        }
    }
    if (commandsRunning_ == 0)
        CommandEnded();
}
