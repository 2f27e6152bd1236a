// The one seam between the program and the desktop: beep, message boxes,
// the input, file, colour and print dialogs, the pointer position, starting
// the text viewer and the browser, watching files, the program's own folder,
// and the one window of a copy of the program. The desktop
// implementation uses Qt; tests and the scenario runner install a scripted one.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

class PageSurface;

// A watch on a few files for changes that any program makes to them
// (written, replaced by another file, removed, created). Destroying it ends
// the watch.
class FileWatch {
  public:
    virtual ~FileWatch() = default;
    // From now on exactly these files are watched, whether they exist or not.
    virtual void SetFiles(const QStringList &paths) = 0;
};

// The running window's end of the way by which later starts of the same
// copy of the program (the same settings file) hand it their requests.
// Destroying it ends that: later starts find no window.
class WindowChannel {
  public:
    virtual ~WindowChannel() = default;
    // From now on each request goes to received, on the user-interface
    // thread, from the event loop; those that came before are handed on too.
    // With none, requests wait in the channel.
    void Receive(std::function<void(const QByteArray &request)> received);

  protected:
    // A request that came: handed on from the event loop (a request may
    // start a command that waits for a dialog, which must not run inside the
    // signal that brought it), or kept until there is a receiver.
    void Deliver(const QByteArray &request);

  private:
    QObject context_; // no request is delivered after the channel is gone
    std::function<void(const QByteArray &)> received_;
    QList<QByteArray> pending_;
};

// What a start found: the window that runs took its request (handedOver);
// or none runs and this process now is the window (channel); or neither
// (nothing of the kind can be had safely, or listen was not asked): the
// program runs on its own.
struct WindowClaim {
    bool handedOver = false;
    std::unique_ptr<WindowChannel> channel;
};

class Platform {
  public:
    virtual ~Platform() = default;

    virtual void Beep() = 0;
    // A modal box titled with the application title, one OK button, centred
    // on the screen.
    virtual void ShowMessage(const QString &text) = 0;
    // The general error report: the same box with the error icon.
    virtual void ShowError(const QString &text) = 0;
    // A question: the same box with the buttons "はい" and "いいえ"; true for
    // はい, false for いいえ (also when the box is closed otherwise).
    virtual bool AskYesNo(const QString &text) = 0;

    // One-line input box; nullopt on Cancel.
    virtual std::optional<QString> InputBox(const QString &title, const QString &prompt,
                                            int maxLength) = 0;
    // File dialogs; nullopt on Cancel. The filter is in Qt's form.
    virtual std::optional<QString> OpenFileName(const QString &initialFolder,
                                                const QString &filter) = 0;
    virtual std::optional<QString> SaveFileName(const QString &initialFolder, const QString &filter,
                                                const QString &defaultSuffix) = 0;
    // The colour dialog preset to a plain colour 0x00BBGGRR; nullopt on Cancel.
    virtual std::optional<quint32> ChooseColor(quint32 initial) = 0;
    // The print dialog; a surface on the chosen printer, or null on Cancel.
    virtual std::unique_ptr<PageSurface> ChoosePrinter() = 0;

    // The mouse pointer in global screen coordinates.
    virtual QPoint CursorPos() = 0;

    // Starts the plain-text viewer on a file, without waiting; failures are silent.
    virtual void StartViewer(const QString &path) = 0;
    // Hands an address to the desktop's default handler; failures are silent.
    virtual void OpenUrl(const QString &address) = 0;

    // A watch that calls changed, on the user-interface thread, when one of
    // its files may have changed. A notice says no more than that: one change
    // may give several, and the program's own writes give them too.
    virtual std::unique_ptr<FileWatch> WatchFiles(std::function<void()> changed) = 0;

    // The full path of the running executable; its folder is the program's folder.
    virtual QString ExecutablePath() = 0;

    // One window per copy of the program, the copy known by its settings
    // file: hands request to the window that runs, or, when none does and
    // listen is set, makes this process the one that later starts hand
    // theirs to. The default finds no window and makes none.
    virtual WindowClaim ClaimWindow(const QString &settingsFile, const QByteArray &request,
                                    bool listen);
};

// The platform in use. The desktop one unless another was installed.
Platform &platform();
// Installs a platform (not owned); null restores the desktop one.
void SetPlatform(Platform *p);

// The beep, then a message box: every refusal of a command looks like this.
void BeepMessage(const QString &text);
// The beep, then a question box: true when the answer is はい.
bool BeepQuestion(const QString &text);

// The general error report for an error that a command did not catch: the
// error's own text in the error box. The program then goes on.
void ReportUncaughtError(const std::exception &e);

// Where the program keeps its files. A copy that runs where it was built,
// or from a folder it was unpacked into, keeps them beside itself: the
// settings and the default list are named after the executable, new list
// files go into its folder and the readme is the one there. An installed
// copy, one that runs from the bin folder of an install tree holding its
// readme in share/doc/quorvel (under any prefix, writable or not), keeps
// them in the user's folders instead: the settings in
// <config>/quorvel/quorvel.ini, the default list quorvel.lst and new list
// files in <data>/quorvel/; its readme is the installed one.
struct ProgramPlaces {
    bool perUser = false;
    QString settingsFile;
    QString defaultListFile;
    QString listFolder; // with its trailing "/"
    QString readmeFile;
};

// The rule, from the executable's path (its install tree is looked at on
// disk) and the user's configuration and data folders ($XDG_CONFIG_HOME and
// $XDG_DATA_HOME or their defaults).
ProgramPlaces PlacesFor(const QString &executablePath, const QString &configHome,
                        const QString &dataHome);

// The places of the running program, from its executable and the user's
// folders as they are now. Only looks: nothing is changed by asking.
ProgramPlaces Places();

// Tells the file layer which folders a write may make: for places in the
// user's folders, those two folders (made when a file is first written
// there); none otherwise. Called where the program starts.
void MakeFoldersOnWrite(const ProgramPlaces &places);
