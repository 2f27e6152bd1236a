// The page surface on a real printer, through QPrinter and QPainter.
#pragma once

#include "platform/pagesurface.h"

#include <QList>
#include <QString>
#include <QStringView>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QPageLayout;
class QPrinter;
class QWidget;

// Asks a printer for its vertical resolution: nullopt when it does not say.
// It may take any time, or never answer; it runs on a thread of its own.
using ResolutionQuery = std::function<std::optional<int>()>;

// How long a print run waits for the answer to a ResolutionQuery.
constexpr std::chrono::milliseconds ResolutionQueryLimit{1500};

// Draws on a printer in its device units: the font height follows the
// resolution the document is laid out at (LayoutResolution for a printer,
// FillingResolution for a file, which has none of its own), text is drawn
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
    // query asks the printer for its resolution when the document begins;
    // none for a file.
    explicit PrinterSurface(std::unique_ptr<QPrinter> printer, ResolutionQuery query = {});
    ~PrinterSurface() override;

    void SetDocName(const QString &name) override;
    // Asks for the printer's resolution and waits at most
    // ResolutionQueryLimit for the answer, FallbackResolution without one.
    // While an earlier run's question is still unanswered none is asked.
    void BeginDoc(int gridHeight) override;
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
    std::unique_ptr<QPrinter> printer_;
    ResolutionQuery query_;
    int height_ = 0;
    // The pages of an open document; none while no document is open.
    QList<QList<Text>> pages_;
};

// The resolution assumed for a printer that does not tell its own: that of
// the common office printer.
constexpr int FallbackResolution = 600;

// The resolution a document is laid out at on a page of this layout: the
// printer's own, or FallbackResolution when it is not known; when a grid of
// gridHeight device units would not fit the printable height at it, the
// lowest at which it does.
int LayoutResolution(const QPageLayout &page, std::optional<int> own, int gridHeight);
// The resolution at which a grid of gridHeight device units fills the
// printable height: the lowest at which it fits.
int FillingResolution(const QPageLayout &page, int gridHeight);

// The vertical resolution that a printer's resolution setting names: "600dpi",
// "300x600dpi" (across by down) or "236dpcm"; nullopt for any other text.
std::optional<int> ParseResolution(QStringView setting);

// The default vertical resolution of a print queue ("name" or
// "name/instance") as the print system tells it: the user's own default for
// the queue, else the printer's. It waits on the print system.
std::optional<int> QueueResolution(const QString &printerName);

// Shows the print dialog (printer, its properties and the number of copies)
// and returns a surface on the chosen printer, or null when it is cancelled.
// A printer's resolution is the queue's default (QueueResolution); a file
// has none.
std::unique_ptr<PageSurface> ChoosePrinterSurface(QWidget *parent);
