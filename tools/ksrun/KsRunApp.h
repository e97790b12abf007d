// ksrun: starts a program of the backup product by its path relative to the
// product's home directory, so that a shortcut need not know where the
// product was installed. Windowless: all its work is its instance
// initialisation, which then ends the program.
#pragma once

#include <string>

#include "platform/win32.h"

// Keys of earlier editions, tried after the product key's "\\Path" when
// that one does not open (below HKEY_LOCAL_MACHINE).
inline constexpr const char* kKsRunEarlierEditionKey =
    "SOFTWARE\\NorwindSystems\\VaultlineIT\\Base\\Path";
inline constexpr const char* kKsRunOlderEditionKey =
    "SOFTWARE\\Kestrel\\Vaultline\\CurrentVersion\\Path";

// The product's home directory: "HOME" of the first of the three keys that
// opens (a later key is not tried when that one lacks the value). Empty when
// there is none, or when the value is not a string or longer than 511
// characters (the 512-byte buffer it is read into).
std::string FindProductHome();

// ksrun's exit codes.
inline constexpr int kKsRunStarted = 0;
inline constexpr int kKsRunNotStarted = 1;  // no home (text 20), a damaged registry
                                            // hive, or the program would not start
inline constexpr int kKsRunNoProgram = 2;   // the command line names no program

class CKsRunApp {
  public:
    // commandLine: everything after the program name, unchanged. Always
    // FALSE: no window, no message loop.
    BOOL InitInstance(const std::string& commandLine);
    // What the program ends with, after InitInstance.
    int ExitCode() const { return exitCode_; }

  private:
    int exitCode_ = kKsRunStarted;
};
