// The open-file dialog on a real display: GTK's file chooser shown by uo_nv_getopenfilename, driven from
// inside the test process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api32/desktop/uo_nv_getopenfilename.hpp"
#include "api32/desktop_win32/desktop_dialog.hpp"
#include "api32/desktop_win32/window.hpp"
#include "api32/win32/handles.hpp"
#include "gui_driver.hpp"
#include "support/test_support.hpp"
#include "tools/api32/desktop/open_files_command.hpp"

using api32::testing::chooser_driver;
using api32::testing::recorded_boxes;
using api32::testing::temp_dir;
using api32::testing::write_file;

namespace {

struct open_file_dialog : ::testing::Test {
  void SetUp() override {
    if (!api32::testing::gui_available()) GTEST_SKIP() << "no display";
    api32::win32::set_file_chooser(nullptr);  // the GTK dialog
  }

  temp_dir dir;
  recorded_boxes boxes;
  api32::uo_nv_getopenfilename o;
  std::vector<std::string> paths, names;

  void files(std::initializer_list<std::string> names_to_make) {
    for (const auto& n : names_to_make) write_file(dir / n, "x");
  }
};

}  // namespace

TEST_F(open_file_dialog, OneFile) {
  files({"mod.zip", "readme.txt"});
  chooser_driver driver(dir.path(), 1);
  EXPECT_EQ(o.of_getopenfilename(0, "Choose an add-on", paths, names, "Add-ons,*.zip;*.rar,All files,*.*"), 1);
  EXPECT_TRUE(driver.answered()) << "rows seen: " << driver.rows_seen();
  EXPECT_EQ(driver.title(), "Choose an add-on");
  EXPECT_EQ(paths, std::vector<std::string>{dir.windows("mod.zip")});
  EXPECT_EQ(names, std::vector<std::string>{"mod.zip"});
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(open_file_dialog, ThreeFilesInOneFolderThenACancelOnTheSameObject) {
  files({"c.zip", "a.zip", "b.zip", "notes.txt"});
  {
    chooser_driver driver(dir.path(), 3);
    EXPECT_EQ(o.of_getopenfilename(0, "t", paths, names, "Add-ons,*.zip"), 1);
    EXPECT_TRUE(driver.answered()) << "rows seen: " << driver.rows_seen();
  }
  // the dialog lists by name, and that order is kept
  EXPECT_EQ(paths, (std::vector<std::string>{dir.windows("a.zip"), dir.windows("b.zip"), dir.windows("c.zip")}));
  EXPECT_EQ(names, (std::vector<std::string>{"a.zip", "b.zip", "c.zip"}));

  chooser_driver cancel(dir.path(), 0, false);
  EXPECT_EQ(o.of_getopenfilename(0, "t", paths, names, "Add-ons,*.zip"), 0);
  EXPECT_TRUE(cancel.answered());
  EXPECT_TRUE(paths.empty());
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(open_file_dialog, NonAsciiTitleAndFileName) {
  const std::string name =
      "\xC3\x9C"
      "berweisung \xC3\x9F \xE2\x80\x93 Add-on.zip";  // Überweisung ß – Add-on.zip
  files({name});
  const std::string title = "Add-on w\xC3\xA4hlen \xE2\x80\x94 \xC3\x84\xC3\x96\xC3\x9C";
  chooser_driver driver(dir.path(), 1);
  EXPECT_EQ(o.of_getopenfilename(0, title, paths, names, "Add-ons,*.zip"), 1);
  EXPECT_EQ(driver.title(), title);
  EXPECT_EQ(paths, std::vector<std::string>{dir.windows(name)});
  EXPECT_EQ(names, std::vector<std::string>{name});
}

TEST_F(open_file_dialog, PatternsMatchWithoutRegardToCase) {
  files({"MOD.ZIP", "Pack.Rar", "notes.txt", "zip"});
  chooser_driver driver(dir.path(), 2);
  EXPECT_EQ(o.of_getopenfilename(0, "t", paths, names, "Add-ons,*.zip;*.rar,All files,*.*"), 1);
  EXPECT_TRUE(driver.answered()) << "rows seen: " << driver.rows_seen();
  EXPECT_EQ(names, (std::vector<std::string>{"MOD.ZIP", "Pack.Rar"}));
}

TEST_F(open_file_dialog, AChoiceTooLongForTheBlock) {
  // 140 names of 243 bytes: about 34,000 bytes, more than the 32,767 of the result block
  for (int i = 0; i < 140; ++i) write_file(dir / (std::string(240, 'n') + std::to_string(100 + i)), "");
  chooser_driver driver(dir.path(), 140);
  EXPECT_EQ(o.of_getopenfilename(0, "t", paths, names, ""), -1);
  EXPECT_TRUE(driver.answered()) << "rows seen: " << driver.rows_seen();
  EXPECT_TRUE(paths.empty());
  EXPECT_TRUE(names.empty());
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0],
            (api32::message{"Common Dialog Error", "Error code: 12291", api32::msg_icon::information}));
}

TEST_F(open_file_dialog, ModalToItsOwnerWindow) {
  files({"mod.zip"});
  api32::window owner("Owner", 2000, 1200);
  owner.open();
  struct seen_dialog {
    bool seen = false;
    GtkWindow* parent = nullptr;
    bool modal = false;
  } seen;
  chooser_driver driver(dir.path(), 1);
  guint probe = g_timeout_add(
      10,
      +[](gpointer out) -> gboolean {
        GtkWidget* d = api32::testing::find_mapped_toplevel(GTK_TYPE_FILE_CHOOSER_DIALOG);
        if (d == nullptr) return G_SOURCE_CONTINUE;
        auto* s = static_cast<seen_dialog*>(out);
        s->seen = true;
        s->parent = gtk_window_get_transient_for(GTK_WINDOW(d));
        s->modal = gtk_window_get_modal(GTK_WINDOW(d));
        return G_SOURCE_REMOVE;
      },
      &seen);
  EXPECT_EQ(o.of_getopenfilename(static_cast<std::int32_t>(owner.hwnd()), "t", paths, names, ""), 1);
  if (!seen.seen) g_source_remove(probe);
  EXPECT_TRUE(seen.seen);
  EXPECT_EQ(seen.parent, GTK_WINDOW(owner.widget()));
  EXPECT_TRUE(seen.modal);
  EXPECT_EQ(names, std::vector<std::string>{"mod.zip"});
}

TEST_F(open_file_dialog, TheOpenFilesCommand) {
  files({"a.zip", "b.rar", "c.txt"});
  chooser_driver driver(dir.path(), 2);
  EXPECT_EQ(api32::desktop::run_open_files("Add-ons", "Add-ons,*.zip;*.rar,All files,*.*", paths, names), 1);
  EXPECT_EQ(driver.title(), "Add-ons");
  EXPECT_EQ(paths, (std::vector<std::string>{dir.windows("a.zip"), dir.windows("b.rar")}));
  EXPECT_EQ(names, (std::vector<std::string>{"a.zip", "b.rar"}));
}
