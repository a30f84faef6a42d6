#include "emulator/TaskFilter.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace rtmemu {

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

struct Token {
    enum Kind { Open, Close, Word } kind;
    std::string text;
    bool quoted = false;
};

// Words, parentheses, and "quoted texts" (also right after a colon: list:"Next week").
bool Tokenise(const std::string& text, std::vector<Token>& tokens, std::string& error) {
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '(' || c == ')') {
            tokens.push_back({c == '(' ? Token::Open : Token::Close, std::string(1, c)});
            ++i;
        } else {
            Token word{Token::Word, std::string()};
            while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])) && text[i] != '(' &&
                   text[i] != ')') {
                if (text[i] == '"') {
                    const size_t end = text.find('"', i + 1);
                    if (end == std::string::npos) {
                        error = "unclosed quote";
                        return false;
                    }
                    word.text += text.substr(i + 1, end - i - 1);
                    word.quoted = true;
                    i = end + 1;
                } else {
                    word.text += text[i++];
                }
            }
            tokens.push_back(word);
        }
    }
    return true;
}

class All : public TaskFilter {
  public:
    bool Matches(const TaskList&, const TaskSeries&, const Task&) const override { return true; }
};

class Not : public TaskFilter {
  public:
    explicit Not(std::unique_ptr<TaskFilter> inner) : m_Inner(std::move(inner)) {}
    bool Matches(const TaskList& l, const TaskSeries& s, const Task& t) const override {
        return !m_Inner->Matches(l, s, t);
    }

  private:
    std::unique_ptr<TaskFilter> m_Inner;
};

class Both : public TaskFilter {
  public:
    Both(std::unique_ptr<TaskFilter> a, std::unique_ptr<TaskFilter> b, bool any)
        : m_A(std::move(a)), m_B(std::move(b)), m_Any(any) {}
    bool Matches(const TaskList& l, const TaskSeries& s, const Task& t) const override {
        return m_Any ? (m_A->Matches(l, s, t) || m_B->Matches(l, s, t))
                     : (m_A->Matches(l, s, t) && m_B->Matches(l, s, t));
    }

  private:
    std::unique_ptr<TaskFilter> m_A, m_B;
    bool m_Any;
};

class Term : public TaskFilter {
  public:
    enum Kind { Status, Priority, Tag, ListName, Name, Repeating, Tagged };
    Term(Kind kind, std::string value) : m_Kind(kind), m_Value(std::move(value)) {}
    bool Matches(const TaskList& list, const TaskSeries& series, const Task& task) const override {
        switch (m_Kind) {
            case Status:
                return (m_Value == "completed") == task.completed.has_value();
            case Priority:
                return Lower(task.priority) == m_Value;
            case Tag:
                return std::any_of(series.tags.begin(), series.tags.end(),
                                   [this](const std::string& tag) { return Lower(tag) == m_Value; });
            case ListName:
                return Lower(list.name) == m_Value;
            case Name:
                return Lower(series.name).find(m_Value) != std::string::npos;
            case Repeating:
                return series.rrule.has_value() == (m_Value == "true");
            case Tagged:
                return !series.tags.empty() == (m_Value == "true");
        }
        return false;
    }

  private:
    Kind m_Kind;
    std::string m_Value;
};

class Parser {
  public:
    Parser(std::vector<Token> tokens) : m_Tokens(std::move(tokens)) {}

    std::unique_ptr<TaskFilter> Run(std::string& error) {
        std::unique_ptr<TaskFilter> filter = Or(error);
        if (filter && m_At != m_Tokens.size()) {
            error = "unexpected \"" + m_Tokens[m_At].text + "\"";
            return nullptr;
        }
        return filter;
    }

  private:
    bool IsWord(const char* word) const {
        return m_At < m_Tokens.size() && m_Tokens[m_At].kind == Token::Word && !m_Tokens[m_At].quoted &&
               Lower(m_Tokens[m_At].text) == word;
    }

    std::unique_ptr<TaskFilter> Or(std::string& error) {
        std::unique_ptr<TaskFilter> left = And(error);
        while (left && IsWord("or")) {
            ++m_At;
            std::unique_ptr<TaskFilter> right = And(error);
            if (!right)
                return nullptr;
            left = std::make_unique<Both>(std::move(left), std::move(right), true);
        }
        return left;
    }

    std::unique_ptr<TaskFilter> And(std::string& error) {
        std::unique_ptr<TaskFilter> left = Unary(error);
        while (left && m_At < m_Tokens.size() && m_Tokens[m_At].kind != Token::Close && !IsWord("or")) {
            if (IsWord("and"))
                ++m_At;
            std::unique_ptr<TaskFilter> right = Unary(error);
            if (!right)
                return nullptr;
            left = std::make_unique<Both>(std::move(left), std::move(right), false);
        }
        return left;
    }

    std::unique_ptr<TaskFilter> Unary(std::string& error) {
        if (m_At >= m_Tokens.size()) {
            error = "incomplete filter";
            return nullptr;
        }
        if (IsWord("not")) {
            ++m_At;
            std::unique_ptr<TaskFilter> inner = Unary(error);
            return inner ? std::make_unique<Not>(std::move(inner)) : nullptr;
        }
        const Token& token = m_Tokens[m_At++];
        if (token.kind == Token::Open) {
            std::unique_ptr<TaskFilter> inner = Or(error);
            if (!inner)
                return nullptr;
            if (m_At >= m_Tokens.size() || m_Tokens[m_At].kind != Token::Close) {
                error = "missing \")\"";
                return nullptr;
            }
            ++m_At;
            return inner;
        }
        if (token.kind == Token::Close) {
            error = "unexpected \")\"";
            return nullptr;
        }
        return MakeTerm(token.text, error);
    }

    static std::unique_ptr<TaskFilter> MakeTerm(const std::string& text, std::string& error) {
        const size_t colon = text.find(':');
        if (colon == std::string::npos || colon == 0) {
            error = "\"" + text + "\" is no operator:value pair";
            return nullptr;
        }
        const std::string op = Lower(text.substr(0, colon));
        const std::string value = Lower(text.substr(colon + 1));
        const auto oneOf = [&value](std::initializer_list<const char*> values) {
            return std::any_of(values.begin(), values.end(), [&value](const char* v) { return value == v; });
        };
        if (op == "status" && oneOf({"incomplete", "completed"}))
            return std::make_unique<Term>(Term::Status, value);
        if (op == "priority" && oneOf({"1", "2", "3", "none", "n"}))
            return std::make_unique<Term>(Term::Priority, value == "none" ? "n" : value);
        if (op == "tag" && !value.empty())
            return std::make_unique<Term>(Term::Tag, value);
        if (op == "list" && !value.empty())
            return std::make_unique<Term>(Term::ListName, value);
        if (op == "name" && !value.empty())
            return std::make_unique<Term>(Term::Name, value);
        if (op == "isrepeating" && oneOf({"true", "false"}))
            return std::make_unique<Term>(Term::Repeating, value);
        if (op == "istagged" && oneOf({"true", "false"}))
            return std::make_unique<Term>(Term::Tagged, value);
        error = "unknown filter \"" + text + "\"";
        return nullptr;
    }

    std::vector<Token> m_Tokens;
    size_t m_At = 0;
};

}  // namespace

std::unique_ptr<TaskFilter> TaskFilter::Parse(const std::string& text, std::string* error) {
    std::vector<Token> tokens;
    std::string reason;
    if (!Tokenise(text, tokens, reason)) {
        if (error)
            *error = reason;
        return nullptr;
    }
    if (tokens.empty())
        return std::make_unique<All>();
    std::unique_ptr<TaskFilter> filter = Parser(std::move(tokens)).Run(reason);
    if (!filter && error)
        *error = reason;
    return filter;
}

}  // namespace rtmemu
