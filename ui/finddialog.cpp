#include "ui/finddialog.h"

#include "platform/cp932.h"
#include "platform/fileio.h"
#include "platform/platform.h"
#include "platform/utf8.h"
#include "settings/inifile.h"
#include "ui/Quorvelmain.h"
#include "ui/fonts.h"
#include "ui/placement.h"
#include "ui/widgets.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

TForm3 *Form3 = nullptr;

namespace {

template <class W> W *Place(W *w, const char *name, int l, int t, int width, int height) {
    w->setObjectName(U(name));
    w->setGeometry(l, t, width, height);
    return w;
}

} // namespace

TForm3::TForm3(TForm1 *owner) : QDialog(owner), owner_(owner) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(U("検索"));
    setFont(ProportionalGothic(12));
    setFixedSize(356, 128);
    setModal(false);

    Label1 = Place(new QLabel(U("検索する文字列(&N):"), this), "Label1", 10, 10, 236, 18);
    Edit1 = Place(new TextField(this), "Edit1", 10, 30, 236, 22);
    Label1->setBuddy(Edit1);
    CheckBox1 =
        Place(new QCheckBox(U("全角と半角を区別しない"), this), "CheckBox1", 10, 60, 236, 18);
    CheckBox2 = Place(new QCheckBox(U("ひらがなとカタカナを区別しない"), this), "CheckBox2", 10, 82,
                      236, 18);
    CheckBox3 =
        Place(new QCheckBox(U("大文字と小文字を区別する"), this), "CheckBox3", 10, 104, 236, 18);
    CheckBox1->setChecked(true);
    CheckBox2->setChecked(true);
    Button1 = Place(new QPushButton(U("次を検索"), this), "Button1", 258, 10, 88, 25);
    Button2 = Place(new QPushButton(U("前を検索"), this), "Button2", 258, 40, 88, 25);
    Button3 = Place(new QPushButton(U("閉じる"), this), "Button3", 258, 96, 88, 25);
    Button1->setDefault(true);

    QWidget *const order[] = {Edit1, CheckBox1, CheckBox2, CheckBox3, Button1, Button2, Button3};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm3::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm3::Button3Click);
    connect(Edit1, &QLineEdit::textChanged, this, &TForm3::Edit1Change);
    Edit1Change();
}

FindOptions TForm3::Options() const {
    return FindOptions{CheckBox1->isChecked(), CheckBox2->isChecked(), CheckBox3->isChecked()};
}

void TForm3::ShowFind() {
    if (!isVisible()) {
        // Beside the main window, not over the memo it is to find.
        move(BesidePosition(owner_->frameGeometry(), frameGeometry().size(),
                            owner_->screen()->availableGeometry()));
    }
    show();
    raise();
    activateWindow();
    Edit1->setFocus(Qt::OtherFocusReason);
    Edit1->selectAll();
}

void TForm3::LoadSettings() {
    const QString ini = TForm1::SettingsFileName();
    // The text exactly as typed, blanks at either end included.
    Edit1->setText(DecodeCp932(Ini::ReadExactString(ini, "Find", "Text", QByteArray())));
    CheckBox1->setChecked(Ini::ReadInteger(ini, "Find", "IgnoreWidth", 1) == 1);
    CheckBox2->setChecked(Ini::ReadInteger(ini, "Find", "IgnoreKana", 1) == 1);
    CheckBox3->setChecked(Ini::ReadInteger(ini, "Find", "MatchCase", 0) == 1);
}

void TForm3::SaveSettings() {
    // All four in one replace of the file; none when the file holds them
    // already (F3 pressed again and again rewrites nothing).
    Ini::Changes ini(TForm1::SettingsFileName());
    const auto put = [&ini](const char *key, const QByteArray &value) {
        if (ini.ReadString("Find", key, "\n") != value)
            ini.WriteString("Find", key, value);
    };
    // A text comes back whole or is not stored: one longer than a read
    // gives back would come back cut.
    const std::optional<QByteArray> text = EncodeCp932(Edit1->text());
    if (text && !text->contains('\r') && !text->contains('\n') && !text->contains('\0') &&
        text->size() <= Ini::kMaxValueBytes && ini.ReadExactString("Find", "Text", "\n") != *text)
        ini.WriteString("Find", "Text", *text);
    put("IgnoreWidth", CheckBox1->isChecked() ? "1" : "0");
    put("IgnoreKana", CheckBox2->isChecked() ? "1" : "0");
    put("MatchCase", CheckBox3->isChecked() ? "1" : "0");
    ini.Save();
}

void TForm3::Button1Click() {
    owner_->Run([this] { owner_->FindMemo(true); });
}

void TForm3::Button2Click() {
    owner_->Run([this] { owner_->FindMemo(false); });
}

void TForm3::Button3Click() {
    hide();
}

void TForm3::Edit1Change() {
    const bool some = !Edit1->text().isEmpty();
    Button1->setEnabled(some);
    Button2->setEnabled(some);
}

void TForm3::showEvent(QShowEvent *e) {
    if (!loaded_ && !e->spontaneous()) {
        loaded_ = true;
        LoadSettings();
    }
    QDialog::showEvent(e);
}

void TForm3::reject() {
    Button3Click();
}

// --- The find commands of the main window ---------------------------------------

void TForm1::Find1Click() {
    Form3->ShowFind();
}

void TForm1::FindNext1Click() {
    FindMemo(true);
}

void TForm1::FindPrev1Click() {
    FindMemo(false);
}

void TForm1::FindMemo(bool Next) {
    const QString text = Form3->Edit1->text();
    if (text.isEmpty()) {
        Find1Click();
        return;
    }
    const MemoMatcher matcher(text, Form3->Options());
    TitleListView *list = ListBox1;
    FindResult found;
    if (PageControl1->currentIndex() == TrashPage) {
        // The trash entries as the trash file holds them now; the page shows
        // them, so that the row found is the entry found, and the entry
        // selected stays selected where it now stands.
        KeepSelection(ListBox3, Trash.records(), [this] {
            if (Trash.Held() || FileExists(Trash.path()))
                Trash.Reload();
            ListBox3->titleModel()->setRecords(&Trash.records());
        });
        list = ListBox3;
        found = FindInRecords(Trash.records(), list->itemIndex(), Next, matcher);
    } else {
        ActivatePage(ListPage); // from another page: the list page, loaded by its showing
        found = FindInRecords(ListBox2, list->itemIndex(), Next, matcher);
    }
    if (found.index < 0) {
        BeepMessage(U("「") + text + U("」が見つかりません。"));
    } else {
        list->setItemIndex(int(found.index));
        SetStatusText(U("「") + text + U("」：") + QString::number(found.count) + U("件中") +
                      QString::number(found.position) + U("件目"));
    }
    Form3->SaveSettings();
}
