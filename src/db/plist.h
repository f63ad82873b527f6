#pragma once
// A reader of XML property lists, as the iPod keeps its SysInfoExtended. It
// builds the whole tree (the files are tens of kilobytes) and refuses what it
// does not understand instead of guessing; nesting is limited so that a
// damaged file cannot exhaust the stack.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plist {

constexpr int kMaxDepth = 16;

struct Value {
    enum class Kind : uint8_t { kOther, kDict, kArray, kString, kInteger, kBoolean };
    Kind kind = Kind::kOther;
    std::string text;                // a string's text, UTF-8, entities resolved
    int64_t integer = 0;             // an integer's value; a boolean's 0 or 1
    std::vector<std::string> keys;   // a dict's keys, keys[i] naming items[i]
    std::vector<Value> items;        // a dict's values or an array's items

    // A dict's value for the key (the first, when a key repeats); null when
    // there is none or this is not a dict.
    const Value* Find(const char* key) const;
    // A dict's integer or boolean value for the key.
    bool FindInteger(const char* key, int64_t* value) const;
};

// Parses the document's top value (inside <plist>); false when the bytes do
// not hold one whole, or nest deeper than kMaxDepth.
bool Parse(const char* bytes, size_t size, Value* root);

}  // namespace plist
