// cmd_image.cpp - tga2bmp.
#include <string>

#include "api32/image/tga_to_bmp.hpp"
#include "commands.hpp"
#include "host_setup.hpp"

namespace api32::tool {

void add_image_commands(CLI::App& app, int& status) {
  static std::string src, dest, desta;
  auto* t = app.add_subcommand("tga2bmp", "convert a TGA image to a 24-bit BMP (and its alpha to an 8-bit BMP)");
  t->add_option("SRC", src, "the TGA file")->required();
  t->add_option("DEST", dest, "the colour BMP to write")->required();
  t->add_option("DESTA", desta, "the alpha BMP to write (optional)");
  t->callback([&status] {
    int rc = api32::image::tga_to_bmps(windows_path(src), windows_path(dest), desta.empty() ? "" : windows_path(desta));
    if (rc == api32::image::tga_source_unreadable) fail("not a readable TGA image: " + src);
    if (rc == api32::image::tga_destination_failed) fail("cannot write the BMP output");
    status = rc == api32::image::tga_converted ? 0 : 1;
  });
}

}  // namespace api32::tool
