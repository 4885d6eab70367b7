// A count written in a .X file is only a claim: the guard may reserve room by it, but
// never more than the rest of the file could fill, so a small damaged file cannot make
// it ask for hundreds of megabytes. The largest single allocation is watched through
// replaced global allocation functions (this program holds nothing else).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "platform/model/xfile_check.h"

namespace {

std::atomic<bool> watching{false};
std::atomic<size_t> largest{0};

void* Allocate(size_t size) {
  if (watching.load(std::memory_order_relaxed)) {
    size_t seen = largest.load(std::memory_order_relaxed);
    while (size > seen && !largest.compare_exchange_weak(seen, size)) {
    }
  }
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

using platform::model::detail::CheckXFileBytes;
using platform::model::detail::FileFacts;

// A text mesh of `vertices` real vertices and one real face; `tail` follows the face
// list inside the mesh.
std::string MeshWith(int vertices, const std::string& tail) {
  std::string text = "xof 0303txt 0032\nMesh M {\n" + std::to_string(vertices) + ";\n";
  for (int v = 0; v < vertices; ++v) text += std::to_string(v) + ".0;0.0;1.5;" + (v + 1 < vertices ? ",\n" : ";\n");
  text += "1;\n3;0,1,2;;\n" + tail + "}\n";
  return text;
}

TEST(XFileGuard, CountsThatLieReserveNoMoreThanTheFileCouldHold) {
  struct Case {
    const char* what;
    std::string bytes;
    bool accepted;  // a lie inside a block the guard only looks into is no refusal
  };
  const Case cases[] = {
      // 64 elements of four words each over 20,000 vertices: 5.1 million words stated,
      // a handful present.
      {"a vertex declaration claiming far more words than follow",
       MeshWith(20000, [] {
         std::string decl = "DeclData {\n64;\n";
         for (int e = 0; e < 64; ++e) decl += "3;0;0;0;,\n";
         return decl + "5120000;\n1,2,3,4;\n}\n";
       }()),
       true},
      {"a face list claiming four million faces", "xof 0303txt 0032\nMesh M {\n3;0.0;0.0;0.0;,1.0;0.0;0.0;,0.0;1.0;0.0;;\n"
                                                "4000000;\n3;0,1,2;,\n3;0,1,2;;\n}\n",
       false},
      {"a material list claiming four million face materials",
       MeshWith(3, "MeshMaterialList {\n1;\n4000000;\n0,0,0,0;;\n}\n"), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string reason;
    FileFacts facts;
    largest = 0;
    watching = true;
    const bool ok = CheckXFileBytes(c.bytes, reason, &facts);
    watching = false;
    EXPECT_EQ(ok, c.accepted) << reason;
    if (!ok) {
      EXPECT_FALSE(reason.empty());
    }
    // Twice the file's size (at least 64 KB, for the walk's own small lists) leaves
    // room for honest reservations and is far below what the stated counts would take
    // (20, 48 and 16 MB).
    EXPECT_LE(largest.load(), std::max<size_t>(2 * c.bytes.size(), 64 << 10)) << "file of " << c.bytes.size() << " bytes";
  }
}

}  // namespace
