#pragma once

#include <cstdint>
#include <string_view>

// The named character references of HTML 4 (all 252), with the upper-case forms of &amp;,
// &lt;, &gt;, &quot;, &copy; and &reg; that pages also use.
namespace htmlEntity {

struct Entity {
    std::string_view name;
    std::uint32_t codePoint;
    // Browsers also take it without the closing ';' (the Latin-1 names and the markup five).
    bool semicolonOptional;
};

constexpr std::size_t longestName = 8;
constexpr std::size_t longestSemicolonOptional = 6;

// The entity of exactly this name (case-sensitive), or nullptr.
const Entity* find(std::string_view name);

} // namespace htmlEntity
