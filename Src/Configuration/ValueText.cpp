#include "Configuration/ValueText.h"

namespace Configuration::ValueText {

namespace {

// Whether c at position at of a value would be taken for the end of the value or skipped
// before it, when nothing but backslashes precede it from position run onwards.
bool NeedsEscape(char c, std::size_t runStart)
{
    return c == '#' || c == '\t' || (runStart == 0 && (c == ' ' || c == '='));
}

} // namespace

std::string Escape(std::string_view value)
{
    std::string out;
    out.reserve(value.size() + 2);
    std::size_t backslashes = 0;
    for (std::size_t at = 0; at < value.size(); ++at) {
        const char c = value[at];
        if (c == '\\') {
            ++backslashes;
            out += c;
            continue;
        }
        if (NeedsEscape(c, at - backslashes)) {
            out.append(backslashes + 1, '\\'); // the run doubled, and one for the character
            out += c;
        } else {
            out += c;
        }
        backslashes = 0;
    }
    return out;
}

std::string Unescape(std::string_view line, std::size_t& end)
{
    std::string out;
    std::size_t at = 0;
    while (at < line.size()) {
        const char c = line[at];
        if (c == '\\') {
            const std::size_t runStart = at;
            while (at < line.size() && line[at] == '\\')
                ++at;
            const std::size_t run = at - runStart;
            if (at < line.size() && NeedsEscape(line[at], runStart)) {
                out.append(run / 2, '\\');
                if (run % 2 == 1) {
                    out += line[at++]; // an escaped character
                    continue;
                }
                if (line[at] == ' ' || line[at] == '=') {
                    out += line[at++]; // inside the value already: a plain character
                    continue;
                }
                break; // a '#' or tab after an even run ends the value
            }
            out.append(run, '\\');
            continue;
        }
        if (c == '#' || c == '\t' || c == '\n')
            break;
        out += c;
        ++at;
    }
    end = at;
    return out;
}

} // namespace Configuration::ValueText
