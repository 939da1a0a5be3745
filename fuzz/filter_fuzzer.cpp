// Fuzz target for dataset filter expressions: the input, read as UTF-8, becomes the Filter of a
// client dataset holding a small fixed table (a field of every type, nulls, edge values) and
// Filtered is switched on, so that every expression that compiles is evaluated on every record;
// the records that pass are then visited.
//
// EDatabaseError (a syntax error, an unknown field) is the expected answer to a bad expression;
// any other exception escapes and counts as a crash. For an expression that compiles, the
// dataset must let through exactly the records the compiled expression matches, and no record
// may match both the expression and its negation (a comparison with a null matches neither).

#include "DataPacket.h"
#include "FilterExpression.h"
#include "TClientDataSet.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

const QByteArray& tablePacket() {
    static const QByteArray packet = [] {
        const TFieldValue null;
        auto text = [](const char* value) { return TFieldValue(std::string(value)); };
        auto when = [](std::int64_t msecs) { return TFieldValue(TDateTimeValue{msecs}); };
        const std::vector<TFieldDesc> fields = {
            {"ID", TFieldType::ftInteger, 0},
            {"NRMESA", TFieldType::ftInteger, 0},
            {"NOME", TFieldType::ftString, 20},
            {"VALOR", TFieldType::ftFloat, 0},
            {"ATIVO", TFieldType::ftBoolean, 0},
            {"OBS", TFieldType::ftString, 0},
            {"DTHRABERTURA", TFieldType::ftDateTime, 0},
        };
        const std::vector<TRecord> rows = {
            {1, 1, text("Ana"), 10.5, true, null, when(1706702400000)},  // 2024-01-31 12:00
            {2, 2, text("O'Brien"), -3.0, false, text("janela"), null},
            {3, 12, text("ana"), 0.0, true, text("12"), when(-1)},
            {4, null, text("Ana "), null, null, text(""), when(-62135596800000)},  // 0001-01-01
            {5, -5, text("12' OR 'a'='a"), 2.25, false, text("2024-01-31"), when(253402300799999)},
            {6, std::numeric_limits<std::int32_t>::min(), text("A\xC3\xA7\xC3\xA3o \xE2\x82\xAC"), 1e300, true,
             text(" 3,5 "), when(std::numeric_limits<std::int64_t>::min())},
            {7, std::numeric_limits<std::int32_t>::max(), text(""), -0.0, false, text("1e3"),
             when(std::numeric_limits<std::int64_t>::max())},
        };
        return encodePacket(fields, rows);
    }();
    return packet;
}

[[noreturn]] void mismatch(const char* what, const QString& expression) {
    std::fprintf(stderr, "filter_fuzzer: %s: %s\n", what, expression.toUtf8().constData());
    std::abort();
}

std::unique_ptr<FilterExpression> compileFor(const TDataSet& dataSet, const QString& text) {
    return FilterExpression::compile(text,
                                     [&dataSet](const QString& name) -> std::optional<std::pair<int, TFieldType>> {
                                         if (const TField* field = dataSet.FindField(name))
                                             return std::make_pair(field->Index(), field->DataType());
                                         return std::nullopt;
                                     });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString expression = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    TClientDataSet dataSet(QStringLiteral("cdsContas"));
    dataSet.setData(tablePacket());
    dataSet.setFilter(expression);
    try {
        dataSet.setFiltered(true);
    } catch (const EDatabaseError&) {
        return 0;
    }

    std::vector<bool> passed(dataSet.records().size(), false);
    int visited = 0;
    for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) {
        const std::int32_t id = dataSet.FieldByName(QStringLiteral("ID")).AsInteger();
        passed.at(static_cast<std::size_t>(id - 1)) = true;
        ++visited;
    }
    if (visited != dataSet.RecordCount()) mismatch("visited records differ from RecordCount", expression);
    if (expression.trimmed().isEmpty()) {  // no filter: every record passes
        if (visited != static_cast<int>(passed.size())) mismatch("a blank filter hides records", expression);
        return 0;
    }

    const auto compiled = compileFor(dataSet, expression);
    std::unique_ptr<FilterExpression> negated;
    try {
        negated = compileFor(dataSet, QStringLiteral("NOT (%1)").arg(expression));
    } catch (const EDatabaseError&) {
        // Only an expression nested to the limit already: the negation adds two levels.
    }
    for (std::size_t i = 0; i < dataSet.records().size(); ++i) {
        const TRecord& record = dataSet.records()[i];
        const bool matches = compiled->matches(record);
        if (matches != passed[i]) mismatch("the dataset and the expression disagree on a record", expression);
        if (matches && negated && negated->matches(record))
            mismatch("a record matches an expression and its negation", expression);
    }
    return 0;
}
