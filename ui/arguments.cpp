#include "ui/arguments.h"

#include "platform/utf8.h"

#include <QCommandLineParser>
#include <QDir>
#include <QRegularExpression>

#ifndef QV_VERSION
#define QV_VERSION "0"
#endif

namespace {

const char *const Help =
    "使い方: quorvel [FILE | --new-memo | --add TEXT | --add - | --list] [--file PATH]\n"
    "Quorvel: 短いメモでやることを管理します。\n"
    "\n"
    "  (なし)           Quorvel を起動します。起動中なら、そのウィンドウを前面に出します。\n"
    "  FILE             リストファイル FILE（拡張子 .lst）を開いて起動します。\n"
    "                   起動中なら、そのウィンドウで開きます。\n"
    "  --new-memo       新しいメモを書く小さなウィンドウを開きます。\n"
    "  --add TEXT       TEXT を新しいメモとしてリストの最後に加えます（ウィンドウは開きません）。\n"
    "  --add -          標準入力から読んだテキスト（UTF-8）を新しいメモとして加えます。\n"
    "                   最後の改行は除かれ、ほかの改行はメモの中の改行になります。\n"
    "  --list           メモのタイトルを一行に一件ずつ、番号、タブ、タイトルの形で表示します。\n"
    "  --file PATH      --add と --list で使うリストファイル。省略すると、ウィンドウが開く\n"
    "                   リストファイル（最後に使ったもの、なければ既定のもの）を使います。\n"
    "  -h, --help       このヘルプを表示します。\n"
    "  -v, --version    バージョンを表示します。\n"
    "\n"
    "終了コード: 0 成功、1 保存できなかった・読み込めなかった、2 引数の誤り\n";

QString Absolute(const QString &folder, const QString &path) {
    return QDir::cleanPath(QDir(folder).absoluteFilePath(path));
}

Arguments Error(const QString &message) {
    Arguments a;
    a.mode = Arguments::Mode::Error;
    a.error = QStringLiteral("quorvel: ") + message;
    return a;
}

// The parser's own error in Japanese: its text names the option in quotes.
Arguments ParseError(const QCommandLineParser &parser) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        const QString &name = unknown.first();
        return Error(U("不明なオプションです：") +
                     (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
    }
    const QString text = parser.errorText();
    static const QRegularExpression quoted(QStringLiteral("'([^']*)'"));
    const QString option = quoted.match(text).captured(1);
    if (text.startsWith(QLatin1String("Missing value")))
        return Error(U("オプションに値がありません：") + option);
    if (text.startsWith(QLatin1String("Unexpected value")))
        return Error(U("このオプションは値をとりません：") + option);
    return Error(U("引数が正しくありません：") + text);
}

} // namespace

QByteArray EncodeWindowRequest(const WindowRequest &request) {
    if (request.kind == WindowRequest::Kind::Open)
        return QByteArrayLiteral("open\n") + request.path.toUtf8();
    return request.kind == WindowRequest::Kind::Show ? QByteArrayLiteral("show")
                                                     : QByteArrayLiteral("new-memo");
}

std::optional<WindowRequest> ParseWindowRequest(const QByteArray &bytes) {
    if (bytes == "show")
        return WindowRequest{};
    if (bytes == "new-memo")
        return WindowRequest{WindowRequest::Kind::NewMemo, {}};
    if (!bytes.startsWith("open\n") || bytes.contains('\0'))
        return std::nullopt;
    WindowRequest r{WindowRequest::Kind::Open, QString::fromUtf8(bytes.mid(5))};
    if (!r.path.startsWith(QLatin1Char('/')) || r.path.toUtf8() != bytes.mid(5))
        return std::nullopt; // relative, or not text
    return r;
}

Arguments ParseArguments(const QStringList &args, const QString &folder) {
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption newMemo(QStringLiteral("new-memo"));
    const QCommandLineOption add(QStringLiteral("add"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption list(QStringLiteral("list"));
    const QCommandLineOption file(QStringLiteral("file"), QString(), QStringLiteral("PATH"));
    parser.addOptions({help, version, newMemo, add, list, file});
    if (!parser.parse(QStringList{QStringLiteral("quorvel")} + args))
        return ParseError(parser);

    Arguments a;
    if (parser.isSet(help) || parser.isSet(version)) {
        a.mode = parser.isSet(help) ? Arguments::Mode::Help : Arguments::Mode::Version;
        return a;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return Error(U("FILE は一つだけ指定できます：") + files.at(1));
    if (parser.values(add).size() > 1)
        return Error(U("--add は一度だけ指定できます"));
    if (parser.values(file).size() > 1)
        return Error(U("--file は一度だけ指定できます"));
    const int forms = int(files.size()) + int(parser.isSet(newMemo)) + int(parser.isSet(add)) +
                      int(parser.isSet(list));
    if (forms > 1)
        return Error(U("FILE、--new-memo、--add、--list はどれか一つだけ指定できます"));
    if (parser.isSet(file) && !parser.isSet(add) && !parser.isSet(list))
        return Error(U("--file は --add か --list と一緒に指定します"));

    if (parser.isSet(file))
        a.file = Absolute(folder, parser.value(file));
    if (parser.isSet(add)) {
        a.mode = Arguments::Mode::Add;
        a.addFromStdin = parser.value(add) == QLatin1String("-");
        if (!a.addFromStdin)
            a.addText = parser.value(add);
    } else if (parser.isSet(list)) {
        a.mode = Arguments::Mode::List;
    } else if (parser.isSet(newMemo)) {
        a.request.kind = WindowRequest::Kind::NewMemo;
    } else if (!files.isEmpty()) {
        a.request.kind = WindowRequest::Kind::Open;
        a.request.path = Absolute(folder, files.first());
    }
    return a;
}

QString HelpText() {
    return U(Help);
}

QString UsageLine() {
    return HelpText().section(QLatin1Char('\n'), 0, 0);
}

QString VersionText() {
    return QStringLiteral("Quorvel ") + QStringLiteral(QV_VERSION);
}
