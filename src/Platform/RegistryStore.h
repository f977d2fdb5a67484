#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Stands in for the per-user registry: a file registry.ini whose sections are key paths
// ("Software\Tornavi\Quillara\Log") and whose values carry their type ("dword:2" or text).
// Every call reads or writes the file anew, as the registry is opened and closed per read.
class RegistryStore {
public:
    explicit RegistryStore(std::string path);
    // registry.ini in the configuration directory.
    static std::string defaultPath();

    const std::string& path() const { return path_; }
    bool keyExists(const std::string& key) const;
    // Creates the key when missing; false (errno set) when the file cannot be written.
    bool createKey(const std::string& key);
    // nullopt when the key or value is missing or has the other type.
    std::optional<std::uint32_t> queryDword(const std::string& key, const std::string& name) const;
    std::optional<std::string> queryString(const std::string& key, const std::string& name) const;
    bool setDword(const std::string& key, const std::string& name, std::uint32_t value);
    bool setString(const std::string& key, const std::string& name, const std::string& value);

private:
    std::string path_;
};

} // namespace platform
