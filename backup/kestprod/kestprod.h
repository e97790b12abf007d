// kestprod: the backup product's product-information library. Programs of
// the product show their help through it.
//
// Help is an HTML file shipped beside the programs; each topic is a section
// of it whose anchor is the topic's name ("Using_object_creation.htm"). The
// help is opened with the desktop opener (ShellExecuteA). When the program
// runs unattended (the batch front end, see platform/ui.h), nobody could
// read it there, so its location is printed instead.
#pragma once

#include <string>

#include "platform/ui.h"
#include "platform/win32.h"

// What KestProdHelp shows.
#define KESTPROD_HELP_CONTENTS 0  // the help file from its beginning
#define KESTPROD_HELP_TOPIC 1     // the named topic

// Shows help file `helpFile` (a path; '\\' is read as '/' when the path as
// given does not exist) with `command` as above. `owner` may be null.
// FALSE with GetLastError() ERROR_INVALID_PARAMETER (no file, unknown
// command, KESTPROD_HELP_TOPIC without a topic), ERROR_FILE_NOT_FOUND, or
// ERROR_NO_ASSOCIATION when the opener failed; the operator is told why.
extern "C" BOOL KestProdHelp(HWND owner, LPCSTR helpFile, UINT command, LPCSTR topic);

#ifndef ERROR_NO_ASSOCIATION
#define ERROR_NO_ASSOCIATION 1155L
#endif

namespace kestprod {

// The address the help is opened at: "file://" and the absolute path
// (characters outside a URL's path escaped), "#topic" for a topic.
std::string HelpAddress(const std::string& path, const std::string& topic);

}  // namespace kestprod
