#include "FilterExpression.h"

#include "TField.h"

#include <cmath>

// Three-valued logic: a comparison with a null is unknown, NOT unknown stays unknown.
enum class Truth { False, True, Unknown };

struct FilterExpression::Node {
    enum class Kind { And, Or, Not, Compare, IsNull, IsNotNull, Field, Literal };
    enum class Op { Eq, Ne, Lt, Gt, Le, Ge };

    Kind kind;
    Op op = Op::Eq;
    std::unique_ptr<Node> left, right;
    int field = -1;          // Field
    TFieldType fieldType{};  // Field
    TFieldValue literal;     // Literal: string, double or bool
    QString literalText;     // Literal as written, for string comparisons of numbers

    explicit Node(Kind k) : kind(k) {}
};

namespace {

using Node = FilterExpression::Node;

struct Token {
    enum class Type { End, Name, String, Number, LParen, RParen, Op, Keyword };
    Type type = Type::End;
    QString text;  // names and keywords upper-cased for keywords; operator spelling
    int position = 0;
};

class Parser {
public:
    Parser(const QString& text, const FilterExpression::FieldResolver& resolve) : m_text(text), m_resolve(resolve) {
        advance();
    }

    std::unique_ptr<Node> parse() {
        auto node = parseOr();
        if (m_token.type != Token::Type::End) syntaxError();
        return node;
    }

private:
    // Parentheses and NOT recurse, so a text nested deeply enough would overflow the stack; the
    // bound is far beyond any expression written or generated, like SQLite's expression depth.
    static constexpr int kMaxNesting = 1000;

    void enterNesting() {
        if (++m_nesting > kMaxNesting)
            throw EDatabaseError(
                QStringLiteral("Filter expression \"%1\": nested more than %2 levels deep at position %3")
                    .arg(m_text)
                    .arg(kMaxNesting)
                    .arg(m_token.position + 1));
    }

    [[noreturn]] void syntaxError() const {
        if (m_token.type == Token::Type::End)
            throw EDatabaseError(QStringLiteral("Filter expression \"%1\": incomplete expression").arg(m_text));
        throw EDatabaseError(QStringLiteral("Filter expression \"%1\": unexpected '%2' at position %3")
                                 .arg(m_text, m_token.text)
                                 .arg(m_token.position + 1));
    }

    void advance() {
        const int n = static_cast<int>(m_text.size());
        while (m_pos < n && m_text[m_pos].isSpace()) ++m_pos;
        m_token = Token{};
        m_token.position = m_pos;
        if (m_pos >= n) return;
        const QChar c = m_text[m_pos];
        if (c == u'(' || c == u')') {
            m_token.type = c == u'(' ? Token::Type::LParen : Token::Type::RParen;
            m_token.text = c;
            ++m_pos;
        } else if (c == u'\'') {
            QString value;
            ++m_pos;
            for (;;) {
                if (m_pos >= n)
                    throw EDatabaseError(
                        QStringLiteral("Filter expression \"%1\": unterminated text literal at position %2")
                            .arg(m_text)
                            .arg(m_token.position + 1));
                if (m_text[m_pos] == u'\'') {
                    if (m_pos + 1 < n && m_text[m_pos + 1] == u'\'') {
                        value += u'\'';
                        m_pos += 2;
                        continue;
                    }
                    ++m_pos;
                    break;
                }
                value += m_text[m_pos++];
            }
            m_token.type = Token::Type::String;
            m_token.text = value;
        } else if (c == u'[') {
            const int close = static_cast<int>(m_text.indexOf(u']', m_pos + 1));
            if (close < 0)
                throw EDatabaseError(QStringLiteral("Filter expression \"%1\": unterminated field name at position %2")
                                         .arg(m_text)
                                         .arg(m_pos + 1));
            m_token.type = Token::Type::Name;
            m_token.text = m_text.mid(m_pos + 1, close - m_pos - 1);
            m_pos = close + 1;
        } else if (c.isDigit() || ((c == u'-' || c == u'.') && m_pos + 1 < n && (m_text[m_pos + 1].isDigit()))) {
            int end = m_pos + 1;
            while (end < n && (m_text[end].isDigit() || m_text[end] == u'.')) ++end;
            m_token.type = Token::Type::Number;
            m_token.text = m_text.mid(m_pos, end - m_pos);
            m_pos = end;
        } else if (c.isLetter() || c == u'_') {
            int end = m_pos + 1;
            while (end < n && (m_text[end].isLetterOrNumber() || m_text[end] == u'_')) ++end;
            const QString word = m_text.mid(m_pos, end - m_pos);
            const QString upper = word.toUpper();
            static const QStringList keywords = {QStringLiteral("AND"),  QStringLiteral("OR"),   QStringLiteral("NOT"),
                                                 QStringLiteral("IS"),   QStringLiteral("NULL"), QStringLiteral("TRUE"),
                                                 QStringLiteral("FALSE")};
            if (keywords.contains(upper)) {
                m_token.type = Token::Type::Keyword;
                m_token.text = upper;
            } else {
                m_token.type = Token::Type::Name;
                m_token.text = word;
            }
            m_pos = end;
        } else {
            static const char* ops[] = {"<>", "<=", ">=", "=", "<", ">"};
            for (const char* op : ops) {
                const QString spelling = QString::fromLatin1(op);
                if (m_text.mid(m_pos, spelling.size()) == spelling) {
                    m_token.type = Token::Type::Op;
                    m_token.text = spelling;
                    m_pos += static_cast<int>(spelling.size());
                    return;
                }
            }
            m_token.type = Token::Type::Op;  // reported as unexpected by the caller
            m_token.text = c;
            ++m_pos;
            syntaxError();
        }
    }

    bool isKeyword(const char* word) const {
        return m_token.type == Token::Type::Keyword && m_token.text == QLatin1String(word);
    }

    std::unique_ptr<Node> parseOr() {
        auto left = parseAnd();
        while (isKeyword("OR")) {
            advance();
            auto node = std::make_unique<Node>(Node::Kind::Or);
            node->left = std::move(left);
            node->right = parseAnd();
            left = std::move(node);
        }
        return left;
    }

    std::unique_ptr<Node> parseAnd() {
        auto left = parseNot();
        while (isKeyword("AND")) {
            advance();
            auto node = std::make_unique<Node>(Node::Kind::And);
            node->left = std::move(left);
            node->right = parseNot();
            left = std::move(node);
        }
        return left;
    }

    std::unique_ptr<Node> parseNot() {
        if (isKeyword("NOT")) {
            enterNesting();
            advance();
            auto node = std::make_unique<Node>(Node::Kind::Not);
            node->left = parseNot();
            --m_nesting;
            return node;
        }
        return parseComparison();
    }

    std::unique_ptr<Node> parseComparison() {
        if (m_token.type == Token::Type::LParen) {
            enterNesting();
            advance();
            auto inner = parseOr();
            if (m_token.type != Token::Type::RParen) syntaxError();
            advance();
            --m_nesting;
            return inner;
        }
        auto left = parseOperand();
        if (isKeyword("IS")) {
            advance();
            bool negated = false;
            if (isKeyword("NOT")) {
                negated = true;
                advance();
            }
            if (!isKeyword("NULL")) syntaxError();
            advance();
            auto node = std::make_unique<Node>(negated ? Node::Kind::IsNotNull : Node::Kind::IsNull);
            node->left = std::move(left);
            return node;
        }
        if (m_token.type != Token::Type::Op) syntaxError();
        static const std::pair<const char*, Node::Op> ops[] = {{"=", Node::Op::Eq},  {"<>", Node::Op::Ne},
                                                               {"<", Node::Op::Lt},  {">", Node::Op::Gt},
                                                               {"<=", Node::Op::Le}, {">=", Node::Op::Ge}};
        auto node = std::make_unique<Node>(Node::Kind::Compare);
        for (const auto& [spelling, op] : ops)
            if (m_token.text == QLatin1String(spelling)) node->op = op;
        advance();
        node->left = std::move(left);
        node->right = parseOperand();
        return node;
    }

    std::unique_ptr<Node> parseOperand() {
        switch (m_token.type) {
        case Token::Type::Name: {
            const auto found = m_resolve(m_token.text);
            if (!found)
                throw EDatabaseError(
                    QStringLiteral("Filter expression \"%1\": unknown field '%2'").arg(m_text, m_token.text));
            auto node = std::make_unique<Node>(Node::Kind::Field);
            node->field = found->first;
            node->fieldType = found->second;
            advance();
            return node;
        }
        case Token::Type::String: {
            auto node = std::make_unique<Node>(Node::Kind::Literal);
            node->literal = m_token.text.toStdString();
            node->literalText = m_token.text;
            advance();
            return node;
        }
        case Token::Type::Number: {
            bool ok = false;
            const double value = m_token.text.toDouble(&ok);
            if (!ok) syntaxError();
            auto node = std::make_unique<Node>(Node::Kind::Literal);
            node->literal = value;
            node->literalText = m_token.text;
            advance();
            return node;
        }
        case Token::Type::Keyword:
            if (isKeyword("TRUE") || isKeyword("FALSE") || isKeyword("NULL")) {
                auto node = std::make_unique<Node>(Node::Kind::Literal);
                if (!isKeyword("NULL")) node->literal = isKeyword("TRUE");
                node->literalText = m_token.text;
                advance();
                return node;
            }
            syntaxError();
        default: syntaxError();
        }
    }

    const QString& m_text;
    const FilterExpression::FieldResolver& m_resolve;
    int m_pos = 0;
    int m_nesting = 0;  // parentheses and NOTs open around the current token
    Token m_token;
};

// The value of an operand for one record, in the type it compares as.
const TFieldValue& operandValue(const Node& node, const TRecord& record) {
    return node.kind == Node::Kind::Field ? record[static_cast<std::size_t>(node.field)] : node.literal;
}

// Brings a value to a comparable form: numbers (integer, float, boolean) as double, strings as
// text, date-times as milliseconds. Answers false when the value has no such form.
bool asNumber(const TFieldValue& value, double& out) {
    switch (value.index()) {
    case 1: {
        bool ok = false;
        out = QString::fromStdString(std::get<std::string>(value)).trimmed().toDouble(&ok);
        return ok;
    }
    case 2: out = std::get<std::int32_t>(value); return true;
    case 3: out = std::get<double>(value); return true;
    case 4: out = std::get<bool>(value) ? 1 : 0; return true;
    case 5: out = static_cast<double>(std::get<TDateTimeValue>(value).msecs); return true;
    default: return false;
    }
}

std::string asText(const Node& node, const TFieldValue& value) {
    if (node.kind == Node::Kind::Literal && value.index() != 1) return node.literalText.toStdString();
    return valueToString(value).toStdString();
}

Truth compare(const Node& node, const TRecord& record) {
    const Node& l = *node.left;
    const Node& r = *node.right;
    const TFieldValue& a = operandValue(l, record);
    const TFieldValue& b = operandValue(r, record);
    if (a.index() == 0 || b.index() == 0) return Truth::Unknown;
    int order;
    const bool textual = a.index() == 1 && b.index() == 1;
    const bool dates = a.index() == 5 || b.index() == 5;
    if (textual) {
        const int c = std::get<std::string>(a).compare(std::get<std::string>(b));
        order = c < 0 ? -1 : (c > 0 ? 1 : 0);
    } else if (dates) {
        TDateTimeValue x, y;
        auto toDate = [](const TFieldValue& v, TDateTimeValue& out) {
            if (v.index() == 5) {
                out = std::get<TDateTimeValue>(v);
                return true;
            }
            return v.index() == 1 && parseDateTimeText(std::get<std::string>(v), out);
        };
        if (!toDate(a, x) || !toDate(b, y)) return Truth::Unknown;
        order = x.msecs < y.msecs ? -1 : (x.msecs > y.msecs ? 1 : 0);
    } else {
        double x, y;
        if (asNumber(a, x) && asNumber(b, y)) {
            // NaN is equal to nothing and in no order with anything: only <> holds.
            if (std::isnan(x) || std::isnan(y)) return node.op == Node::Op::Ne ? Truth::True : Truth::False;
            order = x < y ? -1 : (x > y ? 1 : 0);
        } else {
            // A number against a text that is no number: compare their texts.
            const int c = asText(l, a).compare(asText(r, b));
            order = c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
    }
    bool result = false;
    switch (node.op) {
    case Node::Op::Eq: result = order == 0; break;
    case Node::Op::Ne: result = order != 0; break;
    case Node::Op::Lt: result = order < 0; break;
    case Node::Op::Gt: result = order > 0; break;
    case Node::Op::Le: result = order <= 0; break;
    case Node::Op::Ge: result = order >= 0; break;
    }
    return result ? Truth::True : Truth::False;
}

Truth evaluate(const Node& node, const TRecord& record) {
    switch (node.kind) {
    case Node::Kind::And: {
        const Truth a = evaluate(*node.left, record);
        if (a == Truth::False) return Truth::False;
        const Truth b = evaluate(*node.right, record);
        if (b == Truth::False) return Truth::False;
        return a == Truth::True && b == Truth::True ? Truth::True : Truth::Unknown;
    }
    case Node::Kind::Or: {
        const Truth a = evaluate(*node.left, record);
        if (a == Truth::True) return Truth::True;
        const Truth b = evaluate(*node.right, record);
        if (b == Truth::True) return Truth::True;
        return a == Truth::False && b == Truth::False ? Truth::False : Truth::Unknown;
    }
    case Node::Kind::Not: {
        const Truth a = evaluate(*node.left, record);
        return a == Truth::Unknown ? a : (a == Truth::True ? Truth::False : Truth::True);
    }
    case Node::Kind::Compare: return compare(node, record);
    case Node::Kind::IsNull: return operandValue(*node.left, record).index() == 0 ? Truth::True : Truth::False;
    case Node::Kind::IsNotNull: return operandValue(*node.left, record).index() != 0 ? Truth::True : Truth::False;
    case Node::Kind::Field:
    case Node::Kind::Literal: break;  // only ever operands of a comparison
    }
    return Truth::Unknown;
}

}  // namespace

FilterExpression::FilterExpression(std::unique_ptr<Node> root) : m_root(std::move(root)) {}
FilterExpression::~FilterExpression() = default;

std::unique_ptr<FilterExpression> FilterExpression::compile(const QString& text, const FieldResolver& resolve) {
    Parser parser(text, resolve);
    auto root = parser.parse();
    return std::unique_ptr<FilterExpression>(new FilterExpression(std::move(root)));
}

bool FilterExpression::matches(const TRecord& record) const { return evaluate(*m_root, record) == Truth::True; }
