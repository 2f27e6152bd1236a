// What the window tests share: a desktop that records what the program shows
// and answers its dialogs from queued answers, and a fixture that starts the
// program in a fresh folder as its entry does.
#pragma once

#include "platform/pagesurface.h"
#include "platform/platform.h"
#include "ui/Quorvelmain.h"
#include "ui/program.h"

#include <QApplication>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <gtest/gtest.h>

namespace testing_support {

inline QString U(const char *s) {
    return QString::fromUtf8(s);
}

// Records beeps, message boxes, error reports and start requests as lines of
// text ("beep", "message TEXT", "error TEXT", "viewer PATH", "url ADDRESS").
// Dialogs take the oldest queued answer of their kind; none queued is Cancel.
class TestPlatform : public Platform {
  public:
    explicit TestPlatform(QString exe) : exe_(std::move(exe)) {}
    QStringList events;
    QPoint pointer{-10000, -10000};
    std::deque<std::optional<QString>> inputs, opens, saves;
    std::deque<std::optional<quint32>> colours;

    void Beep() override { events << QStringLiteral("beep"); }
    void ShowMessage(const QString &t) override { events << QStringLiteral("message ") + t; }
    void ShowError(const QString &t) override { events << QStringLiteral("error ") + t; }
    std::optional<QString> InputBox(const QString &, const QString &, int) override {
        return Take(inputs);
    }
    std::optional<QString> OpenFileName(const QString &, const QString &) override {
        return Take(opens);
    }
    std::optional<QString> SaveFileName(const QString &, const QString &) override {
        return Take(saves);
    }
    std::optional<quint32> ChooseColor(quint32) override { return Take(colours); }
    std::unique_ptr<PageSurface> ChoosePrinter() override { return nullptr; }
    QPoint CursorPos() override { return pointer; }
    void StartViewer(const QString &p) override { events << QStringLiteral("viewer ") + p; }
    void OpenUrl(const QString &a) override { events << QStringLiteral("url ") + a; }
    QString ExecutablePath() override { return exe_; }

  private:
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

// A fresh program folder with the recording desktop installed.
class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        platform_ = std::make_unique<TestPlatform>(Path("quorvel"));
        SetPlatform(platform_.get());
        InitApplication();
    }
    void TearDown() override {
        program_.reset();
        SetPlatform(nullptr);
    }

    QString Path(const char *name) const { return dir_.filePath(QString::fromUtf8(name)); }
    void Write(const char *name, const QByteArray &bytes) const {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    QByteArray Read(const char *name) const {
        QFile f(Path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // Starts the program as its entry does and shows the main window.
    TForm1 &Start() {
        program_ = std::make_unique<QuorvelProgram>();
        program_->form1().show();
        QApplication::processEvents();
        return program_->form1();
    }
    // Closes the main window; shut-down runs.
    void Close() {
        program_->form1().close();
        program_.reset();
    }

    QTemporaryDir dir_;
    std::unique_ptr<TestPlatform> platform_;
    std::unique_ptr<QuorvelProgram> program_;
};

} // namespace testing_support
