#pragma once
// What the back-office tools share on their command line: a message and its exit code (2 for a
// command line that is wrong, 3 for what the database or the operations refused), a line on
// standard output, and a --day argument.

#include <QDate>
#include <QRegularExpression>
#include <QString>
#include <cstdio>
#include <optional>

namespace tools {

// "NAME: PROBLEM" and the usage text on standard error; answers 2.
inline int usage(const char* name, const char* usageText, const QString& problem) {
    std::fprintf(stderr, "%s: %s\n%s", name, problem.toUtf8().constData(), usageText);
    return 2;
}

// "NAME: REASON" on standard error; answers 3.
inline int failure(const char* name, const QString& reason) {
    std::fprintf(stderr, "%s: %s\n", name, reason.toUtf8().constData());
    return 3;
}

// `text` and a new line on standard output, as it is (UTF-8).
inline void print(const QByteArray& text) {
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
    std::fputc('\n', stdout);
}

// The day of --day: YYYY-MM-DD and a day of the calendar; otherwise what is wrong with it.
inline std::optional<QDate> parseDay(const QString& text, QString& problem) {
    static const QRegularExpression form(QStringLiteral(R"(^([0-9]{4})-([0-9]{2})-([0-9]{2})$)"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) {
        problem = QStringLiteral("%1 is not a date: use YYYY-MM-DD").arg(text);
        return std::nullopt;
    }
    const QDate day(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    if (!day.isValid()) {
        problem = QStringLiteral("%1 is not a day").arg(text);
        return std::nullopt;
    }
    return day;
}

}  // namespace tools
