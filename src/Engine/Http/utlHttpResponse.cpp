#include "Engine/Http/utlHttpResponse.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <strings.h>

namespace httpresponse {

bool takeHeaderLine(std::string_view line, bool ftp, std::string& headerLines,
                    std::string& lastReply)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    if (ftp) {
        // The last line of a reply is "NNN text"; the lines of a longer one read "NNN-".
        bool final =
            line.size() >= 4 && std::isdigit(static_cast<unsigned char>(line[0])) && line[3] == ' ';
        if (final)
            lastReply.assign(line);
        return false;
    }
    if (line.starts_with("HTTP/"))
        headerLines.clear();
    headerLines.append(line);
    headerLines.append("\r\n");
    return line.empty() && statusOfHeader(headerLines) >= 200;
}

int statusOfHeader(const std::string& header)
{
    std::size_t space = header.find(' ');
    if (space == std::string::npos || space > header.find("\r\n"))
        return 0;
    return std::atoi(header.c_str() + space + 1);
}

bool isRetryableStatus(int code, bool ftp)
{
    if (ftp)
        return code >= 400 && code <= 499;
    return code == 408 || code == 429 || code == 500 || code == 502 || code == 503 || code == 504;
}

bool isFtpScheme(const std::string& scheme)
{
    return scheme == "ftp" || scheme == "ftps";
}

// An FTP server names no type: the file's extension stands in, so that pages and text are
// analysed and anything else ends loaded without analysis.
const char* typeOfExtension(std::string extension)
{
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".html" || extension == ".htm" || extension == ".shtml")
        return "text/html";
    if (extension == ".txt")
        return "text/plain";
    return nullptr;
}

std::string httpDate(std::time_t when)
{
    std::tm parts{};
    gmtime_r(&when, &parts);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
    return text;
}

// Transport failures that a second attempt may not meet: a refused or reset connection, a
// time-out, an answer cut short. A name that does not resolve or a TLS failure will not mend.
bool isRetryableTransfer(CURLcode code)
{
    switch (code) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_PARTIAL_FILE: return true;
    default: return false;
    }
}

// The value of a header line of a raw header (name with its colon, any case), or empty.
std::string headerValue(const std::string& raw, const std::string& name)
{
    std::size_t at = 0;
    while (at < raw.size()) {
        std::size_t end = raw.find("\r\n", at);
        if (end == std::string::npos)
            end = raw.size();
        if (end == at)
            break;
        if (end - at >= name.size() &&
            strncasecmp(raw.c_str() + at, name.c_str(), name.size()) == 0) {
            std::size_t from = at + name.size();
            while (from < end && (raw[from] == ' ' || raw[from] == '\t'))
                ++from;
            return raw.substr(from, end - from);
        }
        at = end + 2;
    }
    return {};
}

// Seconds a Retry-After value asks for (a number of seconds or an HTTP-date); -1 when it is
// neither. A date in the past asks for no wait.
int retryAfterSeconds(const std::string& value, std::time_t now)
{
    if (value.empty())
        return -1;
    if (std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return value.size() > 9 ? INT_MAX : std::atoi(value.c_str());
    std::time_t when = curl_getdate(value.c_str(), nullptr);
    if (when == static_cast<std::time_t>(-1))
        return -1;
    if (when <= now)
        return 0;
    return static_cast<int>(std::min<std::time_t>(when - now, INT_MAX));
}

} // namespace httpresponse
