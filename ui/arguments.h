// The program's command line, and the requests a start hands to the window
// of the copy that runs already. Plain rules over text: no windows here.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// What a start asks of the window: to come to the front, to open a list
// file as Fopen would, or to show quick capture.
struct WindowRequest {
    enum class Kind { Show, Open, NewMemo };
    Kind kind = Kind::Show;
    QString path; // Open: an absolute path
    bool operator==(const WindowRequest &) const = default;
};

// The bytes a request travels as: "show", "new-memo", or "open", a line
// feed and the path. A path holds any character but NUL, so NUL may end
// the message.
QByteArray EncodeWindowRequest(const WindowRequest &request);
// The request the bytes hold; nullopt for anything that is not exactly one
// of the three forms (an open request's path must be absolute).
std::optional<WindowRequest> ParseWindowRequest(const QByteArray &bytes);

struct Arguments {
    enum class Mode {
        Window,  // the window, with request: no argument, FILE or --new-memo
        Add,     // --add TEXT or --add -
        List,    // --list
        Help,    // -h, --help
        Version, // -v, --version
        Error,   // anything else
    };
    Mode mode = Mode::Window;
    WindowRequest request;
    QString addText;
    bool addFromStdin = false;
    QString file;  // --file, absolute; empty: the current list file
    QString error; // a one-line message, for Mode::Error
};

// Reads the arguments after the program's name. Relative paths are taken
// from folder (the current one of the process).
Arguments ParseArguments(const QStringList &args, const QString &folder);

// The help, in Japanese; its first line is the usage.
QString HelpText();
QString UsageLine();
// "Quorvel " and the version.
QString VersionText();
