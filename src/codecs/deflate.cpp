#include "codecs/deflate.h"

#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <atomic>
#include <new>
#include <thread>

namespace zumen {

namespace {

constexpr uint32_t kLevelBufferBytes = ISAL_DEF_LVL3_DEFAULT;

}  // namespace

DeflatedSegment DeflateSegment(std::span<const uint8_t> input, bool last, DeflateScratch& scratch) {
  DeflatedSegment seg;
  seg.inputBytes = input.size();
  try {
    // igzip's hash tables and list of found matches, fresh for every
    // segment: what it finds, and so the bytes it writes, must not depend on
    // the segment before.
    if (!scratch.levelBuffer) scratch.levelBuffer = std::make_unique<uint8_t[]>(kLevelBufferBytes);
    std::fill_n(scratch.levelBuffer.get(), kLevelBufferBytes, uint8_t{0});
    // Room for stored blocks when nothing compresses, and the flush; the
    // room offered depends on the input alone, so that the bytes do too.
    std::vector<uint8_t>& buf = scratch.out;
    size_t room = input.size() + input.size() / 64 + 1024;
    if (buf.size() < room) buf.resize(room);
    // igzip merges its bits into the bytes it writes over: they start as zeros.
    std::fill_n(buf.begin(), room, uint8_t{0});
    isal_zstream s{};
    isal_deflate_init(&s);
    s.level = 3;
    s.level_buf = scratch.levelBuffer.get();
    s.level_buf_size = kLevelBufferBytes;
    s.gzip_flag = IGZIP_DEFLATE;
    // igzip counts its input in 32 bits: long segments go in parts.
    size_t in = 0;
    size_t out = 0;
    while (true) {
      const size_t part = std::min<size_t>(input.size() - in, uint32_t{1} << 30);
      s.next_in = const_cast<uint8_t*>(input.data() + in);
      s.avail_in = static_cast<uint32_t>(part);
      s.end_of_stream = (last && in + part == input.size()) ? 1 : 0;
      s.flush = (!last && in + part == input.size()) ? FULL_FLUSH : NO_FLUSH;
      do {
        if (room - out < 1024) {
          room *= 2;
          if (buf.size() < room) buf.resize(room);
          std::fill(buf.begin() + static_cast<std::ptrdiff_t>(out), buf.begin() + static_cast<std::ptrdiff_t>(room), uint8_t{0});
        }
        s.next_out = buf.data() + out;
        s.avail_out = static_cast<uint32_t>(std::min<size_t>(room - out, uint32_t{1} << 30));
        const uint32_t before = s.avail_out;
        if (isal_deflate(&s) != COMP_OK) {
          seg.ok = false;
          return seg;
        }
        out += before - s.avail_out;
        // Done with this part once igzip stopped for want of input, not of
        // room: then everything, flush or final block included, is out.
      } while (s.avail_in > 0 || s.avail_out == 0);
      in += part;
      if (in == input.size()) break;
    }
    seg.bytes.assign(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(out));
    seg.adler = isal_adler32(1, input.data(), input.size());
  } catch (const std::bad_alloc&) {
    seg.ok = false;
  }
  return seg;
}

uint32_t CombineAdler(uint32_t a, uint32_t b, size_t bInputBytes) {
  return static_cast<uint32_t>(adler32_combine64(a, b, static_cast<z_off64_t>(bInputBytes)));
}

int ThreadsFor(int asked) { return asked > 0 ? std::min(asked, 64) : EncoderThreads(); }

int EncoderThreads() { return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 64u)); }

void RunParallel(size_t count, int threads, const std::function<void(size_t, size_t)>& work) {
  const size_t helpers = std::min<size_t>(count, static_cast<size_t>(std::max(threads, 1))) - (count > 0 ? 1 : 0);
  std::atomic<size_t> next{0};
  auto run = [&](size_t worker) {
    for (size_t i = next++; i < count; i = next++) work(i, worker);
  };
  std::vector<std::thread> pool;
  pool.reserve(helpers);
  for (size_t i = 0; i < helpers; ++i) {
    try {
      pool.emplace_back(run, i + 1);
    } catch (const std::system_error&) {
      break;  // no more threads: the ones there do the work
    }
  }
  run(0);
  for (std::thread& t : pool) t.join();
}

namespace {

void PutAdler(uint32_t adler, std::vector<uint8_t>& out) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(adler >> shift));
}

}  // namespace

std::vector<uint8_t> ZlibStream(std::span<const uint8_t> input, DeflateScratch& scratch) {
  DeflatedSegment seg = DeflateSegment(input, true, scratch);
  if (!seg.ok) return {};
  std::vector<uint8_t> out;
  out.reserve(seg.bytes.size() + 6);
  out.insert(out.end(), std::begin(kZlibHeader), std::end(kZlibHeader));
  out.insert(out.end(), seg.bytes.begin(), seg.bytes.end());
  PutAdler(seg.adler, out);
  return out;
}

std::vector<uint8_t> ZlibCompress(std::span<const uint8_t> input_, size_t segmentBytes) {
  std::vector<uint8_t> padded(input_.begin(), input_.end());
  padded.resize(input_.size() + kDeflateInputPadding, 0);
  const std::span<const uint8_t> input = std::span<const uint8_t>(padded).first(input_.size());
  segmentBytes = std::max<size_t>(segmentBytes, 1);
  const size_t count = std::max<size_t>(1, (input.size() + segmentBytes - 1) / segmentBytes);
  std::vector<DeflatedSegment> segs(count);
  std::vector<DeflateScratch> scratch(static_cast<size_t>(EncoderThreads()));
  RunParallel(count, EncoderThreads(), [&](size_t i, size_t worker) {
    const size_t from = std::min(input.size(), i * segmentBytes);
    const size_t to = std::min(input.size(), from + segmentBytes);
    segs[i] = DeflateSegment(input.subspan(from, to - from), i + 1 == count, scratch[worker]);
  });
  std::vector<uint8_t> out(std::begin(kZlibHeader), std::end(kZlibHeader));
  uint32_t adler = 1;
  for (const DeflatedSegment& s : segs) {
    if (!s.ok) return {};
    out.insert(out.end(), s.bytes.begin(), s.bytes.end());
    adler = CombineAdler(adler, s.adler, s.inputBytes);
  }
  PutAdler(adler, out);
  return out;
}

}  // namespace zumen
