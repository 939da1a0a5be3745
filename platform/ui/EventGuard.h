#pragma once
// What the platform's event loop does with exceptions: a handler that raises EAbort ends
// silently; any other exception ends the handler and its message is shown in the error
// dialogue. Every slot that runs module code goes through guardEvent, so Qt never sees one.

#include <QString>
#include <exception>
#include <functional>

// The silent abort: ends the current command without any message.
class EAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

[[noreturn]] void Abort();

// Runs a handler; returns false when it ended by an exception (reported or silent).
bool guardEvent(const std::function<void()>& handler) noexcept;

// The message of an exception as the error dialogue shows it.
QString exceptionMessage(const std::exception_ptr& error);

// Shows an exception message; by default a modal critical-message box (on the console when
// there is no application object). Tests and scripted runs replace it; pass nullptr to restore.
using ExceptionReporter = std::function<void(const QString& message)>;
void setExceptionReporter(ExceptionReporter reporter);
void ShowException(const QString& message);
