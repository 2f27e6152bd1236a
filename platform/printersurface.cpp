// The page surface on a printer the user chooses in the print dialog.
#include "platform/printersurface.h"

#include "platform/apperror.h"
#include "platform/cp932.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <future>
#include <thread>
#include <utility>

#include <cups/cups.h>

namespace {

// No printer prints finer; a page too small for the grid even at this
// resolution has its lines shrunk to fit instead.
constexpr int MaxResolution = 9600;

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

std::optional<int> SaneResolution(std::optional<int> dpi) {
    return dpi && *dpi >= 1 && *dpi <= MaxResolution ? dpi : std::nullopt;
}

// The answer of a query asked on a thread of its own, waited for at most
// ResolutionQueryLimit; nullopt without one. The thread is let go, not
// joined: one that the print system holds ends with the program at the
// latest. While it is held, no further query is asked, so that stuck
// threads never pile up.
std::optional<int> AskWithinLimit(ResolutionQuery query) {
    static std::atomic<bool> asking{false};
    if (!query || asking.exchange(true))
        return std::nullopt;
    std::packaged_task<std::optional<int>()> task([query = std::move(query)] {
        std::optional<int> dpi;
        try {
            dpi = query();
        } catch (...) {
        }
        asking = false;
        return dpi;
    });
    std::future<std::optional<int>> answer = task.get_future();
    try {
        std::thread(std::move(task)).detach();
    } catch (const std::system_error &) {
        asking = false;
        return std::nullopt;
    }
    if (answer.wait_for(ResolutionQueryLimit) != std::future_status::ready)
        return std::nullopt;
    return answer.get();
}

// The lowest resolution from `from` on at which a grid of gridHeight device
// units fits the printable height; MaxResolution when none does.
int LowestFitting(const QPageLayout &page, int gridHeight, int from) {
    const auto fits = [&](int dpi) { return page.paintRectPixels(dpi).height() >= gridHeight; };
    const qreal points = page.paintRect(QPageLayout::Point).height();
    if (fits(from) || !(points > 0))
        return from;
    // The grid is gridHeight / dpi inches tall: start below the exact bound
    // and let the page's own rounding have the last word.
    int dpi =
        int(std::clamp<qreal>(std::floor(gridHeight * 72.0 / points) - 1, from, MaxResolution));
    while (dpi < MaxResolution && !fits(dpi))
        ++dpi;
    while (dpi > from && fits(dpi - 1))
        --dpi;
    return dpi;
}

} // namespace

int LayoutResolution(const QPageLayout &page, std::optional<int> own, int gridHeight) {
    return LowestFitting(page, gridHeight, SaneResolution(own).value_or(FallbackResolution));
}

int FillingResolution(const QPageLayout &page, int gridHeight) {
    return LowestFitting(page, gridHeight, 1);
}

std::optional<int> ParseResolution(QStringView setting) {
    // Made anew each time: a query thread may be parsing as the program ends.
    const QRegularExpression form(QStringLiteral("^([0-9]{1,6})(?:x([0-9]{1,6}))?(dpi|dpcm)$"),
                                  QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = form.match(setting.toString());
    if (!m.hasMatch())
        return std::nullopt;
    const int down = (m.hasCaptured(2) ? m.capturedView(2) : m.capturedView(1)).toInt();
    const bool perCm = m.capturedView(3).compare(QLatin1String("dpcm"), Qt::CaseInsensitive) == 0;
    const int dpi = perCm ? int(std::lround(down * 2.54)) : down;
    return dpi >= 1 ? std::optional<int>(dpi) : std::nullopt;
}

std::optional<int> QueueResolution(const QString &printerName) {
    const qsizetype slash = printerName.indexOf(QLatin1Char('/'));
    const QByteArray name = printerName.left(slash).toLocal8Bit();
    const QByteArray instance = slash < 0 ? QByteArray() : printerName.mid(slash + 1).toLocal8Bit();
    cups_dest_t *dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.constData(),
                                         instance.isEmpty() ? nullptr : instance.constData());
    if (!dest)
        return std::nullopt;
    std::optional<int> dpi;
    for (const char *option : {"printer-resolution", "Resolution"})
        if (const char *value =
                dpi ? nullptr : cupsGetOption(option, dest->num_options, dest->options))
            dpi = ParseResolution(QString::fromLatin1(value));
    cups_dinfo_t *info = dpi ? nullptr : cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest);
    ipp_attribute_t *attr =
        info ? cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest, info, "printer-resolution") : nullptr;
    if (attr && ippGetValueTag(attr) == IPP_TAG_RESOLUTION) {
        int down = 0;
        ipp_res_t units = IPP_RES_PER_INCH;
        ippGetResolution(attr, 0, &down, &units);
        dpi = units == IPP_RES_PER_CM ? int(std::lround(down * 2.54)) : down;
    }
    if (info)
        cupsFreeDestInfo(info);
    cupsFreeDests(1, dest);
    return SaneResolution(dpi);
}

PrinterSurface::PrinterSurface(std::unique_ptr<QPrinter> printer, ResolutionQuery query)
    : printer_(std::move(printer)), query_(std::move(query)) {}

PrinterSurface::~PrinterSurface() = default;

void PrinterSurface::SetDocName(const QString &name) {
    printer_->setDocName(name);
}

void PrinterSurface::BeginDoc(int gridHeight) {
    if (!printer_->isValid())
        PrinterFailed();
    // From here on the font converts between points and this resolution.
    const QPageLayout page = printer_->pageLayout();
    printer_->setResolution(query_ ? LayoutResolution(page, AskWithinLimit(query_), gridHeight)
                                   : FillingResolution(page, gridHeight));
    pages_ = {QList<Text>()};
}

void PrinterSurface::SetFontSize(int points) {
    height_ = FontHeightFor(points, printer_->logicalDpiY());
}

int PrinterSurface::FontSize() const {
    return FontSizeFor(height_, printer_->logicalDpiY());
}

void PrinterSurface::TextOut(int x, int y, const QByteArray &text) {
    if (!pages_.isEmpty())
        pages_.last().append(Text{x, y, std::abs(height_), DecodeCp932(text)});
}

void PrinterSurface::NewPage() {
    if (!pages_.isEmpty())
        pages_.append(QList<Text>());
}

void PrinterSurface::EndDoc() {
    if (pages_.isEmpty())
        return;
    const QList<QList<Text>> pages = std::exchange(pages_, {});

    // How far right and down the lines reach, as the face draws them.
    std::optional<QFontMetricsF> metrics;
    int measured = -1;
    qreal right = 0;
    qreal bottom = 0;
    for (const QList<Text> &page : pages) {
        for (const Text &t : page) {
            if (t.height != measured) {
                measured = t.height;
                metrics.emplace(PrintFont(t.height), printer_.get());
            }
            right = std::max(right, t.x + metrics->horizontalAdvance(t.text));
            bottom = std::max(bottom, t.y + metrics->height());
        }
    }
    // The printable area in device units, unrounded, less one unit: the
    // face draws up to a quarter of a unit beyond what its metrics measure.
    const QSizeF area = printer_->pageLayout().paintRect(QPageLayout::Point).size() *
                        (printer_->resolution() / 72.0);
    const qreal width = area.width() - 1;
    const qreal height = area.height() - 1;

    QPainter painter;
    if (!painter.begin(printer_.get()))
        PrinterFailed();
    painter.scale(right > width ? width / right : 1.0, bottom > height ? height / bottom : 1.0);
    int fontHeight = -1;
    qreal ascent = 0;
    for (qsizetype p = 0; p < pages.size(); ++p) {
        if (p > 0 && !printer_->newPage()) {
            painter.end();
            PrinterFailed();
        }
        for (const Text &t : pages[p]) {
            if (t.height != fontHeight) {
                fontHeight = t.height;
                painter.setFont(PrintFont(fontHeight));
                ascent = QFontMetricsF(painter.font(), printer_.get()).ascent();
            }
            // The top of the character cell lies at y.
            painter.drawText(QPointF(t.x, t.y + ascent), t.text);
        }
    }
    if (!painter.end())
        PrinterFailed();
}

void PrinterSurface::AbortDoc() {
    // Nothing has reached the printer yet: dropping the pages is all it takes.
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
    ResolutionQuery query;
    if (printer->outputFormat() == QPrinter::NativeFormat && !printer->printerName().isEmpty())
        query = [name = printer->printerName()] { return QueueResolution(name); };
    return std::make_unique<PrinterSurface>(std::move(printer), std::move(query));
}
