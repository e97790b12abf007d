// Whole text files that several processes share: a reader gets the file as
// it was before or after a write, never half of one, and writers take turns
// so that no writer's edit is lost. INI files and the backup product's
// discovery table are kept this way.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

struct stat;

namespace orb {

// Reads a whole file. false (and empty text) when it cannot be read; the
// Win32 last error is ERROR_FILE_NOT_FOUND when the file does not exist.
bool ReadTextFile(const std::string& path, std::string* text);
// Reads a whole file only when it is a regular file of at most maxBytes: a
// device or a pipe would never end (or never start) and is not opened for
// waiting. false and empty text otherwise, with ERROR_BAD_FILE_TYPE (not a
// regular file), ERROR_FILE_TOO_LARGE, or what ReadTextFile would set.
bool ReadRegularTextFile(const std::string& path, size_t maxBytes, std::string* text);
// The same, and the opened file's status must also pass accept (checked on
// the file that is read, not on its name); one it refuses reads as absent
// with ERROR_ACCESS_DENIED.
bool ReadRegularTextFile(const std::string& path, size_t maxBytes, std::string* text,
                         const std::function<bool(const struct stat&)>& accept);

// Takes the writers' lock of the file's directory, hands edit the file's
// current text (empty when the file does not exist yet) and, when edit
// returns true, replaces the file with the edited text in one rename. The
// lock is held until the new file is in place. false with the Win32 last
// error set when the file could not be read or written; false and
// ERROR_SUCCESS when edit declined. With maxBytes, an existing file is read
// as ReadRegularTextFile reads it, and one it refuses is left alone.
bool EditTextFile(const std::string& path, const std::function<bool(std::string&)>& edit,
                  std::optional<size_t> maxBytes = std::nullopt);

}  // namespace orb
