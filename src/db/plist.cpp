#include "db/plist.h"

#include <cstring>

namespace plist {

namespace {

struct Tag {
    std::string name;
    bool closing = false;   // </name>
    bool empty = false;     // <name/>
};

bool StartsWith(const char* at, const char* end, const char* prefix)
{
    const size_t n = strlen(prefix);
    return static_cast<size_t>(end - at) >= n && memcmp(at, prefix, n) == 0;
}

// The five entities XML predefines; any other '&' stays as it is.
std::string Unescape(const std::string& raw)
{
    static const struct { const char* entity; char c; } kEntities[] = {
        {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string text;
    for (size_t i = 0; i < raw.size(); ++i) {
        bool replaced = false;
        for (const auto& e : kEntities) {
            if (raw.compare(i, strlen(e.entity), e.entity) == 0) {
                text += e.c;
                i += strlen(e.entity) - 1;
                replaced = true;
                break;
            }
        }
        if (!replaced)
            text += raw[i];
    }
    return text;
}

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Decimal, with an optional sign; false when it is not one or overflows.
bool ParseInteger(const std::string& text, int64_t* value)
{
    const std::string digits = Trimmed(text);
    size_t i = digits.empty() || (digits[0] != '-' && digits[0] != '+') ? 0 : 1;
    if (i == digits.size())
        return false;
    uint64_t magnitude = 0;
    for (; i < digits.size(); ++i) {
        if (digits[i] < '0' || digits[i] > '9' || magnitude > (uint64_t(INT64_MAX) - 9) / 10)
            return false;
        magnitude = magnitude * 10 + static_cast<uint64_t>(digits[i] - '0');
    }
    *value = digits[0] == '-' ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

class Parser {
public:
    Parser(const char* bytes, size_t size) : m_at(bytes), m_end(bytes + size) {}

    bool Document(Value* root)
    {
        Tag tag;
        do {
            if (!NextTag(&tag, nullptr))
                return false;
        } while (tag.name != "plist" || tag.closing);
        return !tag.empty && NextTag(&tag, nullptr) && !tag.closing && ParseValue(tag, root, 1);
    }

private:
    // The next element tag, past comments, declarations and processing
    // instructions; the text before it goes to *text when asked for.
    bool NextTag(Tag* tag, std::string* text)
    {
        for (;;) {
            const char* open = static_cast<const char*>(memchr(m_at, '<', static_cast<size_t>(m_end - m_at)));
            if (!open)
                return false;
            if (text)
                text->append(m_at, open);
            m_at = open;
            if (StartsWith(m_at, m_end, "<!--")) {
                if (!SkipPast("-->"))
                    return false;
            } else if (StartsWith(m_at, m_end, "<?") || StartsWith(m_at, m_end, "<!")) {
                if (!SkipPast(">"))
                    return false;
            } else {
                return ReadTag(tag);
            }
        }
    }

    bool SkipPast(const char* marker)
    {
        const size_t n = strlen(marker);
        for (const char* p = m_at; static_cast<size_t>(m_end - p) >= n; ++p) {
            if (memcmp(p, marker, n) == 0) {
                m_at = p + n;
                return true;
            }
        }
        return false;
    }

    bool ReadTag(Tag* tag)
    {
        const char* close = static_cast<const char*>(memchr(m_at, '>', static_cast<size_t>(m_end - m_at)));
        if (!close)
            return false;
        const char* p = m_at + 1;
        tag->closing = p < close && *p == '/';
        if (tag->closing)
            ++p;
        const char* nameEnd = p;
        while (nameEnd < close && !strchr(" \t\r\n/", *nameEnd))
            ++nameEnd;
        tag->name.assign(p, nameEnd);
        tag->empty = !tag->closing && close[-1] == '/' && close - 1 >= nameEnd;
        m_at = close + 1;
        return !tag->name.empty();
    }

    // The text up to the element's closing tag, which must follow it.
    bool ElementText(const Tag& open, std::string* text)
    {
        if (open.empty)
            return true;
        std::string raw;
        Tag tag;
        if (!NextTag(&tag, &raw) || !tag.closing || tag.name != open.name)
            return false;
        *text = Unescape(raw);
        return true;
    }

    bool ParseValue(const Tag& open, Value* value, int depth)
    {
        if (depth > kMaxDepth)
            return false;
        const std::string& name = open.name;
        if (name == "dict")
            return ParseDict(open, value, depth);
        if (name == "array")
            return ParseArray(open, value, depth);
        if (name == "true" || name == "false") {
            value->kind = Value::Kind::kBoolean;
            value->integer = name == "true";
            std::string ignored;
            return ElementText(open, &ignored);
        }
        if (!ElementText(open, &value->text))
            return false;
        if (name == "string")
            value->kind = Value::Kind::kString;
        else if (name == "integer")
            value->kind = ParseInteger(value->text, &value->integer) ? Value::Kind::kInteger : Value::Kind::kOther;
        return true;   // real, date, data: kept as text of another kind
    }

    bool ParseDict(const Tag& open, Value* value, int depth)
    {
        value->kind = Value::Kind::kDict;
        Tag tag;
        while (!open.empty) {
            if (!NextTag(&tag, nullptr))
                return false;
            if (tag.closing)
                return tag.name == "dict";
            std::string key;
            if (tag.name != "key" || !ElementText(tag, &key) || !NextTag(&tag, nullptr) || tag.closing)
                return false;
            value->keys.push_back(std::move(key));
            value->items.emplace_back();
            if (!ParseValue(tag, &value->items.back(), depth + 1))
                return false;
        }
        return true;
    }

    bool ParseArray(const Tag& open, Value* value, int depth)
    {
        value->kind = Value::Kind::kArray;
        Tag tag;
        while (!open.empty) {
            if (!NextTag(&tag, nullptr))
                return false;
            if (tag.closing)
                return tag.name == "array";
            value->items.emplace_back();
            if (!ParseValue(tag, &value->items.back(), depth + 1))
                return false;
        }
        return true;
    }

    const char* m_at;
    const char* m_end;
};

}  // namespace

const Value* Value::Find(const char* key) const
{
    if (kind != Kind::kDict)
        return nullptr;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] == key)
            return &items[i];
    }
    return nullptr;
}

bool Value::FindInteger(const char* key, int64_t* value) const
{
    const Value* found = Find(key);
    if (!found || (found->kind != Kind::kInteger && found->kind != Kind::kBoolean))
        return false;
    *value = found->integer;
    return true;
}

bool Parse(const char* bytes, size_t size, Value* root)
{
    *root = Value();
    return bytes && Parser(bytes, size).Document(root);
}

}  // namespace plist
