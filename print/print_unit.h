// Printing the memo list: titles only, or whole memos wrapped to the page.
//
// The layout is a fixed grid of line slots in device units from the top-left
// corner of the printable area; nothing that is drawn is measured. It works
// on any page surface, so the same run drives a printer or a recording.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class PageSurface;

// The height of a page's grid of line slots in device units, the same on
// every printer whatever its resolution: lines lie at most this far down, and
// the surface picks a resolution at which this much fits its printable area.
constexpr int PageGridUnits = 4000;

// n / 10 rounded to the nearest integer, an exact half going to the even
// neighbour (262.5 gives 262, 263.5 gives 264).
qint32 RoundTenthHalfEven(qint32 n);

class TPrintObject {
  public:
    // What the last PrintList came to.
    enum class Outcome {
        Printed,         // the document was ended and goes to the printer
        InvalidSettings, // the stored settings make no layout: the document was abandoned
    };

    // Read from the settings file at the start of every run.
    qint32 PrintFontSize = 0;
    qint32 PrintKankaku = 0;
    qint32 OnlyHeadLine = 0;

    // One complete print run on a surface whose printer has been chosen:
    // begins the document, reads the three settings from the "Print"
    // section of settingsFile, lays out the titles (OnlyHeadLine 1) or the
    // raw records, and ends the document. Settings that give no usable
    // layout abandon the document. An error thrown part way abandons it too
    // and goes on to the caller.
    Outcome PrintList(PageSurface &surface, const QString &settingsFile,
                      const QList<QByteArray> &titles, const QList<QByteArray> &records);
};
