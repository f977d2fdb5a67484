#include "Platform/RegistryStore.h"

#include "Platform/ProfileFile.h"
#include "Platform/ProgramPaths.h"

#include <cerrno>

namespace platform {
namespace {

constexpr std::string_view kDwordPrefix = "dword:";
constexpr std::string_view kStringPrefix = "sz:";

} // namespace

RegistryStore::RegistryStore(std::string path) : path_(std::move(path)) {}

std::string RegistryStore::defaultPath()
{
    return resolveProgramPaths().configDirectory + "registry.ini";
}

bool RegistryStore::keyExists(const std::string& key) const
{
    ProfileFile file;
    if (!file.load(path_))
        return false;
    return file.hasSection(key);
}

bool RegistryStore::createKey(const std::string& key)
{
    if (keyExists(key))
        return true;
    ProfileFile file;
    if (!file.load(path_))
        return false;
    file.replaceSection(key, {});
    return file.save(path_);
}

std::optional<std::uint32_t> RegistryStore::queryDword(const std::string& key,
                                                       const std::string& name) const
{
    ProfileFile file;
    if (!file.load(path_))
        return std::nullopt;
    auto value = file.getString(key, name);
    if (!value || !value->starts_with(kDwordPrefix))
        return std::nullopt;
    std::string digits = value->substr(kDwordPrefix.size());
    if (digits.empty() || digits.size() > 10 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    unsigned long long number = std::stoull(digits);
    if (number > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<std::uint32_t>(number);
}

std::optional<std::string> RegistryStore::queryString(const std::string& key,
                                                      const std::string& name) const
{
    ProfileFile file;
    if (!file.load(path_))
        return std::nullopt;
    auto value = file.getString(key, name);
    if (!value || value->starts_with(kDwordPrefix))
        return std::nullopt;
    if (value->starts_with(kStringPrefix))
        return value->substr(kStringPrefix.size());
    return value;
}

bool RegistryStore::setDword(const std::string& key, const std::string& name, std::uint32_t value)
{
    ProfileFile file;
    if (!file.load(path_))
        return false;
    file.setString(key, name, std::string(kDwordPrefix) + std::to_string(value));
    return file.save(path_);
}

bool RegistryStore::setString(const std::string& key, const std::string& name,
                              const std::string& value)
{
    ProfileFile file;
    if (!file.load(path_))
        return false;
    file.setString(key, name, std::string(kStringPrefix) + value);
    return file.save(path_);
}

} // namespace platform
