// rar.exe x against a hostile archive and a hostile local user at once, through the confined writer it
// shares with the zip library: links planted in the destination under every spelling, links and hard links at
// the final name, a folder swapped for a link mid-entry, the overlapping zip bomb. Each time: nothing outside
// the destination, no temporary left, and a line naming every entry not written.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>

#include "api32/win32/files_confined.hpp"
#include "api32/win32/paths.hpp"
#include "rar_runner.hpp"
#include "support/test_support.hpp"
#include "tools/rar/command_line.hpp"
#include "tools/rar/commands.hpp"
#include "tools/rar/exit_status.hpp"

namespace rartool {
namespace {

namespace fs = std::filesystem;
namespace w = api32::win32;
using api32::testing::read_file;
using api32::testing::temp_dir;
using api32::testing::write_file;
using strings = std::vector<std::string>;

// Runs x in this process (so the writer's test switches apply): the exit code and the messages.
struct extracted {
  exit_code code;
  strings messages;
};
extracted extract_in_process(const std::string& archive, const std::string& destination) {
  options opt;
  opt.command = 'x';
  opt.archive = archive;
  opt.masks = {"*"};
  opt.overwrite = overwrite_mode::always;
  opt.destination = api32::win32::to_windows_path(destination) + "\\";
  status st(true);
  strings messages;
  st.on_message = [&](const std::string& line) { messages.push_back(line); };
  run_extract(opt, st);
  return {st.code(), messages};
}

bool mentions(const strings& messages, const std::string& entry, const std::string& reason) {
  for (const auto& m : messages)
    if (m.find(": " + entry + ": ") != std::string::npos && m.find(reason) != std::string::npos) return true;
  return false;
}

void expect_no_temporary(const std::string& root) {
  for (const auto& path : api32::testing::tree(root))
    EXPECT_FALSE(w::is_confined_temporary(fs::path(path).filename().string())) << path;
}

class RarConfined : public ::testing::TestWithParam<bool> {
protected:
  void SetUp() override {
    if (GetParam()) forced_ = std::make_unique<w::scoped_descriptor_walk>();
    fs::create_directories(root / "dest");
    fs::create_directories(root / "outside");
  }
  void TearDown() override { w::set_confined_write_hook(nullptr); }
  temp_dir root;
  std::unique_ptr<w::scoped_descriptor_walk> forced_;
};

TEST_P(RarConfined, PlantedLinksAreRefusedUnderEverySpellingAndFinalLinksReplaced) {
  write_file(root / "outside/secret", "keep");
  fs::create_directory_symlink(root / "outside", root / "dest/Addon");
  fs::create_symlink(root / "outside/secret", root / "dest/soft.txt");
  fs::create_hard_link(root / "outside/secret", root / "dest/hard.txt");
  testing::write_hostile(root / "planted.rar",
                         {"Addon/x.txt", "addon/y.txt", "ADDON/sub/z.txt", "ok.txt", "soft.txt", "hard.txt"});
  auto result = extract_in_process(root / "planted.rar", root / "dest");
  EXPECT_EQ(result.code, exit_code::warning);
  EXPECT_EQ(api32::testing::tree(root / "outside"), strings{"secret"});
  EXPECT_EQ(read_file(root / "outside/secret"), "keep");
  EXPECT_EQ(read_file(root / "dest/soft.txt"), "soft.txt");
  EXPECT_EQ(read_file(root / "dest/hard.txt"), "hard.txt");
  EXPECT_FALSE(fs::is_symlink(root / "dest/soft.txt"));
  for (const char* entry : {"Addon/x.txt", "addon/y.txt", "ADDON/sub/z.txt"})
    EXPECT_TRUE(mentions(result.messages, entry, "a symbolic link is in the way (Addon)")) << entry;
  expect_no_temporary(root.path());
}

TEST_P(RarConfined, AFolderSwappedMidEntryReceivesNothingAndKeepsNoTemporary) {
  fs::create_directories(root / "outside/elsewhere");
  testing::write_rar5(root / "race.rar",
                      {{"Addon/big.bin", std::string(3 << 20, 'b')}, {"Addon/later.txt", "later"}, {"top.txt", "top"}});
  bool swapped = false;
  w::set_confined_write_hook([&](const std::string& shown, std::uint64_t) {
    if (swapped || shown != "Addon/big.bin") return;
    swapped = true;
    api32::testing::swap_folder_for_link(root / "dest/Addon", root / "outside/moved", root / "outside/elsewhere");
  });
  auto result = extract_in_process(root / "race.rar", root / "dest");
  ASSERT_TRUE(swapped);
  EXPECT_EQ(result.code, exit_code::warning);
  EXPECT_TRUE(api32::testing::tree(root / "outside/elsewhere").empty());
  EXPECT_TRUE(api32::testing::tree(root / "outside/moved").empty());
  EXPECT_EQ(read_file(root / "dest/top.txt"), "top");
  EXPECT_TRUE(mentions(result.messages, "Addon/big.bin", "a symbolic link is in the way (Addon/big.bin)"));
  EXPECT_TRUE(mentions(result.messages, "Addon/later.txt", "a symbolic link is in the way (Addon)"));
  expect_no_temporary(root.path());
}

INSTANTIATE_TEST_SUITE_P(Resolving, RarConfined, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "DescriptorWalk" : "Openat2"; });

// Twenty central records sharing one entry's data, made byte by byte as the zip tests make it: the stream
// reader would write each, the zip reader's overlap check refuses them all, in the built tool too.
TEST(RarConfinedZip, OverlapBombWritesNoneOfItsSharingEntries) {
  temp_dir work;
  const std::string script = work / "bomb.py";
  write_file(script,
             "import struct, sys, zlib\n"
             "data = bytes(1 << 20); packed = zlib.compress(data)[2:-4]; crc = zlib.crc32(data)\n"
             "out = bytearray(); central = bytearray()\n"
             "def local(name, payload, raw, method):\n"
             "    return struct.pack('<IHHHHHIIIHH', 0x04034B50, 20, 0, method, 0, 0x3CB5, zlib.crc32(raw),"
             " len(payload), len(raw), len(name), 0) + name + payload\n"
             "out += local(b'bomb/00.bin', packed, data, 8)\n"
             "alone = b'shares nothing'; alone_at = len(out); out += local(b'alone.txt', alone, alone, 0)\n"
             "entries = [(b'bomb/%02d.bin' % i, 0, packed, data) for i in range(20)] + "
             "[(b'alone.txt', alone_at, alone, alone)]\n"
             "for name, at, payload, raw in entries:\n"
             "    method = 0 if name == b'alone.txt' else 8\n"
             "    central += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014B50, 20, 20, 0, method, 0, 0x3CB5,"
             " zlib.crc32(raw), len(payload), len(raw), len(name), 0, 0, 0, 0, 0x20, at) + name\n"
             "cd = len(out); out += central\n"
             "out += struct.pack('<IHHHHIIH', 0x06054B50, 0, 0, len(entries), len(entries), len(central), cd, 0)\n"
             "open(sys.argv[1], 'wb').write(out)\n");
  ASSERT_EQ(
      api32::testing::run(std::string(api32::testing::python()) + " '" + script + "' '" + (work / "bomb.zip") + "'"),
      0);
  fs::create_directories(work / "dest");
  auto result = testing::run_rar({"x", "-o+", work / "bomb.zip", "dest/"}, work.path());
  EXPECT_EQ(result.exit_code, 1) << result.errors;
  EXPECT_EQ(testing::tree(work / "dest"), strings{"alone.txt"}) << result.errors;
  // the stream reader presents as many of the records as it sees; each is refused with the reason
  std::istringstream lines(result.errors);
  int refused = 0;
  for (std::string line; std::getline(lines, line); ++refused) EXPECT_NE(line.find("bomb/"), std::string::npos) << line;
  EXPECT_GE(refused, 1);
  EXPECT_NE(result.errors.find(": its data overlap another entry's (a zip bomb), not extracted"), std::string::npos)
      << result.errors;
}

}  // namespace
}  // namespace rartool
