#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// One link or resource found in a page: the link kind, its address (trailing blanks cut) with
// the parts the tree reads of it (file name, extension, host; as clsUrlInformation reads
// them), the visible name and the address exactly as the page wrote it (empty for resources).
//
// Pages hold links by the hundred, so a record is a value in its node's list and keeps its
// texts in one buffer: one allocation a link, where a parsed clsUrlInformation of twenty
// strings took about nine. The parts are views into the address, read with the same
// functions as clsUrlInformation::set (only a "file:" address, whose path is percent-decoded,
// keeps its file name apart).
class clsLink {
public:
    // href null for a resource.
    clsLink(int linkKind, std::string_view address, std::string_view name, const std::string* href);
    clsLink(clsLink&& other) noexcept;
    clsLink& operator=(clsLink&& other) noexcept;
    clsLink(const clsLink&) = delete;
    clsLink& operator=(const clsLink&) = delete;
    ~clsLink();

    int getLinkKind() const { return linkKind; }
    int getAddressKind() const { return addressKind; }
    std::string_view getAddress() const { return piece(0, addressLength); }
    std::string_view getFileName() const { return piece(fileNameAt, fileNameLength); }
    std::string_view getExtension() const
    {
        return piece(fileNameAt + fileNameLength - extensionLength, extensionLength);
    }
    std::string_view getHost() const { return piece(hostAt, hostLength); }
    std::string_view getName() const { return piece(addressLength, nameLength); }
    std::string_view getHref() const { return piece(addressLength + nameLength, hrefLength); }

private:
    std::string_view piece(std::size_t at, std::size_t length) const
    {
        return std::string_view(text).substr(at, length);
    }

    // The address, the name, the href and, for a "file:" address, its decoded file name.
    std::string text;
    int linkKind = -1;
    int addressKind = 0;
    std::size_t addressLength = 0;
    std::size_t nameLength = 0;
    std::size_t hrefLength = 0;
    std::size_t fileNameAt = 0;
    std::size_t fileNameLength = 0;
    std::size_t extensionLength = 0;
    std::size_t hostAt = 0;
    std::size_t hostLength = 0;
};
