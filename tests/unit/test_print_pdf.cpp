// A real document through QPrinter: a PDF file, read back with pdftotext.
#include "platform/cp932.h"
#include "platform/printersurface.h"
#include "print/print_unit.h"
#include "settings/inifile.h"
#include "store/record.h"

#include <QApplication>
#include <QFile>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

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
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
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

    // The text of the PDF as pdftotext lays it out; pages end with a form feed.
    static QString Run(const char *program, const QStringList &args) {
        QProcess p;
        p.start(QString::fromUtf8(program), args);
        EXPECT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
        return QString::fromUtf8(p.readAllStandardOutput());
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
        Run("pdftotext", {QStringLiteral("-layout"), titlesPdf, QStringLiteral("-")});
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
        Run("pdftotext", {QStringLiteral("-layout"), memosPdf, QStringLiteral("-")})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0].trimmed(), QString::fromUtf8("● 買い物"));
    EXPECT_EQ(lines[1].trimmed(), QString::fromUtf8("牛乳と卵"));
    EXPECT_TRUE(lines[1].startsWith(QLatin1Char(' '))) << "the second line is indented";
    EXPECT_EQ(lines[2].trimmed(), QString::fromUtf8("● 電話をかける"));
    EXPECT_FALSE(lines.join(QLatin1Char('\n')).contains(QStringLiteral("clRed")));

    // The text is set in a gothic face.
    if (!QStandardPaths::findExecutable(QStringLiteral("pdffonts")).isEmpty()) {
        EXPECT_TRUE(Run("pdffonts", {memosPdf}).contains(QStringLiteral("Gothic")));
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
