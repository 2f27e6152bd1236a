#include "print/printsetting.h"

#include "platform/apperror.h"
#include "platform/pagesurface.h"
#include "platform/platform.h"
#include "platform/utf8.h"
#include "print/print_unit.h"
#include "settings/inifile.h"
#include "store/rowpaint.h"
#include "ui/Quorvelmain.h"
#include "ui/fonts.h"
#include "ui/widgets.h"

#include <QAccessibleWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <algorithm>
#include <optional>

TForm2 *Form2 = nullptr;

namespace {

constexpr int SpinMin = 9;
constexpr int SpinMax = 30;

// A background of the program's own, with the theme's text on it where that
// reads well and black or white where it does not.
void SetBackground(QWidget *w, const QColor &colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::WindowText, TextColorOn(colour, p.color(QPalette::WindowText)));
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

QLabel *MakeLabel(QWidget *parent, const char *name, const char *caption, int l, int t, int w,
                  int h, const QColor &background) {
    auto *label = new QLabel(U(caption), parent);
    label->setObjectName(U(name));
    label->setGeometry(l, t, w, h);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SetBackground(label, background);
    return label;
}

QPushButton *MakeButton(QWidget *parent, const char *name, const char *caption, int l, int t) {
    auto *b = new QPushButton(U(caption), parent);
    b->setObjectName(U(name));
    b->setGeometry(l, t, 75, 25);
    // Neither button answers Enter or Escape.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

// A decimal integer with an optional sign, in 32 bits, and nothing else.
std::optional<int> ParseDecimal(const QString &text) {
    const QStringView digits =
        QStringView(text).sliced(text.startsWith(u'+') || text.startsWith(u'-') ? 1 : 0);
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || digits.isEmpty() ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    return v;
}

// Whether typed text may go into the font size field: digits, signs, the
// decimal separator and control characters (editing keys) only.
bool Typeable(const QString &text, const QLocale &locale) {
    const QString separator = locale.decimalPoint();
    return std::all_of(text.begin(), text.end(), [&](QChar c) {
        const char16_t u = c.unicode();
        const bool control = u < 0x20 || u == 0x7F;
        return control || (u >= u'0' && u <= u'9') || u == u'+' || u == u'-' || separator == c;
    });
}

// Screen readers announce the print settings window as the dialog it is,
// not as a plain window.
QAccessibleInterface *DialogAccessible(const QString &className, QObject *object) {
    if (className == QLatin1String("TForm2") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Dialog);
    return nullptr;
}

// Runs a button's command; an error it does not catch goes to the general
// error report and the dialog stays as it is.
template <class F> void Run(F &&command) {
    try {
        command();
    } catch (const std::exception &e) {
        ReportUncaughtError(e);
    }
}

// The combo box's ten line spacings; item i stands for i + 11.
const char *const SpacingItems[] = {"1.1倍", "1.2倍", "1.3倍", "1.4倍", "1.5倍",
                                    "1.6倍", "1.7倍", "1.8倍", "1.9倍", "2.0倍"};

} // namespace

// --- The font size field ---------------------------------------------------

TSpinEdit::TSpinEdit(QWidget *parent) : QSpinBox(parent) {
    setRange(SpinMin, SpinMax);
    setSingleStep(1);
    SetValue(21);
}

QString TSpinEdit::CurrentText() const {
    return lineEdit()->text();
}

void TSpinEdit::SetText(const QString &text) {
    if (CurrentText() != text)
        lineEdit()->setText(text);
}

int TSpinEdit::Value() const {
    return ParseDecimal(CurrentText()).value_or(SpinMin);
}

void TSpinEdit::SetValue(int value) {
    const int v = std::clamp(value, SpinMin, SpinMax);
    QSpinBox::setValue(v);
    SetText(QString::number(v));
}

void TSpinEdit::CheckRange() {
    if (const std::optional<int> v = ParseDecimal(CurrentText());
        v && (*v < SpinMin || *v > SpinMax))
        SetText(QString::number(std::clamp(*v, SpinMin, SpinMax)));
}

void TSpinEdit::stepBy(int steps) {
    SetValue(static_cast<int>(std::clamp<qint64>(qint64(Value()) + steps, SpinMin, SpinMax)));
}

// Any text may stand in the field (pasted text too); what it is worth is
// decided by Value(). Reporting every text as acceptable keeps the spin box
// from putting text of its own in.
QValidator::State TSpinEdit::validate(QString &, int &) const {
    return QValidator::Acceptable;
}

void TSpinEdit::fixup(QString &) const {}

int TSpinEdit::valueFromText(const QString &text) const {
    return std::clamp(ParseDecimal(text).value_or(SpinMin), SpinMin, SpinMax);
}

// The spin box redraws its text from its value at many moments (focus out,
// show, style changes). The text is the field's own state here, so it is
// given back unchanged; SetValue and CheckRange are the only rewrites.
QString TSpinEdit::textFromValue(int) const {
    return CurrentText();
}

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const {
    return StepUpEnabled | StepDownEnabled;
}

void TSpinEdit::keyPressEvent(QKeyEvent *e) {
    switch (e->key()) {
    case Qt::Key_Up:
        stepBy(1);
        break;
    case Qt::Key_Down:
        stepBy(-1);
        break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        break;
    case Qt::Key_Enter:
    case Qt::Key_Return:
        platform().Beep();
        break;
    default:
        if (Typeable(e->text(), locale()))
            return QSpinBox::keyPressEvent(e);
        platform().Beep();
    }
    e->accept();
}

// Text committed by an input method ("１２あ" typed in kana mode) passes the
// same filter as keys: refused whole, with the beep. The composition still
// ends, as it would with the text taken.
bool TSpinEdit::event(QEvent *e) {
    if (e->type() == QEvent::InputMethod) {
        auto *im = static_cast<QInputMethodEvent *>(e);
        if (!Typeable(im->commitString(), locale())) {
            platform().Beep();
            QInputMethodEvent withoutCommit(im->preeditString(), im->attributes());
            QSpinBox::event(&withoutCommit);
            e->accept();
            return true;
        }
    }
    return QSpinBox::event(e);
}

void TSpinEdit::focusOutEvent(QFocusEvent *e) {
    CheckRange();
    QSpinBox::focusOutEvent(e);
}

// --- The dialog ---------------------------------------------------------------

TForm2::TForm2(QWidget *parent) : QWidget(parent, Qt::Tool) {
    static const bool spokenAsDialog = (QAccessible::installFactory(DialogAccessible), true);
    Q_UNUSED(spokenAsDialog);
    setObjectName(QStringLiteral("Form2"));
    BuildLayout();
    FormCreate();
}

void TForm2::BuildLayout() {
    setWindowTitle(U("印刷設定ダイアログ"));
    setFixedSize(211, 168);
    move(213, 103);
    setFont(ProportionalGothic(15));
    SetBackground(this, QColor(166, 202, 240)); // clSkyBlue

    Label2 = MakeLabel(this, "Label2", " リスト印刷の設定 ", 32, 8, 137, 16, Qt::yellow);
    Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label2->setFont(ProportionalGothic(16, true));
    QPalette red = Label2->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    Label2->setPalette(red);

    Label1 = MakeLabel(this, "Label1", "フォントサイズ", 16, 45, 87, 15,
                       QColor(255, 251, 240)); // clCream

    SpinEdit1 = new TSpinEdit(this);
    SpinEdit1->setObjectName(QStringLiteral("SpinEdit1"));
    SpinEdit1->setGeometry(120, 40, 41, 24);

    Label3 = MakeLabel(this, "Label3", "行間隔", 16, 84, 45, 15, Qt::white);

    // Screen readers name each box by the label before it.
    Label1->setBuddy(SpinEdit1);
    SpinEdit1->setAccessibleName(Label1->text());

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(96, 80, 73, 23);
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setCompleter(nullptr);
    ComboBox1->setItemDelegate(new QStyledItemDelegate(ComboBox1));
    for (const char *item : SpacingItems)
        ComboBox1->addItem(U(item));
    for (int i = 0; i < ComboBox1->count(); ++i)
        ComboBox1->setItemData(i, QSize(60, 15), Qt::SizeHintRole);
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(U("何倍?"));
    Label3->setBuddy(ComboBox1);
    ComboBox1->setAccessibleName(Label3->text());
    connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this, &TForm2::ComboTextEdited);

    CheckBox1 = new QCheckBox(U("見出し（1行目だけ）を印刷"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(24, 112, 169, 17);
    CheckBox1->setFont(ProportionalGothic(13));
    CheckBox1->setChecked(true);

    Button1 = MakeButton(this, "Button1", "設定する", 16, 136);
    Button2 = MakeButton(this, "Button2", "キャンセル", 112, 136);
    connect(Button1, &QPushButton::clicked, this, [this] { Run([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { Run([this] { Button2Click(); }); });

    setTabOrder(Button1, Button2);
    setTabOrder(Button2, SpinEdit1);
    setTabOrder(SpinEdit1, ComboBox1);
    setTabOrder(ComboBox1, CheckBox1);
    SpinEdit1->setFocus();
}

// Typed text selects the item it names exactly and no item otherwise; the
// text stays as typed either way.
void TForm2::ComboTextEdited(const QString &text) {
    const int index = ComboBox1->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index == ComboBox1->currentIndex())
        return;
    QLineEdit *edit = ComboBox1->lineEdit();
    const int cursor = edit->cursorPosition();
    ComboBox1->setCurrentIndex(index);
    if (edit->text() != text)
        edit->setText(text);
    edit->setCursorPosition(cursor);
}

void TForm2::FormCreate() {
    const QString ini = TForm1::SettingsFileName();
    PrintFontSize = Ini::ReadInteger(ini, "Print", "PrintFontSize", 16);
    SpinEdit1->SetValue(PrintFontSize);

    PrintKankaku = Ini::ReadInteger(ini, "Print", "PrintKankaku", 15);
    const qint64 item = qint64(PrintKankaku) - 11;
    const int index = item >= 0 && item < ComboBox1->count() ? int(item) : -1;
    if (ComboBox1->currentIndex() != index)
        ComboBox1->setCurrentIndex(index);

    OnlyHeadLine = Ini::ReadInteger(ini, "Print", "OnlyHeadLine", 1);
    CheckBox1->setChecked(OnlyHeadLine == 1);
}

void TForm2::Button1Click() {
    // The field is left first, as a click on the button leaves it, so an
    // out-of-range size is brought to its bound before it is written.
    if (SpinEdit1->hasFocus())
        Button1->setFocus(Qt::MouseFocusReason);
    SpinEdit1->CheckRange();

    // The three settings go into the file together or not at all.
    Ini::Changes ini(TForm1::SettingsFileName());
    ini.WriteInteger("Print", "PrintFontSize", SpinEdit1->Value());
    ini.WriteInteger("Print", "PrintKankaku", ComboBox1->currentIndex() + 11);
    ini.WriteInteger("Print", "OnlyHeadLine", CheckBox1->isChecked() ? 1 : 0);
    ini.Save();
    hide();
}

void TForm2::Button2Click() {
    hide();
}

void TForm2::showEvent(QShowEvent *e) {
    // A showing by the program (not the window system restoring it) of the
    // hidden dialog: what was entered and not saved is replaced.
    if (!e->spontaneous()) {
        FormCreate();
        SpinEdit1->setFocus();
    }
    QWidget::showEvent(e);
}

// --- The print commands of the main window ----------------------------------------

void TForm1::PrintSettingClick() {
    Form2->show();
    Form2->raise();
    Form2->activateWindow();
}

void TForm1::PrintClick() {
    std::unique_ptr<PageSurface> surface = platform().ChoosePrinter();
    if (!surface)
        return; // cancelled: nothing is begun
    // The document is named after the list: a PDF's title, a print job's name.
    surface->SetDocName(QFileInfo(ListFileName).fileName());
    TPrintObject PrintObject;
    if (PrintObject.PrintList(*surface, SettingsFileName(), ListBox1->titleModel()->titles(),
                              ListBox2.ToList()) == TPrintObject::Outcome::InvalidSettings)
        BeepMessage(U("印刷設定の値が正しくありません。「印刷設定」で設定し直してください。"));
}
