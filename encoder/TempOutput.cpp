#include "encoder/TempOutput.h"

#include "encoder/Errors.h"
#include "encoder/System.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace evc {

namespace {

constexpr char kMarker[] = ".evc-";
constexpr char kEnd[] = ".part";
constexpr std::size_t kRandomDigits = 12;
// What the temporary name adds to the output's name: the leading dot, marker, digits, end.
constexpr std::size_t kAdded = 1 + (sizeof kMarker - 1) + kRandomDigits + (sizeof kEnd - 1);

fs::path FolderOf(const std::string& path) {
    const fs::path p = PathFromUtf8(path);
    return p.has_parent_path() ? p.parent_path() : fs::path(".");
}

} // namespace

std::string TempPrefixFor(const std::string& finalPath) {
    const fs::path dir = FolderOf(finalPath);
    std::string base = Utf8FromPath(PathFromUtf8(finalPath).filename());
    const std::size_t nameMax = NameMaxOf(Utf8FromPath(dir));
    const std::size_t room = nameMax > kAdded + 1 ? nameMax - kAdded : 1;
    // Counted in UTF-8 bytes, never fewer than the UTF-16 units Windows counts: the name fits
    // either way, also where a Windows volume is a POSIX file system underneath.
    if (base.size() > room) {
        // Cut on a character boundary, so the hidden name stays readable.
        std::size_t n = room;
        while (n > 1 && (static_cast<unsigned char>(base[n]) & 0xC0) == 0x80) {
            --n;
        }
        base.resize(n);
    }
    // Built step by step: g++ 12 at -O3 warns (wrongly) about a chained "." + name + ...
    std::string name = ".";
    name += base;
    name += kMarker;
    return Utf8FromPath(dir / PathFromUtf8(name));
}

bool IsTempOutputName(const std::string& name) {
    const std::size_t tail = (sizeof kMarker - 1) + kRandomDigits + (sizeof kEnd - 1);
    if (name.size() < tail + 2 || name[0] != '.' ||
        name.compare(name.size() - tail, sizeof kMarker - 1, kMarker) != 0 ||
        name.compare(name.size() - (sizeof kEnd - 1), std::string::npos, kEnd) != 0) {
        return false;
    }
    const std::size_t digits = name.size() - kRandomDigits - (sizeof kEnd - 1);
    for (std::size_t i = digits; i < digits + kRandomDigits; ++i) {
        const char c = name[i];
        if (!(std::isdigit(static_cast<unsigned char>(c)) || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

void RemoveStaleTempOutputs(const std::string& folder, std::chrono::seconds maxAge) noexcept {
    try {
        std::error_code ec;
        const auto cutoff = fs::file_time_type::clock::now() - maxAge;
        for (fs::directory_iterator it(PathFromUtf8(folder.empty() ? "." : folder), ec), end;
             !ec && it != end; it.increment(ec)) {
            const fs::path& p = it->path();
            if (!IsTempOutputName(Utf8FromPath(p.filename())) ||
                !fs::is_regular_file(fs::symlink_status(p, ec))) {
                continue;
            }
            const auto written = fs::last_write_time(p, ec);
            if (!ec && written < cutoff) {
                fs::remove(p, ec);
            }
        }
    } catch (...) {
        // Tidying up is a courtesy; it never costs the conversion.
    }
}

TempOutput::TempOutput(std::string finalPath) : finalPath_(std::move(finalPath)) {
    std::random_device rd;
    std::mt19937_64 gen((static_cast<std::uint64_t>(rd()) << 32) ^ rd());
    const std::string prefix = TempPrefixFor(finalPath_);
    for (int attempt = 0; attempt < 20; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "%012llx%s",
                      static_cast<unsigned long long>(gen() & 0xffffffffffffULL), kEnd);
        const std::string candidate = prefix + suffix;
        // A new file only: never reuse one that exists.
        std::string reason;
        const int error = CreateNewFile(candidate, reason);
        if (error == 0) {
            tempPath_ = candidate;
            return;
        }
        if (error != EEXIST) {
            const fs::path dir = PathFromUtf8(finalPath_).parent_path();
            throw EncodeError("cannot write to the output folder '" +
                              (dir.empty() ? std::string(".") : Utf8FromPath(dir)) +
                              "': " + reason);
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
        fs::remove(PathFromUtf8(tempPath_), ec);
        done_ = true;
    }
}

void TempOutput::Commit(bool overwrite) {
    // On disk before the name appears: after a power cut the output is whole or absent.
    const std::string syncError = SyncFile(tempPath_);
    if (!syncError.empty()) {
        throw EncodeError("cannot write '" + finalPath_ + "': " + syncError);
    }
    std::error_code ec;
    if (!overwrite && fs::exists(fs::symlink_status(PathFromUtf8(finalPath_), ec))) {
        throw EncodeError("output file '" + finalPath_ + "' appeared while encoding; not replaced");
    }
    const std::string moveError = MoveIntoPlace(tempPath_, finalPath_);
    if (!moveError.empty()) {
        throw EncodeError("cannot move the finished file to '" + finalPath_ + "': " + moveError);
    }
    done_ = true;
    SyncFolder(Utf8FromPath(FolderOf(finalPath_)));
}

} // namespace evc
