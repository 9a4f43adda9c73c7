// The per-user profile store: the settings file
// "$XDG_CONFIG_HOME/Orvano/Release 2.1.conf" (default ~/.config), in INI
// form, with sections of integer and string values, and a key API for the
// binary values of the saved formats. Every call reads or writes the store
// at that moment; nothing is kept in memory between calls, and the folder is
// looked up anew each time (so XDG_CONFIG_HOME set before a call counts).
//
// Safe to call from any thread; each call works on its own handle.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The full path of the store file as the next call would use it.
std::string ProfileStorePath();

// An integer value read as signed 32-bit (stored values up to 4294967295
// wrap as an unsigned 32-bit value would); missing or unreadable values
// give defaultValue.
int32_t ProfileGetInt(std::string_view section, std::string_view key, int32_t defaultValue);
// Writes and flushes; false when the store could not be written.
bool ProfileWriteInt(std::string_view section, std::string_view key, int32_t value);

// A string value (bytes, as written); missing values give defaultValue.
std::string ProfileGetString(std::string_view section, std::string_view key, std::string_view defaultValue);
// Texts that are not valid UTF-8 (a path in another encoding) are kept byte
// for byte.
bool ProfileWriteString(std::string_view section, std::string_view key, std::string_view value);

// Removes a value; true when it is gone afterwards (also when it never was).
bool ProfileDeleteValue(std::string_view section, std::string_view key);

// The key API for binary values (the saved formats). Value names may hold any
// characters, "/" and "\" included; an empty name is refused.
enum class EProfileValueState {
    Found,
    Missing,
    WrongType, // present but not a binary value
};

std::vector<std::string> ProfileListValueNames(std::string_view section);
EProfileValueState ProfileGetBinary(std::string_view section, std::string_view name, std::vector<uint8_t>& value);
bool ProfileSetBinary(std::string_view section, std::string_view name, std::span<const uint8_t> value);
