#include "bench/listgen.h"

#include "platform/cp932.h"
#include "store/record.h"

#include <QFile>
#include <QList>

namespace {

// A small generator of our own (splitmix64), so that the files are the same
// with every compiler and library.
class Random {
  public:
    explicit Random(quint64 seed) : state_(seed) {}
    quint64 next() {
        quint64 z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return int(next() % quint64(n)); }

  private:
    quint64 state_;
};

const QList<QByteArray> &Words() {
    static const QList<QByteArray> words = [] {
        const char *const utf8[] = {
            "買い物",     "牛乳",       "卵",   "パン",     "会議",   "資料",   "作成",   "提出",
            "確認",       "電話",       "銀行", "振込",     "病院",   "予約",   "歯医者", "図書館",
            "返却",       "洗濯",       "掃除", "ゴミ出し", "月曜日", "火曜日", "水曜日", "木曜日",
            "金曜日",     "週末",       "午前", "午後",     "までに", "する",   "こと",   "の",
            "を",         "に",         "と",   "で",       "、",     "。",     "見積書", "請求書",
            "打ち合わせ", "メール",     "返信", "東京",     "大阪",   "出張",   "新幹線", "切符",
            "誕生日",     "プレゼント", "花",   "ケーキ",   "ｶﾀｶﾅ",   "ﾒﾓ",     "１０時", "３時",
            "TODO",       "memo",       "2024", "v1.2",     "A-3",    "#42",    "OK",     "(済)"};
        QList<QByteArray> list;
        for (const char *w : utf8)
            list.append(*EncodeCp932(QString::fromUtf8(w)));
        return list;
    }();
    return words;
}

const char *const Colours[] = {"clRed",     "clYellow",  "clAqua",       "clLime",
                               "$00CCFFEE", "clSkyBlue", "clMoneyGreen", "$00A0C0FF"};

// One line of memo text of about `bytes` bytes.
QByteArray Line(Random &r, int bytes) {
    QByteArray line;
    while (line.size() < bytes)
        line += Words().at(r.below(int(Words().size())));
    return line;
}

QByteArray Record(Random &r) {
    QByteArray record;
    const int kind = r.below(10);
    if (kind < 2) {
        // Two or three lines joined by the line-break marker (29 bytes each).
        const int lines = 2 + r.below(2);
        for (int i = 0; i < lines; ++i) {
            if (i > 0)
                record += LineBreakMarker();
            record += Line(r, lines == 2 ? 20 + r.below(20) : 8 + r.below(12));
        }
    } else {
        record = Line(r, 70 + r.below(50));
    }
    if (r.below(10) == 0) {
        record += ColorMarker();
        record += Colours[r.below(int(std::size(Colours)))];
    }
    return record;
}

} // namespace

QByteArray GenerateListText(int n, quint64 seed) {
    Random r(seed);
    QByteArray text;
    text.reserve(qsizetype(n) * 110);
    for (int i = 0; i < n; ++i) {
        text += Record(r);
        text += "\r\n";
    }
    return text;
}

bool WriteListFile(const QString &path, int n, quint64 seed) {
    QFile f(path);
    const QByteArray text = GenerateListText(n, seed);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size() && f.flush();
}
