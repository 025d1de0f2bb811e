#pragma once
// Real files in a private temporary folder, and the few byte helpers the file tests use.

#include "sheet.h"

#include <algorithm>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <initializer_list>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#ifndef _WIN32
#include <sys/resource.h>
#endif
#include <vector>

namespace pyrelto::test {

using Bytes = std::vector<std::byte>;

inline Bytes bytes(std::initializer_list<int> values) {
    Bytes out;
    for (const int v : values) {
        out.push_back(static_cast<std::byte>(v));
    }
    return out;
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A folder that others may enter (so a child process without privileges can read in it),
// removed with everything in it at the end.
class TempDir {
public:
    TempDir() {
        const auto base = std::filesystem::temp_directory_path();
        std::random_device random;
        for (int attempt = 0;; ++attempt) {
            auto candidate = base / ("pyrelto-files-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) {
                path_ = std::move(candidate);
                break;
            }
            if (attempt == 100) {
                throw std::runtime_error("no temporary folder");
            }
        }
        std::filesystem::permissions(path_, std::filesystem::perms(0755));
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        // Windows refuses to delete a file with the read-only attribute.
        for (const auto& e : std::filesystem::recursive_directory_iterator(path_, ignored)) {
            std::filesystem::permissions(e.path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, ignored);
        }
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // The folder's entries, to see that no temporary file was left behind.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path_)) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

// Takes every write permission away: no write bit on POSIX, the read-only attribute on Windows.
inline void makeReadOnly(const std::filesystem::path& p) {
    std::filesystem::permissions(p, std::filesystem::perms::owner_read |
                                        std::filesystem::perms::group_read |
                                        std::filesystem::perms::others_read);
}

inline std::u16string name16(const std::filesystem::path& p) {
    return p.u16string();
}

inline Bytes readBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::vector<char> chars((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Bytes out(chars.size());
    // An empty file has no data pointer, which memcpy may not be given even for no bytes.
    if (!chars.empty()) {
        std::memcpy(out.data(), chars.data(), chars.size());
    }
    return out;
}

inline void writeBytes(const std::filesystem::path& p, const Bytes& data) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
}

// Every field's shown text and every shown flag: equal snapshots mean an unchanged sheet.
struct SheetSnapshot {
    std::vector<std::u16string> texts;
    std::vector<bool> shown;
    bool operator==(const SheetSnapshot&) const = default;
};

inline SheetSnapshot snapshot(const Sheet& sheet) {
    SheetSnapshot s;
    for (const auto& info : fieldCatalogue()) {
        s.texts.push_back(sheet.shownText(info.id));
    }
    for (const auto& row : rowCatalogue()) {
        s.shown.push_back(sheet.shown(row.id));
    }
    return s;
}

#ifndef _WIN32
// A real file-size limit for this process: writes beyond it fail with EFBIG as on a full disk.
// SIGXFSZ is ignored meanwhile, so the failure arrives as an error instead of ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

#endif

} // namespace pyrelto::test
