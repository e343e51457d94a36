// A private Xvfb display for the X11 clipboard tests, clipboard owner processes on it, and a
// fixture that skips when Xvfb is not installed.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>

#include <memory>
#include <string>
#include <vector>

namespace x11test {

// A child process, ended (SIGTERM, then reaped) when the object goes.
class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess() { Stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] (searched in PATH); with `captureStdout` its output is readable.
    bool Start(const std::vector<std::string>& argv, bool captureStdout);
    // Reads the child's output until a line equal to `line`; false after `timeoutMs`.
    bool WaitForLine(const std::string& line, int timeoutMs);
    void Stop();
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int stdoutFd_ = -1;
    std::string pending_;
};

// The path of a program in PATH, or empty.
std::string FindProgram(const std::string& name);

// The display name of the shared Xvfb (":N"), started on first use and stopped at exit;
// empty when Xvfb is not installed (a failing start is a test failure, not a skip).
const std::string& TestDisplay();

// The window owning the display's CLIPBOARD (0: none).
uint32_t ClipboardOwner(const std::string& display);
// Waits until the CLIPBOARD owner is not `current` (with 0: until there is one).
bool WaitForNewOwner(const std::string& display, uint32_t current, int timeoutMs);
// Waits until the CLIPBOARD has no owner.
bool WaitForNoOwner(const std::string& display, int timeoutMs);

class XDisplayTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts our test owner with these arguments and waits until it owns the clipboard.
    void StartOwner(const std::vector<std::string>& args);
    // Ends every owner started so far and waits until the clipboard has none.
    void StopOwners();
    // Starts xclip serving `file` as `target` and waits until it owns the clipboard.
    void StartXclip(const std::string& target, const std::string& file);
    // Writes `bytes` to a file that lives until the test ends.
    std::string TempFile(const std::string& name, const std::string& bytes);

    std::string display_;

  private:
    std::vector<std::unique_ptr<ChildProcess>> children_;
    std::string tempDir_;
};

}  // namespace x11test
