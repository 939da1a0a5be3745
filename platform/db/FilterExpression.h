#pragma once
// A compiled filter expression of a dataset: comparisons (= <> < > <= >=), AND, OR, NOT,
// parentheses, 'quoted' literals (a doubled quote inside stands for one), numbers, TRUE,
// FALSE, IS [NOT] NULL; field names plain or in [brackets]. Comparisons with a null are
// unknown and unknown never matches. compile throws EDatabaseError naming the expression and
// the position of a syntax error or of nesting (parentheses and NOTs) deeper than 1000 levels,
// or the unknown field.

#include "DbTypes.h"

#include <functional>
#include <memory>
#include <optional>

class FilterExpression {
public:
    // Looks a field up by name: its index and type, or nothing when there is no such field.
    using FieldResolver = std::function<std::optional<std::pair<int, TFieldType>>(const QString&)>;

    static std::unique_ptr<FilterExpression> compile(const QString& text, const FieldResolver& resolve);
    ~FilterExpression();

    bool matches(const TRecord& record) const;

    struct Node;

private:
    explicit FilterExpression(std::unique_ptr<Node> root);
    std::unique_ptr<Node> m_root;
};
