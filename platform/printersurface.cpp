// The page surface on a printer the user chooses in the print dialog.
#include "platform/printersurface.h"

#include "platform/apperror.h"
#include "platform/cp932.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QWidget>
#include <cstdlib>

namespace {

// A gothic face that shows Japanese, asked for by its Windows names first.
QFont PrintFont(int pixels) {
    QFont f;
    f.setFamilies({QString::fromUtf8("ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
                   QStringLiteral("IPAGothic")});
    f.setPixelSize(pixels > 0 ? pixels : 1);
    return f;
}

[[noreturn]] void PrinterFailed() {
    throw AppError(QString::fromUtf8("印刷できません"));
}

} // namespace

PrinterSurface::PrinterSurface(std::unique_ptr<QPrinter> printer) : printer_(std::move(printer)) {}

PrinterSurface::~PrinterSurface() = default;

int PrinterSurface::DpiY() const {
    return printer_->logicalDpiY();
}

void PrinterSurface::BeginDoc() {
    if (!printer_->isValid())
        PrinterFailed();
    pages_ = {QList<Text>()};
    open_ = true;
}

void PrinterSurface::SetFontSize(int points) {
    height_ = FontHeightFor(points, DpiY());
}

int PrinterSurface::FontSize() const {
    return FontSizeFor(height_, DpiY());
}

void PrinterSurface::TextOut(int x, int y, const QByteArray &text) {
    if (open_)
        pages_.last().append(Text{x, y, std::abs(height_), text});
}

void PrinterSurface::NewPage() {
    if (open_)
        pages_.append(QList<Text>());
}

void PrinterSurface::EndDoc() {
    if (!open_)
        return;
    open_ = false;
    const QList<QList<Text>> pages = std::move(pages_);
    pages_.clear();

    QPainter painter;
    if (!painter.begin(printer_.get()))
        PrinterFailed();
    int fontHeight = -1;
    int ascent = 0;
    for (qsizetype p = 0; p < pages.size(); ++p) {
        if (p > 0 && !printer_->newPage()) {
            painter.end();
            PrinterFailed();
        }
        for (const Text &t : pages[p]) {
            if (t.height != fontHeight) {
                fontHeight = t.height;
                painter.setFont(PrintFont(fontHeight));
                ascent = painter.fontMetrics().ascent();
            }
            // The top of the character cell lies at y.
            painter.drawText(QPoint(t.x, t.y + ascent), DecodeCp932(t.bytes));
        }
    }
    if (!painter.end())
        PrinterFailed();
}

void PrinterSurface::AbortDoc() {
    // Nothing has reached the printer yet: dropping the pages is all it takes.
    open_ = false;
    pages_.clear();
}

std::unique_ptr<PageSurface> ChoosePrinterSurface(QWidget *parent) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(printer.get(), parent);
    // The printer, its properties and the copies; the whole list always
    // prints, so there is no page range, selection or current page.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize |
                      QAbstractPrintDialog::PrintCollateCopies);
    dialog.setPrintRange(QAbstractPrintDialog::AllPages);
    if (dialog.exec() != QDialog::Accepted)
        return nullptr;
    return std::make_unique<PrinterSurface>(std::move(printer));
}
