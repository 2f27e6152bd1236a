// What the window tests share: the recording desktop of test_platform.h, a
// fixture that installs it on a fresh program folder, and one that starts
// the program there as its entry does.
#pragma once

#include "test_platform.h"
#include "ui/Quorvelmain.h"
#include "ui/program.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace testing_support {

// A fresh program folder with the recording desktop installed.
class DesktopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        SetPlatform(platform_.get());
    }
    void TearDown() override { SetPlatform(nullptr); }

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

    QTemporaryDir dir_;
    // Made with the fixture, so that a test's constructor can set it up.
    std::unique_ptr<TestPlatform> platform_ = std::make_unique<TestPlatform>(Path("quorvel"));
};

// The same, made ready for the program to start in it.
class ProgramTest : public DesktopTest {
  protected:
    void SetUp() override {
        DesktopTest::SetUp();
        if (HasFatalFailure())
            return;
        InitApplication();
    }
    void TearDown() override {
        program_.reset();
        DesktopTest::TearDown();
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

    std::unique_ptr<QuorvelProgram> program_;
};

} // namespace testing_support
