// A program outside zumen that uses the installed library: it converts the
// drawing named first into the picture named second, and prints the
// drawing's format and the picture's size.
#include <zumen/zumen.h>

#include <iostream>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: consumer DRAWING PICTURE\n";
    return 2;
  }
  zumen::Opened opened = zumen::Drawing::Open(argv[1]);
  if (!opened) {
    std::cerr << opened.status.message << '\n';
    return 1;
  }
  zumen::RenderOptions options;
  options.width = 320;
  options.height = 226;
  const zumen::RenderResult r = zumen::Render(opened.drawing, options, zumen::Output::File(argv[2]));
  if (!r) {
    std::cerr << r.status.message << '\n';
    return 1;
  }
  std::cout << zumen::FormatName(opened.drawing.format()) << ' ' << r.width << 'x' << r.height << " zumen "
            << zumen::Version() << '\n';
  return 0;
}
