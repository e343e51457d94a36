#include "tools/quillon/ServerOptions.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

bool ReadNumber(const std::string& text, double minimum, double* value) {
    char* end = nullptr;
    errno = 0;
    const double number = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !(number >= minimum) || number > 1e15) {
        return false;
    }
    *value = number;
    return true;
}

}  // namespace

bool ParseServerOptions(const std::vector<std::string>& args, ServerOptions* options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (i + 1 >= args.size()) {
            std::fprintf(stderr, "quillon serve: unknown argument or missing value '%s'\n",
                         name.c_str());
            return false;
        }
        const std::string& text = args[++i];
        double value = 0;
        bool ok = true;
        if (name == "--dir") {
            options->folder = text;
            ok = !text.empty();
        } else if (name == "--port") {
            ok = ReadNumber(text, 0, &value) && value <= 65535;
            options->port = static_cast<int>(value);
        } else if (name == "--header-timeout" || name == "--idle-timeout") {
            ok = ReadNumber(text, 0.001, &value);
            const std::chrono::milliseconds ms(static_cast<long long>(value * 1000));
            (name == "--header-timeout" ? options->headerTimeout : options->idleTimeout) = ms;
        } else if (name == "--min-rate") {
            ok = ReadNumber(text, 1, &value);
            options->minBytesPerSecond = static_cast<uint64_t>(value);
        } else if (name == "--max-header-bytes") {
            ok = ReadNumber(text, 256, &value);
            options->maxHeaderBytes = static_cast<size_t>(value);
        } else if (name == "--max-body-bytes") {
            ok = ReadNumber(text, 0, &value);
            options->maxBodyBytes = static_cast<uint64_t>(value);
        } else if (name == "--max-connections") {
            ok = ReadNumber(text, 1, &value) && value <= 1e6;
            options->maxConnections = static_cast<size_t>(value);
        } else if (name == "--workers") {
            ok = ReadNumber(text, 1, &value) && value <= 4096;
            options->workers = static_cast<size_t>(value);
        } else {
            std::fprintf(stderr, "quillon serve: unknown argument '%s'\n", name.c_str());
            return false;
        }
        if (!ok) {
            std::fprintf(stderr, "quillon serve: bad value '%s' for %s\n", text.c_str(),
                         name.c_str());
            return false;
        }
    }
    return true;
}

ServeClock::time_point TransferDeadline(const ServerOptions& options, uint64_t bytes) {
    const uint64_t ms = bytes / options.minBytesPerSecond * 1000 +
                        bytes % options.minBytesPerSecond * 1000 / options.minBytesPerSecond;
    // Capped at a day, far beyond any sound limit, so that the clock arithmetic cannot overflow.
    const uint64_t kDayMs = 86400000;
    return ServeClock::now() + options.headerTimeout +
           std::chrono::milliseconds(static_cast<long long>(std::min(ms, kDayMs)));
}
