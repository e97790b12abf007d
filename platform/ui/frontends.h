// Inside the UI layer: message boxes and notices outside of a dialog, and
// the pieces the two front ends share with them.
#pragma once

#include <cstdio>
#include <string>

#include "platform/ui.h"

namespace orb {

// The batch form of a box: one line on `out` with the question and the
// answer given, then the answer.
int BatchMessageBox(FILE* out, const std::string& text, const std::string& caption, UINT type,
                    bool answerYes);
void BatchNotice(FILE* out, const std::string& text);

// A box on a terminal without a dialog: the text, the buttons, and one key
// read from inFd (Enter takes the default button, Esc the cancelling one).
int ConsoleMessageBox(int inFd, int outFd, const std::string& text, const std::string& caption,
                      UINT type);

// The buttons of a box type: results in order; empty for an unknown type.
std::vector<int> BoxButtons(UINT type);
const char* ButtonName(int result);
// The result Esc gives (the cancelling button), and the one Enter gives.
int EscapeResult(UINT type);
int DefaultResult(UINT type);
// The result a key picks (the first letter of a button's name), 0 for none.
int ResultForKey(UINT type, char key);

}  // namespace orb
