#include "store/findfold.h"

#include "store/record.h"

#include <array>
#include <memory>
#include <mutex>

QString FoldForFind(const QString &text, FindOptions options) {
    QString s = options.ignoreWidth ? text.normalized(QString::NormalizationForm_KC) : text;
    if (options.ignoreKana) {
        for (QChar &c : s) {
            // ァ ... ヶ and the iteration marks ヽ ヾ lie 0x60 above their hiragana.
            const char16_t u = c.unicode();
            if ((u >= 0x30A1 && u <= 0x30F6) || u == 0x30FD || u == 0x30FE)
                c = QChar(char16_t(u - 0x60));
        }
    }
    if (!options.matchCase)
        s = s.toCaseFolded();
    return s;
}

bool TextContains(const QString &memoText, const QString &searchText, FindOptions options) {
    return FoldForFind(memoText, options).contains(FoldForFind(searchText, options));
}

QString MemoTextOf(const QByteArray &record) {
    return DecodeCp932(RecordToMemoText(record));
}

const FoldTable &FoldTable::For(FindOptions options) {
    static std::mutex lock;
    static std::array<std::unique_ptr<const FoldTable>, 8> tables;
    const int index = options.ignoreWidth | options.ignoreKana << 1 | options.matchCase << 2;
    const std::lock_guard<std::mutex> guard(lock);
    if (!tables[index])
        tables[index].reset(new FoldTable(options));
    return *tables[index];
}

FoldTable::FoldTable(FindOptions options) : options_(options), entry_(65536, 0) {
    const Cp932Table &cp = Cp932Table::Get();
    for (const Cp932Code c : cp.Codes()) {
        const QString one(QChar(cp.Unit(c)));
        const QString folded = FoldForFind(one, options);
        // A character whose decomposition starts with a combining mark (or
        // is empty) attaches to what precedes it.
        const QString d = options.ignoreWidth ? one.normalized(QString::NormalizationForm_KD) : one;
        const bool joins = options.ignoreWidth && (d.isEmpty() || d.front().combiningClass() != 0);
        Q_ASSERT(folded.size() < 0x800 && pool_.size() < 0x100000);
        entry_[c] = quint32(pool_.size()) | quint32(folded.size()) << 20 | (joins ? 1u << 31 : 0u);
        pool_.append(UnitsOf(folded));
    }
    crlf_ = UnitsOf(FoldForFind(QStringLiteral("\r\n"), options));
    for (const Cp932Code m : cp.Codes()) {
        if (!Joins(m))
            continue;
        for (const Cp932Code c : cp.Codes()) {
            const QString both =
                FoldForFind(QString(QChar(cp.Unit(c))) + QChar(cp.Unit(m)), options);
            std::u16string extra;
            for (const QChar ch : both)
                if (Fold(c).find(ch.unicode()) == std::u16string_view::npos &&
                    Fold(m).find(ch.unicode()) == std::u16string_view::npos &&
                    extra.find(ch.unicode()) == std::u16string::npos)
                    extra += ch.unicode();
            if (!extra.empty())
                composites_.push_back({c, std::move(extra)});
        }
    }
}
