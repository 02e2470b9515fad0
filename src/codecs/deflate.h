#pragma once
// One zlib stream (RFC 1950) made of independently compressed segments, as
// parallel gzip tools make theirs: every segment but the last is deflated on
// its own and ends with a full flush (an empty stored block that ends on a
// byte boundary, with no reference back into the segment before), the last
// one ends with the final block, and the stream's Adler-32 is combined from
// the segments' own. So the segments can be compressed on all cores at once
// and simply written one after the other. Deflate is ISA-L's igzip at its
// level 3 (bench/png.cpp compares the choices). igzip's levels 1 and 2 are
// not used: on processors with AVX-512 they pick among equally valid
// encodings differently from one process to the next, and the same drawing
// must always give the same bytes; level 0 is as fast but its files are
// almost twice as large on line drawings.
#include <isa-l/igzip_lib.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace zumen {

// The two bytes that open the stream.
inline constexpr uint8_t kZlibHeader[2] = {0x78, 0x01};

struct DeflatedSegment {
  std::vector<uint8_t> bytes;  // raw deflate data
  uint32_t adler = 1;          // Adler-32 of the segment's input
  size_t inputBytes = 0;
  bool ok = true;              // false: igzip failed (out of memory)
};

// The working memory of one thread's deflating, kept from one segment to the
// next: fresh memory for every segment costs more than deflating it.
struct DeflateScratch {
  std::unique_ptr<uint8_t[]> levelBuffer;  // igzip's hash tables and matches
  std::vector<uint8_t> out;
};

// Bytes after a segment's input that igzip may read (and that then must be
// the same every time, for the same bytes out): callers keep this many
// zeros after the input in their buffer.
inline constexpr size_t kDeflateInputPadding = 512;
inline constexpr size_t kDeflateInputAlignment = 4096;

// Deflates one segment of the stream; last ends the stream. The input is
// followed by kDeflateInputPadding zeros in its buffer.
DeflatedSegment DeflateSegment(std::span<const uint8_t> input, bool last, DeflateScratch& scratch);

// The Adler-32 of a stream whose input is a's followed by b's.
uint32_t CombineAdler(uint32_t a, uint32_t b, size_t bInputBytes);

// The number of threads that work on one picture's encoding: the cores.
int EncoderThreads();
// The threads asked for (up to 64), or for 0 (or less) the cores.
int ThreadsFor(int asked);

// Runs work(0, w) ... work(count - 1, w) on up to threads threads (the
// calling one among them), in no particular order; w (below threads) tells
// the threads apart, for their own working memory.
void RunParallel(size_t count, int threads, const std::function<void(size_t item, size_t worker)>& work);

// The stream of one segment: header, deflate data and Adler-32. Empty on
// failure.
std::vector<uint8_t> ZlibStream(std::span<const uint8_t> input, DeflateScratch& scratch);

// The stream of a whole buffer (one call, segments of segmentBytes on all
// cores). Empty on failure.
std::vector<uint8_t> ZlibCompress(std::span<const uint8_t> input, size_t segmentBytes = size_t{1} << 20);

}  // namespace zumen
