// Decoding arbitrary bytes into a fixed field must always stay inside the field, leave it
// terminated, and survive the trip back to UTF-8.
#include "Platform/Text.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t capacity = size == 0 ? 1 : 1 + data[0] % 80;
    char16_t field[81];
    field[capacity - 1] = 0x7777; // must be overwritten by the terminator when the text is cut
    Platform::Text::Utf8ToUtf16(bytes, field, capacity);
    const std::size_t length = Platform::Text::Length(field, capacity);
    if (length >= capacity)
        std::abort();
    if (length > 0 && field[length - 1] >= 0xD800 && field[length - 1] <= 0xDBFF)
        std::abort(); // half a surrogate pair left behind

    char narrow[64];
    Platform::Text::Utf16ToUtf8(std::u16string_view(field, length), narrow, sizeof narrow);
    if (std::string_view(narrow).size() >= sizeof narrow)
        std::abort();
    return 0;
}
