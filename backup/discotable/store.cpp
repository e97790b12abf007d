// The table on disk. Every change is one locked read-edit-replace of the
// file, so concurrent announcements and removals never lose a line and a
// reader never sees half a table.
#include "backup/discotable/discotable.h"
#include "platform/debug.h"
#include "platform/machine.h"
#include "platform/textfile.h"
#include "platform/win32.h"

namespace disco {
namespace {

const char* const kHeader =
    "# Discovery table: one announcement of a backup server per line.\n"
    "# name\tdomain\towner\taddress\trelease\tproducts\n";

bool Edit(const std::string& path, const std::function<bool(std::string&)>& edit, uint32_t* error) {
    bool ok = orb::EditTextFile(path, edit);
    *error = ok ? ERROR_SUCCESS : GetLastError();
    return ok || *error == ERROR_SUCCESS;
}

}  // namespace

std::string TablePath() { return orb::MachinePath("vaultline/discovery.tbl"); }

bool LoadTable(const std::string& path, Table* table, uint32_t* error) {
    std::string text;
    if (!orb::ReadTextFile(path, &text)) {
        *table = Table();
        *error = GetLastError();
        return false;
    }
    *table = ParseTable(text);
    *error = ERROR_SUCCESS;
    return true;
}

bool LoadTableReporting(const std::string& path, Table* table, uint32_t* error) {
    if (!LoadTable(path, table, error)) return false;
    for (const Problem& problem : table->problems) {
        OutputDebugStringA(ProblemText(path, problem).c_str());
    }
    return true;
}

bool AppendServer(const std::string& path, const Server& server, uint32_t* error) {
    return AppendServers(path, {server}, error);
}

bool AppendServers(const std::string& path, const std::vector<Server>& servers, uint32_t* error) {
    std::string lines;
    for (const Server& server : servers) {
        if (!CheckServer(server).empty()) {
            *error = ERROR_INVALID_PARAMETER;
            return false;
        }
        lines += FormatLine(server);
    }
    return Edit(
        path,
        [&](std::string& text) {
            if (text.empty()) text = kHeader;
            if (text.back() != '\n') text += '\n';
            text += lines;
            return true;
        },
        error);
}

bool RemoveServer(const std::string& path, const std::string& name, size_t* removed,
                  uint32_t* error) {
    *removed = 0;
    return Edit(
        path,
        [&](std::string& text) {
            std::string kept;
            size_t start = 0;
            while (start < text.size()) {
                size_t end = text.find('\n', start);
                end = end == std::string::npos ? text.size() : end + 1;
                std::string line = text.substr(start, end - start);
                Table one = ParseTable(line);
                bool drop = one.servers.size() == 1 && SameName(one.servers[0].name, name);
                if (drop) {
                    ++*removed;
                } else {
                    kept += line;
                }
                start = end;
            }
            text = kept;
            return *removed > 0;  // nothing to remove: the file stays untouched
        },
        error);
}

}  // namespace disco
