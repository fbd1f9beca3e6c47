// Registry access over INI files: each root key is one file, a key path is a group path.
//   HKEY_CURRENT_USER  -> <user config folder>/Torvik/registry.ini
//   HKEY_LOCAL_MACHINE -> <first of $XDG_CONFIG_DIRS, else /etc/xdg>/Torvik/registry.ini
// Key and value names are matched without regard to case; "\" separates the parts of a key
// path. A key's default value (empty value name) is stored under the name "@".
#pragma once

#include <cstdint>
#include <string>

constexpr std::uint32_t HKEY_CLASSES_ROOT = 0x80000000u;
constexpr std::uint32_t HKEY_CURRENT_USER = 0x80000001u;
constexpr std::uint32_t HKEY_LOCAL_MACHINE = 0x80000002u;

class cRegistry {
public:
    cRegistry() = default;

    // Creates (or keeps) RegistrySubKey below RegistryKey; true on success.
    bool CreateRegistryEntry();
    // The text of value RegistryValueName of RegistrySubKey, NULs removed and trimmed; ""
    // when the key or value is missing. Also kept in RegistryValueData.
    std::string GetRegistryValue();
    // Deletes RegistrySubKey (with its values and sub-keys); true when it existed.
    bool DeleteRegistryEntry();
    // Size in bytes of value RegistryValueName of RegistrySubKey, terminating NUL included;
    // 0 when missing.
    long GetRegistryValueLength();
    // Name of the last sub-key of RegistrySubKey in enumeration order; "" when none.
    std::string GetKeys();

    std::uint32_t RegistryKey() const { return key_; }
    void RegistryKey(std::uint32_t v) { key_ = v; }
    std::string RegistrySubKey() const { return subKey_; }
    void RegistrySubKey(const std::string& v) { subKey_ = v; }
    std::string RegistryValueName() const { return valueName_; }
    void RegistryValueName(const std::string& v) { valueName_ = v; }
    std::string RegistryValueData() const { return valueData_; }
    void RegistryValueData(const std::string& v) { valueData_ = v; }
    short RegistryValueDatatype() const { return valueType_; }
    void RegistryValueDatatype(short v) { valueType_ = v; }

    // The INI file standing for a root key ("" for an unknown root).
    static std::string hiveFile(std::uint32_t rootKey);

private:
    std::uint32_t key_ = HKEY_CURRENT_USER;
    std::string subKey_;
    std::string valueName_;
    std::string valueData_;
    short valueType_ = 0;
};
