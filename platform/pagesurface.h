// What a print run needs of a printer: a page surface in device units with a
// font of a given point size. The desktop's one draws through QPrinter; the
// recording one keeps a log of every operation for tests.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class PageSurface {
  public:
    virtual ~PageSurface() = default;
    // Names the document (a PDF's title, a print job's name). Before BeginDoc.
    virtual void SetDocName(const QString &name) { (void)name; }
    // Opens the document and its first page for a layout whose lines lie
    // within gridHeight device units from the top: a surface that picks its
    // own resolution picks one at which that height fits its printable area.
    virtual void BeginDoc(int gridHeight) = 0;
    // Sets the font size in points: the height becomes
    // -(size * vertical dpi / 72) rounded half away from zero.
    virtual void SetFontSize(int points) = 0;
    // The font height in device units (negative, as the size is a character height).
    virtual int FontHeight() const = 0;
    // The font size in points, converted back from the height.
    virtual int FontSize() const = 0;
    // Draws code page 932 text with its top-left corner at (x, y).
    virtual void TextOut(int x, int y, const QByteArray &text) = 0;
    virtual void NewPage() = 0;
    // Ends the last page and the document.
    virtual void EndDoc() = 0;
    // Abandons a begun document: nothing comes out.
    virtual void AbortDoc() = 0;
};

// Font height for a size in points at a vertical resolution: -(size * dpi / 72)
// rounded to the nearest whole dot, halves away from zero.
int FontHeightFor(int points, int dpi);
// The size in points back from a height: |height| * 72 / dpi, rounded.
int FontSizeFor(int height, int dpi);

// A surface that records what is done to it, one line per operation:
// "begin", "size N", "text PAGE Y TEXT", "newpage", "end", "abort".
class RecordingSurface : public PageSurface {
  public:
    explicit RecordingSurface(int dpi) : dpi_(dpi) {}
    void BeginDoc(int gridHeight) override;
    void SetFontSize(int points) override;
    int FontHeight() const override { return height_; }
    int FontSize() const override { return FontSizeFor(height_, dpi_); }
    void TextOut(int x, int y, const QByteArray &text) override;
    void NewPage() override;
    void EndDoc() override;
    void AbortDoc() override;

    struct Op {
        QString kind; // begin, size, text, newpage, end, abort
        int page = 0;
        int x = 0;
        int y = 0;
        int size = 0;
        QByteArray text = {};
    };
    const QList<Op> &ops() const { return ops_; }
    // What the last BeginDoc was given.
    int gridHeight() const { return gridHeight_; }

  private:
    int dpi_;
    int gridHeight_ = 0;
    int height_ = 0;
    int page_ = 0;
    QList<Op> ops_;
};
