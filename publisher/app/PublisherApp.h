// CPublisherApp: ksorbx's start-up. Loads the resource library, ends at
// once when another instance shows its window (found by text 24), and runs
// the main dialog with the front end the command line or the environment
// chooses. Returns the program's exit code.
#pragma once

#include <string>
#include <vector>

class CPublisherApp {
  public:
    CPublisherApp() = default;
    ~CPublisherApp();
    CPublisherApp(const CPublisherApp&) = delete;
    CPublisherApp& operator=(const CPublisherApp&) = delete;

    // args: the command line's words without the program name.
    int Run(const std::vector<std::string>& args);

  private:
    std::string Text(unsigned id) const;
    bool AnotherInstance() const;
    std::string HelpPath() const;

    void* resources_ = nullptr;  // HINSTANCE of "NWOrbIntRes.dll"
};
