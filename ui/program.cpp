#include "ui/program.h"

#include "print/printsetting.h"
#include "ui/Quorvelmain.h"

#include <QApplication>

void InitApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Quorvel"));
}

QuorvelProgram::QuorvelProgram() {
    form1_ = std::make_unique<TForm1>();
    form2_ = std::make_unique<TForm2>();
    Form2 = form2_.get();
}

QuorvelProgram::~QuorvelProgram() {
    Form2 = nullptr;
    form2_.reset();
    form1_.reset();
}
