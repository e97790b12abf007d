// orbcli's commands, one function each. Every command writes its answer to
// out and throws ToolError when a step fails; main() turns that into the
// code's name on standard error and a non-zero exit.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace orbcli {

// The repository chosen with -r; empty for the machine's default.
struct Target {
    std::string repository;
};

// Where repo create puts a repository: empty backend for the machine's file
// unless the registry already places the name elsewhere.
struct Placement {
    std::string backend;  // "", "sqlite" or "postgresql"
    std::string connection;
    std::string schema;
};

void RepoCreate(const std::string& name, const Placement& placement, std::ostream& out);
void RepoList(std::ostream& out);
void Import(const Target& target, const std::string& file, std::ostream& out);
void ClassList(const Target& target, std::ostream& out);
void ClassShow(const Target& target, const std::string& cls, std::ostream& out);
void ObjectAdd(const Target& target, const std::string& cls, const std::vector<std::string>& args,
               std::ostream& out);
void ObjectList(const Target& target, const std::string& cls, const std::vector<std::string>& args,
                bool json, std::ostream& out);
void ObjectDelete(const Target& target, const std::string& cls,
                  const std::vector<std::string>& args, std::ostream& out);
void ShowTree(const Target& target, bool json, std::ostream& out);
// Runs the select of "object list" repeat times on one connection and prints
// that connection's read-cache counters as one JSON object (enabled, hits,
// misses, invalidations, entries, bytes, capBytes).
void CacheStats(const Target& target, const std::string& cls, const std::vector<std::string>& args,
                int repeat, std::ostream& out);
// Prints every problem CheckRepository finds, then its notes ("note: ..."),
// and a summary line; returns how many problems were found.
size_t CheckCommand(const Target& target, std::ostream& out);

}  // namespace orbcli
