#include "print/print_unit.h"

#include "platform/cp932.h"
#include "platform/pagesurface.h"
#include "settings/inifile.h"
#include "store/record.h"

#include <cstdlib>
#include <limits>

namespace {

// The wrap width is this many bytes-times-points: 52 bytes at 21 points.
constexpr qint32 WrapWidthPoints = 1100;

// The bullet before every title and before the first printed line of a memo:
// a black circle and one space.
const QByteArray FirstLinePrefix("\x81\x9C\x20");
// The indent before every later printed line of a memo: four spaces.
const QByteArray NextLinePrefix("    ");
// The continuation seed of a record whose memo has line breaks.
const QByteArray SegmentSeed("  ");

// Screen text back to code page 932 for measuring and drawing. A character
// without a code page 932 form (only the replacement character of a byte
// that was never valid code page 932 can get here) becomes "?".
QByteArray ToPrintBytes(const QString &text) {
    if (std::optional<QByteArray> bytes = EncodeCp932(text))
        return *bytes;
    QByteArray out;
    for (qsizetype i = 0, len = 1; i < text.size(); i += len) {
        len = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2
                                                                                               : 1;
        const std::optional<QByteArray> one = EncodeCp932(text.mid(i, len));
        out += one ? *one : QByteArray("?");
    }
    return out;
}

// One run's grid of line slots on the surface.
class SlotWriter {
  public:
    SlotWriter(PageSurface &surface, qint32 lineStep, qint32 linesPerPage, qint32 wrapWidth)
        : surface_(surface), lineStep_(lineStep), linesPerPage_(linesPerPage),
          wrapWidth_(wrapWidth) {}

    void PrintTitles(const QList<QByteArray> &titles) {
        for (const QByteArray &title : titles) {
            PageCheck();
            Draw(FirstLinePrefix + title);
            ++slot_;
        }
    }

    void PrintMemos(const QList<QByteArray> &records) {
        for (const QByteArray &record : records) {
            PageCheck();
            QByteArray text = record;
            if (const qsizetype colour = text.indexOf(ColorMarker()); colour >= 0)
                text.truncate(colour); // the colour suffix never prints
            memoLines_ = 0;

            // Segments at the line-break markers; the piece after the last
            // marker counts only when it is not empty.
            const QByteArray &marker = LineBreakMarker();
            QList<QByteArray> segments;
            qsizetype from = 0;
            for (qsizetype at; (at = text.indexOf(marker, from)) >= 0; from = at + marker.size())
                segments.append(text.mid(from, at - from));
            const bool hadMarker = !segments.isEmpty();
            const QByteArray last = text.mid(from);
            if (!hadMarker || !last.isEmpty())
                segments.append(last);
            const QByteArray seed = hadMarker ? SegmentSeed : QByteArray();

            for (const QByteArray &segment : segments) {
                PageCheck();
                if (segment.size() <= wrapWidth_) {
                    Draw(Prefix() + segment);
                    ++memoLines_;
                    ++slot_;
                } else {
                    Wrap(segment, seed);
                }
            }
        }
    }

  private:
    const QByteArray &Prefix() const { return memoLines_ == 0 ? FirstLinePrefix : NextLinePrefix; }

    void PageCheck() {
        if (qint64(slot_) >= (qint64(page_) + 1) * linesPerPage_) {
            surface_.NewPage();
            ++page_;
        }
    }

    void Draw(const QByteArray &text) {
        surface_.TextOut(0, (slot_ % linesPerPage_) * lineStep_, text);
    }

    // Wraps one text at the wrap width by whole characters, so a double-byte
    // character never straddles two lines. The seed starts every running line
    // after the first and counts towards the width; the prefix does not.
    void Wrap(const QByteArray &text, const QByteArray &seedBytes) {
        const QString wide = DecodeCp932(text);
        const QString seed = DecodeCp932(seedBytes);
        QString running;
        for (const QChar c : wide) {
            running.append(c);
            const QByteArray bytes = ToPrintBytes(running);
            if (bytes.size() < wrapWidth_)
                continue;
            // A line one character too wide is drawn without it; that
            // character starts the next line.
            const bool over = bytes.size() > wrapWidth_;
            Draw(Prefix() + (over ? ToPrintBytes(running.chopped(1)) : bytes));
            running = over ? seed + c : seed;
            ++slot_;
            PageCheck();
            ++memoLines_;
        }
        if (!running.isEmpty()) {
            // The rest of the text, on a slot the last check passed.
            Draw(NextLinePrefix + ToPrintBytes(running));
            ++slot_;
        }
    }

    PageSurface &surface_;
    const qint32 lineStep_;
    const qint32 linesPerPage_;
    const qint32 wrapWidth_;
    qint32 page_ = 0;
    qint32 slot_ = 0;
    qint32 memoLines_ = 0;
};

} // namespace

qint32 RoundTenthHalfEven(qint32 n) {
    const qint64 magnitude = std::abs(qint64(n));
    qint64 q = magnitude / 10;
    const qint64 r = magnitude % 10;
    if (r > 5 || (r == 5 && (q & 1) != 0))
        ++q;
    return static_cast<qint32>(n < 0 ? -q : q);
}

TPrintObject::Outcome TPrintObject::PrintList(PageSurface &surface, const QString &settingsFile,
                                              const QList<QByteArray> &titles,
                                              const QList<QByteArray> &records) {
    surface.BeginDoc(PageGridUnits);
    try {
        PrintFontSize = Ini::ReadInteger(settingsFile, "Print", "PrintFontSize", 21);
        PrintKankaku = Ini::ReadInteger(settingsFile, "Print", "PrintKankaku", 15);
        OnlyHeadLine = Ini::ReadInteger(settingsFile, "Print", "OnlyHeadLine", 1);

        // The print settings dialog writes 9 ... 30 and 10 ... 20; a hand-edited
        // file can hold anything. A size below 1 or a line step outside
        // 1 ... 4000 gives no grid to print on: nothing comes out then.
        const auto invalid = [&surface] {
            surface.AbortDoc();
            return Outcome::InvalidSettings;
        };
        if (PrintFontSize < 1)
            return invalid();
        surface.SetFontSize(PrintFontSize);

        const qint64 n = std::abs(qint64(surface.FontHeight())) * PrintKankaku;
        if (n < 0 || n > std::numeric_limits<qint32>::max())
            return invalid();
        const qint32 lineStep = RoundTenthHalfEven(static_cast<qint32>(n));
        const qint32 sizeBack = surface.FontSize();
        if (lineStep < 1 || lineStep > PageGridUnits || sizeBack < 1)
            return invalid();
        const qint32 linesPerPage = PageGridUnits / lineStep;
        const qint32 wrapWidth = WrapWidthPoints / sizeBack;

        SlotWriter writer(surface, lineStep, linesPerPage, wrapWidth);
        if (OnlyHeadLine == 1)
            writer.PrintTitles(titles);
        else
            writer.PrintMemos(records);
        surface.EndDoc();
    } catch (...) {
        // Half a list on paper is worse than none: the document is abandoned
        // and the error goes on to be reported.
        try {
            surface.AbortDoc();
        } catch (...) {
        }
        throw;
    }
    return Outcome::Printed;
}
