// The print settings dialog: a small modeless tool window that sets the
// print font size, the line spacing and whether only titles are printed.
#pragma once

#include <QSpinBox>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

// The numeric field of the font size. Its text is what counts: the value is
// the integer the text spells (decimal, optional sign), 9 for any other text.
// Setting the value, the arrow keys and the buttons keep it in 9 ... 30;
// leaving the field rewrites an integer outside 9 ... 30 to the nearer bound
// and leaves any other text as it is. Typing takes digits, signs and the
// decimal separator and beeps at anything else, and at Enter; text that an
// input method commits is held to the same rule.
class TSpinEdit : public QSpinBox {
    Q_OBJECT
  public:
    explicit TSpinEdit(QWidget *parent = nullptr);

    // The value the text stands for; not brought into range.
    int Value() const;
    // Sets the value brought into the range and shows it as decimal text.
    void SetValue(int value);
    // What leaving the field does: an integer outside the range becomes the
    // nearer bound.
    void CheckRange();

    void stepBy(int steps) override;
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;

  protected:
    int valueFromText(const QString &text) const override;
    QString textFromValue(int value) const override;
    StepEnabled stepEnabled() const override;
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;

  private:
    QString CurrentText() const;
    void SetText(const QString &text);
};

class TForm2 : public QWidget {
    Q_OBJECT
  public:
    explicit TForm2(QWidget *parent = nullptr);

    QLabel *Label2 = nullptr;
    QLabel *Label1 = nullptr;
    TSpinEdit *SpinEdit1 = nullptr;
    QLabel *Label3 = nullptr;
    QComboBox *ComboBox1 = nullptr;
    QCheckBox *CheckBox1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;

    // The settings as last read from the settings file.
    qint32 PrintFontSize = 0;
    qint32 PrintKankaku = 0;
    qint32 OnlyHeadLine = 0;

    // Loads the controls from the settings file: at creation and each time
    // the hidden dialog is shown.
    void FormCreate();
    // "設定する": writes the three settings, then closes the dialog.
    void Button1Click();
    // "キャンセル": closes the dialog without writing.
    void Button2Click();

  protected:
    // Each showing of the hidden dialog loads it anew and puts the focus in
    // the font size field. The close box only hides it (the default of a
    // QWidget): nothing is written.
    void showEvent(QShowEvent *e) override;

  private:
    void BuildLayout();
    void ComboTextEdited(const QString &text);
};

// The one print settings dialog of the run, created hidden after the main window.
extern TForm2 *Form2;
