// Quick capture: a small window, above every other, that takes one new memo
// from anywhere on the desktop. The running window shows it when another
// start asks for it; with no window running it is shown alone.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

class MemoEdit;
class QPushButton;

class TForm4 : public QDialog {
    Q_OBJECT
  public:
    // save saves a text as a new memo, with the refusals and messages of the
    // new-memo page, and tells whether it did.
    explicit TForm4(std::function<bool(const QString &)> save);

    MemoEdit *Memo1 = nullptr;
    QPushButton *Button1 = nullptr; // "保存する" (also Ctrl+Return)
    QPushButton *Button2 = nullptr; // "キャンセル" (also Escape)

    // Shows the window empty, centred on the screen, with the focus in
    // Memo1; when it shows already, brings it to the front as it is.
    void ShowCapture();

    void Button1Click();
    void Button2Click();

  protected:
    void showEvent(QShowEvent *e) override;
    // Escape and the close box: as "キャンセル".
    void reject() override;

  private:
    std::function<bool(const QString &)> save_;
};

// Quick capture with no window running: a memo goes to the end of the list
// file a window would open (the settings file is only read).
std::unique_ptr<TForm4> MakeCaptureAlone();
