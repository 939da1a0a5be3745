#include "SqlPlaceholders.h"

namespace {
bool isNameStart(QChar c) { return c.isLetter() || c == u'_'; }
bool isNameChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }
}  // namespace

SqlPlaceholders::SqlPlaceholders(const QString& sql) {
    const int n = static_cast<int>(sql.size());
    int segmentStart = 0;
    int i = 0;
    auto skipQuoted = [&](QChar quote) {
        ++i;
        while (i < n) {
            if (sql[i] == quote) {
                if (i + 1 < n && sql[i + 1] == quote) {
                    i += 2;
                    continue;
                }
                ++i;
                return;
            }
            ++i;
        }
    };
    while (i < n) {
        const QChar c = sql[i];
        if (c == u'\'' || c == u'"') {
            skipQuoted(c);
        } else if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            while (i < n && sql[i] != u'\n') ++i;
        } else if (c == u'/' && i + 1 < n && sql[i + 1] == u'*') {
            const int end = static_cast<int>(sql.indexOf(QLatin1String("*/"), i + 2));
            i = end < 0 ? n : end + 2;
        } else if (c == u':' && i + 1 < n && sql[i + 1] == u':') {
            i += 2;
        } else if (c == u':' && i + 1 < n && isNameStart(sql[i + 1])) {
            int end = i + 2;
            while (end < n && isNameChar(sql[end])) ++end;
            m_segments << sql.mid(segmentStart, i - segmentStart);
            m_names << sql.mid(i + 1, end - i - 1);
            i = end;
            segmentStart = end;
        } else {
            ++i;
        }
    }
    m_segments << sql.mid(segmentStart);
}

QString SqlPlaceholders::render(const std::function<QString(int)>& placeholder) const {
    QString out = m_segments.front();
    for (int i = 0; i < m_names.size(); ++i) out += placeholder(i) + m_segments[i + 1];
    return out;
}
