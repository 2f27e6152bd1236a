#include "print/printsetting.h"

#include "ui/Quorvelmain.h"

TForm2 *Form2 = nullptr;

TForm2::TForm2(QWidget *parent) : QWidget(parent, Qt::Tool) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QString::fromUtf8("印刷設定ダイアログ"));
}

// The print commands of the main window come with the printing work.
void TForm1::PrintSettingClick() {}
void TForm1::PrintClick() {}
