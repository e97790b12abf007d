#include "framework/orbcli/objects.h"

#include <algorithm>

#include "platform/uuid.h"

namespace orbcli {
namespace {

// Owns a criteria list for one call.
class CriteriaList {
  public:
    explicit CriteriaList(const std::vector<Assignment>& criteria) {
        Check(ORBOM_Criteria_Allocate(&handle_, static_cast<uint32_t>(criteria.size())),
              "cannot allocate criteria");
        for (const Assignment& c : criteria)
            Check(ORBOM_Criteria_Add(handle_, c.property.c_str(), c.value.type,
                                     static_cast<uint32_t>(c.value.bytes.size()),
                                     c.value.bytes.data(), ORBOM_OP_EQUAL, ORBOM_CONNECT_AND),
                  "cannot add criterion \"" + c.property + "\"");
    }
    ~CriteriaList() { ORBOM_Criteria_Free(&handle_); }
    CriteriaList(const CriteriaList&) = delete;
    CriteriaList& operator=(const CriteriaList&) = delete;
    ORBOM_CRITERIA handle() const { return handle_; }

  private:
    ORBOM_CRITERIA handle_ = 0;
};

// Owns a selection; reads the current object's properties.
class Selection {
  public:
    Selection(Session& session, const std::string& cls, ORBOM_CRITERIA criteria) {
        uint32_t objects = 0, classes = 0, properties = 0;
        Check(ORBOM_ObjectList_Select(session.connection(), cls.c_str(), criteria, "*", 0, &handle_,
                                      &objects, &classes, &properties),
              "cannot select objects of class \"" + cls + "\"");
    }
    ~Selection() { ORBOM_ObjectList_EndSelect(&handle_); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

    // False once every object was delivered.
    bool Next() {
        const ORBOM_RC rc = ORBOM_ObjectList_GetNext(handle_, &current_, nullptr);
        if (rc == ORBOM_RC_END_OF_DATA) return false;
        if (rc != ORBOM_RC_MORE_DATA) Check(rc, "cannot read the next object");
        return true;
    }

    Value Read(const PropertyInfo& property) const {
        uint32_t type = 0, length = 0;
        const void* data = nullptr;
        uint8_t isNull = 0;
        Check(ORBOM_Object_GetProperty(current_, property.name.c_str(), &type, &length, &data,
                                       &isNull),
              "cannot read property \"" + property.name + "\"");
        Value value;
        value.type = static_cast<int>(type);
        value.null = isNull != 0 || data == nullptr;
        if (!value.null) {
            const auto* bytes = static_cast<const uint8_t*>(data);
            value.bytes.assign(bytes, bytes + length);
            // Date-time lengths count the terminating zero.
            if (type == ORBOM_TYPE_DATETIME && !value.bytes.empty() && value.bytes.back() == 0)
                value.bytes.pop_back();
        }
        return value;
    }

  private:
    ORBOM_SELECTION handle_ = 0;
    ORBOM_OBJECT current_ = 0;
};

// Owns a property list for one create.
class PropertyList {
  public:
    explicit PropertyList(const std::vector<Assignment>& values) {
        Check(ORBOM_PropertyList_Allocate(&handle_, static_cast<uint32_t>(values.size())),
              "cannot allocate a property list");
        for (const Assignment& v : values)
            Check(ORBOM_PropertyList_Add(handle_, v.property.c_str(), v.value.type,
                                         static_cast<uint32_t>(v.value.bytes.size()),
                                         v.value.bytes.data(), v.value.null ? 1 : 0),
                  "cannot add property \"" + v.property + "\"");
    }
    ~PropertyList() { ORBOM_PropertyList_Free(&handle_); }
    PropertyList(const PropertyList&) = delete;
    PropertyList& operator=(const PropertyList&) = delete;
    ORBOM_PROPLIST handle() const { return handle_; }

  private:
    ORBOM_PROPLIST handle_ = 0;
};

const PropertyInfo* FindProperty(const std::vector<PropertyInfo>& properties,
                                 const std::string& name) {
    for (const PropertyInfo& p : properties)
        if (p.name == name) return &p;
    return nullptr;
}

bool Assigns(const std::vector<Assignment>& values, const std::string& name) {
    return std::any_of(values.begin(), values.end(),
                       [&](const Assignment& a) { return a.property == name; });
}

}  // namespace

const Value* Object::Find(const std::string& name) const {
    for (const auto& [property, value] : properties)
        if (property == name) return &value;
    return nullptr;
}

std::vector<Assignment> ParseAssignments(const std::vector<PropertyInfo>& properties,
                                         const std::vector<std::string>& args) {
    std::vector<Assignment> out;
    for (const std::string& arg : args) {
        std::string name, text, error;
        if (!SplitAssignment(arg, &name, &text))
            throw ToolError(ORBOM_RC_INVALID_PROPERTY, "\"" + arg + "\" is not PROP=VALUE");
        const PropertyInfo* property = FindProperty(properties, name);
        if (property == nullptr)
            throw ToolError(ORBOM_RC_INVALID_PROPERTY,
                            "the class has no property \"" + name + "\"");
        std::optional<Value> value = ParseValue(property->type, text, &error);
        if (!value) throw ToolError(ORBOM_RC_DATATYPE_MISMATCH, name + ": " + error);
        out.push_back({name, std::move(*value)});
    }
    return out;
}

std::vector<Object> SelectObjects(Session& session, const std::string& cls,
                                  const std::vector<PropertyInfo>& properties,
                                  const std::vector<Assignment>& criteria) {
    CriteriaList list(criteria);
    Selection selection(session, cls, list.handle());
    std::vector<Object> objects;
    while (selection.Next()) {
        Object object;
        for (const PropertyInfo& property : properties)
            object.properties.emplace_back(property.name, selection.Read(property));
        objects.push_back(std::move(object));
    }
    return objects;
}

std::string CreateObject(Session& session, const std::string& cls,
                         const std::vector<PropertyInfo>& properties,
                         std::vector<Assignment> values) {
    for (size_t i = 0; i < values.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (values[i].property == values[j].property)
                throw ToolError(ORBOM_RC_INVALID_PROPERTY,
                                "property \"" + values[i].property + "\" is given twice");
    const PropertyInfo* uuid = FindProperty(properties, "uuid");
    const bool hasUuid = uuid != nullptr && uuid->type == ORBOM_TYPE_UUID;
    // The repository does not police "uuid"; objects are found by it, so a
    // second object with a used one would shadow the first.
    if (hasUuid && Assigns(values, "uuid")) {
        const Assignment* given = nullptr;
        for (const Assignment& a : values)
            if (a.property == "uuid") given = &a;
        if (!SelectObjects(session, cls, {*uuid}, {*given}).empty())
            throw ToolError(
                ORBOM_RC_NAME_IS_NOT_UNIQUE,
                "an object of class \"" + cls + "\" has uuid " + FormatValue(given->value));
    } else if (hasUuid) {
        UUID id{};
        if (UuidCreate(&id) != RPC_S_OK)
            throw ToolError(ORBOM_RC_SYSTEM_ERROR, "cannot create a UUID");
        std::string error;
        values.push_back({"uuid", *ParseValue(ORBOM_TYPE_UUID, orb::UuidToString(id), &error)});
    }
    PropertyList list(values);
    const ORBOM_RC rc = ORBOM_Object_Create(session.connection(), cls.c_str(), list.handle());
    if (rc == ORBOM_RC_REPOSITORY_NATIVE_ERROR)
        throw ToolError(rc, "cannot create the object: " + session.NativeError());
    Check(rc, "cannot create the object");
    if (!hasUuid) return "";
    for (const Assignment& a : values)
        if (a.property == "uuid") return FormatValue(a.value);
    return "";
}

uint32_t DeleteObjects(Session& session, const std::string& cls,
                       const std::vector<Assignment>& criteria) {
    CriteriaList list(criteria);
    uint32_t count = 0;
    const ORBOM_RC rc =
        ORBOM_Object_Delete(session.connection(), cls.c_str(), list.handle(), &count);
    if (rc == ORBOM_RC_NO_MATCH) return 0;
    Check(rc, "cannot delete objects of class \"" + cls + "\"");
    return count;
}

}  // namespace orbcli
