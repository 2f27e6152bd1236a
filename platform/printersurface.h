// The page surface on a real printer, through QPrinter and QPainter.
#pragma once

#include "platform/pagesurface.h"

#include <QList>
#include <QString>
#include <QStringView>
#include <memory>
#include <optional>

class QPageLayout;
class QPrinter;
class QWidget;

// Draws on a printer in its device units: the font height follows the
// resolution the document is laid out at (LayoutResolution), text is drawn
// in a gothic face with its top-left corner at (x, y) from the top-left of
// the printable area. A document whose widest or lowest line would reach
// past the printable area is drawn narrower or shorter on that axis, as a
// whole, so that every line lies inside it.
//
// The pages are kept until EndDoc and only then sent to the printer, so a
// document that is abandoned (AbortDoc, or never ended) leaves nothing at all
// on any printer, a file printer included. A failure of the printer is
// thrown as an AppError.
class PrinterSurface : public PageSurface {
  public:
    explicit PrinterSurface(std::unique_ptr<QPrinter> printer);
    ~PrinterSurface() override;

    void SetDocName(const QString &name) override;
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
        QString text;
    };
    int DpiY() const;

    std::unique_ptr<QPrinter> printer_;
    int height_ = 0;
    bool open_ = false;
    QList<QList<Text>> pages_;
};

// The resolution assumed for a printer that does not tell its own: that of
// the common office printer.
constexpr int FallbackResolution = 600;

// The resolution a document is laid out at on a page of this layout: the
// printer's own, or FallbackResolution when it is not known; when the page
// grid (PageGridUnits) would not fit the printable height at it, the lowest
// resolution at which it does.
int LayoutResolution(const QPageLayout &page, std::optional<int> own);

// The vertical resolution that a printer's resolution setting names: "600dpi",
// "300x600dpi" (across by down) or "236dpcm"; nullopt for any other text.
std::optional<int> ParseResolution(QStringView setting);

// The printer's own vertical resolution as its print system tells it: the
// one chosen in the printer's properties in the print dialog, else the
// queue's default. nullopt for a file printer, or when nothing says.
std::optional<int> PrinterResolution(QPrinter &printer);

// Shows the print dialog (printer, its properties and the number of copies)
// and returns a surface on the chosen printer, or null when it is cancelled.
std::unique_ptr<PageSurface> ChoosePrinterSurface(QWidget *parent);
