#include "PostgresDriver.h"

#include "../ConnectionString.h"
#include "../TField.h"

#include <charconv>
#include <libpq-fe.h>

namespace {

// Type identifiers of the built-in types (pg_type.oid), fixed since the first releases.
enum : Oid {
    kBool = 16, kName = 19, kInt8 = 20, kInt2 = 21, kInt4 = 23, kText = 25, kOid = 26, kFloat4 = 700,
    kFloat8 = 701, kBpchar = 1042, kVarchar = 1043, kDate = 1082, kTimestamp = 1114, kTimestampTz = 1184,
    kNumeric = 1700,
};

TFieldType typeOf(Oid oid) {
    switch (oid) {
    case kInt2: case kInt4: case kInt8: case kOid: case kFloat4: case kFloat8: case kNumeric: return TFieldType::ftFloat;
    case kBool: return TFieldType::ftBoolean;
    case kDate: case kTimestamp: case kTimestampTz: return TFieldType::ftDateTime;
    default: return TFieldType::ftString;
    }
}

QString columnName(const char* name) {
    const QString text = QString::fromUtf8(name);
    // Unquoted identifiers arrive folded to lower case; the statements and their readers
    // name them in upper case.
    return text == text.toLower() ? text.toUpper() : text;
}

class PostgresDriver final : public DbDriver {
public:
    explicit PostgresDriver(const ConnectionString& options) {
        m_password = options.value(QStringLiteral("Password"));
        std::vector<std::pair<QByteArray, QByteArray>> settings;
        auto add = [&](const char* keyword, const QString& value) {
            if (!value.isEmpty()) settings.emplace_back(keyword, value.toUtf8());
        };
        const QString host = options.value(QStringLiteral("Data Source"));
        const QString port = options.value(QStringLiteral("Port"));
        add("host", host);
        add("port", port);
        add("dbname", options.value(QStringLiteral("Initial Catalog")));
        add("user", options.value(QStringLiteral("User ID")));
        add("password", m_password);
        add("connect_timeout", options.value(QStringLiteral("Connect Timeout"), QStringLiteral("5")));
        add("application_name", options.value(QStringLiteral("Application Name")));
        add("client_encoding", QStringLiteral("UTF8"));
        const QString schema = options.value(QStringLiteral("Schema"));
        if (!schema.isEmpty()) add("options", QStringLiteral("-c search_path=%1").arg(schema));
        std::vector<const char*> keywords, values;
        for (const auto& [keyword, value] : settings) {
            keywords.push_back(keyword.constData());
            values.push_back(value.constData());
        }
        keywords.push_back(nullptr);
        values.push_back(nullptr);
        m_conn = PQconnectdbParams(keywords.data(), values.data(), 0);
        if (!m_conn || PQstatus(m_conn) != CONNECTION_OK) {
            const QString message = m_conn ? errorText(PQerrorMessage(m_conn)) : QStringLiteral("out of memory");
            PQfinish(m_conn);
            m_conn = nullptr;
            throw EADOError(QStringLiteral("PostgreSQL: cannot connect to %1:%2: %3")
                                .arg(host.isEmpty() ? QStringLiteral("localhost") : host,
                                     port.isEmpty() ? QStringLiteral("5432") : port, message));
        }
        PQsetNoticeProcessor(m_conn, [](void*, const char*) {}, nullptr);
    }

    ~PostgresDriver() override { PQfinish(m_conn); }

    TSqlDialect dialect() const override { return TSqlDialect::PostgreSQL; }
    QString placeholder(int index) const override { return QStringLiteral("$%1").arg(index + 1); }

    TQueryResult query(const QString& sql, const std::vector<QVariant>& params) override {
        Result result(run(sql, params));
        TQueryResult out;
        const int columns = PQnfields(result.get());
        const int rows = PQntuples(result.get());
        out.columns.resize(static_cast<std::size_t>(columns));
        for (int c = 0; c < columns; ++c) {
            TFieldDesc& column = out.columns[static_cast<std::size_t>(c)];
            column.name = columnName(PQfname(result.get(), c));
            const Oid oid = PQftype(result.get(), c);
            column.type = typeOf(oid);
            const int modifier = PQfmod(result.get(), c);
            if ((oid == kVarchar || oid == kBpchar) && modifier >= 4) column.size = modifier - 4;
        }
        out.rows.resize(static_cast<std::size_t>(rows));
        for (int r = 0; r < rows; ++r) {
            TRecord& row = out.rows[static_cast<std::size_t>(r)];
            row.resize(static_cast<std::size_t>(columns));
            for (int c = 0; c < columns; ++c) {
                if (PQgetisnull(result.get(), r, c)) continue;
                const char* data = PQgetvalue(result.get(), r, c);
                const std::string_view text(data, static_cast<std::size_t>(PQgetlength(result.get(), r, c)));
                TFieldValue& value = row[static_cast<std::size_t>(c)];
                switch (out.columns[static_cast<std::size_t>(c)].type) {
                case TFieldType::ftFloat: {
                    double number = 0;
                    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), number);
                    if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size())
                        throw EADOError(QStringLiteral("PostgreSQL: column %1 holds '%2', which is not a number")
                                            .arg(out.columns[static_cast<std::size_t>(c)].name, QString::fromUtf8(data)));
                    value = number;
                    break;
                }
                case TFieldType::ftBoolean: value = text == "t"; break;
                case TFieldType::ftDateTime: {
                    TDateTimeValue when;
                    // A time zone suffix (timestamptz) is dropped: the wall-clock time counts.
                    std::string_view wallClock = text.substr(0, std::min<std::size_t>(text.size(), 26));
                    const auto zone = wallClock.find_first_of("+-", 19);
                    if (zone != std::string_view::npos) wallClock = wallClock.substr(0, zone);
                    if (!parseDateTimeText(wallClock, when))
                        throw EADOError(QStringLiteral("PostgreSQL: column %1 holds '%2', which is not a date and time")
                                            .arg(out.columns[static_cast<std::size_t>(c)].name, QString::fromUtf8(data)));
                    value = when;
                    break;
                }
                default: value = std::string(text); break;
                }
            }
        }
        return out;
    }

    qint64 execute(const QString& sql, const std::vector<QVariant>& params) override {
        Result result(run(sql, params));
        const char* affected = PQcmdTuples(result.get());
        return affected && *affected ? QByteArray(affected).toLongLong() : 0;
    }

    void executeScript(const QString& sql) override {
        Result result(PQexec(m_conn, sql.toUtf8().constData()));
        check(result.get());
    }

private:
    struct Result {
        explicit Result(PGresult* r) : result(r) {}
        ~Result() { PQclear(result); }
        Result(const Result&) = delete;
        Result& operator=(const Result&) = delete;
        PGresult* get() const { return result; }
        PGresult* result;
    };

    PGresult* run(const QString& sql, const std::vector<QVariant>& params) {
        std::vector<QByteArray> texts(params.size());
        std::vector<const char*> values(params.size(), nullptr);
        for (std::size_t i = 0; i < params.size(); ++i) {
            const QVariant& value = params[i];
            if (value.isNull()) continue;
            switch (value.typeId()) {
            case QMetaType::QDateTime: texts[i] = formatDateTimeText(fromQDateTime(value.toDateTime())).toUtf8(); break;
            case QMetaType::Bool: texts[i] = value.toBool() ? "t" : "f"; break;
            case QMetaType::Double: case QMetaType::Float: texts[i] = QByteArray::number(value.toDouble(), 'g', 17); break;
            case QMetaType::QByteArray: texts[i] = value.toByteArray(); break;
            default: texts[i] = value.toString().toUtf8(); break;
            }
            values[i] = texts[i].constData();
        }
        PGresult* result = PQexecParams(m_conn, sql.toUtf8().constData(), static_cast<int>(params.size()), nullptr,
                                        values.data(), nullptr, nullptr, 0);
        try {
            check(result);
        } catch (...) {
            PQclear(result);
            throw;
        }
        return result;
    }

    void check(PGresult* result) const {
        const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY) return;
        const char* message = result ? PQresultErrorMessage(result) : nullptr;
        const QString text = errorText(message && *message ? message : PQerrorMessage(m_conn));
        // A connection the server dropped is opened again for the next statement; this one
        // has failed all the same.
        if (PQstatus(m_conn) == CONNECTION_BAD) {
            PQreset(m_conn);
            if (PQstatus(m_conn) == CONNECTION_OK && onReconnected) {
                try {
                    onReconnected();
                } catch (...) {
                    // The statement's own failure is what the caller hears of.
                }
            }
        }
        throw EADOError(QStringLiteral("PostgreSQL: %1").arg(text));
    }

    // The server's message on one line, never with the password in it.
    QString errorText(const char* message) const {
        QString text = QString::fromUtf8(message).trimmed();
        text.replace('\n', ' ');
        if (!m_password.isEmpty()) text.replace(m_password, QStringLiteral("****"));
        return text;
    }

    PGconn* m_conn = nullptr;
    QString m_password;
};

}  // namespace

std::unique_ptr<DbDriver> openPostgresDriver(const ConnectionString& options) {
    return std::make_unique<PostgresDriver>(options);
}
