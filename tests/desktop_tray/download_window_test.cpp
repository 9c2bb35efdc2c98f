// download_window_test.cpp - w_download_addon against a local HTTP server: where it opens, its title and
// layout, new-window requests, and the downloads it saves.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <filesystem>

#include "api32/desktop/w_download_addon.hpp"
#include "api32/desktop_win32/desktop_downloads.hpp"
#include "api32/host/host_services.hpp"
#include "http_server.hpp"
#include "loop_pump.hpp"
#include "support/test_support.hpp"

namespace api32 {
namespace {

using testing::pump_until;
using testing::temp_dir;
using kind = host::download_event::kind;

const char* addon_page = R"(<html><head><title>Addons</title></head><body>
<a id="zip" href="/files/pack.zip">pack</a>
<a id="attachment" href="/files/get?id=7">named by the server</a>
<a id="broken" href="/files/broken.zip">broken</a>
<a id="popup" href="/other" target="_blank">other</a>
</body></html>)";

std::string archive_bytes() {
  std::string bytes = "PK\x03\x04";
  for (std::uint32_t i = 0, x = 12345; i < 300000; ++i) {  // incompressible filler, the same every run
    x = x * 1103515245u + 12345u;
    bytes += static_cast<char>(x >> 24);
  }
  return bytes;
}

testing::http_reply reply(std::string type, std::string body,
                          std::vector<std::pair<std::string, std::string>> headers = {},
                          std::size_t announced_length = static_cast<std::size_t>(-1)) {
  testing::http_reply r;
  r.content_type = std::move(type);
  r.body = std::move(body);
  r.headers = std::move(headers);
  r.announced_length = announced_length;
  return r;
}

class DownloadWindow : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(server.listening());
    const std::string html = "text/html; charset=utf-8";
    server.route("/addons", reply(html, addon_page));
    server.route("/other", reply(html, "<html><head><title>Other</title></head><body>other</body></html>"));
    server.route("/files/pack.zip", reply("application/zip", archive));
    server.route("/files/get?id=7", reply("text/plain", "a page the view could show",
                                          {{"Content-Disposition", R"(attachment; filename="../../evil.zip")"}}));
    server.route("/files/broken.zip", reply("application/zip", archive.substr(0, 1000), {}, 100000));
    saved = host::globals();
    host::services& host = host::globals();
    host.app_addon_url = server.url("/addons");
    host.game_name = "Morrowind";
    host.tr2 = [](const std::string& text) { return "<" + text + ">"; };
    host.download_folder = dir.windows("downloads");
    host.download_progress = [this](const host::download_event& event) { events.push_back(event); };
    window = std::make_unique<w_download_addon>();
    if (!window->ole_ie.widget()) GTEST_SKIP() << "no display";
    view = WEBKIT_WEB_VIEW(window->ole_ie.widget());
  }
  void TearDown() override {
    window.reset();
    host::globals() = saved;
  }

  bool loaded(const std::string& url) {
    return pump_until([&] {
      const char* uri = webkit_web_view_get_uri(view);
      return uri && uri == url && !webkit_web_view_is_loading(view);
    });
  }
  void click(const char* id) {
    const std::string script = std::string("document.getElementById('") + id + "').click()";
    webkit_web_view_evaluate_javascript(view, script.c_str(), -1, nullptr, nullptr, nullptr, nullptr, nullptr);
  }
  // Waits for the next download to end and returns its last report.
  host::download_event download_end() {
    const std::size_t ended_before = ended();
    pump_until([&] { return ended() > ended_before; });
    for (auto it = events.rbegin(); it != events.rend(); ++it)
      if (it->what == kind::finished || it->what == kind::failed) return *it;
    return {};
  }
  std::size_t ended() const {
    std::size_t n = 0;
    for (const auto& e : events) n += e.what == kind::finished || e.what == kind::failed;
    return n;
  }
  std::vector<std::string> folder_listing(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  const std::string archive = archive_bytes();
  testing::http_server server;
  temp_dir dir;
  host::services saved;
  std::vector<host::download_event> events;
  std::unique_ptr<w_download_addon> window;
  WebKitWebView* view = nullptr;
};

TEST_F(DownloadWindow, WithoutAnOpeningTextItShowsTheAddonPage) {
  window->open();
  EXPECT_TRUE(loaded(server.url("/addons")));
  EXPECT_EQ(window->title(), "<> - Morrowind");
  EXPECT_EQ(server.requests("/addons"), 1);
}

TEST_F(DownloadWindow, WithAnAddressItShowsThatPageInstead) {
  window->open(server.url("/other"));
  EXPECT_TRUE(loaded(server.url("/other")));
  EXPECT_EQ(window->title(), "<" + server.url("/other") + "> - Morrowind");
  EXPECT_EQ(server.requests("/addons"), 0);
}

TEST_F(DownloadWindow, KeepsTheWindowDataAndLiesOverTheInheritedButtons) {
  EXPECT_EQ(window->title(), "[APP_NAME]");
  int width = 0;
  int height = 0;
  gtk_window_get_default_size(GTK_WINDOW(window->widget()), &width, &height);
  EXPECT_EQ(width, units_to_pixels_x(3575));
  EXPECT_EQ(height, units_to_pixels_y(2788));
  window->open(server.url("/other"));
  ASSERT_TRUE(loaded(server.url("/other")));
  GtkAllocation at;
  gtk_widget_get_allocation(window->ole_ie.widget(), &at);
  EXPECT_EQ(at.x, 0);
  EXPECT_EQ(at.y, 0);
  EXPECT_EQ(at.width, units_to_pixels_x(3552));
  EXPECT_EQ(at.height, units_to_pixels_y(2692));
  // The container draws and stacks its children in order: the browser comes after both buttons.
  GList* children = gtk_container_get_children(GTK_CONTAINER(window->container()));
  EXPECT_EQ(g_list_index(children, window->ole_ie.widget()), 2);
  EXPECT_GE(g_list_index(children, window->ok()), 0);
  EXPECT_GE(g_list_index(children, window->back()), 0);
  g_list_free(children);
}

TEST_F(DownloadWindow, ANewWindowRequestLoadsInTheSameView) {
  WebKitSettings* settings = webkit_web_view_get_settings(view);
  webkit_settings_set_javascript_can_open_windows_automatically(settings, TRUE);  // a scripted click may open one
  window->open();
  ASSERT_TRUE(loaded(server.url("/addons")));
  click("popup");
  EXPECT_TRUE(loaded(server.url("/other")));
}

TEST_F(DownloadWindow, AZipLinkIsSavedWholeAndASecondCopyNeverReplacesTheFirst) {
  window->open();
  ASSERT_TRUE(loaded(server.url("/addons")));
  const std::string folder = dir / "downloads";
  click("zip");
  host::download_event first = download_end();
  ASSERT_EQ(first.what, kind::finished) << first.error;
  EXPECT_EQ(first.file, dir.windows("downloads/pack.zip"));
  EXPECT_EQ(first.url, server.url("/files/pack.zip"));
  EXPECT_EQ(first.received, archive.size());
  EXPECT_EQ(testing::read_file(folder + "/pack.zip"), archive);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front().what, kind::started);

  testing::write_file(folder + "/pack.zip", "the user's own file");
  testing::write_file(folder + "/pack (1).zip", "another one");
  click("zip");
  host::download_event second = download_end();
  ASSERT_EQ(second.what, kind::finished) << second.error;
  EXPECT_EQ(second.file, dir.windows("downloads/pack (2).zip"));
  EXPECT_EQ(testing::read_file(folder + "/pack.zip"), "the user's own file");
  EXPECT_EQ(testing::read_file(folder + "/pack (2).zip"), archive);
  EXPECT_EQ(folder_listing(folder), (std::vector<std::string>{"pack (1).zip", "pack (2).zip", "pack.zip"}));
}

TEST_F(DownloadWindow, AnAttachmentIsSavedUnderItsLastNameComponentInsideTheFolder) {
  window->open();
  ASSERT_TRUE(loaded(server.url("/addons")));
  click("attachment");
  host::download_event end = download_end();
  ASSERT_EQ(end.what, kind::finished) << end.error;
  EXPECT_EQ(folder_listing(dir / "downloads"), std::vector<std::string>{"evil.zip"});
  EXPECT_EQ(testing::read_file(dir / "downloads/evil.zip"), "a page the view could show");
  EXPECT_EQ(folder_listing(dir.path()), std::vector<std::string>{"downloads"});
}

TEST_F(DownloadWindow, ABrokenDownloadIsReportedAndLeavesNoFile) {
  window->open();
  ASSERT_TRUE(loaded(server.url("/addons")));
  click("broken");
  host::download_event end = download_end();
  EXPECT_EQ(end.what, kind::failed);
  EXPECT_FALSE(end.error.empty());
  EXPECT_EQ(end.file, dir.windows("downloads/broken.zip"));
  EXPECT_TRUE(folder_listing(dir / "downloads").empty());
}

TEST(DownloadNames, OnlyTheLastComponentWithoutControlsAndLeadingDots) {
  struct name_case {
    std::string suggested;
    std::string saved;
  };
  const std::string long_stem(300, 'n');
  const name_case cases[] = {
      {"pack.zip", "pack.zip"},
      {"../../evil.zip", "evil.zip"},
      {"..\\..\\Windows\\evil.zip", "evil.zip"},
      {"C:\\addons\\pack.rar", "pack.rar"},
      {"/etc/passwd", "passwd"},
      {".bashrc", "bashrc"},
      {"...", "download"},
      {"", "download"},
      {"folder/", "download"},
      {"a\x01\x1f\x7f"
       "b\tc.zip",
       "abc.zip"},
      {"say \"hi\".zip", "say hi.zip"},  // no Windows file name holds a quotation mark
      {"caf\xC3\xA9.zip", "caf\xC3\xA9.zip"},
      {"bad\xFF.zip", "bad\xEF\xBF\xBD.zip"},
      {long_stem + ".zip", std::string(196, 'n') + ".zip"},
  };
  for (const auto& c : cases) EXPECT_EQ(win32::safe_download_name(c.suggested), c.saved) << c.suggested;
}

TEST(DownloadNames, APartialFileIsHiddenAndCommittingNeverReplaces) {
  temp_dir dir;
  auto partial = win32::create_partial_file(dir.path(), "a.zip");
  ASSERT_TRUE(partial);
  EXPECT_EQ(std::filesystem::path(*partial).filename().string().front(), '.');
  testing::write_file(*partial, "new");
  testing::write_file(dir / "a.zip", "old");
  auto final_path = win32::commit_download(*partial, dir.path(), "a.zip");
  ASSERT_TRUE(final_path);
  EXPECT_EQ(*final_path, dir / "a (1).zip");
  EXPECT_EQ(testing::read_file(dir / "a.zip"), "old");
  EXPECT_EQ(testing::read_file(dir / "a (1).zip"), "new");
  EXPECT_FALSE(testing::exists(*partial));
  // a link planted at the next free name is not written through: the name counts as taken
  std::filesystem::create_directories(dir / "outside");
  std::filesystem::create_symlink(dir / "outside/b.zip", dir / "b.zip");
  auto second = win32::create_partial_file(dir.path(), "b.zip");
  ASSERT_TRUE(second);
  EXPECT_EQ(win32::commit_download(*second, dir.path(), "b.zip"), dir / "b (1).zip");
  EXPECT_TRUE(testing::tree(dir / "outside").empty());
  EXPECT_TRUE(win32::remove_partial_file(dir / "missing.part"));
}

TEST(BrowserAddress, CompletedAsTheBrowserControlDoes) {
  struct address_case {
    std::string given;
    std::string loaded;
  };
  const address_case cases[] = {
      {"https://example.org/addons?game=1", "https://example.org/addons?game=1"},
      {"about:blank", "about:blank"},
      {"example.org/addons", "http://example.org/addons"},
      {"Z:\\tmp\\page one.html", "file:///tmp/page%20one.html"},
      {"/tmp/page.html", "file:///tmp/page.html"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(browser_control::complete_address(c.given), c.loaded) << c.given;
}

TEST(DownloadWindowOpen, NavigatesThenTitlesFromTheOpeningText) {
  // Runs with or without a display: the open event does not depend on the view being shown.
  host::services saved = host::globals();
  host::globals().app_addon_url = "https://addons.example/game";
  host::globals().game_name = "Oblivion";
  host::globals().tr2 = [](const std::string& text) { return text.empty() ? "Add-ons" : "[" + text + "]"; };
  {
    w_download_addon window;
    window.open();
    EXPECT_EQ(window.ole_ie.navigated_url(), "https://addons.example/game");
    EXPECT_EQ(window.title(), "Add-ons - Oblivion");
  }
  {
    w_download_addon window;
    window.open("https://mirror.example/x");
    EXPECT_EQ(window.ole_ie.navigated_url(), "https://mirror.example/x");
    EXPECT_EQ(window.title(), "[https://mirror.example/x] - Oblivion");
  }
  host::globals() = saved;
}

}  // namespace
}  // namespace api32
