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

// The text of the general error report: the error's own text with "."
// appended, unless its last character is a single byte at or below ".".
QString ErrorReportText(const QString &message);
