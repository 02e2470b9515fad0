// The pieces of `zumen serve` that need no network: the query parameters it
// takes, its own options, and the conversion slots.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "serve/admission.h"
#include "serve/request_options.h"
#include "serve/serve_command.h"

namespace zumen_serve {
namespace {

TEST(ServeOptions, LayerSelections) {
  struct Case {
    const char* text;
    bool ok;
    std::vector<int> layers;
  } cases[] = {
      {"", true, {}},
      {"5", true, {5}},
      {"0-3,32", true, {0, 1, 2, 3, 32}},
      {"32,0-2,1", true, {0, 1, 2, 32}},  // sorted, once each
      {"255", true, {255}},
      {"240-255", true, {240, 241, 242, 243, 244, 245, 246, 247, 248, 249, 250, 251, 252, 253, 254, 255}},
      {"256", false, {}},
      {"-1", false, {}},
      {"3-1", false, {}},
      {"1,", false, {}},
      {",1", false, {}},
      {"1-", false, {}},
      {"a", false, {}},
      {"1 ,2", false, {}},
  };
  for (const Case& c : cases) {
    std::vector<int> layers{99};
    EXPECT_EQ(ParseLayers(c.text, layers), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(layers, c.layers) << c.text;
    }
  }
}

TEST(ServeOptions, RequestParametersBecomeTheCommandsSettings) {
  ServiceLimits limits;
  limits.max_pixels = 1000;
  limits.threads = 1;
  RequestSettings s;
  const std::multimap<std::string, std::string> params{
      {"format", "jpg"}, {"size", "30x20"},        {"background", "black"}, {"frame", "false"},
      {"quality", "40"}, {"monochrome", "yes"},    {"fit", "extents"},      {"layers", "1-2"},
      {"name", "dir/a plan.JWC"}, {"timeout", "2.5"}};
  ASSERT_EQ(MakeRequestSettings(params, "convert", limits, s), "");
  const zumen::RenderOptions& r = s.convert.render;
  EXPECT_EQ(s.convert.output, zumen::OutputType::Jpeg);
  EXPECT_EQ((std::pair{r.width, r.height}), (std::pair{30, 20}));
  EXPECT_EQ(r.background, zumen::Background::Black);
  EXPECT_FALSE(r.frame);
  EXPECT_TRUE(r.monochrome);
  EXPECT_EQ(r.fit, zumen::Fit::Extents);
  EXPECT_EQ(r.encoder.quality, 40);
  EXPECT_EQ(r.layers, (std::vector<int>{1, 2}));
  EXPECT_EQ(r.max_pixels, 1000u);
  EXPECT_EQ(r.threads, 1);
  EXPECT_EQ(s.convert.load.format, zumen::Format::Jwc);
  EXPECT_EQ(s.stem, "a plan");
  EXPECT_EQ(s.timeout, 2.5);

  // Each endpoint takes its own parameters; the picture's options belong to convert.
  RequestSettings t;
  EXPECT_NE(MakeRequestSettings({{"size", "30x20"}}, "info", limits, t), "");
  EXPECT_EQ(MakeRequestSettings({{"layers", "3"}}, "text", limits, t), "");
  EXPECT_NE(MakeRequestSettings({{"layers", "3"}}, "info", limits, t), "");
  EXPECT_NE(MakeRequestSettings({{"dpi", "100"}, {"dpi", "200"}}, "convert", limits, t), "");
}

TEST(ServeOptions, NamesGiveSafeFileNames) {
  for (const auto& [name, stem] : std::initializer_list<std::pair<const char*, const char*>>{
           {"plan.jww", "plan"},
           {"../../etc/passwd", "passwd"},
           {"C:\\plans\\a.jww", "a"},
           {"a\"b;c.jww", "a_b_c"},
           {"line\r\nbreak.jww", "line__break"},
           {"..", "drawing"},
           {"", "drawing"},
           {".jww", ".jww"},
           {"平面図.jww", "平面図"}}) {
    EXPECT_EQ(SafeStem(name), stem) << name;
  }
}

TEST(ServeOptions, ListenAddressesAndSizes) {
  std::string host;
  int port = -1;
  EXPECT_TRUE(ParseListen("127.0.0.1:8080", host, port));
  EXPECT_EQ((std::pair{host, port}), (std::pair{std::string("127.0.0.1"), 8080}));
  EXPECT_TRUE(ParseListen("[::1]:0", host, port));
  EXPECT_EQ((std::pair{host, port}), (std::pair{std::string("::1"), 0}));
  for (const char* bad : {"8080", ":8080", "::1:8080", "[::1]", "host:", "host:65536", "host:-1", "host:80x"}) {
    EXPECT_FALSE(ParseListen(bad, host, port)) << bad;
  }
  unsigned long long bytes = 0;
  for (const auto& [text, expected] : std::initializer_list<std::pair<const char*, unsigned long long>>{
           {"1", 1}, {"500k", 500ull << 10}, {"64M", 64ull << 20}, {"2GiB", 2ull << 30}, {"10mb", 10ull << 20}}) {
    EXPECT_TRUE(ParseByteSize(text, bytes)) << text;
    EXPECT_EQ(bytes, expected) << text;
  }
  for (const char* bad : {"", "0", "M", "12X", "-1", "1.5M", "99999999999999999G"}) {
    EXPECT_FALSE(ParseByteSize(bad, bytes)) << bad;
  }
}

TEST(ServeAdmission, SlotsThenQueueThenRefusal) {
  using namespace std::chrono_literals;
  Admission a(1, 1);
  const auto later = Admission::Clock::now() + 60s;
  ASSERT_EQ(a.Enter(later, nullptr), Admission::Entry::Admitted);
  // The queue holds one; a second waiter is refused at once.
  Admission::Entry waited{};
  std::thread waiter([&] { waited = a.Enter(later, nullptr); });
  while (a.waiting() == 0) std::this_thread::yield();
  EXPECT_EQ(a.Enter(later, nullptr), Admission::Entry::Full);
  // The slot passes to the waiter when it is left.
  a.Leave();
  waiter.join();
  EXPECT_EQ(waited, Admission::Entry::Admitted);
  EXPECT_EQ(a.running(), 1);
  // A waiter gives up at its deadline, or when its client is gone.
  EXPECT_EQ(a.Enter(Admission::Clock::now() + 10ms, nullptr), Admission::Entry::TimedOut);
  EXPECT_EQ(a.Enter(later, [] { return true; }), Admission::Entry::Gone);
  EXPECT_EQ(a.waiting(), 0);
  // Closing wakes the waiters and admits nobody after.
  std::thread closed([&] { waited = a.Enter(later, nullptr); });
  while (a.waiting() == 0) std::this_thread::yield();
  a.Close();
  closed.join();
  EXPECT_EQ(waited, Admission::Entry::Closed);
  a.Leave();
  EXPECT_EQ(a.Enter(later, nullptr), Admission::Entry::Closed);
}

}  // namespace
}  // namespace zumen_serve
