// Writes the fixture drawings of every entity kind of every family into a
// folder, for comparing what two builds make of them (bench/outputs.sh).
//
//   make_fixtures DIR
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/fixtures.h"

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: make_fixtures DIR\n");
    return 2;
  }
  std::error_code ec;
  std::filesystem::create_directories(argv[1], ec);
  for (const zumen::test::Fixture& f : zumen::test::EveryKindFixtures()) {
    const std::string path = std::string(argv[1]) + "/" + f.name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(f.bytes.data()), static_cast<std::streamsize>(f.bytes.size()));
    if (!out) {
      std::fprintf(stderr, "make_fixtures: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
