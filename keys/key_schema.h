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
  // Read and written by the table layer (keys/key_tables.h); the other
  // fields are kept as the product's other programs leave them.
  bool inRecord = true;
};

// The key table's fields, in table order.
inline constexpr FieldDef kKeyFields[] = {
    {"KEY_ID", FieldType::Text, 20},
    {"KEY_CONTAINER_TYPE", FieldType::Text, 7},
    {"ENTITY_NAME", FieldType::Text, 60},
    {"ENTITY_GROUP_NAME", FieldType::Text, 20},
    {"EXPIRES", FieldType::DateTime, 0},
    {"VERSION", FieldType::Text, 40},
    {"KEY_REFERENCE", FieldType::Text, 8},
    {"UPDATE_STAMP", FieldType::DateTime, 0},
    {"CNTL_POLICY", FieldType::Text, 40},
    {"SUB_CNTL_ENCRYPT", FieldType::Boolean, 0},
    {"SUB_CNTL_SHOWSUBJECT", FieldType::Boolean, 0},
    {"SUB_CNTL_MULTIRECIP", FieldType::Boolean, 0},
    {"SUB_CNTL_DELIVER", FieldType::Boolean, 0},
    {"SUB_CNTL_DSA_Signing", FieldType::Boolean, 0},
    {"SUB_CNTL_Verified", FieldType::Boolean, 0},
    {"DESC_NAME", FieldType::Text, 64, false},
    {"DESC_ORGANISATION", FieldType::Text, 64, false},
    {"DESC_ADDRESS", FieldType::Text, 240, false},
    {"DESC_PHONE", FieldType::Text, 30, false},
    {"DESC_FAX", FieldType::Text, 30, false},
    {"DESC_URL", FieldType::Text, 100, false},
    // A block's text and its length; a block written empty keeps the text
    // stored before (its length says it is empty).
    {"BLOCK1", FieldType::Binary, 0},
    {"BLOCK1_LEN", FieldType::Integer, 0},
    {"BLOCK2", FieldType::Binary, 0},
    {"BLOCK2_LEN", FieldType::Integer, 0},
    {"SIGNING_NAME", FieldType::Text, 100},
    {"SIGNING_KEY", FieldType::Text, 240},
    {"SIGNING_URL", FieldType::Text, 100},
    {"SIGNATURE_ID", FieldType::Text, 40},
    {"SIGNATURE_TYPE", FieldType::Text, 40},
    {"REQUEST_URL", FieldType::Text, 100},
};

// The address table's fields: an address and a key type (both matched
// without regard to case) linked to a KEY_ID.
inline constexpr FieldDef kUrlFields[] = {
    {"URL", FieldType::Text, 100},
    {"KEY_TYPE", FieldType::Text, 7},
    {"KEY_ID", FieldType::Text, 20},
};

// The size of the named text field (exact name); a name that is no text
// field of `fields` does not compile.
consteval std::size_t TextFieldSize(std::span<const FieldDef> fields, std::string_view name) {
  for (const FieldDef& field : fields)
    if (field.name == name && field.type == FieldType::Text) return field.size;
  throw "no text field of that name";
}

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
