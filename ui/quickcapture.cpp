#include "ui/quickcapture.h"

#include "platform/platform.h"
#include "platform/utf8.h"
#include "settings/settings.h"
#include "store/listfile.h"
#include "store/memotext.h"
#include "store/record.h"
#include "ui/fonts.h"
#include "ui/widgets.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

namespace {

// The new-memo page's save, to a list file no window holds.
bool SaveToListFile(const QString &text) {
    try {
        QString refusal;
        const std::optional<QByteArray> bytes = NewMemoBytes(text, &refusal);
        if (!bytes) {
            BeepMessage(refusal);
            return false;
        }
        ListFile list(CurrentListFileName());
        if (!list.Append(MemoTextToRecord(*bytes))) {
            BeepMessage(NewMemoFailedMessage());
            return false;
        }
        return true;
    } catch (const std::exception &e) {
        ReportUncaughtError(e);
        return false;
    }
}

} // namespace

TForm4::TForm4(std::function<bool(const QString &)> save) : save_(std::move(save)) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(U("新しいメモ"));
    // A title and a close box, above every other window; nothing to
    // maximise or minimise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setFont(ProportionalGothic(12));
    setFixedSize(380, 195);
    setModal(false);

    Memo1 = new MemoEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(10, 10, 360, 140);
    Memo1->setFont(ProportionalGothic(13));
    Button1 = MakeButton(this, "Button1", "保存する", 200, 160, 80, 25);
    Button2 = MakeButton(this, "Button2", "キャンセル", 290, 160, 80, 25);
    setTabOrder(Memo1, Button1);
    setTabOrder(Button1, Button2);

    connect(Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm4::Button2Click);
    auto *keys = new QShortcut(Memo1);
    keys->setKeys(
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    keys->setContext(Qt::WidgetShortcut);
    connect(keys, &QShortcut::activated, this, &TForm4::Button1Click);
}

void TForm4::ShowCapture() {
    if (!isVisible()) {
        Memo1->clear();
        show();
    }
    raise();
    activateWindow();
    Memo1->setFocus();
}

void TForm4::Button1Click() {
    if (!save_(Memo1->text()))
        return;
    Memo1->clear();
    accept();
}

void TForm4::Button2Click() {
    Memo1->clear();
    QDialog::reject();
}

void TForm4::reject() {
    Button2Click();
}

void TForm4::showEvent(QShowEvent *e) {
    QDialog::showEvent(e);
    // In the middle of the screen the pointer is on, not over the main window.
    const QScreen *on = QGuiApplication::screenAt(platform().CursorPos());
    if (!on)
        on = QGuiApplication::primaryScreen();
    if (!on)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(on->availableGeometry().center());
    move(frame.topLeft());
}

std::unique_ptr<TForm4> MakeCaptureAlone() {
    return std::make_unique<TForm4>(SaveToListFile);
}
