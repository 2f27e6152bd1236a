// An error that a command does not catch itself. It travels up to the
// handler wrapper of the main window, which shows it in the general error
// report, and the program goes on running.
#pragma once

#include <QString>
#include <exception>

class AppError : public std::exception {
  public:
    explicit AppError(QString message) : message_(std::move(message)) {}
    const QString &message() const noexcept { return message_; }
    const char *what() const noexcept override { return "Quorvel error"; }

  private:
    QString message_;
};

// Another Quorvel holds the lock of the list's folder too long: a refusal,
// shown as the program's refusals are (the beep and the message box), after
// which nothing is written.
class ListBusyError : public AppError {
  public:
    ListBusyError();
};

// Ends a command that has already told the user why it stopped: nothing more
// is reported.
class CommandCancelled : public std::exception {
  public:
    const char *what() const noexcept override { return "command cancelled"; }
};

// The text of the general error report: the error's own text with "."
// appended, unless its last character is a single byte at or below ".".
QString ErrorReportText(const QString &message);
