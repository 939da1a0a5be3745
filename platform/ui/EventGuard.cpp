#include "EventGuard.h"

#include "InputGuard.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <cstdio>

// Exceptions that ended a command and were shown to the user.
Q_LOGGING_CATEGORY(lcEvents, "res.ui", QtWarningMsg)

namespace {
ExceptionReporter& reporter() {
    static ExceptionReporter instance;
    return instance;
}
}  // namespace

void Abort() { throw EAbort(); }

QString exceptionMessage(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Erro desconhecido");
    }
}

void setExceptionReporter(ExceptionReporter newReporter) { reporter() = std::move(newReporter); }

void ShowException(const QString& message) {
    if (reporter()) {
        reporter()(message);
    } else if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Erro"), message, QMessageBox::Ok);
        // An error is read before it is dismissed: the tap that ran the failed command does not close it.
        InputGuard::guard(box);
        box.exec();
    } else {
        std::fprintf(stderr, "%s\n", message.toUtf8().constData());
    }
}

bool guardEvent(const std::function<void()>& handler) noexcept {
    try {
        handler();
        return true;
    } catch (const EAbort&) {
        return false;
    } catch (...) {
        const QString message = exceptionMessage(std::current_exception());
        qCWarning(lcEvents).noquote() << "a command ended with an error:" << message;
        try {
            ShowException(message);
        } catch (...) {
            std::fprintf(stderr, "%s\n", message.toUtf8().constData());
        }
        return false;
    }
}
