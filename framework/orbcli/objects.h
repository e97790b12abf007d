// Objects as orbcli handles them: read whole (every declared property, in
// declaration order), created from operator assignments and found by
// equality criteria converted to the class's property types.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "framework/orbcli/session.h"
#include "framework/orbcli/values.h"

namespace orbcli {

struct Object {
    std::vector<std::pair<std::string, Value>> properties;
    // The named property, or null when the object's class lacks it.
    const Value* Find(const std::string& name) const;
};

struct Assignment {
    std::string property;
    Value value;
};

// Converts "PROP=VALUE" arguments to the class's types. Throws ToolError
// (ORBOM_RC_INVALID_PROPERTY for a malformed argument or a property the class
// lacks, ORBOM_RC_DATATYPE_MISMATCH for a value that does not convert).
std::vector<Assignment> ParseAssignments(const std::vector<PropertyInfo>& properties,
                                         const std::vector<std::string>& args);

// Every object of cls matching all criteria (none: every object), in the
// repository's order.
std::vector<Object> SelectObjects(Session& session, const std::string& cls,
                                  const std::vector<PropertyInfo>& properties,
                                  const std::vector<Assignment>& criteria);

// Creates one object; returns its "uuid" in the registry form (a fresh one
// unless the assignments give it), or "" when the class has no uuid.
std::string CreateObject(Session& session, const std::string& cls,
                         const std::vector<PropertyInfo>& properties,
                         std::vector<Assignment> values);

// Deletes the matching objects; returns how many (0 when none matched).
uint32_t DeleteObjects(Session& session, const std::string& cls,
                       const std::vector<Assignment>& criteria);

}  // namespace orbcli
