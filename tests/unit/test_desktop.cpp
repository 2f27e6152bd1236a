// The desktop's own dialogs and message boxes, as the user sees them: each
// test lets the real dialog open, looks at it and closes it.
#include "test_support.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>

std::unique_ptr<Platform> MakeDesktopPlatform();

using namespace testing_support;

namespace {

// Runs act on the next modal dialog as soon as it shows; act closes it.
void WhenDialogShows(std::function<void(QDialog *)> act) {
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            timer->deleteLater();
            timer->stop();
            act(dialog);
        }
    });
    timer->start();
}

// The recording desktop, with the open and save dialogs of the real one.
class RealFileDialogs : public TestPlatform {
  public:
    using TestPlatform::TestPlatform;
    std::optional<QString> OpenFileName(const QString &folder, const QString &filter) override {
        return desktop_->OpenFileName(folder, filter);
    }
    std::optional<QString> SaveFileName(const QString &folder, const QString &filter,
                                        const QString &suffix) override {
        return desktop_->SaveFileName(folder, filter, suffix);
    }

  private:
    std::unique_ptr<Platform> desktop_ = MakeDesktopPlatform();
};

class DesktopDialogsTest : public ProgramTest {
  protected:
    DesktopDialogsTest() { platform_ = std::make_unique<RealFileDialogs>(Path("quorvel")); }
};

} // namespace

TEST_F(DesktopDialogsTest, FileDialogsShowTheListFileTypeAsItIs) {
    Write("quorvel.lst", "memo\r\n");
    TForm1 &f = Start();
    for (QAction *command : {f.Fopen, f.SaveAs1}) {
        QStringList types;
        WhenDialogShows([&types](QDialog *dialog) {
            if (auto *box = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo")))
                for (int i = 0; i < box->count(); ++i)
                    types << box->itemText(i);
            dialog->reject();
        });
        command->trigger();
        EXPECT_EQ(types.join(u'|').toStdString(), "リストファイル(*.lst)")
            << command->objectName().toStdString();
    }
    EXPECT_EQ(f.ListFileName, Path("quorvel.lst"));
}

TEST(DesktopMessages, BoxesAreCentredOnTheScreen) {
    InitApplication();
    // The window behind the box sits in a corner, so a box centred on it
    // would not be centred on the screen.
    QWidget window;
    window.setGeometry(0, 0, 300, 200);
    window.show();
    window.activateWindow();
    QApplication::processEvents();
    const std::unique_ptr<Platform> desktop = MakeDesktopPlatform();
    const QPoint centre = window.screen()->availableGeometry().center();

    for (const bool error : {false, true}) {
        QRect frame;
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::Question;
        WhenDialogShows([&](QDialog *dialog) {
            frame = dialog->frameGeometry();
            title = dialog->windowTitle();
            if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
                text = box->text();
                icon = box->icon();
            }
            dialog->accept();
        });
        if (error)
            desktop->ShowError(U("エラー"));
        else
            desktop->ShowMessage(U("一行目\r\n二行目"));
        EXPECT_LE((frame.center() - centre).manhattanLength(), 1)
            << frame.center().x() << "," << frame.center().y();
        EXPECT_EQ(title, QStringLiteral("Quorvel"));
        EXPECT_EQ(text, error ? U("エラー") : U("一行目\n二行目"));
        EXPECT_EQ(icon, error ? QMessageBox::Critical : QMessageBox::NoIcon);
    }
}

TEST(DesktopMessages, TheQuestionBoxAsksYesOrNo) {
    InitApplication();
    const std::unique_ptr<Platform> desktop = MakeDesktopPlatform();
    // Each way of leaving the box, and the answer it gives.
    const std::pair<const char *, bool> ways[] = {{"はい", true}, {"いいえ", false}, {"", false}};
    for (const auto &[button, answer] : ways) {
        SCOPED_TRACE(button);
        QString title, text;
        QStringList buttons;
        WhenDialogShows([&, button = button](QDialog *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            text = box->text();
            for (QAbstractButton *b : box->buttons())
                buttons << b->text();
            buttons.sort();
            for (QAbstractButton *b : box->buttons())
                if (b->text() == U(button))
                    return b->click();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        EXPECT_EQ(desktop->AskYesNo(U("一行目\r\n二行目")), answer);
        EXPECT_EQ(title, QStringLiteral("Quorvel"));
        EXPECT_EQ(text, U("一行目\n二行目"));
        EXPECT_EQ(buttons, (QStringList{U("いいえ"), U("はい")}));
    }
}
