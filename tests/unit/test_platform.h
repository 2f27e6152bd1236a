// A desktop for tests and benchmarks: it records what the program shows and
// answers its dialogs from queued answers. No test framework is needed here.
#pragma once

#include "platform/pagesurface.h"
#include "platform/platform.h"
#include "platform/utf8.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace testing_support {

// Records beeps, message boxes, error reports, questions and start requests
// as lines of text ("beep", "message TEXT", "error TEXT", "question TEXT",
// "viewer PATH", "url ADDRESS"). A question takes the oldest queued answer;
// none queued is いいえ.
// With recordDialogs set, each dialog is recorded too, as it was called:
// "input TITLE|PROMPT|MAXLENGTH", "open FOLDER|FILTER", "save FOLDER|FILTER|SUFFIX",
// "colour BBGGRR" (the preset, in hex) and "printer".
// Dialogs take the oldest queued answer of their kind; none queued is Cancel.
// The print dialog answers with what printer makes, Cancel when it is unset.
class TestPlatform : public Platform {
  public:
    explicit TestPlatform(QString exe) : exe_(std::move(exe)) {}
    QStringList events;
    bool recordDialogs = false;
    QPoint pointer{-10000, -10000};
    std::deque<std::optional<QString>> inputs, opens, saves;
    std::deque<std::optional<quint32>> colours;
    std::deque<bool> answers; // true: はい
    std::function<std::unique_ptr<PageSurface>()> printer;

    void Beep() override { events << QStringLiteral("beep"); }
    void ShowMessage(const QString &t) override { events << QStringLiteral("message ") + t; }
    void ShowError(const QString &t) override { events << QStringLiteral("error ") + t; }
    bool AskYesNo(const QString &t) override {
        events << QStringLiteral("question ") + t;
        const bool yes = !answers.empty() && answers.front();
        if (!answers.empty())
            answers.pop_front();
        return yes;
    }
    std::optional<QString> InputBox(const QString &title, const QString &prompt,
                                    int maxLength) override {
        Dialog(QStringLiteral("input ") + title + QLatin1Char('|') + prompt + QLatin1Char('|') +
               QString::number(maxLength));
        return Take(inputs);
    }
    std::optional<QString> OpenFileName(const QString &folder, const QString &filter) override {
        Dialog(QStringLiteral("open ") + folder + QLatin1Char('|') + filter);
        return Take(opens);
    }
    std::optional<QString> SaveFileName(const QString &folder, const QString &filter,
                                        const QString &suffix) override {
        Dialog(QStringLiteral("save ") + folder + QLatin1Char('|') + filter + QLatin1Char('|') +
               suffix);
        return Take(saves);
    }
    std::optional<quint32> ChooseColor(quint32 initial) override {
        Dialog(QStringLiteral("colour ") + QString::number(initial, 16));
        return Take(colours);
    }
    std::unique_ptr<PageSurface> ChoosePrinter() override {
        Dialog(QStringLiteral("printer"));
        return printer ? printer() : nullptr;
    }
    QPoint CursorPos() override { return pointer; }
    // The program's watch on its files: a test sends the notices itself
    // (notice is empty while there is no watch).
    QStringList watched;
    std::function<void()> notice;
    std::unique_ptr<FileWatch> WatchFiles(std::function<void()> changed) override {
        struct Watch : FileWatch {
            explicit Watch(TestPlatform &p) : platform(p) {}
            ~Watch() override { platform.notice = nullptr; }
            void SetFiles(const QStringList &paths) override { platform.watched = paths; }
            TestPlatform &platform;
        };
        notice = std::move(changed);
        return std::make_unique<Watch>(*this);
    }
    void StartViewer(const QString &p) override { events << QStringLiteral("viewer ") + p; }
    void OpenUrl(const QString &a) override { events << QStringLiteral("url ") + a; }
    QString ExecutablePath() override { return exe_; }

    // Whether the user was told anything: a message box or an error report.
    bool Reported() const {
        for (const QString &e : events)
            if (e.startsWith(QStringLiteral("message ")) || e.startsWith(QStringLiteral("error ")))
                return true;
        return false;
    }

  private:
    void Dialog(const QString &call) {
        if (recordDialogs)
            events << call;
    }
    template <class T> static std::optional<T> Take(std::deque<std::optional<T>> &queue) {
        std::optional<T> answer;
        if (!queue.empty()) {
            answer.swap(queue.front());
            queue.pop_front();
        }
        return answer;
    }
    QString exe_;
};

} // namespace testing_support
