#include "platform/audiofile/FileUrl.h"

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::string> percentDecoded(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = hexValue(text[i + 1]), low = hexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        const char decoded = char(high * 16 + low);
        if (decoded == '\0')
            return std::nullopt;
        out += decoded;
        i += 2;
    }
    return out;
}

bool startsWithNoCase(const std::string& text, const std::string& prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

} // namespace

std::optional<std::string> localPathFromUrl(const std::string& url)
{
    if (url.empty())
        return std::nullopt;
    // A scheme is letters, digits, '+', '-', '.' before the first ':' and starts with a
    // letter; anything else (a path that merely holds a ':') is a plain path.
    const size_t colon = url.find(':');
    bool hasScheme = colon != std::string::npos && colon > 0 && url.find('/') > colon;
    for (size_t i = 0; hasScheme && i < colon; ++i) {
        const char c = url[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        hasScheme = letter || (i > 0 && other);
    }
    if (!hasScheme)
        return url;
    if (!startsWithNoCase(url, "file:"))
        return std::nullopt;
    std::string rest = url.substr(5);
    if (rest.rfind("//", 0) == 0) {
        const size_t pathStart = rest.find('/', 2);
        const std::string host = rest.substr(2, pathStart == std::string::npos ? std::string::npos : pathStart - 2);
        if (!host.empty() && !startsWithNoCase(host, "localhost"))
            return std::nullopt;
        if (!host.empty() && host.size() != 9)
            return std::nullopt;
        rest = pathStart == std::string::npos ? std::string() : rest.substr(pathStart);
    }
    if (rest.empty() || rest[0] != '/')
        return std::nullopt;
    // Query and fragment are not part of a file's path.
    rest = rest.substr(0, rest.find_first_of("?#"));
    return percentDecoded(rest);
}
