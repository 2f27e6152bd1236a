// The desktop services as a scenario scripts them: every message box, start
// request and dialog the program asks for is recorded or answered from a
// queue of answers the script gave beforehand, and notices of changed files
// are held until the script lets time pass. A later start of the program
// hands its request to the window that runs within the runner's own process.
// Nothing here touches the program's widgets.
#pragma once

#include "platform/platform.h"
#include "store/record.h"

#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <memory>

class ScriptedPlatform : public Platform {
  public:
    // A message box the program showed; afterBeep when the beep came right
    // before it. A question box is one with the buttons はい and いいえ.
    struct Box {
        bool error = false;
        bool afterBeep = false;
        QString text;
        bool question = false;
    };
    struct StartRequest {
        bool viewer = false; // else url
        QString target;
    };
    // A question's いいえ is its cancel.
    enum class Dialog { Input, Open, Save, Color, Print, Question };
    struct Answer {
        Dialog kind = Dialog::Input;
        bool cancel = false;
        QString text;     // input, open, save
        TColor color = 0; // color
        int dpi = 0;      // print
        int line = 0;     // the script line that queued it
    };

    explicit ScriptedPlatform(QString executablePath);

    // --- What the script gives -------------------------------------------------
    void Queue(const Answer &a) { answers_.append(a); }
    void SetCursor(QPoint global) { cursor_ = global; }
    // Starts a new scenario in the same folder: everything recorded is dropped.
    void Reset();
    // Gives the program a notice for each of its watches of which a file is
    // not what it was at the last notice (or when it began to be watched):
    // written, replaced or removed, by the script or by the program itself.
    void DeliverFileNotices();

    // --- What the program did ------------------------------------------------
    QList<Box> boxes;
    QList<StartRequest> starts;
    // The page surface's record of the last print run, one word list a line.
    QList<QStringList> printRecord;
    const QList<Answer> &pendingAnswers() const { return answers_; }
    // The first misuse of the answer queue since the last call: a dialog that
    // found no answer or one of another kind. Empty when there was none.
    QString TakeFault();
    // Records a fault found outside the platform calls (the first one counts).
    void RecordFault(const QString &fault) {
        if (fault_.isEmpty())
            fault_ = fault;
    }

    static QString DialogName(Dialog d);

    // --- Platform --------------------------------------------------------------
    void Beep() override;
    void ShowMessage(const QString &text) override;
    void ShowError(const QString &text) override;
    bool AskYesNo(const QString &text) override;
    std::optional<QString> InputBox(const QString &title, const QString &prompt,
                                    int maxLength) override;
    std::optional<QString> OpenFileName(const QString &initialFolder,
                                        const QString &filter) override;
    std::optional<QString> SaveFileName(const QString &initialFolder, const QString &filter,
                                        const QString &defaultSuffix) override;
    std::optional<quint32> ChooseColor(quint32 initial) override;
    std::unique_ptr<PageSurface> ChoosePrinter() override;
    QPoint CursorPos() override { return cursor_; }
    void StartViewer(const QString &path) override;
    void OpenUrl(const QString &address) override;
    std::unique_ptr<FileWatch> WatchFiles(std::function<void()> changed) override;
    QString ExecutablePath() override { return executable_; }
    WindowClaim ClaimWindow(const QString &settingsFile, const QByteArray &request,
                            bool listen) override;

  private:
    class Watch;
    class Channel;
    // The oldest answer when it is of this kind; else records the fault.
    std::optional<Answer> Take(Dialog kind);
    void Event() { lastWasBeep_ = false; }

    QString executable_;
    QList<Answer> answers_;
    QPoint cursor_;
    bool lastWasBeep_ = false;
    QString fault_;
    QList<Watch *> watches_;
    Channel *channel_ = nullptr; // the running window's
};

// A point far from every window: where the pointer rests when it is "none".
QPoint PointerNowhere();
