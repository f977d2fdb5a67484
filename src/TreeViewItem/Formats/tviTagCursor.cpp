#include "TreeViewItem/Formats/tviTagCursor.h"

#include "Platform/platformText.h"

#include <algorithm>

bool tviTagCursor::startsNoCase(std::string_view text, size_t at, std::string_view prefix)
{
    if (at > text.size() || text.size() - at < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (upper(text[at + i]) != upper(prefix[i])) {
            return false;
        }
    }
    return true;
}

void tviTagCursor::seek(size_t at)
{
    pos_ = std::min(at, b_.size());
}

void tviTagCursor::take(std::string& text)
{
    size_t w = width();
    text.append(b_.substr(pos_, w));
    pos_ += w;
}

void tviTagCursor::skipBlanks()
{
    while (pos_ < b_.size() && isBlank(b_[pos_])) {
        ++pos_;
    }
}

bool tviTagCursor::lookingAt(std::string_view prefix) const
{
    return startsNoCase(b_, pos_, prefix);
}

bool tviTagCursor::lookingAtTag(std::string_view name, bool end) const
{
    size_t p = pos_;
    if (p >= b_.size() || b_[p] != '<') {
        return false;
    }
    ++p;
    if (end) {
        if (p >= b_.size() || b_[p] != '/') {
            return false;
        }
        ++p;
    }
    if (!startsNoCase(b_, p, name)) {
        return false;
    }
    p += name.size();
    return p >= b_.size() || !isNameChar(b_[p]);
}

size_t tviTagCursor::find(std::string_view prefix) const
{
    for (size_t i = pos_; i < b_.size(); i += charWidth(b_, i, code_)) {
        if (startsNoCase(b_, i, prefix)) {
            return i;
        }
    }
    return std::string_view::npos;
}

// Quotes, '=', '>', NUL and blanks are never trail bytes (those are 0x40 and above), so where
// a tag's text is searched only for them it is searched byte by byte: every one found starts
// a character, as stepping character by character would have found it.
tviTag tviTagCursor::readTag()
{
    tviTag tag;
    ++pos_;
    if (pos_ < b_.size() && b_[pos_] == '/') {
        tag.end = true;
        ++pos_;
    }
    while (pos_ < b_.size() && isNameChar(b_[pos_])) {
        tag.name += static_cast<char>(upper(b_[pos_++]));
    }
    size_t start = std::min(pos_, b_.size());
    while (pos_ < b_.size()) {
        unsigned char c = b_[pos_];
        if (c == '>') {
            tag.attributes = b_.substr(start, pos_ - start);
            tag.closed = true;
            ++pos_;
            return tag;
        }
        if (c == '"' || c == '\'') {
            // A quote inside a name or a bare value is text; only one after '=' opens a value.
            size_t p = pos_;
            while (p > start && isBlank(b_[p - 1])) {
                --p;
            }
            if (p > start && b_[p - 1] == '=') {
                size_t close = b_.find(static_cast<char>(c), pos_ + 1);
                pos_ = close == std::string_view::npos ? b_.size() : close + 1;
                continue;
            }
        }
        ++pos_;
    }
    pos_ = b_.size();
    tag.attributes = b_.substr(start);
    return tag;
}

void tviTagCursor::getAttributes(std::string_view t, std::span<const std::string_view> names,
                                 std::span<std::string_view> values, std::span<bool> found, Code)
{
    std::fill(values.begin(), values.end(), std::string_view());
    std::fill(found.begin(), found.end(), false);
    size_t i = 0;
    auto skipBlanks = [&] {
        while (i < t.size() && isBlank(t[i])) {
            ++i;
        }
    };
    while (true) {
        skipBlanks();
        if (i >= t.size()) {
            return;
        }
        size_t nameStart = i;
        while (i < t.size() && !isBlank(t[i]) && t[i] != '=' && t[i] != '>') {
            ++i;
        }
        std::string_view name = t.substr(nameStart, i - nameStart);
        if (i == nameStart) {
            ++i; // a stray '=' or '>'
            continue;
        }
        skipBlanks();
        if (i >= t.size() || t[i] != '=') {
            continue; // an attribute without a value never matches
        }
        ++i;
        skipBlanks();
        std::string_view value;
        bool terminated = true;
        if (i < t.size() && (t[i] == '"' || t[i] == '\'')) {
            char quote = t[i++];
            size_t close = t.find(quote, i);
            terminated = close != std::string_view::npos;
            value = t.substr(i, terminated ? close - i : std::string_view::npos);
            i = terminated ? close + 1 : t.size();
        } else {
            size_t start = i;
            while (i < t.size() && !isBlank(t[i]) && t[i] != '>' && t[i] != '\0') {
                ++i;
            }
            value = t.substr(start, i - start);
        }
        for (size_t k = 0; k < names.size() && k < values.size(); ++k) {
            bool taken = k < found.size() ? found[k] : !values[k].empty();
            if (taken || !terminated || name.size() != names[k].size() ||
                !startsNoCase(name, 0, names[k])) {
                continue;
            }
            values[k] = value;
            if (k < found.size()) {
                found[k] = true;
            }
        }
    }
}

std::string tviTagCursor::getAttribute(std::string_view tagText, std::string_view name, bool* found)
{
    std::string_view value;
    bool was = false;
    getAttributes(tagText, std::span(&name, 1), std::span(&value, 1), std::span(&was, 1));
    if (found != nullptr) {
        *found = was;
    }
    return std::string(value);
}
