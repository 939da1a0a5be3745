// Filter expressions on a client dataset: which records they let through, how they treat
// nulls, quoting and numbers, and how a bad expression is reported.

#include "support/TestValues.h"
#include "DataPacket.h"
#include "TClientDataSet.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

const TFieldValue Null{};

TFieldValue S(const char* text) { return std::string(text); }

std::vector<int> visitIds(TDataSet& ds) {
    std::vector<int> ids;
    ds.First();
    while (!ds.Eof()) {
        ids.push_back(ds.FieldByName("ID").AsInteger());
        ds.Next();
    }
    return ids;
}

QByteArray contas() {
    const std::vector<TFieldDesc> fields = {
        {"ID", TFieldType::ftInteger, 0},  {"NRMESA", TFieldType::ftInteger, 0}, {"NOME", TFieldType::ftString, 20},
        {"VALOR", TFieldType::ftFloat, 0}, {"ATIVO", TFieldType::ftBoolean, 0},  {"OBS", TFieldType::ftString, 0},
    };
    const std::vector<TRecord> rows = {
        {1, 1, S("Ana"), 10.5, true, Null},
        {2, 2, S("O'Brien"), -3.0, false, S("janela")},
        {3, 12, S("ana"), 0.0, true, S("a")},
        {4, Null, S("Ana "), Null, Null, S("")},
        {5, -5, S("12' OR 'a'='a"), 2.25, false, S("b")},
    };
    return encodePacket(TPacketTable{fields, rows});
}

struct FilterCase {
    const char* expression;
    std::vector<int> ids;
};

void PrintTo(const FilterCase& c, std::ostream* os) { *os << c.expression; }

const FilterCase kFilterCases[] = {
    // Integers, against number literals and quoted numbers.
    {"NRMESA = 12", {3}},
    {"NRMESA = '12'", {3}},
    {"NRMESA > '2'", {3}},
    {"NRMESA <> 1", {2, 3, 5}},
    {"NRMESA < 2", {1, 5}},
    {"NRMESA > 2", {3}},
    {"NRMESA <= 2", {1, 2, 5}},
    {"NRMESA >= 2", {2, 3}},
    {"NRMESA = -5", {5}},
    {"NRMESA < 1.5", {1, 5}},
    // Floats.
    {"VALOR = 10.5", {1}},
    {"VALOR = -3", {2}},
    {"VALOR < 0", {2}},
    {"VALOR >= 2.25", {1, 5}},
    {"VALOR > '2.5'", {1}},
    {"VALOR > -1.5 AND VALOR < 2.5", {3, 5}},
    // Strings: exact, case-sensitive, trailing blanks count, doubled quotes.
    {"NOME = 'Ana'", {1}},
    {"NOME = 'ana'", {3}},
    {"NOME = 'Ana '", {4}},
    {"NOME <> 'Ana'", {2, 3, 4, 5}},
    {"NOME < 'B'", {1, 4, 5}},
    {"NOME = 'O''Brien'", {2}},
    {"NOME = '12'' OR ''a''=''a'", {5}},
    {"OBS = ''", {4}},
    // Booleans.
    {"ATIVO = TRUE", {1, 3}},
    {"ATIVO = false", {2, 5}},
    // Nulls and three-valued logic.
    {"OBS IS NULL", {1}},
    {"OBS IS NOT NULL", {2, 3, 4, 5}},
    {"OBS <> 'a'", {2, 4, 5}},
    {"NOT (ATIVO = TRUE)", {2, 5}},
    {"NOT (NRMESA <> 1)", {1}},
    {"NRMESA = 1 OR NRMESA <> 1", {1, 2, 3, 5}},
    {"NRMESA IS NULL OR NOME = 'ana'", {3, 4}},
    {"NOT (NRMESA = 1 AND VALOR > 100)", {1, 2, 3, 5}},
    {"NRMESA > 100 OR OBS IS NULL", {1}},
    // Logic, precedence, parentheses.
    {"NRMESA > 0 AND ATIVO = TRUE", {1, 3}},
    {"NRMESA = 1 OR NRMESA = 2 AND ATIVO = TRUE", {1}},
    {"(NRMESA = 1 OR NRMESA = 2) AND ATIVO = FALSE", {2}},
    {"NOT NOT (NRMESA = 1)", {1}},
    // Keywords and field names in any case, brackets.
    {"nrmesa is not null and not (ativo = true)", {2, 5}},
    {"[NRMESA] = 1", {1}},
    {"[obs] Is Null", {1}},
};

class FilterCases : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterCases, LetsThroughMatchingRecords) {
    const FilterCase& c = GetParam();
    TClientDataSet ds("cdsContas");
    ds.setData(contas());
    ds.setFilter(c.expression);
    ds.setFiltered(true);
    EXPECT_EQ(visitIds(ds), c.ids);
    EXPECT_EQ(ds.RecordCount(), static_cast<int>(c.ids.size()));
    EXPECT_EQ(ds.records().size(), 5u);
}

INSTANTIATE_TEST_SUITE_P(Expressions, FilterCases, ::testing::ValuesIn(kFilterCases),
                         [](const ::testing::TestParamInfo<FilterCase>& testCase) {
                             return caseName(testCase.param.expression);
                         });

TEST(Filter, BadExpressionThrowsNamingIt) {
    const char* expressions[] = {
        "NRMESA = ",   "NRMESA = 'abc", "(NRMESA = 1", "NRMESA = 1 AND", "NRMESA == 1",
        "NRMESA = 1)", "= 1",           "NRMESA IS 1", "NRMESA 1",       "NRMESA = 1 OR OR NRMESA = 2",
    };
    for (const char* expression : expressions) {
        SCOPED_TRACE(expression);
        TClientDataSet ds("cdsContas");
        ds.setData(contas());
        ds.setFilter(expression);  // not applied yet
        EXPECT_EQ(ds.RecordCount(), 5);
        const QString message = dbError([&] { ds.setFiltered(true); });
        EXPECT_TRUE(message.contains(expression)) << message.toStdString();
    }
}

TEST(Filter, UnknownFieldThrowsNamingIt) {
    TClientDataSet ds("cdsContas");
    ds.setData(contas());
    ds.setFilter("GARCOM = 'Bia'");
    const QString message = dbError([&] { ds.setFiltered(true); });
    EXPECT_TRUE(message.contains("GARCOM")) << message.toStdString();
}

TEST(Filter, BadExpressionIsReportedWhereverTheFilterIsApplied) {
    TClientDataSet changing("cdsContas");
    changing.setData(contas());
    changing.setFilter("NRMESA = 1");
    changing.setFiltered(true);
    QString message = dbError([&] { changing.setFilter("NRMESA = 'abc"); });
    EXPECT_TRUE(message.contains("NRMESA = 'abc")) << message.toStdString();

    TClientDataSet opening("cdsContas");
    opening.setFilter("[GARCOM] = 1");
    opening.setFiltered(true);  // closed: applied on opening
    message = dbError([&] { opening.setData(contas()); });
    EXPECT_TRUE(message.contains("GARCOM")) << message.toStdString();
}

TEST(Filter, DeepNestingThrowsInsteadOfOverflowingTheStack) {
    // Tens of thousands of nested parentheses used to overflow the stack while compiling.
    const auto nested = [](const char* open, int depth, const char* close) {
        return QString::fromLatin1(open).repeated(depth) + "ID = 1" + QString::fromLatin1(close).repeated(depth);
    };
    struct Case {
        const char* name;
        QString expression;
        bool accepted;
    };
    const Case cases[] = {
        {"parentheses at the limit", nested("(", 1000, ")"), true},
        {"NOTs at the limit", nested("NOT ", 1000, ""), true},
        {"one parenthesis more", nested("(", 1001, ")"), false},
        {"NOT and parentheses", nested("NOT (", 501, ")"), false},
        {"far beyond", nested("(", 100000, ")"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TClientDataSet ds("cdsContas");
        ds.setData(contas());
        ds.setFilter(c.expression);
        if (c.accepted) {
            ds.setFiltered(true);
            EXPECT_EQ(visitIds(ds), std::vector<int>{1});
        } else {
            const QString message = dbError([&] { ds.setFiltered(true); });
            EXPECT_TRUE(message.contains("nested more than 1000 levels deep")) << message.left(200).toStdString();
            EXPECT_EQ(ds.RecordCount(), 5);
        }
    }
}

TEST(Filter, FilterSetBeforeOpeningAppliesOnOpening) {
    TClientDataSet ds;
    ds.setFilter("ATIVO = TRUE");
    ds.setFiltered(true);
    ds.setData(contas());
    EXPECT_EQ(ds.RecordCount(), 2);
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_EQ(ds.FieldByName("ID").AsInteger(), 1);
}

TEST(Filter, NavigationAndSwitchingOff) {
    TClientDataSet ds;
    ds.setData(contas());
    ds.setFilter("ATIVO = FALSE");
    ds.setFiltered(true);
    EXPECT_EQ(ds.FieldByName("ID").AsInteger(), 2);
    EXPECT_EQ(ds.RecNo(), 1);
    ds.Last();
    EXPECT_EQ(ds.FieldByName("ID").AsInteger(), 5);
    EXPECT_EQ(ds.RecNo(), 2);

    ds.setFilter("NRMESA > 1");
    EXPECT_EQ(visitIds(ds), (std::vector<int>{2, 3}));

    ds.setFilter("NRMESA = 99");
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.RecNo(), 0);

    ds.setFiltered(false);
    EXPECT_EQ(ds.Filter(), "NRMESA = 99");
    EXPECT_EQ(ds.RecordCount(), 5);
    EXPECT_EQ(visitIds(ds), (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(Filter, PostedRecordsFollowTheFilter) {
    TClientDataSet ds;
    ds.setData(contas());
    ds.setFilter("ATIVO = TRUE");
    ds.setFiltered(true);

    ds.Edit();  // record 1
    ds.FieldByName("ATIVO").setAsBoolean(false);
    ds.Post();
    EXPECT_EQ(ds.RecordCount(), 1);
    EXPECT_EQ(visitIds(ds), std::vector<int>{3});

    ds.Append();
    ds.FieldByName("ID").setAsInteger(6);
    ds.FieldByName("ATIVO").setAsBoolean(true);
    ds.Post();
    ds.Append();
    ds.FieldByName("ID").setAsInteger(7);
    ds.Post();  // ATIVO null: not shown
    EXPECT_EQ(visitIds(ds), (std::vector<int>{3, 6}));
    EXPECT_EQ(ds.records().size(), 7u);

    ds.setFiltered(false);
    EXPECT_EQ(visitIds(ds), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
}

TEST(Filter, NotANumberEqualsNothingAndIsInNoOrder) {
    const std::vector<TFieldDesc> fields = {{"ID", TFieldType::ftInteger, 0}, {"VALOR", TFieldType::ftFloat, 0}};
    const std::vector<TRecord> rows = {{1, std::nan("")}, {2, 5.0}};
    const std::pair<const char*, std::vector<int>> cases[] = {
        {"VALOR = 5", {2}}, {"VALOR <> 5", {1}}, {"VALOR < 10", {2}}, {"VALOR >= 0", {2}}, {"NOT (VALOR = 5)", {1}},
    };
    for (const auto& [expression, ids] : cases) {
        SCOPED_TRACE(expression);
        TClientDataSet ds("cdsNan");
        ds.setData(encodePacket(TPacketTable{fields, rows}));
        ds.setFilter(expression);
        ds.setFiltered(true);
        EXPECT_EQ(visitIds(ds), ids);
    }
}

}  // namespace
