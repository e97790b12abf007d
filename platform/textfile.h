// Whole text files that several processes share: a reader gets the file as
// it was before or after a write, never half of one, and writers take turns
// so that no writer's edit is lost. INI files and the backup product's
// discovery table are kept this way.
#pragma once

#include <functional>
#include <string>

namespace orb {

// Reads a whole file. false (and empty text) when it cannot be read; the
// Win32 last error is ERROR_FILE_NOT_FOUND when the file does not exist.
bool ReadTextFile(const std::string& path, std::string* text);

// Takes the writers' lock of the file's directory, hands edit the file's
// current text (empty when the file does not exist yet) and, when edit
// returns true, replaces the file with the edited text in one rename. The
// lock is held until the new file is in place. false with the Win32 last
// error set when the file could not be read or written; false and
// ERROR_SUCCESS when edit declined.
bool EditTextFile(const std::string& path, const std::function<bool(std::string&)>& edit);

}  // namespace orb
