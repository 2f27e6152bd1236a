// A real document through QPrinter: a PDF file, read back with pdftotext.
#include "platform/cp932.h"
#include "platform/printersurface.h"
#include "print/print_unit.h"
#include "settings/inifile.h"
#include "store/record.h"
#include "test_support.h"

#include <QApplication>
#include <QElapsedTimer>
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
#include <atomic>
#include <cstdio>
#include <future>
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

    // A printer of 600 dots per inch that prints into a PDF file.
    std::unique_ptr<PrinterSurface> Surface(const QString &pdf) const {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdf);
        printer->setPageSize(QPageSize(QPageSize::A4));
        return std::make_unique<PrinterSurface>(std::move(printer),
                                                [] { return std::optional<int>(600); });
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
        TPrintObject print;
        ASSERT_EQ(print.PrintList(*surface, ini, many, records), TPrintObject::Outcome::Printed);
        EXPECT_EQ(surface->printer().logicalDpiY(), 600);
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
    surface->BeginDoc(PageGridUnits);
    surface->SetFontSize(21);
    surface->TextOut(0, 0, "half a list");
    surface->NewPage();
    surface->AbortDoc();
    surface->EndDoc(); // nothing left to end
    EXPECT_FALSE(QFile::exists(pdf));
}

// The resolution of the layout: the printer's own while the page grid fits
// the printable height at it, else the lowest at which it does; for a file,
// which has no resolution of its own, the one at which the grid fills it.
TEST(PrintResolution, OwnOrFallbackRaisedUntilTheGridFits) {
    const QPageLayout a4(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                         QMarginsF(10, 10, 10, 10));
    EXPECT_EQ(LayoutResolution(a4, std::nullopt, PageGridUnits), 600);
    EXPECT_EQ(LayoutResolution(a4, 1200, PageGridUnits), 1200);
    EXPECT_EQ(LayoutResolution(a4, 300, PageGridUnits), 351); // 4000 * 72 / 822 points = 350.4
    EXPECT_EQ(LayoutResolution(a4, 0, PageGridUnits), 600);   // nonsense counts as not known
    // At 351 the grid fills 4000 / (822 / 72 * 351) = 99.8 % of the height;
    // at the 600 of a printer that does not tell, 58 %.
    EXPECT_EQ(FillingResolution(a4, PageGridUnits), 351);
    EXPECT_EQ(FillingResolution(a4, 2000), 176);
    const QPageLayout label(QPageSize(QSizeF(40, 20), QPageSize::Point), QPageLayout::Portrait,
                            QMarginsF());
    EXPECT_EQ(LayoutResolution(label, std::nullopt, PageGridUnits), 9600);
    EXPECT_EQ(FillingResolution(label, PageGridUnits), 9600);

    EXPECT_EQ(ParseResolution(u"300x600dpi"), 600);
    EXPECT_EQ(ParseResolution(u"118DPCM"), 300);
    for (const char16_t *text : {u"0dpi", u"600", u"Normal", u"-600dpi", u"1234567dpi"})
        EXPECT_EQ(ParseResolution(text), std::nullopt);
}

namespace {

// The program printing on a file printer as the print dialog hands it over:
// no resolution of its own, on paper_.
class ProgramPrintPdf : public testing_support::ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        if (!HasFatalFailure() && !HavePoppler())
            GTEST_SKIP() << "pdftotext and pdfinfo (poppler-utils) are not installed";
        platform_->printer = [this] {
            auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(Path("printed.pdf"));
            printer->setPageSize(QPageSize(paper_));
            area_ = printer->pageLayout().paintRect(QPageLayout::Point);
            return std::make_unique<PrinterSurface>(std::move(printer));
        };
    }
    QPageSize::PageSizeId paper_ = QPageSize::A4;
    QRectF area_;
};

} // namespace

// The widest lines each mode prints, at sizes 21 and 30 on A4 and A6: every
// word lies inside the printable area, a page holds as many lines as the
// grid has at the resolution at which it fills the printable height (351 dpi
// for A4, 720 for A6: 26 and 18 lines on A4), its last line near the
// bottom, and the document carries the list file's name.
TEST_F(ProgramPrintPdf, EveryLineFitsThePrintableAreaOfThePaper) {
    QByteArray list;
    for (int i = 0; i < 7; ++i)
        list += QByteArray(200, 'M') + "\r\n" +
                Sjis("漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字") + "\r\na" +
                LineBreakMarker() + QByteArray(120, 'M') + "\r\n";
    Write("quorvel.lst", list);
    TForm1 &f = Start();
    struct Run {
        QPageSize::PageSizeId paper;
        int size, onlyHead, linesPerPage;
    };
    for (const Run &r : {Run{QPageSize::A4, 21, 0, 26}, Run{QPageSize::A4, 30, 1, 18},
                         Run{QPageSize::A6, 21, 0, 12}, Run{QPageSize::A6, 30, 1, 8}}) {
        SCOPED_TRACE(testing::Message() << QPageSize::key(r.paper).toStdString() << " size "
                                        << r.size << " titles " << r.onlyHead);
        paper_ = r.paper;
        Ini::WriteInteger(Path("quorvel.ini"), "Print", "PrintFontSize", r.size);
        Ini::WriteInteger(Path("quorvel.ini"), "Print", "OnlyHeadLine", r.onlyHead);
        f.PrintClick();
        const QList<Word> words = Words(Path("printed.pdf"));
        ASSERT_FALSE(words.isEmpty());
        QSet<int> firstPageTops;
        qreal firstPageBottom = 0;
        for (const Word &w : words) {
            // pdftotext rounds the boxes to a few hundredths of a point.
            EXPECT_TRUE(area_.adjusted(-0.05, -0.05, 0.05, 0.05).contains(w.box))
                << w.text.left(8).toStdString() << " on page " << w.page << " reaches "
                << w.box.right() << "," << w.box.bottom();
            if (w.page == 0) {
                firstPageTops.insert(qRound(w.box.top() * 10));
                firstPageBottom = std::max(firstPageBottom, w.box.bottom());
            }
        }
        EXPECT_EQ(firstPageTops.size(), r.linesPerPage);
        // The grid fills the page: less than a line step is left below the
        // last line (at 600 dpi on A4 it was 44 %).
        EXPECT_GT(firstPageBottom - area_.top(), area_.height() * 0.85);
    }
    EXPECT_FALSE(platform_->Reported()) << platform_->events.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(Tool("pdfinfo", {Path("printed.pdf")})
                    .contains(QRegularExpression(QStringLiteral("^Title: +quorvel\\.lst$"),
                                                 QRegularExpression::MultilineOption)));
}

// A printer whose print system never answers the question of its
// resolution: the print command returns within the time limit, laid out at
// the fallback 600 dots per inch (15 lines a page at size 21 on A4). While
// that question is still unanswered, the next print asks none and does not
// wait at all.
TEST_F(ProgramPrintPdf, APrinterThatNeverAnswersHoldsThePrintForItsLimitOnly) {
    QByteArray list;
    for (int i = 1; i <= 20; ++i)
        list += "memo " + QByteArray::number(i) + "\r\n";
    Write("quorvel.lst", list);
    TForm1 &f = Start();
    // The query ends only when the test lets it, and tells when it has gone.
    struct Gone {
        std::promise<void> told;
        ~Gone() { told.set_value(); }
    };
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto gone = std::make_shared<Gone>();
    std::future<void> queryGone = gone->told.get_future();
    std::atomic<int> asked{0};
    platform_->printer = [&, gone] {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(Path("printed.pdf"));
        printer->setPageSize(QPageSize(QPageSize::A4));
        area_ = printer->pageLayout().paintRect(QPageLayout::Point);
        return std::make_unique<PrinterSurface>(std::move(printer), [&asked, released, gone] {
            ++asked;
            released.wait();
            return std::optional<int>(1200);
        });
    };
    gone.reset();

    QElapsedTimer clock;
    clock.start();
    f.PrintClick();
    const qint64 first = clock.restart();
    QSet<int> tops;
    for (const Word &w : Words(Path("printed.pdf")))
        if (w.page == 0)
            tops.insert(qRound(w.box.top() * 10));
    f.PrintClick();
    const qint64 second = clock.elapsed();
    platform_->printer = nullptr;
    release.set_value();
    ASSERT_EQ(queryGone.wait_for(std::chrono::seconds(10)), std::future_status::ready);

    EXPECT_EQ(asked, 1);
    EXPECT_GE(first, ResolutionQueryLimit.count());
    EXPECT_LT(first, ResolutionQueryLimit.count() + 1500);
    EXPECT_LT(second, ResolutionQueryLimit.count());
    EXPECT_EQ(tops.size(), 15);
    EXPECT_FALSE(platform_->Reported()) << platform_->events.join(QLatin1Char('|')).toStdString();
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
