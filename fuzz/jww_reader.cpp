// Feeds arbitrary bytes to the JWW and JWS readers held in memory and checks
// what a read must leave behind whatever the input: lists that agree with
// their counts and a block tree within its bounds. Embedded images are listed
// but never written.
#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/jww/jws_data.h"
#include "formats/jww/jww_data.h"

namespace {

void Check(const zumen::TJwwBody& b, size_t size) {
  size_t entities = 0;
  for (int kind = 1; kind <= 7; ++kind) entities += b.CountOf(kind);
  if (b.EntNo.size() != entities) __builtin_trap();
  for (const auto& n : b.EntNo)
    if (n.EntType < 1 || n.EntType > 7 || static_cast<size_t>(n.EntNo) >= b.CountOf(n.EntType)) __builtin_trap();
  for (const auto& d : b.EntBlockDef) {
    const size_t members = d.mLineN() + d.mEnkoN() + d.mTenN() + d.mMojiN() + d.mSunpoN() + d.mSolidN() + d.mBlockN();
    if (d.mNo.size() != members || d.mNo.size() > d.N) __builtin_trap();
  }
  if (b.EntBlockTreeN() > zumen::kJwwMaxBlockTreeNodes + b.EntBlockN()) __builtin_trap();
  for (const auto& n : b.EntBlockTree)
    if (n.level > zumen::kJwwMaxBlockLevel || n.defno >= static_cast<int>(b.EntBlockDefN())) __builtin_trap();
  // Every object of the entity list takes file bytes: the list cannot hold
  // more objects than the input has bytes.
  if (static_cast<size_t>(b.ObjectsRead) > size) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> in(data, size);
  {
    zumen::TJwwData d;
    d.BindImageExp = false;
    d.BindImageExr = true;
    (void)zumen::TJwwData::FileCheckBytes(in);
    const bool ok = d.FileInBytes(in);
    if (ok != d.LastError().empty() || d.BytesRead > size) __builtin_trap();
    Check(d.Body, size);
  }
  {
    zumen::TJwsData s;
    (void)zumen::TJwsData::FileCheckBytes(in);
    const bool ok = s.FileInBytes(in);
    if (ok != s.LastError().empty() || s.BytesRead > size) __builtin_trap();
    Check(s.Body, size);
  }
  return 0;
}
