#pragma once
#include <cstdarg>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

/// Helpers for the program's fixed-size, zero-terminated UTF-16 text fields.
/// Every function that writes into a field takes its capacity in code units (terminator
/// included) and leaves the field terminated, cutting the text when it does not fit. A cut
/// never leaves half of a surrogate pair behind. Pure functions; any thread may call.
namespace Platform::Text {

/// Length in code units up to the terminator, at most capacity.
std::size_t Length(const char16_t* text, std::size_t capacity = static_cast<std::size_t>(-1)) noexcept;

/// Copies source into destination (capacity code units). Returns false when it was cut.
bool Copy(char16_t* destination, std::size_t capacity, const char16_t* source) noexcept;
bool Copy(char16_t* destination, std::size_t capacity, std::u16string_view source) noexcept;

template <std::size_t N>
bool Copy(char16_t (&destination)[N], std::u16string_view source) noexcept
{
    return Copy(destination, N, source);
}

/// Copies one field into another, reading the source no further than its own capacity.
template <std::size_t N, std::size_t M>
bool Copy(char16_t (&destination)[N], const char16_t (&source)[M]) noexcept
{
    return Copy(destination, N, std::u16string_view(source, Length(source, M)));
}

/// Decodes UTF-8 into a field. Malformed sequences become U+FFFD. Returns false when the text
/// was cut to fit (the field still holds the part that fits, terminated).
bool Utf8ToUtf16(std::string_view source, char16_t* destination, std::size_t capacity) noexcept;

template <std::size_t N>
bool Utf8ToUtf16(std::string_view source, char16_t (&destination)[N]) noexcept
{
    return Utf8ToUtf16(source, destination, N);
}

/// Decodes UTF-8 into a string without a capacity.
std::u16string Utf8ToUtf16(std::string_view source);

/// Encodes UTF-16 (up to its terminator or end) as UTF-8. Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view source);
std::string Utf16ToUtf8(const char16_t* source);

/// Encodes into a byte buffer of capacity bytes (terminator included), never splitting a
/// character. Returns false when it was cut.
bool Utf16ToUtf8(std::u16string_view source, char* destination, std::size_t capacity) noexcept;

/// File paths are bytes; most are UTF-8 but not all. PathToUtf16 decodes UTF-8 and keeps every
/// byte that starts no valid character as the lone surrogate U+DC00 + byte (U+DC80..U+DCFF);
/// Utf16ToPath turns those back into their bytes, so a path survives the round trip byte for
/// byte. Other unpaired surrogates become U+FFFD. Capacities and cutting as for the UTF-8
/// conversions above.
bool PathToUtf16(std::string_view source, char16_t* destination, std::size_t capacity) noexcept;
std::string Utf16ToPath(std::u16string_view source);
std::string Utf16ToPath(const char16_t* source);
bool Utf16ToPath(std::u16string_view source, char* destination, std::size_t capacity) noexcept;

/// One code unit to one byte, for texts that are meant to hold single-byte characters only.
/// Writes at most capacity - 1 bytes and a terminator. Fails (returns false, destination
/// holds the empty text) when a code unit is above 255.
bool NarrowCodeUnits(const char16_t* source, char* destination, std::size_t capacity) noexcept;

/// One byte to one code unit (bytes taken as unsigned). Returns false when it was cut.
bool WidenBytes(std::string_view source, char16_t* destination, std::size_t capacity) noexcept;

/// printf-style formatting of a UTF-16 format. %s and %ls take a const char16_t* argument,
/// %hs a narrow const char*, %c a UTF-16 code unit; the integer conversions (d i u x X o with
/// h, l, ll, z), flags, width and precision follow printf. The result is cut at
/// capacity - 1 code units.
std::u16string FormatWide(std::size_t capacity, const char16_t* format, va_list arguments);
std::u16string FormatWide(std::size_t capacity, const char16_t* format, ...);

/// A table text with its place holders %1 to %9 replaced by arguments[0] to [8] in one pass
/// (an argument's own "%2" stays as it is); a place holder without an argument stays. A null
/// text gives the empty text.
std::u16string WithArguments(const char16_t* text, std::initializer_list<std::u16string_view> arguments);

} // namespace Platform::Text
