// A drawing is read into memory when it is opened, the images it carries and
// places with it: opening and rendering write no file but the picture.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "codecs/image_io.h"
#include "support/jww_writer.h"
#include "support/temp_dir.h"
#include "zumen/zumen.h"

namespace zumen {
namespace {

using testing::TempDir;

// Watches folders for files made in them (created, or moved in).
class Watch {
 public:
  explicit Watch(const std::vector<std::string>& folders) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    for (const std::string& f : folders) inotify_add_watch(fd_, f.c_str(), IN_CREATE | IN_MOVED_TO);
  }
  ~Watch() { ::close(fd_); }
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;

  // The names of what was made since the watch began.
  std::vector<std::string> Made() {
    std::vector<std::string> names;
    alignas(inotify_event) char buf[4096];
    for (ssize_t n; (n = ::read(fd_, buf, sizeof buf)) > 0;) {
      for (char* p = buf; p < buf + n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(p);
        if (e->len > 0) names.emplace_back(e->name);
        p += sizeof(inotify_event) + e->len;
      }
    }
    return names;
  }

 private:
  int fd_;
};

std::vector<uint8_t> Png(uint32_t argb) {
  std::vector<uint8_t> png;
  EXPECT_TRUE(EncodeImage(ViewOf(Bitmap(8, 4, argb)), ImageFormat::Png, png));
  return png;
}

TEST(InMemory, OpeningAndDrawingADrawingWithImagesWritesNoFile) {
  TempDir t;
  const std::string tmp = t / "tmp", folder = t / "drawing";
  std::filesystem::create_directories(tmp);
  std::filesystem::create_directories(folder);
  // An embedded image (stored gzip-compressed and as it is) and one placed
  // beside the drawing.
  JwwWriter w(700);
  w.Paper(3);
  for (auto& g : w.head.EntLgrp) g.anGLay = 2;
  for (auto& l : w.head.EntLay) l.aanLay = 2;
  w.Text(-100, 0, u"^@BM%temp%inside.png,80,40");
  w.Text(0, 0, u"^@BM%temp%plain.png,80,40");
  w.Text(100, 0, u"^@BMbeside.png,80,40");
  w.Image(u"inside.png.gz", Png(0xFFFF0000));
  w.Image(u"plain.png", Png(0xFF00FF00), false);
  const std::string path = folder + "/plan.jww";
  ASSERT_TRUE(w.Save(path));
  {
    const std::vector<uint8_t> beside = Png(0xFF0000FF);
    std::ofstream(folder + "/beside.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(beside.data()), static_cast<std::streamsize>(beside.size()));
  }

  const char* before = std::getenv("TMPDIR");
  const std::string saved = before ? before : "";
  setenv("TMPDIR", tmp.c_str(), 1);
  Watch watch({tmp, folder, std::filesystem::current_path().string(), std::filesystem::temp_directory_path().string()});
  const Opened opened = Drawing::Open(path);
  ASSERT_TRUE(opened) << opened.status.message;
  // The placed image was read with the drawing: removing its file changes
  // nothing any more.
  std::filesystem::remove(folder + "/beside.png");
  std::vector<uint8_t> png;
  const RenderResult r = Render(opened.drawing, {}, Output::Memory(OutputType::Png, png));
  ASSERT_TRUE(r) << r.status.message;
  EXPECT_TRUE(r.diagnostics.empty()) << r.diagnostics[0].message;
  std::vector<uint8_t> dxf;
  ASSERT_TRUE(Render(opened.drawing, {}, Output::Memory(OutputType::Dxf, dxf)));
  if (before) setenv("TMPDIR", saved.c_str(), 1);
  else unsetenv("TMPDIR");
  EXPECT_EQ(watch.Made(), std::vector<std::string>{});

  // All three images are in the picture.
  const LoadedImage img = LoadImageMemory(png);
  ASSERT_TRUE(img.ok()) << img.error;
  int red = 0, green = 0, blue = 0;
  for (uint32_t p : img.bitmap.pixels) {
    red += p == 0xFFFF0000;
    green += p == 0xFF00FF00;
    blue += p == 0xFF0000FF;
  }
  EXPECT_GT(red, 100);
  EXPECT_GT(green, 100);
  EXPECT_GT(blue, 100);
}

}  // namespace
}  // namespace zumen
