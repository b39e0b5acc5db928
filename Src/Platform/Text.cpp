#include "Platform/Text.h"

#include <cstdint>
#include <cstdio>

namespace Platform::Text {

namespace {

constexpr char32_t Replacement = 0xFFFD;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Decodes one code point from UTF-8 at position; advances past it. Malformed input yields
// U+FFFD and skips one byte, so decoding always makes progress.
char32_t DecodeOne(std::string_view text, std::size_t& position) noexcept
{
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(position);
    if (lead < 0x80) {
        ++position;
        return lead;
    }
    std::size_t length;
    char32_t value;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        ++position;
        return Replacement;
    }
    if (position + length > text.size()) {
        ++position;
        return Replacement;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const std::uint8_t next = byte(position + i);
        if ((next & 0xC0) != 0x80) {
            ++position;
            return Replacement;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++position;
        return Replacement;
    }
    position += length;
    return value;
}

void AppendUtf8(std::string& out, char32_t value)
{
    if (value < 0x80) {
        out += static_cast<char>(value);
    } else if (value < 0x800) {
        out += static_cast<char>(0xC0 | (value >> 6));
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
        out += static_cast<char>(0xE0 | (value >> 12));
        out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (value >> 18));
        out += static_cast<char>(0x80 | ((value >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    }
}

// Reads one code point from UTF-16; unpaired surrogates give U+FFFD.
char32_t NextCodePoint(std::u16string_view text, std::size_t& position) noexcept
{
    const char16_t unit = text[position++];
    if (IsHighSurrogate(unit)) {
        if (position < text.size() && IsLowSurrogate(text[position])) {
            const char16_t low = text[position++];
            return 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00);
        }
        return Replacement;
    }
    if (IsLowSurrogate(unit))
        return Replacement;
    return unit;
}

std::u16string_view ToTerminatedView(const char16_t* text)
{
    return text ? std::u16string_view(text, Length(text)) : std::u16string_view();
}

// Writes source into a terminated byte field one character at a time (append encodes the
// character at position and moves past it); a character that does not fit whole is left out,
// and the result says whether everything fitted.
template <typename Append>
bool WriteBounded(std::u16string_view source, char* destination, std::size_t capacity, Append append) noexcept
{
    if (capacity == 0)
        return source.empty();
    std::size_t written = 0;
    std::size_t position = 0;
    while (position < source.size()) {
        std::string encoded; // at most four bytes: kept in the small-string buffer
        append(encoded, position);
        if (written + encoded.size() > capacity - 1) {
            destination[written] = 0;
            return false;
        }
        for (char byte : encoded)
            destination[written++] = byte;
    }
    destination[written] = 0;
    return true;
}

} // namespace

std::size_t Length(const char16_t* text, std::size_t capacity) noexcept
{
    std::size_t length = 0;
    while (length < capacity && text[length] != 0)
        ++length;
    return length;
}

bool Copy(char16_t* destination, std::size_t capacity, std::u16string_view source) noexcept
{
    if (capacity == 0)
        return source.empty();
    std::size_t count = source.size();
    bool whole = true;
    if (count > capacity - 1) {
        count = capacity - 1;
        whole = false;
        if (count > 0 && IsHighSurrogate(source[count - 1]))
            --count;
    }
    for (std::size_t i = 0; i < count; ++i)
        destination[i] = source[i];
    destination[count] = 0;
    return whole;
}

bool Copy(char16_t* destination, std::size_t capacity, const char16_t* source) noexcept
{
    return Copy(destination, capacity, ToTerminatedView(source));
}

bool Utf8ToUtf16(std::string_view source, char16_t* destination, std::size_t capacity) noexcept
{
    if (capacity == 0)
        return source.empty();
    std::size_t written = 0;
    std::size_t position = 0;
    while (position < source.size()) {
        const char32_t value = DecodeOne(source, position);
        const std::size_t needed = value >= 0x10000 ? 2 : 1;
        if (written + needed > capacity - 1) {
            destination[written] = 0;
            return false;
        }
        if (needed == 2) {
            destination[written++] = static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10));
            destination[written++] = static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF));
        } else {
            destination[written++] = static_cast<char16_t>(value);
        }
    }
    destination[written] = 0;
    return true;
}

std::u16string Utf8ToUtf16(std::string_view source)
{
    std::u16string result;
    result.reserve(source.size());
    std::size_t position = 0;
    while (position < source.size()) {
        const char32_t value = DecodeOne(source, position);
        if (value >= 0x10000) {
            result += static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10));
            result += static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF));
        } else {
            result += static_cast<char16_t>(value);
        }
    }
    return result;
}

std::string Utf16ToUtf8(std::u16string_view source)
{
    std::string result;
    result.reserve(source.size());
    std::size_t position = 0;
    while (position < source.size())
        AppendUtf8(result, NextCodePoint(source, position));
    return result;
}

std::string Utf16ToUtf8(const char16_t* source)
{
    return Utf16ToUtf8(ToTerminatedView(source));
}

bool Utf16ToUtf8(std::u16string_view source, char* destination, std::size_t capacity) noexcept
{
    return WriteBounded(source, destination, capacity, [source](std::string& out, std::size_t& position) {
        AppendUtf8(out, NextCodePoint(source, position));
    });
}

bool PathToUtf16(std::string_view source, char16_t* destination, std::size_t capacity) noexcept
{
    if (capacity == 0)
        return source.empty();
    std::size_t written = 0;
    std::size_t position = 0;
    while (position < source.size()) {
        const std::size_t start = position;
        char32_t value = DecodeOne(source, position);
        // A byte that starts no valid character is kept as the lone surrogate U+DC80..U+DCFF.
        if (value == Replacement && position - start == 1)
            value = 0xDC00 + static_cast<std::uint8_t>(source[start]);
        const std::size_t needed = value >= 0x10000 ? 2 : 1;
        if (written + needed > capacity - 1) {
            destination[written] = 0;
            return false;
        }
        if (needed == 2) {
            destination[written++] = static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10));
            destination[written++] = static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF));
        } else {
            destination[written++] = static_cast<char16_t>(value);
        }
    }
    destination[written] = 0;
    return true;
}

namespace {

// The bytes of one character of a path: a kept byte (lone U+DC80..U+DCFF) as itself.
void AppendPathCharacter(std::string& out, std::u16string_view source, std::size_t& position)
{
    const char16_t unit = source[position];
    if (unit >= 0xDC80 && unit <= 0xDCFF) {
        out += static_cast<char>(unit - 0xDC00);
        ++position;
        return;
    }
    AppendUtf8(out, NextCodePoint(source, position));
}

} // namespace

std::string Utf16ToPath(std::u16string_view source)
{
    std::string result;
    result.reserve(source.size());
    std::size_t position = 0;
    while (position < source.size())
        AppendPathCharacter(result, source, position);
    return result;
}

std::string Utf16ToPath(const char16_t* source)
{
    return Utf16ToPath(ToTerminatedView(source));
}

bool Utf16ToPath(std::u16string_view source, char* destination, std::size_t capacity) noexcept
{
    return WriteBounded(source, destination, capacity, [source](std::string& out, std::size_t& position) {
        AppendPathCharacter(out, source, position);
    });
}

bool NarrowCodeUnits(const char16_t* source, char* destination, std::size_t capacity) noexcept
{
    if (capacity == 0)
        return false;
    std::size_t i = 0;
    for (; source[i] != 0 && i < capacity - 1; ++i) {
        if (source[i] > 0xFF) {
            destination[0] = 0;
            return false;
        }
        destination[i] = static_cast<char>(source[i]);
    }
    destination[i] = 0;
    return true;
}

bool WidenBytes(std::string_view source, char16_t* destination, std::size_t capacity) noexcept
{
    if (capacity == 0)
        return source.empty();
    const std::size_t count = source.size() < capacity - 1 ? source.size() : capacity - 1;
    for (std::size_t i = 0; i < count; ++i)
        destination[i] = static_cast<unsigned char>(source[i]);
    destination[count] = 0;
    return count == source.size();
}

std::u16string FormatWide(std::size_t capacity, const char16_t* format, va_list arguments)
{
    std::u16string out;
    const std::size_t limit = capacity == 0 ? 0 : capacity - 1;
    const auto append = [&](std::u16string_view piece) {
        for (char16_t unit : piece) {
            if (out.size() >= limit)
                return;
            out += unit;
        }
    };

    for (const char16_t* p = format; *p != 0 && out.size() < limit; ++p) {
        if (*p != u'%') {
            out += *p;
            continue;
        }
        const char16_t* start = p++;
        std::string spec = "%";
        bool leftAlign = false;
        while (*p == u'-' || *p == u'0' || *p == u'#' || *p == u'+' || *p == u' ') {
            leftAlign = leftAlign || *p == u'-';
            spec += static_cast<char>(*p++);
        }
        int width = 0;
        while (*p >= u'0' && *p <= u'9') {
            width = width * 10 + (*p - u'0');
            spec += static_cast<char>(*p++);
        }
        int precision = -1;
        if (*p == u'.') {
            spec += static_cast<char>(*p++);
            precision = 0;
            while (*p >= u'0' && *p <= u'9') {
                precision = precision * 10 + (*p - u'0');
                spec += static_cast<char>(*p++);
            }
        }
        std::string length;
        while (*p == u'h' || *p == u'l' || *p == u'z')
            length += static_cast<char>(*p++);

        const auto pad = [&](std::u16string text) {
            if (precision >= 0 && text.size() > static_cast<std::size_t>(precision))
                text.resize(static_cast<std::size_t>(precision));
            const std::size_t fill = static_cast<std::size_t>(width) > text.size() ? width - text.size() : 0;
            if (!leftAlign)
                append(std::u16string(fill, u' '));
            append(text);
            if (leftAlign)
                append(std::u16string(fill, u' '));
        };

        char buffer[128];
        switch (*p) {
        case u'%':
            append(u"%");
            break;
        case u's': {
            if (length == "h") {
                const char* narrow = va_arg(arguments, const char*);
                pad(narrow ? Utf8ToUtf16(narrow) : u"(null)");
            } else {
                const char16_t* wide = va_arg(arguments, const char16_t*);
                pad(wide ? std::u16string(ToTerminatedView(wide)) : u"(null)");
            }
            break;
        }
        case u'c':
            pad(std::u16string(1, static_cast<char16_t>(va_arg(arguments, int))));
            break;
        case u'd':
        case u'i':
        case u'u':
        case u'x':
        case u'X':
        case u'o': {
            const char conversion = static_cast<char>(*p);
            const bool isSigned = conversion == 'd' || conversion == 'i';
            if (length == "ll" || length == "l" || length == "z") {
                // Read as the widest type; long and long long are both 64-bit here.
                spec += "ll";
                spec += conversion;
                if (isSigned) {
                    const long long value = length == "z" ? static_cast<long long>(va_arg(arguments, std::ptrdiff_t))
                                            : length == "l" ? va_arg(arguments, long)
                                                            : va_arg(arguments, long long);
                    std::snprintf(buffer, sizeof buffer, spec.c_str(), value);
                } else {
                    const unsigned long long value = length == "z"   ? va_arg(arguments, std::size_t)
                                                     : length == "l" ? va_arg(arguments, unsigned long)
                                                                     : va_arg(arguments, unsigned long long);
                    std::snprintf(buffer, sizeof buffer, spec.c_str(), value);
                }
            } else {
                spec += length;
                spec += conversion;
                if (isSigned)
                    std::snprintf(buffer, sizeof buffer, spec.c_str(), va_arg(arguments, int));
                else
                    std::snprintf(buffer, sizeof buffer, spec.c_str(), va_arg(arguments, unsigned int));
            }
            append(Utf8ToUtf16(buffer));
            break;
        }
        case 0:
            // A lone '%' at the end is written as it stands.
            append(std::u16string_view(start, static_cast<std::size_t>(p - start)));
            return out;
        default:
            // Unknown conversions are copied, not interpreted, so no argument is misread.
            append(std::u16string_view(start, static_cast<std::size_t>(p - start + 1)));
            break;
        }
    }
    return out;
}

std::u16string FormatWide(std::size_t capacity, const char16_t* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::u16string result = FormatWide(capacity, format, arguments);
    va_end(arguments);
    return result;
}

std::u16string WithArguments(const char16_t* text, std::initializer_list<std::u16string_view> arguments)
{
    std::u16string result;
    for (const char16_t* c = text; c != nullptr && *c != 0; ++c) {
        const std::size_t index = static_cast<std::size_t>(c[1] - u'1');
        if (c[0] == u'%' && c[1] >= u'1' && c[1] <= u'9' && index < arguments.size()) {
            result += arguments.begin()[index];
            ++c;
        } else {
            result += *c;
        }
    }
    return result;
}

} // namespace Platform::Text
