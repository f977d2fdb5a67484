#pragma once

#include <cstddef>
#include <ctime>
#include <curl/curl.h>
#include <string>
#include <string_view>

// What both transports read from a response and decide from it.
namespace httpresponse {

// The status of a header's first line ("HTTP/1.1 200 OK"), 0 when it has none.
int statusOfHeader(const std::string& header);
// Takes one header line as libcurl hands it on. HTTP lines gather in headerLines, a new
// status line starting them afresh; of an FTP reply only the last line is kept (lastReply).
// True when the line ends a final (not 1xx) HTTP header.
bool takeHeaderLine(std::string_view line, bool ftp, std::string& headerLines,
                    std::string& lastReply);
// Statuses that say "try again later" rather than "this address is wrong". An FTP reply of
// 4xx is a transient failure by definition (421 closing, 425 no data connection, 450 busy).
bool isRetryableStatus(int code, bool ftp);
// Transport failures that a second attempt may not meet.
bool isRetryableTransfer(CURLcode code);
bool isFtpScheme(const std::string& scheme);
// The type an FTP file's extension stands for (pages and text), or null.
const char* typeOfExtension(std::string extension);
std::string httpDate(std::time_t when);
// The value of a header line of a raw header (name with its colon, any case), or empty.
std::string headerValue(const std::string& raw, const std::string& name);
// Seconds a Retry-After value asks for (seconds or an HTTP-date, against now); -1 when it
// is neither.
int retryAfterSeconds(const std::string& value, std::time_t now);

} // namespace httpresponse
