// Saving clears the temporaries that killed saves left in the target's folder, and nothing else.

#include "file_test_support.h"
#include "leftover_temporaries.h"
#include "safe_write.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace pyrelto {
namespace {

using test::bytes;

TEST(LeftoverTemporaryName, OnlyOurExactPatternNamesAProcess) {
    EXPECT_EQ(temporaryFileOwner(temporaryFileName(0x1a2b, 0xdeadbeef, 7)), 0x1a2bU);
    const char* notOurs[] = {
        ".pyrelto-1a2b-dead-7.tm",
        ".pyrelto-1a2b-dead.tmp",
        ".pyrelto-1a2b-dead-7-8.tmp",
        "pyrelto-1a2b-dead-7.tmp",
        ".pyrelto-1A2B-dead-7.tmp",
        ".pyrelto-01a2b-dead-7.tmp",
        ".pyrelto-0-dead-7.tmp",
        ".pyrelto--dead-7.tmp",
        ".pyrelto-1a2b--7.tmp",
        ".pyrelto-+1a2b-dead-7.tmp",
        ".pyrelto-1a2b-dead-7.tmp~",
        ".pyrelto-12345678901234567-1-1.tmp",
        "rechnung.kal",
    };
    for (const char* name : notOurs) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(temporaryFileOwner(name));
    }
}

#ifndef _WIN32
// The Windows counterpart is in windows_files_test.cpp.
// The id of a process that has certainly ended: a child that exits at once and has been reaped.
std::uint64_t endedProcessId() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return static_cast<std::uint64_t>(child);
}

void setAge(const std::filesystem::path& p, std::chrono::seconds age) {
    const auto then = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now() - age);
    const timeval times[2] = {{then, 0}, {then, 0}};
    ASSERT_EQ(::lutimes(p.c_str(), times), 0);
}

TEST(LeftoverTemporaries, SavingRemovesOnlyCertainlyStaleOnesOfOurs) {
    test::TempDir dir;
    const auto dead = endedProcessId();
    const auto self = static_cast<std::uint64_t>(::getpid());
    const auto old = kLeftoverTemporaryAge + std::chrono::minutes(1);
    struct Leftover {
        const char* what;
        std::string name;
        std::chrono::seconds age;
        bool removed;
    };
    const Leftover leftovers[] = {
        {"dead process, old", temporaryFileName(dead, 1, 1), old, true},
        {"dead process, young (may be another machine's save)", temporaryFileName(dead, 1, 2),
         std::chrono::seconds(5), false},
        {"running process, old", temporaryFileName(self, 1, 3), old, false},
        {"similar name of someone else", ".pyrelto-" + std::to_string(dead) + ".tmp", old, false},
        {"the target's neighbour", "angebot.kal", old, false},
        // Not certainly gone: no process of this system has such an id.
        {"process id 0", temporaryFileName(0, 1, 5), old, false},
        {"no hex number",
         [&] {
             auto n = temporaryFileName(0xabc, 1, 7);
             return n.replace(n.find("abc"), 3, "abg");
         }(),
         old, false},
        {"not plain ASCII", "Müller.kal", old, false},
        {"process id beyond the system's", temporaryFileName(0xFFFFFFFFFFULL, 1, 6), old, false},
    };
    for (const auto& l : leftovers) {
        test::writeBytes(dir / l.name, bytes({'k', 'a', 'l'}));
        setAge(dir / l.name, l.age);
    }
    // A link under the pattern is no temporary of ours: it stays, and so does what it points to.
    const std::string link = temporaryFileName(dead, 1, 4);
    std::filesystem::create_symlink("angebot.kal", dir / link);
    setAge(dir / link, old);

    ASSERT_TRUE(writeFileSafely(test::name16(dir / "rechnung.kal"), bytes({'n', 'e', 'u'})));

    for (const auto& l : leftovers) {
        SCOPED_TRACE(l.what);
        EXPECT_EQ(!std::filesystem::exists(dir / l.name), l.removed);
    }
    EXPECT_TRUE(std::filesystem::is_symlink(dir / link));
    EXPECT_EQ(test::readBytes(dir / "angebot.kal"), bytes({'k', 'a', 'l'}));
    EXPECT_EQ(test::readBytes(dir / "rechnung.kal"), bytes({'n', 'e', 'u'}));
}

TEST(LeftoverTemporaries, AnotherUsersLeftoverIsKept) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "giving a file to another user needs the superuser";
    }
    test::TempDir dir;
    const std::string name = temporaryFileName(endedProcessId(), 1, 1);
    test::writeBytes(dir / name, bytes({'x'}));
    ASSERT_EQ(::chown((dir / name).c_str(), 65534, 65534), 0);
    setAge(dir / name, kLeftoverTemporaryAge + std::chrono::minutes(1));
    ASSERT_TRUE(writeFileSafely(test::name16(dir / "a.kal"), bytes({'n'})));
    EXPECT_TRUE(std::filesystem::exists(dir / name));
}
#endif

} // namespace
} // namespace pyrelto
