// The find dialog as the keyboard meets it: the tab order, the label's access
// key, its fixed size, and a settings file that cannot be written.
#include "settings/inifile.h"
#include "test_support.h"
#include "ui/finddialog.h"
#include "ui/widgets.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace testing_support;

namespace {

class FindDialogTest : public ProgramTest {};

} // namespace

TEST_F(FindDialogTest, TabOrderAccessKeyAndSize) {
    Write("quorvel.lst", "a\r\n");
    TForm1 &f = Start();
    f.Find1->trigger();
    QApplication::setActiveWindow(Form3);
    QApplication::processEvents();
    EXPECT_EQ(Form3->windowTitle(), U("検索"));
    EXPECT_EQ(Form3->minimumSize(), Form3->maximumSize());
    EXPECT_TRUE(Form3->Button1->isDefault());

    // Tab goes round the controls in their order, from the field.
    QStringList order;
    QWidget *w = Form3->Edit1;
    for (int i = 0; i < 8; ++i) {
        order << w->objectName();
        w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled())
            w = w->nextInFocusChain();
    }
    // The search buttons are skipped while disabled (no text yet).
    EXPECT_EQ(order.join(u' '), QStringLiteral("Edit1 CheckBox1 CheckBox2 CheckBox3 Button3 "
                                               "Edit1 CheckBox1 CheckBox2"));
    Form3->Edit1->setText(QStringLiteral("a"));
    Form3->CheckBox3->setFocus();
    QTest::keyClick(Form3->CheckBox3, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Form3->Button1);
    QTest::keyClick(Form3->Button1, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Form3->Button2);

    // Alt+N, the label's access key, puts the focus in the field.
    QTest::keyClick(Form3->Button2, Qt::Key_N, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), Form3->Edit1);
    EXPECT_EQ(Form3->Label1->buddy(), Form3->Edit1);
}

// A settings file that cannot be replaced: the search still finds and
// selects, then the general error report tells that the settings were not
// written.
TEST_F(FindDialogTest, UnwritableSettingsDoNotStopTheSearch) {
    Write("quorvel.lst", "a\r\nb\r\n");
    TForm1 &f = Start();
    Form3->Edit1->setText(QStringLiteral("b"));
    // A folder where the settings file should be.
    QFile::remove(Path("quorvel.ini"));
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("quorvel.ini")));
    platform_->events.clear();
    f.FindNext1->trigger();
    EXPECT_EQ(f.ListBox1->itemIndex(), 1);
    EXPECT_EQ(f.StatusText(), U("「b」：1件中1件目"));
    ASSERT_EQ(platform_->events.size(), 1);
    EXPECT_EQ(platform_->events[0],
              QStringLiteral("error ") + Path("quorvel.ini") + U(" に書き込めません."));
}

// The search text is stored only when a read gives it back whole: 2047 bytes
// are, 2048 are not (the text stored before stays).
TEST_F(FindDialogTest, TextIsStoredOnlyWhenItComesBackWhole) {
    Write("quorvel.lst", "a\r\n");
    TForm1 &f = Start();
    const QString fits = QStringLiteral(" ") + QString(1023, QChar(0x725B)); // 牛
    const QString tooLong = fits + QStringLiteral(" ");
    Form3->Edit1->setText(fits);
    f.FindNext1->trigger();
    Form3->Edit1->setText(tooLong);
    f.FindNext1->trigger();
    const QByteArray stored =
        Ini::ReadExactString(Path("quorvel.ini"), "Find", "Text", QByteArray());
    EXPECT_EQ(stored.size(), 2047);
    Close();

    Start();
    Form3->ShowFind();
    EXPECT_EQ(Form3->Edit1->text(), fits);
}
