// A small check harness for the Windows test programs (GoogleTest is not cross-built):
// CHECK and CHECK_EQ record failures with their place and go on; RunAll runs every registered
// case, prints "N passed, N failed" and gives the exit code.
#pragma once

#include <cstdio>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace wincheck {

struct Case {
    const char* name;
    std::function<void()> body;
};

inline std::vector<Case>& Cases() {
    static std::vector<Case> cases;
    return cases;
}

inline int& FailuresInCase() {
    static int failures = 0;
    return failures;
}

struct Register {
    Register(const char* name, std::function<void()> body) {
        Cases().push_back({name, std::move(body)});
    }
};

inline void Fail(const char* file, int line, const std::string& what) {
    ++FailuresInCase();
    std::printf("  %s:%d: %s\n", file, line, what.c_str());
}

// Bytes as hexadecimal, so that code-page output is readable in a failure.
inline std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return "[" + out + "]";
}

inline std::string Hex(const std::wstring& text) {
    std::ostringstream out;
    out << "[";
    for (size_t i = 0; i < text.size(); ++i) {
        out << (i ? " " : "") << "U+" << std::hex << std::uppercase
            << static_cast<unsigned>(static_cast<unsigned short>(text[i]));
    }
    out << "]";
    return out.str();
}

template <typename T>
std::string Show(const T& value) {
    std::ostringstream out;
    out << value;
    return out.str();
}
inline std::string Show(const std::string& value) {
    return Hex(value);
}
inline std::string Show(const std::wstring& value) {
    return Hex(value);
}
inline std::string Show(const char* value) {
    return Hex(std::string(value));
}
inline std::string Show(const wchar_t* value) {
    return Hex(std::wstring(value));
}

// Runs every case, or only those whose names contain `filter` when one is given.
inline int RunAll(const char* filter = nullptr) {
    int passed = 0, failed = 0;
    for (const Case& c : Cases()) {
        if (filter && !std::strstr(c.name, filter)) continue;
        FailuresInCase() = 0;
        std::printf("[ RUN  ] %s\n", c.name);
        c.body();
        if (FailuresInCase() == 0) {
            ++passed;
            std::printf("[  OK  ] %s\n", c.name);
        } else {
            ++failed;
            std::printf("[ FAIL ] %s\n", c.name);
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}

}  // namespace wincheck

#define WINCHECK_JOIN2(a, b) a##b
#define WINCHECK_JOIN(a, b) WINCHECK_JOIN2(a, b)
#define TEST_CASE(name)                                                                           \
    static void WINCHECK_JOIN(Case_, name)();                                                     \
    static wincheck::Register WINCHECK_JOIN(register_, name)(#name, &WINCHECK_JOIN(Case_, name)); \
    static void WINCHECK_JOIN(Case_, name)()

#define CHECK(cond)                                                          \
    do {                                                                     \
        if (!(cond)) wincheck::Fail(__FILE__, __LINE__, "CHECK(" #cond ")"); \
    } while (0)

// Like CHECK, but ends the case at once when the condition fails.
#define REQUIRE(cond)                                                 \
    do {                                                              \
        if (!(cond)) {                                                \
            wincheck::Fail(__FILE__, __LINE__, "REQUIRE(" #cond ")"); \
            return;                                                   \
        }                                                             \
    } while (0)

#define CHECK_EQ(actual, expected)                                                               \
    do {                                                                                         \
        const auto& a_ = (actual);                                                               \
        const auto& e_ = (expected);                                                             \
        if (!(a_ == e_)) {                                                                       \
            wincheck::Fail(__FILE__, __LINE__,                                                   \
                           std::string(#actual " == " #expected ": got ") + wincheck::Show(a_) + \
                               ", expected " + wincheck::Show(e_));                              \
        }                                                                                        \
    } while (0)
