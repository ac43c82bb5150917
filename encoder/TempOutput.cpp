#include "encoder/TempOutput.h"

#include "encoder/Errors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace evc {

std::string TempPrefixFor(const std::string& finalPath) {
    const fs::path p(finalPath);
    const fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
    // Built step by step: g++ 12 at -O3 warns (wrongly) about a chained "." + name + ...
    std::string name = ".";
    name += p.filename().string();
    name += ".evc-";
    return (dir / name).string();
}

TempOutput::TempOutput(std::string finalPath) : finalPath_(std::move(finalPath)) {
    std::random_device rd;
    std::mt19937_64 gen((static_cast<std::uint64_t>(rd()) << 32) ^ rd());
    const std::string prefix = TempPrefixFor(finalPath_);
    for (int attempt = 0; attempt < 20; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "%012llx.part",
                      static_cast<unsigned long long>(gen() & 0xffffffffffffULL));
        const std::string candidate = prefix + suffix;
        // "x": fail rather than reuse a file that exists.
        if (std::FILE* f = std::fopen(candidate.c_str(), "wbx")) {
            std::fclose(f);
            tempPath_ = candidate;
            return;
        }
        if (errno != EEXIST) {
            const std::string reason = std::strerror(errno);
            const fs::path dir = fs::path(finalPath_).parent_path();
            throw EncodeError("cannot write to the output folder '" +
                              (dir.empty() ? std::string(".") : dir.string()) + "': " + reason);
        }
    }
    throw EncodeError("cannot create a temporary file for '" + finalPath_ + "'");
}

TempOutput::~TempOutput() {
    Discard();
}

void TempOutput::Discard() noexcept {
    if (!done_ && !tempPath_.empty()) {
        std::error_code ec;
        fs::remove(tempPath_, ec);
        done_ = true;
    }
}

void TempOutput::Commit(bool overwrite) {
    std::error_code ec;
    if (!overwrite && fs::exists(fs::symlink_status(finalPath_, ec))) {
        throw EncodeError("output file '" + finalPath_ + "' appeared while encoding; not replaced");
    }
    fs::rename(tempPath_, finalPath_, ec);
    if (ec) {
        throw EncodeError("cannot move the finished file to '" + finalPath_ + "': " + ec.message());
    }
    done_ = true;
}

} // namespace evc
