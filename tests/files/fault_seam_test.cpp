// A sick disk, made through the replaceable system calls: hard links refused as on FAT sticks and
// some network shares, read and write errors, syncs and closes that fail. Each failure must end
// the operation with the system's text and leave the files exactly as they were.

#include "calculation_file.h"
#include "customer_file.h"
#include "file_test_support.h"
#include "platform_calls.h"
#include "safe_write.h"

#include <cerrno>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace pyrelto {
namespace {

using platform::systemCalls;
using test::Bytes;
using test::bytes;

// Puts the real calls back whatever a test replaced.
class SystemCallsGuard {
public:
    SystemCallsGuard() = default;
    SystemCallsGuard(const SystemCallsGuard&) = delete;
    SystemCallsGuard& operator=(const SystemCallsGuard&) = delete;
    ~SystemCallsGuard() { systemCalls() = platform::SystemCalls{}; }
};

// The error a replaced call reports, and after how many successful calls it does.
int injectedError = 0;
int callsBeforeFailure = 0;
// The refused link's own error, since the copy after it fails with injectedError.
int linkError = 0;
// Which read and which write (counted from 0) a signal interrupts.
int readsBeforeInterrupt = 0;
int writesBeforeInterrupt = 0;

bool failsNow() {
    return callsBeforeFailure-- <= 0;
}

int refusedLink(const char*, const char*) {
    errno = linkError;
    return -1;
}

ssize_t failingRead(int fd, void* into, std::size_t n) {
    if (!failsNow()) {
        return ::read(fd, into, n);
    }
    errno = injectedError;
    return -1;
}

ssize_t failingWrite(int fd, const void* from, std::size_t n) {
    if (!failsNow()) {
        return ::write(fd, from, n);
    }
    if (injectedError == 0) {
        return 0; // the storage took nothing and said nothing
    }
    errno = injectedError;
    return -1;
}

int failingFsync(int fd) {
    if (!failsNow()) {
        return ::fsync(fd);
    }
    errno = injectedError;
    return -1;
}

// A close that does close, as a failing close on a network share does, and reports the error.
int failingClose(int fd) {
    ::close(fd);
    if (!failsNow()) {
        return 0;
    }
    errno = injectedError;
    return -1;
}

int failingFchmod(int fd, mode_t mode) {
    if (!failsNow()) {
        return ::fchmod(fd, mode);
    }
    errno = injectedError;
    return -1;
}

int failingFstat(int fd, struct stat* st) {
    if (!failsNow()) {
        return ::fstat(fd, st);
    }
    errno = injectedError;
    return -1;
}

int failingRename(const char* from, const char* to) {
    if (!failsNow()) {
        return ::rename(from, to);
    }
    errno = injectedError;
    return -1;
}

// A read interrupted by a signal before it got anything, once, then the real read.
ssize_t interruptedOnceRead(int fd, void* into, std::size_t n) {
    if (readsBeforeInterrupt-- == 0) {
        errno = EINTR;
        return -1;
    }
    return ::read(fd, into, n);
}

// Writes at most three bytes per call, as a pipe-like share may.
ssize_t shortWrite(int fd, const void* from, std::size_t n) {
    return ::write(fd, from, std::min<std::size_t>(n, 3));
}

ssize_t interruptedOnceWrite(int fd, const void* from, std::size_t n) {
    if (writesBeforeInterrupt-- == 0) {
        errno = EINTR;
        return -1;
    }
    return ::write(fd, from, n);
}

// Opens that create a file fail with createError, plain opens with readOpenError; 0 lets them run.
int createError = 0;
int readOpenError = 0;

int failingOpen(const char* name, int flags, mode_t mode) {
    const int error = (flags & O_CREAT) != 0 ? createError : readOpenError;
    if (error != 0) {
        errno = error;
        return -1;
    }
    return ::open(name, flags, mode);
}

class FaultSeamTest : public ::testing::Test {
protected:
    void SetUp() override {
        injectedError = 0;
        callsBeforeFailure = 0;
        linkError = 0;
        readsBeforeInterrupt = 0;
        writesBeforeInterrupt = 0;
        createError = 0;
        readOpenError = 0;
    }
    std::u16string name(const char* file) const { return test::name16(dir / file); }
    std::string what(const std::function<void()>& operation) const {
        try {
            operation();
        } catch (const std::exception& e) {
            return e.what();
        }
        return "no error";
    }
    SystemCallsGuard guard;
    test::TempDir dir;
    const Bytes oldData = bytes({'a', 'l', 't', 'e', 'r', ' ', 'I', 'n', 'h', 'a', 'l', 't'});
    const Bytes olderBackup = bytes({'a', 'l', 't', 'e', 's', ' ', 'B', 'a', 'k'});
    const Bytes newData = bytes({'n', 'e', 'u', 'e', 'r', ' ', 'I', 'n', 'h', 'a', 'l', 't'});
};

// Where the file system has no hard links, the backup is a synced copy with the old file's
// permission bits, a file of its own, and the target is replaced as usual.
TEST_F(FaultSeamTest, BackupIsACopyWhereHardLinksAreRefused) {
    for (const int error : {EPERM, EXDEV, EMLINK, ENOTSUP, ENOSYS}) {
        SCOPED_TRACE(error);
        test::writeBytes(dir / "f", oldData);
        ::chmod((dir / "f").c_str(), 0640);
        linkError = error;
        systemCalls().link = refusedLink;
        ASSERT_TRUE(writeFileSafely(name("f"), newData, name("f.bak")));
        EXPECT_EQ(test::readBytes(dir / "f"), newData);
        EXPECT_EQ(test::readBytes(dir / "f.bak"), oldData);
        struct stat backup {};
        ASSERT_EQ(::stat((dir / "f.bak").c_str(), &backup), 0);
        EXPECT_EQ(backup.st_mode & 07777, 0640U);
        EXPECT_EQ(backup.st_nlink, 1U) << "a copy, not a second name of the replaced file";
        EXPECT_EQ(dir.entries(), (std::vector<std::string>{"f", "f.bak"}));
        std::filesystem::remove(dir / "f.bak");
    }
}

// The path that keeps a damaged customer list aside on a FAT stick.
TEST_F(FaultSeamTest, DamagedCustomerListIsKeptAsideByACopy) {
    const Bytes cut = bytes({0x03, 0, 0, 0, 0x01, 0, 0, 0, 0x5A, 0});
    test::writeBytes(dir / "options.dat", cut);
    ASSERT_THROW(readCustomerFile(name("options.dat")), DamagedCustomerFile);
    linkError = EPERM;
    systemCalls().link = refusedLink;
    ASSERT_TRUE(writeCustomerFile(name("options.dat"), std::vector<std::u16string>{u"Abel"}, true));
    EXPECT_EQ(test::readBytes(dir / "options.dat.bak"), cut);
    EXPECT_EQ(readCustomerFile(name("options.dat")), std::vector<std::u16string>{u"Abel"});
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"options.dat", "options.dat.bak"}));
}

struct CopyFault {
    const char* name;
    std::function<void()> inject;
    int error;
    int callsBefore;
    std::string message;
};

// Any failure while the backup is copied ends the save before the target is touched: target and
// an older backup stay as they were, and no half copy or temporary remains.
TEST_F(FaultSeamTest, FailedBackupCopyLeavesEverythingAsItWas) {
    const CopyFault faults[] = {
        // Each call the copy makes; the first read and write are the temporary's own.
        {"link refused for want of access", [] {}, EACCES, 0, "Permission denied"},
        {"old file unreadable", [] { systemCalls().read = failingRead; }, EIO, 0,
         "Input/output error"},
        {"backup disk full", [] { systemCalls().write = failingWrite; }, ENOSPC, 1, "Disk full"},
        {"backup disk takes nothing", [] { systemCalls().write = failingWrite; }, 0, 1,
         "Disk full"},
        {"backup not synced", [] { systemCalls().fsync = failingFsync; }, EIO, 1,
         "Input/output error"},
        {"backup close fails", [] { systemCalls().close = failingClose; }, EIO, 2,
         "Input/output error"},
        {"old file's bits unknown", [] { systemCalls().fstat = failingFstat; }, EIO, 0,
         "Input/output error"},
        // The temporary takes the old file's bits first.
        {"backup's bits refused", [] { systemCalls().fchmod = failingFchmod; }, EPERM, 1,
         "Operation not permitted"},
        {"backup not renamed", [] { systemCalls().rename = failingRename; }, EIO, 0,
         "Input/output error"},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.name);
        test::writeBytes(dir / "f", oldData);
        test::writeBytes(dir / "f.bak", olderBackup);
        SetUp();
        // A refused link sends the save to the copy unless the fault is in the link itself.
        linkError = fault.error == EACCES ? EACCES : EPERM;
        systemCalls().link = refusedLink;
        fault.inject();
        injectedError = fault.error;
        callsBeforeFailure = fault.callsBefore;
        EXPECT_EQ(what([&] { (void)writeFileSafely(name("f"), newData, name("f.bak")); }),
                  fault.message);
        systemCalls() = platform::SystemCalls{};
        EXPECT_EQ(test::readBytes(dir / "f"), oldData);
        EXPECT_EQ(test::readBytes(dir / "f.bak"), olderBackup);
        EXPECT_EQ(dir.entries(), (std::vector<std::string>{"f", "f.bak"}));
    }
}

struct WriteFault {
    const char* name;
    std::function<void()> inject;
    int error;
    std::string message;
};

// The temporary's own transfer: every failure leaves the old file and removes the temporary.
TEST_F(FaultSeamTest, FailedTransferKeepsTheOldFile) {
    const WriteFault faults[] = {
        {"write error", [] { systemCalls().write = failingWrite; }, EIO, "Input/output error"},
        {"write takes nothing", [] { systemCalls().write = failingWrite; }, 0, "Disk full"},
        {"quota exceeded", [] { systemCalls().write = failingWrite; }, EDQUOT, "Disk full"},
        {"sync fails", [] { systemCalls().fsync = failingFsync; }, EIO, "Input/output error"},
        {"close fails", [] { systemCalls().close = failingClose; }, EIO, "Input/output error"},
        {"rename fails", [] { systemCalls().rename = failingRename; }, EXDEV,
         "Invalid cross-device link"},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.name);
        test::writeBytes(dir / "f", oldData);
        SetUp();
        fault.inject();
        injectedError = fault.error;
        EXPECT_EQ(what([&] { (void)writeFileSafely(name("f"), newData); }), fault.message);
        systemCalls() = platform::SystemCalls{};
        EXPECT_EQ(test::readBytes(dir / "f"), oldData);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"f"});
    }
}

TEST_F(FaultSeamTest, ShortAndInterruptedWritesStillWriteEveryByte) {
    systemCalls().write = shortWrite;
    ASSERT_TRUE(writeFileSafely(name("kurz"), newData));
    EXPECT_EQ(test::readBytes(dir / "kurz"), newData);
    systemCalls().write = interruptedOnceWrite;
    ASSERT_TRUE(writeFileSafely(name("unterbrochen"), newData));
    EXPECT_EQ(test::readBytes(dir / "unterbrochen"), newData);
    // The copy of a backup takes the same care.
    systemCalls().link = refusedLink;
    linkError = EXDEV;
    systemCalls().write = shortWrite;
    ASSERT_TRUE(writeFileSafely(name("kurz"), oldData, name("kurz.bak")));
    EXPECT_EQ(test::readBytes(dir / "kurz.bak"), newData);
    readsBeforeInterrupt = 0;  // the copy's first read
    writesBeforeInterrupt = 1; // the copy's first write, after the temporary's
    systemCalls().read = interruptedOnceRead;
    systemCalls().write = interruptedOnceWrite;
    ASSERT_TRUE(writeFileSafely(name("kurz"), newData, name("kurz.bak")));
    EXPECT_EQ(test::readBytes(dir / "kurz.bak"), oldData);
    EXPECT_EQ(test::readBytes(dir / "kurz"), newData);
}

struct NameFault {
    const char* name;
    int link;            // the hard link's error, 0: it works
    int create;          // the error of opening a new file, 0: it works
    int readOpen;        // the error of opening the old file for the copy, 0: it works
    bool opens;          // the save could start
    std::string message; // of the commit, "no error" when the new file is in place
    bool backup;         // the old file was kept under the backup name
};

// Names that are taken, or files that vanish, while a save makes its temporaries.
TEST_F(FaultSeamTest, TakenNamesAndVanishedFiles) {
    const NameFault faults[] = {
        {"every temporary name taken", 0, EEXIST, 0, false, "", false},
        {"folder closed to new files", 0, EACCES, 0, false, "", false},
        {"every backup name taken", EEXIST, 0, 0, true, "File exists", false},
        {"old file gone before its link", ENOENT, 0, 0, true, "no error", false},
        {"old file gone before its copy", EPERM, 0, ENOENT, true, "no error", false},
        {"old file unreadable for its copy", EPERM, 0, EACCES, true, "Permission denied", false},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.name);
        test::writeBytes(dir / "f", oldData);
        SetUp();
        systemCalls().open = failingOpen;
        createError = fault.create;
        if (fault.link != 0) {
            linkError = fault.link;
            systemCalls().link = refusedLink;
        }
        readOpenError = fault.readOpen;
        SafeWrite file;
        ASSERT_EQ(file.open(name("f")), fault.opens);
        if (fault.opens) {
            file.write(newData);
            EXPECT_EQ(what([&] { file.commit(name("f.bak")); }), fault.message);
            EXPECT_EQ(test::readBytes(dir / "f"), fault.message == "no error" ? newData : oldData);
        }
        systemCalls() = platform::SystemCalls{};
        EXPECT_EQ(std::filesystem::exists(dir / "f.bak"), fault.backup);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"f"});
    }
}

// The copy's own temporary name is taken at first, or cannot be made.
TEST_F(FaultSeamTest, BackupCopyFindsAFreeNameOrFails) {
    for (const int error : {EEXIST, EACCES}) {
        SCOPED_TRACE(error);
        test::writeBytes(dir / "f", oldData);
        std::filesystem::remove(dir / "f.bak");
        SetUp();
        SafeWrite file;
        ASSERT_TRUE(file.open(name("f")));
        file.write(newData);
        linkError = EPERM;
        systemCalls().link = refusedLink;
        systemCalls().open = failingOpen;
        createError = error;
        if (error == EEXIST) {
            // Taken for the first name only: the copy goes under the next one.
            systemCalls().open = [](const char* n, int flags, mode_t mode) {
                if ((flags & O_CREAT) != 0 && createError != 0) {
                    createError = 0;
                    errno = EEXIST;
                    return -1;
                }
                return ::open(n, flags, mode);
            };
            EXPECT_EQ(what([&] { file.commit(name("f.bak")); }), "no error");
            EXPECT_EQ(test::readBytes(dir / "f.bak"), oldData);
            EXPECT_EQ(dir.entries(), (std::vector<std::string>{"f", "f.bak"}));
        } else {
            EXPECT_EQ(what([&] { file.commit(name("f.bak")); }), "Permission denied");
            EXPECT_EQ(test::readBytes(dir / "f"), oldData);
            EXPECT_EQ(dir.entries(), std::vector<std::string>{"f"});
        }
        systemCalls() = platform::SystemCalls{};
    }
}

// A temporary that cannot take the old file's permission bits is no place for the new contents.
TEST_F(FaultSeamTest, TemporaryWithoutTheKeptBitsIsRemoved) {
    test::writeBytes(dir / "f", oldData);
    systemCalls().fchmod = failingFchmod;
    injectedError = EPERM;
    EXPECT_FALSE(writeFileSafely(name("f"), newData));
    EXPECT_EQ(test::readBytes(dir / "f"), oldData);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"f"});
}

// A read error part way through a calculation file ends the load with the system's text; the
// sheet stays exactly as it was. An interrupted read is simply repeated.
TEST_F(FaultSeamTest, ReadErrorLeavesTheSheetAsItWas) {
    Sheet saved;
    saved.runCountRules();
    saved.text(FieldId::KundeEd).setText(std::u16string(40000, u'x'));
    ASSERT_NO_THROW(savefile(saved, name("gross.kal")));
    Sheet sheet;
    sheet.runCountRules();
    const auto before = test::snapshot(sheet);
    systemCalls().read = failingRead;
    injectedError = EIO;
    callsBeforeFailure = 1; // the first 64 KiB arrive, the rest does not
    EXPECT_EQ(what([&] { openfile(sheet, name("gross.kal")); }), "Input/output error");
    EXPECT_EQ(test::snapshot(sheet), before);

    systemCalls().read = interruptedOnceRead;
    readsBeforeInterrupt = 1;
    ASSERT_NO_THROW(openfile(sheet, name("gross.kal")));
    EXPECT_EQ(sheet.text(FieldId::KundeEd).text(), std::u16string(40000, u'x'));
}

TEST_F(FaultSeamTest, FileThatCannotBeExaminedDoesNotOpen) {
    test::writeBytes(dir / "f", oldData);
    systemCalls().fstat = failingFstat;
    injectedError = EIO;
    FileReader in;
    EXPECT_FALSE(in.open(name("f")));
    EXPECT_EQ(readCustomerFile(name("f")), std::nullopt);
}

// A file cut short by another program after it was opened: the reader meets the end before the
// size it was opened with, which is a damaged file, not a shorter one.
TEST(ShrinkingFile, EndsTheReadAsDamaged) {
    test::TempDir dir;
    Sheet saved;
    saved.runCountRules();
    saved.text(FieldId::KundeEd).setText(std::u16string(40000, u'x'));
    const auto file = dir / "schrumpft.kal";
    ASSERT_NO_THROW(savefile(saved, test::name16(file)));
    FileReader in;
    ASSERT_TRUE(in.open(test::name16(file)));
    const auto size = in.size();
    std::filesystem::resize_file(file, 70000);
    EXPECT_EQ(in.remaining(), size) << "the size stays the one the file was opened with";
    try {
        (void)readCalculation(in);
        ADD_FAILURE() << "a file that shrank while it was read must not load";
    } catch (const IoError& e) {
        EXPECT_EQ(e.kind(), IoError::Kind::EndOfFile);
    }
    EXPECT_EQ(in.remaining(), 0U) << "nothing more is read after the end";
}

} // namespace
} // namespace pyrelto
