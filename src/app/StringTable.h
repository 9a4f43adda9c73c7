// The program's string table: the one place that holds the words of every
// window text, question and error message, looked up by the ids of
// StringIds.h. Texts keep the "\r\n" line breaks they were written with;
// whoever shows them converts line breaks for its medium.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/StringIds.h"

// The text of an id, or nothing when the table has none.
std::optional<std::string_view> FindResourceString(uint32_t id);

// Loads the text of an id into text; false (text unchanged) when there is none.
bool LoadResourceString(uint32_t id, std::string& text);

// The text of an id, or the given fallback when the table has none.
std::string ResourceStringOr(uint32_t id, std::string_view fallback);
