// At home on a desktop: text that reads on any theme, a window the user can
// always reach, Qt's own texts in the user's language, and a window that a
// keyboard or a screen reader can work.
#include "platform/cp932.h"
#include "print/printsetting.h"
#include "store/rowpaint.h"
#include "test_support.h"
#include "ui/placement.h"
#include "ui/widgets.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTranslator>

using namespace testing_support;

TEST(ContrastRule, TextReadsOnEveryColourOfTheTableOnLightAndDarkThemes) {
    const QPalette light(QColor(240, 240, 240)), dark(QColor(53, 53, 53));
    QStringList changedOnLight;
    for (const QPalette *theme : {&light, &dark}) {
        const QColor themeText = theme->color(QPalette::Text);
        for (const ColorName &c : ColorNameTable()) {
            const QColor fill = PaintColor(c.value, *theme);
            const QColor text = TextColorOn(fill, themeText);
            EXPECT_GE(ContrastRatio(text, fill), 4.5) << c.name;
            EXPECT_TRUE(text == themeText || text == Qt::black || text == Qt::white) << c.name;
            if (theme == &light && (c.value & 0xFF000000u) == 0 && text != themeText)
                changedOnLight << QString::fromLatin1(c.name);
        }
    }
    // On a light theme the rows look as before, but for the dark colours.
    EXPECT_EQ(changedOnLight.join(u' ').toStdString(),
              "clBlack clMaroon clGreen clNavy clPurple clTeal clBlue");
    // On a dark theme its light text stays on its own colours; the status
    // bar's yellow gets black.
    EXPECT_EQ(TextColorOn(PaintColor(clWindow, dark), dark.color(QPalette::Text)),
              dark.color(QPalette::Text));
    EXPECT_EQ(TextColorOn(QColor(255, 255, 102), dark.color(QPalette::WindowText)),
              QColor(Qt::black));
    // The ratio as the accessibility guidelines give it.
    EXPECT_NEAR(ContrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
    EXPECT_NEAR(ContrastRatio(QColor(0x77, 0x77, 0x77), Qt::white), 4.48, 0.005);
}

TEST(WindowPlacement, TheStoredPositionStaysWhileTheWindowCanBeReached) {
    const QSize size(465, 400);
    const int bar = 30;
    const auto at = [&](QPoint p, const QList<QRect> &screens) {
        return ReachablePosition(QRect(p, size), bar, screens);
    };
    // A screen with a panel below it, and a second, smaller one to its right.
    const QList<QRect> one{QRect(0, 0, 1920, 1040)};
    const QList<QRect> two{QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 984)};

    // Kept: on a screen, across two, half of it below the bottom edge.
    EXPECT_EQ(at({100, 113}, one), QPoint(100, 113));
    EXPECT_EQ(at({1700, 100}, two), QPoint(1700, 100));
    EXPECT_EQ(at({100, 840}, one), QPoint(100, 840));
    // Moved wholly onto the nearest screen: less than half shown, the title
    // bar partly off, the second screen removed, a smaller screen (another
    // scale), a window larger than the screen.
    EXPECT_EQ(at({100, 841}, one), QPoint(100, 640));
    EXPECT_EQ(at({-5000, 32}, one), QPoint(0, 32));
    EXPECT_EQ(at({1500, -10}, one), QPoint(1455, 0));
    EXPECT_EQ(at({2500, 300}, one), QPoint(1455, 300));
    EXPECT_EQ(at({2500, 300}, two), QPoint(2500, 300));
    EXPECT_EQ(at({1800, 900}, {QRect(0, 0, 1280, 720)}), QPoint(815, 320));
    EXPECT_EQ(at({50, 50}, {QRect(0, 0, 400, 300)}), QPoint(0, 0));
}

TEST(WindowPlacement, TheFindDialogGoesBesideTheMainWindow) {
    const QSize dialog(370, 160);
    const QRect wide(0, 0, 1366, 728), small(0, 0, 800, 600);
    // Right of the window, else left of it, else below.
    EXPECT_EQ(BesidePosition(QRect(100, 113, 465, 400), dialog, wide), QPoint(573, 113));
    EXPECT_EQ(BesidePosition(QRect(880, 113, 465, 400), dialog, wide), QPoint(502, 113));
    EXPECT_EQ(BesidePosition(QRect(100, 20, 465, 400), dialog, small), QPoint(100, 428));
    // No room anywhere: where it covers the least of the window.
    EXPECT_EQ(BesidePosition(QRect(100, 113, 465, 370), dialog, small), QPoint(100, 440));
}

TEST(QtTranslation, QtsOwnTextsSpeakTheUsersLanguage) {
    QTranslator japanese;
    ASSERT_TRUE(InstallQtTranslation(japanese, QLocale(QLocale::Japanese, QLocale::Japan)));
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), U("キャンセル"));
    QCoreApplication::removeTranslator(&japanese);
}

namespace {

QAccessibleInterface *Spoken(QObject *o) {
    return QAccessible::queryAccessibleInterface(o);
}

QString SpokenName(QObject *o) {
    QAccessibleInterface *i = Spoken(o);
    return i ? i->text(QAccessible::Name) : QStringLiteral("<none>");
}

class KeyboardAndScreenReaderTest : public ProgramTest {
  protected:
    void Focus(QWidget *w) {
        w->window()->activateWindow();
        QApplication::processEvents();
        if (QApplication::activeWindow() != w->window())
            QApplication::setActiveWindow(w->window());
        w->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
    }
};

} // namespace

TEST_F(KeyboardAndScreenReaderTest, TextOnTheProgramsOwnColoursReadsOnADarkTheme) {
    const QPalette before = QApplication::palette();
    QApplication::setPalette(QPalette(QColor(53, 53, 53)));
    Write("quorvel.lst", "a\r\n");
    TForm1 &f = Start();
    TForm2 &form2 = program_->form2();
    const auto textOf = [](QWidget *w) { return w->palette().color(w->foregroundRole()); };
    // The status bar as drawn: its text on the yellow.
    auto *panel = f.StatusBar1->findChild<QLabel *>(QStringLiteral("StatusPanel"));
    ASSERT_NE(panel, nullptr);
    const QImage bar = f.StatusBar1->grab().toImage();
    EXPECT_EQ(bar.pixelColor(bar.width() - 3, bar.height() / 2), QColor(255, 255, 102));
    EXPECT_GE(ContrastRatio(textOf(panel), QColor(255, 255, 102)), 4.5);
    // The print settings dialog's labels and check box on their colours.
    for (QWidget *w : {static_cast<QWidget *>(form2.Label1), static_cast<QWidget *>(form2.Label3),
                       static_cast<QWidget *>(form2.CheckBox1)}) {
        QWidget *ground = w->autoFillBackground() ? w : &form2;
        EXPECT_GE(ContrastRatio(textOf(w), ground->palette().color(ground->backgroundRole())), 4.5)
            << w->objectName().toStdString();
    }
    Close();
    QApplication::setPalette(before);
}

TEST_F(KeyboardAndScreenReaderTest, TabLeavesTheTextAreas) {
    Write("quorvel.lst", "a\r\n");
    TForm1 &f = Start();
    f.ActivatePage(1);
    Focus(f.Memo1);
    QTest::keyClick(f.Memo1, Qt::Key_Tab);
    EXPECT_TRUE(f.Button1->hasFocus());
    Focus(f.Memo1);
    QTest::keyClick(f.Memo1, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_FALSE(f.Memo1->hasFocus());
    EXPECT_EQ(f.Memo1->text(), QString());

    f.ActivatePage(0);
    f.ListBox1->setItemIndex(0);
    f.N1->trigger();
    Focus(f.Memo3);
    QTest::keyClick(f.Memo3, Qt::Key_Tab);
    EXPECT_TRUE(f.Button4->hasFocus());
    EXPECT_EQ(f.Memo3->text(), U("a\r\n"));
}

TEST_F(KeyboardAndScreenReaderTest, EveryControlHasAJapaneseNameAndEachMemoItsTitle) {
    Write("quorvel.lst", *EncodeCp932(U("買い物\r\n牛乳<!--改行が入りますa7ui9[xz-->卵\r\n")));
    TForm1 &f = Start();
    EXPECT_EQ(SpokenName(f.Memo1), U("新規入力"));
    EXPECT_EQ(SpokenName(f.Memo3), U("メモの編集"));
    EXPECT_EQ(SpokenName(f.ListBox1), U("To Do リスト"));
    EXPECT_EQ(SpokenName(f.ListBox3), U("ごみ箱"));
    QStringList rows;
    QAccessibleInterface *list = Spoken(f.ListBox1);
    for (int i = 0; i < list->childCount(); ++i)
        if (list->child(i)->role() == QAccessible::ListItem)
            rows << list->child(i)->text(QAccessible::Name);
    EXPECT_EQ(rows, QStringList({U("買い物"), U("牛乳")}));

    TForm2 &form2 = program_->form2();
    EXPECT_EQ(Spoken(&form2)->role(), QAccessible::Dialog);
    EXPECT_EQ(SpokenName(&form2), U("印刷設定ダイアログ"));
    EXPECT_EQ(SpokenName(form2.SpinEdit1), U("フォントサイズ"));
    // A combo box speaks its value as its name here; its label comes with it.
    const auto labels = Spoken(form2.ComboBox1)->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels.first().first->object(), form2.Label3);
    EXPECT_EQ(labels.first().first->text(QAccessible::Name), U("行間隔"));

    // Nothing the keyboard reaches goes unnamed.
    for (QWidget *window : {static_cast<QWidget *>(&f), static_cast<QWidget *>(&form2)}) {
        for (QWidget *w : window->findChildren<QWidget *>()) {
            if (w->window() == window && w->focusPolicy() & Qt::TabFocus && !w->isHidden() &&
                !w->focusProxy()) {
                EXPECT_FALSE(SpokenName(w).isEmpty())
                    << w->metaObject()->className() << " " << w->objectName().toStdString();
            }
        }
    }
}
