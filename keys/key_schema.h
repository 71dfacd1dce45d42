#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "keys/db_file.h"

namespace nimbra::keys {

class Database;

enum class FieldType { Text, DateTime, Boolean, Binary, Integer };

struct FieldDef {
  std::string_view name;
  FieldType type;
  std::size_t size;  // texts only
};

// The key table's fields, in table order.
std::span<const FieldDef> KeyTableFields();
// The address table's fields: "URL", "KEY_TYPE", "KEY_ID".
std::span<const FieldDef> UrlTableFields();
// Size of a text field of the key table (0 for other fields or unknown names;
// names are matched without regard to case).
std::size_t KeyFieldSize(std::string_view name);

inline constexpr std::string_view kKeyTableDescription = "Key Data Table";
inline constexpr std::string_view kUrlTableDescription = "URL Link Table";
inline constexpr std::string_view kAliasesIndex = "Aliases";

// Creates the key table and the address table of a new database file with
// their indexes and descriptions, holding the database exclusively while it
// does. Returns true when this call created them, false when another process
// created them first (the file is then equally usable). EDBEngineError when
// the tables cannot be created.
bool CreateTables(const DbFile& file);

// The description kept for a table ("" when none).
std::string TableDescription(Database& db, std::string_view table);

}  // namespace nimbra::keys
