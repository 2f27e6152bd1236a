// The font size field of the print settings dialog, and the keys the
// dialog leaves alone: what the spin box would do on its own is not wanted.
#include "print/printsetting.h"
#include "test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace testing_support;

namespace {

// The dialog alone, in a fresh program folder. It may beep; a message box or
// an error report fails the test.
class PrintSetting : public DesktopTest {
  protected:
    void SetUp() override {
        DesktopTest::SetUp();
        if (HasFatalFailure())
            return;
        form_ = std::make_unique<TForm2>();
        spin_ = form_->SpinEdit1;
        edit_ = spin_->findChild<QLineEdit *>();
        ASSERT_NE(edit_, nullptr);
    }
    void TearDown() override {
        form_.reset();
        EXPECT_FALSE(platform_->Reported())
            << platform_->events.join(QLatin1Char('|')).toStdString();
        DesktopTest::TearDown();
    }

    qsizetype Beeps() const { return platform_->events.count(QStringLiteral("beep")); }
    void LeaveField() {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(spin_, &out);
    }

    std::unique_ptr<TForm2> form_;
    TSpinEdit *spin_ = nullptr;
    QLineEdit *edit_ = nullptr;
};

} // namespace

TEST_F(PrintSetting, TypingTakesDigitsSignsAndTheSeparatorOnly) {
    edit_->clear();
    QTest::keyClicks(spin_, QStringLiteral("1x5"));
    EXPECT_EQ(edit_->text(), QStringLiteral("15"));
    EXPECT_EQ(Beeps(), 1);
    QTest::keyClicks(spin_, QStringLiteral("+-") + spin_->locale().decimalPoint());
    EXPECT_EQ(edit_->text(), QStringLiteral("15+-") + spin_->locale().decimalPoint());
    EXPECT_EQ(Beeps(), 1);
    QTest::keyClick(spin_, Qt::Key_Return);
    QTest::keyClick(spin_, Qt::Key_Enter);
    EXPECT_EQ(Beeps(), 3);
    EXPECT_EQ(edit_->text(), QStringLiteral("15+-") + spin_->locale().decimalPoint())
        << "Enter leaves the text alone";
    // Editing keys still work, and pasted text of any kind stays.
    QTest::keyClick(spin_, Qt::Key_Backspace);
    edit_->selectAll();
    edit_->insert(QStringLiteral("abc"));
    EXPECT_EQ(edit_->text(), QStringLiteral("abc"));
    EXPECT_EQ(Beeps(), 3);
}

TEST_F(PrintSetting, LeavingTheFieldBringsOnlyIntegersIntoRange) {
    struct Case {
        const char *typed, *after;
        int value;
    };
    const Case cases[] = {
        {"40", "30", 30},
        {"-5", "9", 9},
        {"8", "9", 9},
        {"31", "30", 30},
        {"+15", "+15", 15},
        {"015", "015", 15},
        {"1.5", "1.5", 9},
        {"", "", 9},
        {"-", "-", 9},
        {"abc", "abc", 9},
        {"99999999999", "99999999999", 9},
        {"2147483647", "30", 30},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        edit_->setText(QString::fromUtf8(c.typed));
        LeaveField();
        EXPECT_EQ(edit_->text(), QString::fromUtf8(c.after));
        EXPECT_EQ(spin_->Value(), c.value);
    }
}

TEST_F(PrintSetting, ArrowsAndButtonsStepFromTheTextIntoRange) {
    struct Case {
        const char *typed;
        int steps;
        const char *after;
    };
    const Case cases[] = {{"20", 1, "21"}, {"20", -1, "19"}, {"abc", 1, "10"},
                          {"5", -1, "9"},  {"5", 1, "9"},    {"40", -1, "30"},
                          {"30", 1, "30"}, {"9", -1, "9"},   {"", -1, "9"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        edit_->setText(QString::fromUtf8(c.typed));
        QTest::keyClick(spin_, c.steps > 0 ? Qt::Key_Up : Qt::Key_Down);
        EXPECT_EQ(edit_->text(), QString::fromUtf8(c.after));
    }
    // The up button, as the mouse presses it.
    edit_->setText(QStringLiteral("12"));
    spin_->stepUp();
    EXPECT_EQ(edit_->text(), QStringLiteral("13"));
}

TEST_F(PrintSetting, EnterAndEscapePressNoButton) {
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    for (QPushButton *b : {form_->Button1, form_->Button2}) {
        b->setFocus();
        QTest::keyClick(b, Qt::Key_Return);
        QTest::keyClick(b, Qt::Key_Escape);
        QTest::keyClick(form_.get(), Qt::Key_Enter);
        EXPECT_TRUE(form_->isVisible()) << b->objectName().toStdString();
    }
    EXPECT_FALSE(QFile::exists(Path("quorvel.ini")));
}

TEST_F(PrintSetting, MovingTheFocusAwayRewritesAnOutOfRangeSize) {
    form_->show();
    QApplication::setActiveWindow(form_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    spin_->setFocus();
    edit_->setText(QStringLiteral("99"));
    form_->ComboBox1->setFocus();
    ASSERT_TRUE(form_->ComboBox1->hasFocus());
    EXPECT_EQ(edit_->text(), QStringLiteral("30"));
    spin_->setFocus();
    edit_->setText(QStringLiteral("1.5"));
    form_->CheckBox1->setFocus();
    EXPECT_EQ(edit_->text(), QStringLiteral("1.5"));

    // The close box hides the dialog and writes nothing.
    form_->close();
    EXPECT_FALSE(form_->isVisible());
    EXPECT_FALSE(QFile::exists(Path("quorvel.ini")));
}

// An input method commits its text in one piece: refused whole, with one
// beep, when any character of it could not be typed.
TEST_F(PrintSetting, InputMethodTextIsHeldToTheTypingRule) {
    edit_->setText(QStringLiteral("1"));
    for (const char *commit : {"", "１２あ", "5あ", "5"}) {
        QInputMethodEvent e(QString(), {});
        e.setCommitString(QString::fromUtf8(commit));
        QApplication::sendEvent(spin_, &e);
    }
    EXPECT_EQ(edit_->text(), QStringLiteral("15"));
    EXPECT_EQ(Beeps(), 2);
}

// Wherever the focus was when the dialog was closed, each showing starts in
// the font size field.
TEST_F(PrintSetting, EachShowingStartsInTheFontSize) {
    for (int showing = 0; showing < 2; ++showing) {
        form_->show();
        QApplication::setActiveWindow(form_.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
        EXPECT_EQ(QApplication::focusWidget(), spin_) << showing;
        form_->CheckBox1->setFocus();
        QTest::mouseClick(form_->Button2, Qt::LeftButton);
    }
}
