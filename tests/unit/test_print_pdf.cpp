// A real document through QPrinter: a PDF file, read back with pdftotext.
#include "platform/cp932.h"
#include "platform/printersurface.h"
#include "print/print_unit.h"
#include "settings/inifile.h"
#include "store/record.h"
#include "test_support.h"

#include <QApplication>
#include <QFile>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

// Output of a tool of poppler-utils; the test is skipped without them.
QString Tool(const char *program, const QStringList &args) {
    QProcess p;
    p.start(QString::fromUtf8(program), args);
    EXPECT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    return QString::fromUtf8(p.readAllStandardOutput());
}

bool HavePoppler() {
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty();
}

// One word of a PDF as pdftotext places it, in points from the page's top-left.
struct Word {
    int page;
    QRectF box;
    QString text;
};

QList<Word> Words(const QString &pdf) {
    const QString html = Tool("pdftotext", {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    static const QRegularExpression tag(QStringLiteral(
        R"re(<page |<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)<)re"));
    QList<Word> words;
    int page = -1;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(0).startsWith(QLatin1String("<page"))) {
            ++page;
            continue;
        }
        const QPointF from(m.captured(1).toDouble(), m.captured(2).toDouble());
        const QPointF to(m.captured(3).toDouble(), m.captured(4).toDouble());
        words.append({page, QRectF(from, to), m.captured(5)});
    }
    return words;
}

QByteArray Sjis(const char *utf8) {
    return *EncodeCp932(QString::fromUtf8(utf8));
}

class PrintPdf : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        // QV_KEEP_PDF keeps the documents to look at them.
        if (!qEnvironmentVariableIsEmpty("QV_KEEP_PDF")) {
            dir_.setAutoRemove(false);
            std::fprintf(stderr, "documents in %s\n", qPrintable(dir_.path()));
        }
        if (!HavePoppler())
            GTEST_SKIP() << "pdftotext and pdfinfo (poppler-utils) are not installed";
    }

    QString Path(const char *name) const { return dir_.filePath(QString::fromUtf8(name)); }

    std::unique_ptr<PrinterSurface> Surface(const QString &pdf) const {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdf);
        printer->setResolution(600);
        printer->setPageSize(QPageSize(QPageSize::A4));
        return std::make_unique<PrinterSurface>(std::move(printer));
    }

    QTemporaryDir dir_;
};

} // namespace

TEST_F(PrintPdf, BothModesComeOutAsText) {
    const QString ini = Path("quorvel.ini");
    const QList<QByteArray> records{
        Sjis("買い物") + LineBreakMarker() + Sjis("牛乳と卵") + ColorMarker() + "clRed",
        Sjis("電話をかける"),
    };
    const QList<QByteArray> titles{Sjis("買い物"), Sjis("電話をかける")};

    // Titles on the grid at 600 dpi, size 21: 15 lines a page, 262 apart.
    QList<QByteArray> many = titles;
    for (int i = 3; i <= 16; ++i)
        many << Sjis("項目") + QByteArray::number(i);
    const QString titlesPdf = Path("titles.pdf");
    {
        auto surface = Surface(titlesPdf);
        EXPECT_EQ(surface->printer().logicalDpiY(), 600);
        TPrintObject print;
        ASSERT_EQ(print.PrintList(*surface, ini, many, records), TPrintObject::Outcome::Printed);
        EXPECT_EQ(surface->FontHeight(), -175);
    }
    const QString text =
        Tool("pdftotext", {QStringLiteral("-layout"), titlesPdf, QStringLiteral("-")});
    const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    ASSERT_EQ(pages.size(), 2) << text.toStdString();
    EXPECT_TRUE(pages[0].contains(QString::fromUtf8("● 買い物"))) << text.toStdString();
    EXPECT_TRUE(pages[0].contains(QString::fromUtf8("● 項目15")));
    EXPECT_FALSE(pages[0].contains(QString::fromUtf8("項目16")));
    EXPECT_TRUE(pages[1].contains(QString::fromUtf8("● 項目16")));
    EXPECT_FALSE(text.contains(QString::fromUtf8("牛乳")));

    // Whole memos: the second line indented, the colour suffix left out.
    Ini::WriteInteger(ini, "Print", "OnlyHeadLine", 0);
    const QString memosPdf = Path("memos.pdf");
    {
        auto surface = Surface(memosPdf);
        TPrintObject print;
        ASSERT_EQ(print.PrintList(*surface, ini, titles, records), TPrintObject::Outcome::Printed);
    }
    const QStringList lines =
        Tool("pdftotext", {QStringLiteral("-layout"), memosPdf, QStringLiteral("-")})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0].trimmed(), QString::fromUtf8("● 買い物"));
    EXPECT_EQ(lines[1].trimmed(), QString::fromUtf8("牛乳と卵"));
    EXPECT_TRUE(lines[1].startsWith(QLatin1Char(' '))) << "the second line is indented";
    EXPECT_EQ(lines[2].trimmed(), QString::fromUtf8("● 電話をかける"));
    EXPECT_FALSE(lines.join(QLatin1Char('\n')).contains(QStringLiteral("clRed")));

    // The text is set in a gothic face.
    if (!QStandardPaths::findExecutable(QStringLiteral("pdffonts")).isEmpty()) {
        EXPECT_TRUE(Tool("pdffonts", {memosPdf}).contains(QStringLiteral("Gothic")));
    }
}

TEST_F(PrintPdf, AnAbandonedDocumentWritesNothing) {
    const QString pdf = Path("abandoned.pdf");
    auto surface = Surface(pdf);
    surface->BeginDoc();
    surface->SetFontSize(21);
    surface->TextOut(0, 0, "half a list");
    surface->NewPage();
    surface->AbortDoc();
    surface->EndDoc(); // nothing left to end
    EXPECT_FALSE(QFile::exists(pdf));
}

namespace {

// A file printer as the print dialog hands it over: Qt's 1200 dots per inch,
// which say nothing of any printer, and the paper chosen there.
std::unique_ptr<PrinterSurface> DialogSurface(const QString &pdf, QPageSize::PageSizeId paper) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(pdf);
    printer->setPageSize(QPageSize(paper));
    return std::make_unique<PrinterSurface>(std::move(printer));
}

// The lines a list prints when the PDF's words are grouped by their top.
QMap<int, QSet<int>> LineTopsByPage(const QList<Word> &words) {
    QMap<int, QSet<int>> tops;
    for (const Word &w : words)
        tops[w.page].insert(qRound(w.box.top() * 10));
    return tops;
}

} // namespace

// The widest and the most lines each mode prints, on papers from A6 to
// Letter, at the smallest and largest sizes: every word lies inside the
// printable area, and a page holds as many lines as the grid has grid at the
// resolution chosen for the paper.
TEST_F(PrintPdf, EveryLineLiesInsideThePrintableArea) {
    const QByteArray wide(200, 'M');
    const QByteArray kanji = Sjis("漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字"
                                  "漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字");
    QList<QByteArray> records, titles;
    for (int i = 0; i < 12; ++i) {
        records << wide << kanji << "a" + LineBreakMarker() + wide.left(120);
        titles << wide.left(54) << kanji.left(54);
    }
    struct Paper {
        QPageSize::PageSizeId id;
        int dpi;
    };
    const Paper papers[] = {
        {QPageSize::A4, 600}, {QPageSize::Letter, 600}, {QPageSize::A5, 600}, {QPageSize::A6, 720}};
    struct Setting {
        int size, spacing, onlyHead;
    };
    const Setting settings[] = {{21, 15, 0}, {30, 20, 0}, {9, 11, 0}, {30, 15, 1}, {9, 11, 1}};
    const QString ini = Path("quorvel.ini");
    for (const Paper &paper : papers) {
        for (const Setting &set : settings) {
            const QString name = QStringLiteral("%1-%2-%3-%4.pdf")
                                     .arg(QPageSize::key(paper.id))
                                     .arg(set.size)
                                     .arg(set.spacing)
                                     .arg(set.onlyHead);
            SCOPED_TRACE(name.toStdString());
            Ini::WriteInteger(ini, "Print", "PrintFontSize", set.size);
            Ini::WriteInteger(ini, "Print", "PrintKankaku", set.spacing);
            Ini::WriteInteger(ini, "Print", "OnlyHeadLine", set.onlyHead);
            const QString pdf = dir_.filePath(name);
            QRectF area;
            {
                auto surface = DialogSurface(pdf, paper.id);
                TPrintObject print;
                ASSERT_EQ(print.PrintList(*surface, ini, titles, records),
                          TPrintObject::Outcome::Printed);
                EXPECT_EQ(surface->printer().resolution(), paper.dpi);
                area = surface->printer().pageLayout().paintRect(QPageLayout::Point);
            }
            // The same run on a recording of the chosen resolution.
            RecordingSurface recording(paper.dpi);
            TPrintObject print;
            print.PrintList(recording, ini, titles, records);
            QMap<int, QSet<int>> grid;
            for (const RecordingSurface::Op &op : recording.ops())
                if (op.kind == QLatin1String("text"))
                    grid[op.page].insert(op.y);

            const QList<Word> words = Words(pdf);
            ASSERT_FALSE(words.isEmpty());
            // pdftotext rounds the boxes to a few hundredths of a point.
            const QRectF inside = area.adjusted(-0.05, -0.05, 0.05, 0.05);
            for (const Word &w : words) {
                EXPECT_TRUE(inside.contains(w.box))
                    << "page " << w.page << ": " << w.text.left(10).toStdString() << " at "
                    << w.box.left() << "," << w.box.top() << " to " << w.box.right() << ","
                    << w.box.bottom() << " outside " << area.right() << "," << area.bottom();
            }
            const QMap<int, QSet<int>> lines = LineTopsByPage(words);
            ASSERT_EQ(lines.size(), grid.size());
            EXPECT_EQ(lines.first().size(), grid.first().size());
        }
    }
}

// The resolution of the layout: the printer's own while the grid fits the
// paper's printable height at it, else the lowest at which it does.
TEST(PrintResolution, OwnOrFallbackRaisedUntilTheGridFits) {
    const auto page = [](QPageSize::PageSizeId id, QPageLayout::Orientation o, qreal margin) {
        return QPageLayout(QPageSize(id), o, QMarginsF(margin, margin, margin, margin),
                           QPageLayout::Point);
    };
    const QPageLayout a4 = page(QPageSize::A4, QPageLayout::Portrait, 10); // 822 pt high
    EXPECT_EQ(LayoutResolution(a4, std::nullopt), 600);
    EXPECT_EQ(LayoutResolution(a4, 1200), 1200);
    EXPECT_EQ(LayoutResolution(a4, 360), 360);
    EXPECT_EQ(LayoutResolution(a4, 300), 351); // 4000 * 72 / 822 = 350.4
    EXPECT_EQ(LayoutResolution(page(QPageSize::Letter, QPageLayout::Portrait, 10), 300), 374);
    EXPECT_EQ(LayoutResolution(page(QPageSize::A4, QPageLayout::Landscape, 10), std::nullopt), 600);
    EXPECT_EQ(LayoutResolution(page(QPageSize::A6, QPageLayout::Portrait, 10), std::nullopt), 720);
    // Nonsense from a print system counts as not known.
    for (int own : {0, -300, 100000})
        EXPECT_EQ(LayoutResolution(a4, own), 600) << own;
    // A label far too small for the grid at any printer's resolution.
    const QPageLayout label(QPageSize(QSizeF(40, 20), QPageSize::Point), QPageLayout::Portrait,
                            QMarginsF());
    EXPECT_EQ(LayoutResolution(label, std::nullopt), 9600);

    for (const QPageLayout &p : {a4, page(QPageSize::A5, QPageLayout::Portrait, 20)}) {
        const int dpi = LayoutResolution(p, 72);
        EXPECT_GE(p.paintRectPixels(dpi).height(), PageGridUnits);
        EXPECT_LT(p.paintRectPixels(dpi - 1).height(), PageGridUnits);
    }

    struct Setting {
        const char *text;
        std::optional<int> dpi;
    };
    const Setting settings[] = {
        {"600dpi", 600},  {"300x600dpi", 600}, {"600X300DPI", 300}, {"118dpcm", 300},
        {"0dpi", {}},     {"600", {}},         {"Normal", {}},      {"", {}},
        {"600x dpi", {}}, {"-600dpi", {}},     {"1234567dpi", {}},  {"600dpi ", {}},
    };
    for (const Setting &s : settings)
        EXPECT_EQ(ParseResolution(QString::fromUtf8(s.text)), s.dpi) << s.text;
}

namespace {

class ProgramPrintPdf : public testing_support::ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        if (HasFatalFailure())
            return;
        if (!HavePoppler())
            GTEST_SKIP() << "pdftotext and pdfinfo (poppler-utils) are not installed";
        platform_->printer = [this] { return DialogSurface(Path("printed.pdf"), QPageSize::A4); };
    }
};

} // namespace

// The print command through the desktop's printer: the document carries the
// list file's name, as a PDF's title and a print job's name.
TEST_F(ProgramPrintPdf, TheDocumentIsNamedAfterTheList) {
    Write("quorvel.lst", Sjis("買い物\r\n電話をかける\r\n"));
    TForm1 &f = Start();
    f.PrintClick();
    EXPECT_FALSE(platform_->Reported()) << platform_->events.join(QLatin1Char('|')).toStdString();
    const QString info = Tool("pdfinfo", {Path("printed.pdf")});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("^Title: +quorvel\\.lst$"),
                                                 QRegularExpression::MultilineOption)))
        << info.toStdString();
    const QString text = Tool("pdftotext", {Path("printed.pdf"), QStringLiteral("-")});
    EXPECT_TRUE(text.contains(QString::fromUtf8("● 電話をかける"))) << text.toStdString();
}

// The print dialog offers the printer, its properties and the copies, and
// the file printer; no page range, selection or current page. Cancelling it
// gives no surface.
TEST(PrintDialog, OffersNoPageRangeAndCancelGivesNothing) {
    bool seen = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen = true;
        EXPECT_TRUE(dialog->testOption(QAbstractPrintDialog::PrintToFile));
        EXPECT_FALSE(dialog->testOption(QAbstractPrintDialog::PrintPageRange));
        EXPECT_FALSE(dialog->testOption(QAbstractPrintDialog::PrintSelection));
        EXPECT_FALSE(dialog->testOption(QAbstractPrintDialog::PrintCurrentPage));
        EXPECT_EQ(dialog->printRange(), QAbstractPrintDialog::AllPages);
        dialog->reject();
    });
    poll.start();
    QTimer::singleShot(10000, [] {
        if (QWidget *w = QApplication::activeModalWidget())
            w->close();
    });
    EXPECT_EQ(ChoosePrinterSurface(nullptr), nullptr);
    EXPECT_TRUE(seen);
}
