// Syntax of absolute URLs.
#include <platform/Network.h>

#include <cctype>
#include <string_view>

namespace platform::net {

namespace {

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// Printable ASCII that may stand in a URL (percent signs checked apart).
bool isURLCharacter(char c) {
    auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7f) return false;
    return std::string_view("<>\"{}|\\^`").find(c) == std::string_view::npos;
}

bool isHostCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || std::string_view("-._~%!$&'()*+,;=").find(c) != std::string_view::npos;
}

bool parseAuthority(std::string_view authority, URLParts& parts) {
    size_t at = authority.rfind('@');
    if (at != std::string_view::npos) authority.remove_prefix(at + 1);
    std::string_view host = authority, port;
    if (!authority.empty() && authority[0] == '[') {
        size_t close = authority.find(']');
        if (close == std::string_view::npos) return false;
        host = authority.substr(0, close + 1);
        for (char c : host.substr(1, host.size() - 2))
            if (!isHex(c) && c != ':' && c != '.') return false;
        std::string_view rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':') return false;
            port = rest.substr(1);
        }
    } else {
        size_t colon = authority.find(':');
        if (colon != std::string_view::npos) {
            host = authority.substr(0, colon);
            port = authority.substr(colon + 1);
        }
        for (char c : host)
            if (!isHostCharacter(c)) return false;
    }
    if (port.size() > 5) return false;
    long number = 0;
    for (char c : port) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        number = number * 10 + (c - '0');
    }
    if (number > 65535) return false;
    parts.host = std::string(host);
    if (!port.empty()) parts.port = static_cast<int>(number);
    return true;
}

}  // namespace

std::optional<URLParts> parseURL(const std::string& url) {
    size_t colon = url.find(':');
    if (colon == std::string::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(url[0]))) return {};
    URLParts parts;
    for (size_t i = 0; i < colon; ++i) {
        char c = url[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return {};
        parts.scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    bool fragment = false;
    for (size_t i = 0; i < url.size(); ++i) {
        char c = url[i];
        if (!isURLCharacter(c)) return {};
        if (c == '%' && (i + 2 >= url.size() || !isHex(url[i + 1]) || !isHex(url[i + 2]))) return {};
        if (c == '#') {
            if (fragment) return {};
            fragment = true;
        }
    }
    std::string_view rest = std::string_view(url).substr(colon + 1);
    bool hasAuthority = rest.substr(0, 2) == "//";
    if (hasAuthority) {
        rest.remove_prefix(2);
        if (!parseAuthority(rest.substr(0, rest.find_first_of("/?#")), parts)) return {};
    }
    if ((parts.scheme == "http" || parts.scheme == "https") && parts.host.empty()) return {};
    return parts;
}

bool isWebURL(const std::string& url) {
    std::optional<URLParts> parts = parseURL(url);
    return parts && (parts->scheme == "http" || parts->scheme == "https");
}

}  // namespace platform::net
