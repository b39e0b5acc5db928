#pragma once
#include <string>
#include <string_view>

/// How a text value is spelt on a line of the configuration file.
///
/// A value ends at a '#' (a comment follows), a tab or the line's end, and the reader skips
/// spaces and equals signs before it. So that every text reads back byte for byte, a '#' or
/// tab inside a value, and a space or equals sign that begins it, is written after a
/// backslash. Backslashes stand for themselves, as they always have in these files (Windows
/// paths), except in front of such a character: there n backslashes are written as 2n, and
/// 2n + 1 of them mean n backslashes and the character itself. Files written before this
/// never hold a '#' or tab inside a value nor begin one with a space, so they read as they
/// always did.
namespace Configuration::ValueText {

/// The value as written after "Key = ". Line breaks are not the business of this layer.
std::string Escape(std::string_view value);

/// Finds where the value that begins at line[0] ends (at an unescaped '#', a tab or the line's
/// end) and decodes it. end receives the position where the value stopped.
std::string Unescape(std::string_view line, std::size_t& end);

} // namespace Configuration::ValueText
