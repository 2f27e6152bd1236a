// The page surface on a real printer, through QPrinter and QPainter.
#pragma once

#include "platform/pagesurface.h"

#include <QList>
#include <memory>

class QPrinter;
class QWidget;

// Draws on a printer in its device units: the font height follows the
// printer's vertical resolution, text is drawn in a gothic face with its
// top-left corner at (x, y) from the top-left of the printable area.
//
// The pages are kept until EndDoc and only then sent to the printer, so a
// document that is abandoned (AbortDoc, or never ended) leaves nothing at all
// on any printer, a file printer included. A failure of the printer is
// thrown as an AppError.
class PrinterSurface : public PageSurface {
  public:
    explicit PrinterSurface(std::unique_ptr<QPrinter> printer);
    ~PrinterSurface() override;

    void BeginDoc() override;
    void SetFontSize(int points) override;
    int FontHeight() const override { return height_; }
    int FontSize() const override;
    void TextOut(int x, int y, const QByteArray &text) override;
    void NewPage() override;
    void EndDoc() override;
    void AbortDoc() override;

    QPrinter &printer() const { return *printer_; }

  private:
    struct Text {
        int x;
        int y;
        int height;
        QByteArray bytes;
    };
    int DpiY() const;

    std::unique_ptr<QPrinter> printer_;
    int height_ = 0;
    bool open_ = false;
    QList<QList<Text>> pages_;
};

// Shows the print dialog (printer, its properties and the number of copies)
// and returns a surface on the chosen printer, or null when it is cancelled.
std::unique_ptr<PageSurface> ChoosePrinterSurface(QWidget *parent);
