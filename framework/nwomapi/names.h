// Which class, property and repository names the repository accepts.
// Repository names become file names, so they must not leave the folder.
#pragma once

#include <string>

namespace orbom {

// Letters, digits and '_', 1 to 31 characters.
bool IsValidIdentifier(const std::string& name);
// 1 to 29 characters; no separators, control characters or characters a
// Windows file name cannot hold; not starting with '.'.
bool IsValidRepositoryName(const std::string& name);
// SQL names of a class's table and a property's column. Identifiers are
// checked before they get here, so quoting cannot be escaped.
std::string TableName(const std::string& cls);
std::string ColumnName(const std::string& property);
bool SameIgnoringCase(const std::string& a, const std::string& b);

}  // namespace orbom
