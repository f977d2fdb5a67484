#include "Engine/Core/clsLink.h"

#include "Common/utlInstanceCounter.h"
#include "Engine/Http/clsUrlInformation.h"

namespace {

// Made by the thousand: the instance counter's slot is found once.
InstanceSlot* instances()
{
    static InstanceSlot* const slot = instanceSlot("clsLink");
    return slot;
}

// Where part lies in whole, which holds it.
std::size_t offsetIn(std::string_view whole, std::string_view part)
{
    return part.empty() ? 0 : static_cast<std::size_t>(part.data() - whole.data());
}

} // namespace

clsLink::clsLink(int kind, std::string_view address, std::string_view name, const std::string* href)
    : linkKind(kind)
{
    countCreated(instances());
    addressLength = clsUrlInformation::normalisedLength(address);
    std::string_view trimmed = address.substr(0, addressLength);
    std::string decoded;
    std::string_view fileName, host;
    addressKind = clsUrlInformation::readLinkParts(trimmed, decoded, fileName, host);
    nameLength = name.size();
    hrefLength = href != nullptr ? href->size() : 0;
    // Only a "file:" address is decoded, and then its file name lies in what was decoded.
    bool fileNameApart = !fileName.empty() && !decoded.empty();
    text.reserve(addressLength + nameLength + hrefLength + (fileNameApart ? fileName.size() : 0));
    text.append(trimmed).append(name);
    if (href != nullptr)
        text.append(*href);
    fileNameLength = fileName.size();
    extensionLength = clsUrlInformation::extensionOfFileName(fileName).size();
    if (fileNameApart) {
        fileNameAt = text.size();
        text.append(fileName);
    } else {
        fileNameAt = offsetIn(trimmed, fileName);
    }
    hostAt = offsetIn(trimmed, host);
    hostLength = host.size();
}

clsLink::clsLink(clsLink&& other) noexcept
    : text(std::move(other.text)), linkKind(other.linkKind), addressKind(other.addressKind),
      addressLength(other.addressLength), nameLength(other.nameLength),
      hrefLength(other.hrefLength), fileNameAt(other.fileNameAt),
      fileNameLength(other.fileNameLength), extensionLength(other.extensionLength),
      hostAt(other.hostAt), hostLength(other.hostLength)
{
    countCreated(instances());
}

clsLink& clsLink::operator=(clsLink&& other) noexcept
{
    text = std::move(other.text);
    linkKind = other.linkKind;
    addressKind = other.addressKind;
    addressLength = other.addressLength;
    nameLength = other.nameLength;
    hrefLength = other.hrefLength;
    fileNameAt = other.fileNameAt;
    fileNameLength = other.fileNameLength;
    extensionLength = other.extensionLength;
    hostAt = other.hostAt;
    hostLength = other.hostLength;
    return *this;
}

clsLink::~clsLink()
{
    countDestroyed(instances());
}
