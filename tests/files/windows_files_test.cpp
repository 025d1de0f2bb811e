// What only Windows has: drive letters and backslashes, the read-only and hidden attributes,
// reserved device names, named pipes, the roaming application-data folder and its error codes.

#include "calculation_file.h"
#include "customer_file.h"
#include "file_test_support.h"
#include "leftover_temporaries.h"
#include "material_preset.h"
#include "platform_calls.h"
#include "safe_write.h"
#include "utf16.h"

#include <array>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>

// clang-format off
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shlobj.h>
// clang-format on

namespace pyrelto {
namespace {

using test::Bytes;
using test::bytes;

std::wstring wide(const std::u16string& s) {
    return std::wstring(s.begin(), s.end());
}

DWORD attributesOf(const std::filesystem::path& p) {
    return ::GetFileAttributesW(p.wstring().c_str());
}

bool runsUnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string message(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const FileMessage& e) {
        return e.what();
    } catch (const IoError& e) {
        return std::string("IoError: ") + e.what();
    }
    return "no message";
}

class WindowsFilesTest : public ::testing::Test {
protected:
    std::u16string name(const char* file) const { return test::name16(dir / file); }
    test::TempDir dir;
    const Bytes oldData = bytes({'a', 'l', 't', 0x0D, 0x0A, 0x1A});
};

TEST_F(WindowsFilesTest, DriveLettersBackslashesAndWideNames) {
    Sheet saved;
    saved.runCountRules();
    saved.text(FieldId::KundeEd).setText(u"Müller 😀");
    std::u16string folder = test::name16(dir.path());
    ASSERT_TRUE(folder.size() > 2 && folder[1] == u':') << "a temp folder on a drive letter";
    for (auto& c : folder) {
        c = c == u'/' ? u'\\' : c;
    }
    const struct {
        const char* name;
        std::u16string file;
        std::u16string onDisk; // as the folder lists it
    } cases[] = {
        {"backslashes", folder + u"\\dach.kal", u"dach.kal"},
        {"forward slashes", folder + u"/vor.kal", u"vor.kal"},
        {"umlauts and a character outside the BMP", folder + u"\\Müller 😀 Straße.kal",
         u"Müller 😀 Straße.kal"},
        {"lower-case drive letter",
         std::u16string(1, static_cast<char16_t>(folder[0] | 0x20)) + folder.substr(1) +
             u"\\klein.kal",
         u"klein.kal"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_THROW(savefile(saved, c.file));
        EXPECT_TRUE(std::filesystem::exists(dir.path() / std::filesystem::path(c.onDisk)))
            << "the name reaches the disk unchanged, not through the ANSI code page";
        Sheet sheet;
        ASSERT_NO_THROW(openfile(sheet, c.file));
        EXPECT_EQ(sheet.text(FieldId::KundeEd).text(), u"Müller 😀");
    }
    EXPECT_EQ(dir.entries().size(), std::size(cases)) << "no temporary left behind";
}

TEST_F(WindowsFilesTest, ReadOnlyAttributeProtectsTheFile) {
    test::writeBytes(dir / "schutz.kal", oldData);
    test::writeBytes(dir / "schutz.mat", oldData);
    test::writeBytes(dir / "options.dat", oldData);
    for (const char* f : {"schutz.kal", "schutz.mat", "options.dat"}) {
        ASSERT_NE(::SetFileAttributesW((dir / f).wstring().c_str(), FILE_ATTRIBUTE_READONLY), 0);
    }
    Sheet sheet;
    sheet.runCountRules();
    EXPECT_EQ(message([&] { savefile(sheet, name("schutz.kal")); }),
              "Konnte die Datei nicht anlegen.");
    EXPECT_EQ(message([&] {
                  savemat(name("schutz.mat"), MaterialPreset{u"Bahn", 1, 2, 3, 4, 5});
              }),
              "Konnte die Datei nicht anlegen.");
    EXPECT_FALSE(writeCustomerFile(name("options.dat"), std::vector<std::u16string>{u"Abel"}));
    EXPECT_FALSE(writeCustomerFile(name("options.dat"), std::vector<std::u16string>{u"Abel"}, true))
        << "not even moved aside as a backup";
    for (const char* f : {"schutz.kal", "schutz.mat", "options.dat"}) {
        SCOPED_TRACE(f);
        EXPECT_EQ(test::readBytes(dir / f), oldData);
        EXPECT_EQ(attributesOf(dir / f) & FILE_ATTRIBUTE_READONLY, DWORD{FILE_ATTRIBUTE_READONLY});
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"options.dat", "schutz.kal", "schutz.mat"}));
    FileReader in;
    EXPECT_TRUE(in.open(name("schutz.kal"))) << "a protected file still opens for reading";
}

TEST_F(WindowsFilesTest, ReplacedFileKeepsItsAttributes) {
    test::writeBytes(dir / "versteckt.kal", oldData);
    ASSERT_NE(::SetFileAttributesW((dir / "versteckt.kal").wstring().c_str(),
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE),
              0);
    const Bytes fresh = bytes({'n', 'e', 'u'});
    ASSERT_TRUE(writeFileSafely(name("versteckt.kal"), fresh));
    EXPECT_EQ(test::readBytes(dir / "versteckt.kal"), fresh);
    EXPECT_EQ(attributesOf(dir / "versteckt.kal") & FILE_ATTRIBUTE_HIDDEN,
              DWORD{FILE_ATTRIBUTE_HIDDEN});
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"versteckt.kal"});
}

TEST_F(WindowsFilesTest, WritesThroughASymbolicLink) {
    if (runsUnderWine()) {
        GTEST_SKIP() << "wine makes links that are no reparse points; checked on Windows only";
    }
    test::writeBytes(dir / "echt.kal", oldData);
    if (::CreateSymbolicLinkW((dir / "verweis.kal").wstring().c_str(),
                              (dir / "echt.kal").wstring().c_str(),
                              SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) == 0) {
        GTEST_SKIP() << "no symbolic links for this user (developer mode off), error "
                     << ::GetLastError();
    }
    const Bytes fresh = bytes({'n', 'e', 'u'});
    ASSERT_TRUE(writeFileSafely(name("verweis.kal"), fresh));
    EXPECT_EQ(test::readBytes(dir / "echt.kal"), fresh);
    EXPECT_NE(attributesOf(dir / "verweis.kal") & FILE_ATTRIBUTE_REPARSE_POINT, 0U)
        << "the link is still a link";
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"echt.kal", "verweis.kal"}));
}

TEST_F(WindowsFilesTest, MissingFolderIsRefusedAndNothingAppears) {
    Sheet sheet;
    sheet.runCountRules();
    EXPECT_EQ(message([&] { savefile(sheet, name("fehlt") + u"\\a.kal"); }),
              "Konnte die Datei nicht anlegen.");
    EXPECT_EQ(message([&] { savefile(sheet, name("")); }), "Konnte die Datei nicht anlegen.")
        << "a name ending in a backslash is a folder";
    EXPECT_TRUE(dir.entries().empty());
}

// A save to a device would report success while the data went nowhere (NUL) or to the screen
// (CON); a load from one would wait for input. Both must be refused outright.
TEST_F(WindowsFilesTest, DevicesAreNoFiles) {
    test::writeBytes(dir / "echt.kal", oldData);
    const std::u16string folder = test::name16(dir.path()) + u"\\";
    const std::u16string devices[] = {
        u"NUL",        u"nul",        u"CON",          u"COM1",
        u"\\\\.\\NUL", u"\\\\.\\CON", folder + u"NUL", folder + u"con.kal"};
    Sheet sheet;
    sheet.runCountRules();
    sheet.text(FieldId::KundeEd).setText(u"vorher");
    const auto before = test::snapshot(sheet);
    for (const auto& device : devices) {
        SCOPED_TRACE(toUtf8(device));
        EXPECT_EQ(message([&] { savefile(sheet, device); }), "Konnte die Datei nicht anlegen.");
        EXPECT_EQ(message([&] { savemat(device, MaterialPreset{}); }),
                  "Konnte die Datei nicht anlegen.");
        EXPECT_FALSE(writeCustomerFile(device, std::vector<std::u16string>{u"Abel"}));
        EXPECT_EQ(message([&] { openfile(sheet, device); }), "Konnte die Datei nicht öffnen.");
        EXPECT_EQ(readCustomerFile(device), std::nullopt);
        EXPECT_EQ(test::snapshot(sheet), before);
    }
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"echt.kal"});
    EXPECT_EQ(test::readBytes(dir / "echt.kal"), oldData);
}

TEST_F(WindowsFilesTest, PipesAndFoldersAreRefusedWithoutWaiting) {
    const std::wstring pipeName =
        L"\\\\.\\pipe\\pyrelto-test-" + std::to_wstring(::GetCurrentProcessId());
    const HANDLE pipe = ::CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_DUPLEX,
                                           PIPE_TYPE_BYTE | PIPE_WAIT, 2, 64, 64, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    const std::u16string pipe16(pipeName.begin(), pipeName.end());
    FileReader fromPipe;
    EXPECT_FALSE(fromPipe.open(pipe16));
    EXPECT_FALSE(writeFileSafely(pipe16, oldData));
    ::CloseHandle(pipe);

    std::filesystem::create_directory(dir / "ordner");
    FileReader fromFolder;
    EXPECT_FALSE(fromFolder.open(name("ordner")));
    EXPECT_FALSE(writeFileSafely(name("ordner"), oldData));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"ordner"});
}

TEST_F(WindowsFilesTest, SystemErrorCodesGiveTheirTexts) {
    EXPECT_STREQ(IoError::native(ERROR_DISK_FULL).what(), "Disk full");
    EXPECT_STREQ(IoError::native(ERROR_HANDLE_DISK_FULL).what(), "Disk full");
    EXPECT_EQ(IoError::native(ERROR_HANDLE_DISK_FULL).kind(), IoError::Kind::DiskFull);
    const IoError denied = IoError::native(ERROR_ACCESS_DENIED);
    EXPECT_EQ(denied.kind(), IoError::Kind::System);
    EXPECT_EQ(denied.errorNumber(), ERROR_ACCESS_DENIED);
    EXPECT_STRNE(denied.what(), "I/O error 5") << "the system's own text";
    const std::string text = denied.what();
    EXPECT_TRUE(!text.empty() && text.back() != '\n' && text.back() != '\r');
    EXPECT_STREQ(IoError::native(0x2FFFFFFF).what(), "I/O error 805306367");
}

// The id of a process that has certainly ended: a child that exits at once and has been waited for.
std::uint64_t endedProcessId() {
    std::wstring command = L"cmd.exe /c exit 0";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                         nullptr, nullptr, &startup, &child) == 0) {
        return 0;
    }
    ::WaitForSingleObject(child.hProcess, INFINITE);
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess); // the last handle: the id is free now
    return child.dwProcessId;
}

void setAge(const std::filesystem::path& p, std::chrono::seconds age) {
    const HANDLE h = ::CreateFileW(p.wstring().c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks =
        ((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime) -
        static_cast<std::uint64_t>(age.count()) * 10000000ULL;
    const FILETIME then{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    EXPECT_NE(::SetFileTime(h, nullptr, &then, &then), 0);
    ::CloseHandle(h);
}

TEST_F(WindowsFilesTest, SavingRemovesOnlyCertainlyStaleTemporaries) {
    const auto dead = endedProcessId();
    ASSERT_NE(dead, 0U) << "no child process";
    const auto self = static_cast<std::uint64_t>(::GetCurrentProcessId());
    const auto old = kLeftoverTemporaryAge + std::chrono::minutes(1);
    const struct {
        const char* what;
        std::string name;
        std::chrono::seconds age;
        bool removed;
    } leftovers[] = {
        {"dead process, old", temporaryFileName(dead, 1, 1), old, true},
        {"dead process, young", temporaryFileName(dead, 1, 2), std::chrono::seconds(5), false},
        {"running process, old", temporaryFileName(self, 1, 3), old, false},
        {"the target's neighbour", "angebot.kal", old, false},
    };
    for (const auto& l : leftovers) {
        test::writeBytes(dir / l.name, bytes({'k', 'a', 'l'}));
        setAge(dir / l.name, l.age);
    }
    ASSERT_TRUE(writeFileSafely(name("rechnung.kal"), bytes({'n', 'e', 'u'})));
    for (const auto& l : leftovers) {
        SCOPED_TRACE(l.what);
        EXPECT_EQ(!std::filesystem::exists(dir / l.name), l.removed);
    }
    EXPECT_EQ(test::readBytes(dir / "rechnung.kal"), bytes({'n', 'e', 'u'}));
}

// The same folder as CSIDL_APPDATA, which older programs of the user's profile use, and nothing
// made on disk before it is asked for.
// Windows drops a dot or a space at the end of a name and would save "name." as "name": such names
// are refused with the reason, and nothing is written.
TEST_F(WindowsFilesTest, NamesTheSystemWouldChangeAreRefused) {
    Sheet sheet;
    sheet.runCountRules();
    for (const char* file : {"name.", "name ", "name.kal.", "name.kal ", "name..", "name. ."}) {
        SCOPED_TRACE(file);
        const std::string refusal = message([&] { savefile(sheet, name(file)); });
        EXPECT_TRUE(refusal.starts_with("Konnte die Datei nicht anlegen.\n")) << refusal;
        EXPECT_NE(refusal.find("Punkt oder ein Leerzeichen"), std::string::npos) << refusal;
        EXPECT_EQ(message([&] {
                      savemat(name(file), MaterialPreset{u"Bahn", 1, 2, 3, 4, 5});
                  }),
                  refusal);
        EXPECT_FALSE(writeFileSafely(name(file), oldData));
    }
    EXPECT_TRUE(dir.entries().empty());
    // Dots inside a name are ordinary.
    EXPECT_NO_THROW(savefile(sheet, name("name.v2.kal")));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"name.v2.kal"});
}

// A name of 400 units, beyond the classic 260, saves and opens through the long path form, also
// with a backup beside it; a name beyond the 32,767 units of a long path is refused.
TEST_F(WindowsFilesTest, LongPathsBeyondTheClassicLimit) {
    std::wstring folder = L"\\\\?\\" + dir.path().wstring();
    for (auto& c : folder) {
        c = c == L'/' ? L'\\' : c;
    }
    std::u16string plain = test::name16(dir.path());
    for (auto& c : plain) {
        c = c == u'/' ? u'\\' : c;
    }
    while (plain.size() < 400 - 120) {
        const std::wstring part(100, L'o');
        folder += L"\\" + part;
        plain += u"\\" + std::u16string(100, u'o');
        ASSERT_NE(::CreateDirectoryW(folder.c_str(), nullptr), 0) << ::GetLastError();
    }
    plain += u"\\";
    const std::u16string file = plain + std::u16string(400 - plain.size() - 4, u'k') + u".kal";
    ASSERT_EQ(file.size(), 400U);

    Sheet saved;
    saved.runCountRules();
    saved.text(FieldId::KundeEd).setText(u"Müller");
    ASSERT_NO_THROW(savefile(saved, file));
    ASSERT_NO_THROW(savefile(saved, file)) << "replacing it as well";
    Sheet sheet;
    ASSERT_NO_THROW(openfile(sheet, file));
    EXPECT_EQ(sheet.text(FieldId::KundeEd).text(), u"Müller");

    const std::u16string list =
        plain + std::u16string(400 - plain.size() - 11, u'l') + u"options.dat";
    ASSERT_TRUE(writeCustomerFile(list, std::vector<std::u16string>{u"Abel"}));
    ASSERT_TRUE(writeCustomerFile(list, std::vector<std::u16string>{u"Bauer"}, true));
    EXPECT_EQ(readCustomerFile(list + u".bak"), std::vector<std::u16string>{u"Abel"});
    EXPECT_EQ(readCustomerFile(list), std::vector<std::u16string>{u"Bauer"});

    // Only the three files: no temporary was left in the long folder.
    std::size_t entries = 0;
    WIN32_FIND_DATAW data{};
    const HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        entries +=
            std::wstring_view(data.cFileName) != L"." && std::wstring_view(data.cFileName) != L"..";
    } while (::FindNextFileW(find, &data) != 0);
    ::FindClose(find);
    EXPECT_EQ(entries, 3U);

    const std::u16string tooLong = plain + std::u16string(32767, u'x');
    EXPECT_EQ(message([&] { openfile(sheet, tooLong); }),
              std::string("IoError: ") + IoError::native(ERROR_FILENAME_EXCED_RANGE).what());
    EXPECT_EQ(sheet.text(FieldId::KundeEd).text(), u"Müller");
    // The test folder's clean-up does not reach this deep without the prefix.
    const std::function<void(const std::wstring&)> removeTree = [&](const std::wstring& f) {
        WIN32_FIND_DATAW entry{};
        const HANDLE h = ::FindFirstFileW((f + L"\\*").c_str(), &entry);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring n = entry.cFileName;
                if (n == L"." || n == L"..") {
                    continue;
                }
                if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                    removeTree(f + L"\\" + n);
                } else {
                    ::DeleteFileW((f + L"\\" + n).c_str());
                }
            } while (::FindNextFileW(h, &entry) != 0);
            ::FindClose(h);
        }
        ::RemoveDirectoryW(f.c_str());
    };
    removeTree(L"\\\\?\\" + (dir.path() / std::wstring(100, L'o')).wstring());
}

#ifdef PYRELTO_FAULT_SEAM
BOOL WINAPI refusedHardLink(LPCWSTR, LPCWSTR, LPSECURITY_ATTRIBUTES) {
    ::SetLastError(ERROR_INVALID_FUNCTION); // as FAT and exFAT answer
    return FALSE;
}

BOOL WINAPI failingRead(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) {
    ::SetLastError(ERROR_CRC);
    return FALSE;
}

// On a stick without hard links the backup is a copy; a read error ends a load with the system's
// text and the sheet as it was.
TEST_F(WindowsFilesTest, SickDiskThroughTheReplaceableCalls) {
    struct Restore {
        ~Restore() { platform::systemCalls() = platform::SystemCalls{}; }
    } restore;
    test::writeBytes(dir / "options.dat", oldData);
    platform::systemCalls().createHardLink = refusedHardLink;
    ASSERT_TRUE(writeCustomerFile(name("options.dat"), std::vector<std::u16string>{u"Abel"}, true));
    EXPECT_EQ(test::readBytes(dir / "options.dat.bak"), oldData);
    EXPECT_EQ(readCustomerFile(name("options.dat")), std::vector<std::u16string>{u"Abel"});
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"options.dat", "options.dat.bak"}));

    Sheet saved;
    saved.runCountRules();
    ASSERT_NO_THROW(savefile(saved, name("f.kal")));
    Sheet sheet;
    sheet.text(FieldId::KundeEd).setText(u"Abel");
    platform::systemCalls().readFile = failingRead;
    EXPECT_EQ(message([&] { openfile(sheet, name("f.kal")); }),
              "IoError: " + std::string(IoError::native(ERROR_CRC).what()));
    EXPECT_EQ(sheet.text(FieldId::KundeEd).text(), u"Abel");
}
#endif

TEST(WindowsProgramDir, RoamingApplicationDataFolder) {
    std::array<wchar_t, MAX_PATH> appData{};
    ASSERT_TRUE(SUCCEEDED(
        ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData.data())));
    const std::filesystem::path base(appData.data());
    const std::wstring expected = base.wstring() + L"\\Torvane\\Pyrelto Kalkulation\\";
    EXPECT_EQ(wide(GetProgramDir(false)), expected);

    const auto torvane = base / L"Torvane";
    const auto program = torvane / L"Pyrelto Kalkulation";
    if (std::filesystem::exists(torvane)) {
        GTEST_SKIP() << "the folder exists already; it is the user's and stays untouched";
    }
    EXPECT_FALSE(std::filesystem::exists(program)) << "looking up creates nothing";
    EXPECT_EQ(wide(GetProgramDir(true)), expected);
    EXPECT_TRUE(std::filesystem::is_directory(program));
    const auto list = GetProgramDir(true) + std::u16string(kCustomerFileName);
    EXPECT_TRUE(writeCustomerFile(list, std::vector<std::u16string>{u"Müller 😀"}));
    EXPECT_EQ(readCustomerFile(list), std::vector<std::u16string>{u"Müller 😀"});
    std::filesystem::remove_all(torvane);
}

} // namespace
} // namespace pyrelto
