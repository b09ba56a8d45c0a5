// Profile (ini) files with Win32's meaning: "[section]" headers, "key=value" entries, ';'
// comments. Names match without case; the first of duplicate sections or keys wins. A file
// name without a folder lives in the Windows folder. Every read goes to the file (no cache);
// every write rewrites it through a temporary file beside it, keeping all other lines byte for
// byte. Texts are bytes of the active code page.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace plat {

// GetPrivateProfileString. Section null: every section name; key null: every key of the
// section; each name NUL-terminated and the list ended by one more NUL. Returns the count of
// bytes placed before the final NUL: size - 1 when a value was cut, size - 2 when a list was
// cut (the last name cut, two NULs after it). Missing file, section or key: the default (null
// is "", trailing blanks dropped); an empty key list also gives the default.
uint32_t get_private_profile_string(const char* section, const char* key, const char* default_value,
                                    char* out, uint32_t size, const char* file_name);

// GetPrivateProfileInt: blanks, a sign, then decimal or "0x" hexadecimal digits up to the
// first other character (no digits: 0); the default when the key or its value is missing.
uint32_t get_private_profile_int(const char* section, const char* key, int32_t default_value,
                                 const char* file_name);

// GetPrivateProfileSection: the section's entries as "key=value" strings, a list as above.
uint32_t get_private_profile_section(const char* section, char* out, uint32_t size,
                                     const char* file_name);

// GetPrivateProfileSectionNames: the list of section names, as above.
uint32_t get_private_profile_section_names(char* out, uint32_t size, const char* file_name);

// WritePrivateProfileString: sets the key, creating the file and the section when missing;
// a null value deletes the key, a null key deletes the section. False with the last error
// when a name cannot be stored (87) or the file cannot be read or replaced.
bool write_private_profile_string(const char* section, const char* key, const char* value,
                                  const char* file_name);

// WritePrivateProfileSection: replaces the section's entries by a list of "key=value"
// strings, each NUL-terminated, the list ended by one more NUL; null deletes the section.
bool write_private_profile_section(const char* section, const char* entries, const char* file_name);

// GetProfileString, GetProfileInt, WriteProfileString: the same on WIN.INI in the Windows folder.
uint32_t get_profile_string(const char* section, const char* key, const char* default_value,
                            char* out, uint32_t size);
uint32_t get_profile_int(const char* section, const char* key, int32_t default_value);
bool write_profile_string(const char* section, const char* key, const char* value);

// The same reads and edits over ini text held in memory; the file functions are these plus
// loading and saving. They are what the fuzz target drives.
uint32_t profile_get_string(std::string_view text, const char* section, const char* key,
                            const char* default_value, char* out, uint32_t size);
uint32_t profile_get_int(std::string_view text, const char* section, const char* key,
                         int32_t default_value);
uint32_t profile_get_section(std::string_view text, const char* section, char* out, uint32_t size);
uint32_t profile_get_section_names(std::string_view text, char* out, uint32_t size);

enum class ProfileEdit { refused, unchanged, changed };
// Edits text in place; refused (last error 87) when a name or value would not read back:
// a line break anywhere, ']' in a section name, an empty key, '=' in a key or a key that
// would read as a comment or a section header.
ProfileEdit profile_set_string(std::string& text, const char* section, const char* key,
                               const char* value);
ProfileEdit profile_set_section(std::string& text, const char* section, const char* entries);

} // namespace plat
