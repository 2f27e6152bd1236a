// The find dialog: the text to find in the memos and three ways of comparing.
// Created hidden at start-up, shown without blocking the main window; its
// buttons and the Edit menu's find items search the memos of the page that
// shows (TForm1::FindMemo).
#pragma once

#include "store/find.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class TForm1;
class TextField;

class TForm3 : public QDialog {
    Q_OBJECT
  public:
    // A dialog of the main window: it stays in front of it.
    explicit TForm3(TForm1 *owner);

    QLabel *Label1 = nullptr;
    // The search field (the main window's Edit1 is its Edit menu).
    TextField *Edit1 = nullptr;
    QCheckBox *CheckBox1 = nullptr; // "全角と半角を区別しない"
    QCheckBox *CheckBox2 = nullptr; // "ひらがなとカタカナを区別しない"
    QCheckBox *CheckBox3 = nullptr; // "大文字と小文字を区別する"
    QPushButton *Button1 = nullptr; // "次を検索"
    QPushButton *Button2 = nullptr; // "前を検索"
    QPushButton *Button3 = nullptr; // "閉じる"

    // How to find Edit1's text, as the dialog sets it (hidden or not).
    FindOptions Options() const;

    // Shows the dialog, or brings it to the front, with the focus in Edit1
    // and its text selected.
    void ShowFind();
    // The text and the options from the settings file, section "Find": read
    // when the dialog is shown the first time in a run.
    void LoadSettings();
    // Writes them there: each time a search runs. A text that the settings
    // file cannot give back whole (no code page 932 form, a line end in it,
    // or more bytes than a read gives) is not stored; the options are.
    void SaveSettings();

    void Button1Click();
    void Button2Click();
    void Button3Click();
    // The search buttons are disabled while there is no text to find.
    void Edit1Change();

  protected:
    void showEvent(QShowEvent *e) override;
    // Escape and the close box: as "閉じる".
    void reject() override;

  private:
    TForm1 *owner_;
    bool loaded_ = false;
};

// The one find dialog of the run, created hidden after the print settings dialog.
extern TForm3 *Form3;
