// The pre-import guard for .X files: a tokenizer for both file forms and a walk over
// the mesh objects that checks every count against the data present and every index
// against the array it points into.
#include "platform/model/xfile_check.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform::model::detail {
namespace {

enum class TokenKind { kName, kString, kNumber, kOpen, kClose };

struct Token {
  TokenKind kind;
  std::string_view text;  // names and strings
  double number = 0.0;
  bool integer = false;   // binary numbers: from an integer token or list
  bool lastInList = true; // binary numbers: no more numbers of the same list follow
};

// Generous limits, far above any model the game draws, well below what would let a
// damaged count allocate without bound.
constexpr uint32_t kMaxElements = 1u << 22;
constexpr uint32_t kMaxFaceCorners = 1024;
constexpr int kMaxDepth = 64;

// The importer's text tokens end at white space and at the one-character tokens
// ';' ',' '{' '}'; nothing else (quotes, angle brackets) splits them.
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

bool EndsTextToken(char c) { return IsSpace(c) || c == ';' || c == ',' || c == '{' || c == '}'; }

bool ParseNumber(std::string_view word, double& out) {
  if (word.empty() || word.size() > 64) return false;
  char c = word[0];
  if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.')) return false;
  char buffer[72];
  std::memcpy(buffer, word.data(), word.size());
  buffer[word.size()] = '\0';
  char* end = nullptr;
  out = std::strtod(buffer, &end);
  return end == buffer + word.size();
}

// The importer reads a quoted text raw where it expects one and as ordinary tokens
// everywhere else. A quoted text that holds no brace, quote, comment mark or line end
// gives the same block structure either way, so only such texts are accepted.
bool QuotedTextIsSafe(std::string_view text) {
  return text.find_first_of("{}\"#\r\n") == std::string_view::npos && text.find("//") == std::string_view::npos;
}

bool TokenizeText(std::string_view body, std::vector<Token>& tokens, std::string& reason) {
  size_t i = 0;
  while (i < body.size()) {
    char c = body[i];
    if (IsSpace(c) || c == ';' || c == ',') {
      ++i;
    } else if (c == '#' || (c == '/' && i + 1 < body.size() && body[i + 1] == '/')) {
      while (i < body.size() && body[i] != '\n' && body[i] != '\r') ++i;
    } else if (c == '{') {
      tokens.push_back({TokenKind::kOpen, {}});
      ++i;
    } else if (c == '}') {
      tokens.push_back({TokenKind::kClose, {}});
      ++i;
    } else if (c == '"') {
      size_t close = body.find('"', i + 1);
      if (close == std::string_view::npos) {
        reason = "unterminated string";
        return false;
      }
      std::string_view text = body.substr(i + 1, close - i - 1);
      if (!QuotedTextIsSafe(text)) {
        reason = "a quoted text holds a brace, comment mark or line end";
        return false;
      }
      tokens.push_back({TokenKind::kString, text});
      i = close + 1;
    } else {
      size_t start = i;
      while (i < body.size() && !EndsTextToken(body[i])) ++i;
      std::string_view word = body.substr(start, i - start);
      Token token{TokenKind::kName, word};
      if (ParseNumber(word, token.number)) token.kind = TokenKind::kNumber;
      tokens.push_back(token);
    }
  }
  return true;
}

uint16_t ReadU16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8));
}

uint32_t ReadU32(std::string_view b, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
         (static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24);
}

// Binary token codes of the file format.
enum BinaryToken : uint16_t {
  kTokName = 1,
  kTokString = 2,
  kTokInteger = 3,
  kTokGuid = 5,
  kTokIntegerList = 6,
  kTokFloatList = 7,
  kTokOpenBrace = 0x0a,
  kTokCloseBrace = 0x0b,
  kTokTemplate = 0x1f,
};

bool TokenizeBinary(std::string_view body, bool doubles, std::vector<Token>& tokens,
                    std::string& reason) {
  size_t i = 0;
  auto need = [&](size_t n) {
    if (body.size() - i < n) {
      reason = "binary token runs past the end of the file";
      return false;
    }
    return true;
  };
  while (i < body.size()) {
    if (!need(2)) return false;
    uint16_t code = ReadU16(body, i);
    i += 2;
    switch (code) {
      case kTokName:
      case kTokString: {
        if (!need(4)) return false;
        uint32_t length = ReadU32(body, i);
        i += 4;
        if (!need(length)) return false;
        tokens.push_back({code == kTokName ? TokenKind::kName : TokenKind::kString, body.substr(i, length)});
        i += length;
        if (code == kTokString) {  // the terminator that follows a string
          if (!need(2)) return false;
          i += 2;
        }
        break;
      }
      case kTokInteger:
        if (!need(4)) return false;
        tokens.push_back({TokenKind::kNumber, {}, static_cast<double>(ReadU32(body, i)), true, true});
        i += 4;
        break;
      case kTokGuid:
        if (!need(16)) return false;
        i += 16;
        break;
      case kTokIntegerList:
      case kTokFloatList: {
        if (!need(4)) return false;
        uint32_t count = ReadU32(body, i);
        i += 4;
        size_t width = code == kTokIntegerList ? 4 : (doubles ? 8 : 4);
        // An empty list makes the importer's element counter wrap around.
        if (count == 0) {
          reason = "empty binary number list";
          return false;
        }
        if (count > (body.size() - i) / width) {
          reason = "binary number list runs past the end of the file";
          return false;
        }
        for (uint32_t n = 0; n < count; ++n, i += width) {
          double value;
          if (code == kTokIntegerList) {
            value = static_cast<double>(ReadU32(body, i));
          } else if (doubles) {
            uint64_t bits = ReadU32(body, i) | (static_cast<uint64_t>(ReadU32(body, i + 4)) << 32);
            std::memcpy(&value, &bits, 8);
          } else {
            uint32_t bits = ReadU32(body, i);
            float f;
            std::memcpy(&f, &bits, 4);
            value = f;
          }
          tokens.push_back({TokenKind::kNumber, {}, value, code == kTokIntegerList, n + 1 == count});
        }
        break;
      }
      case kTokOpenBrace:
        tokens.push_back({TokenKind::kOpen, {}});
        break;
      case kTokCloseBrace:
        tokens.push_back({TokenKind::kClose, {}});
        break;
      case kTokTemplate:
        tokens.push_back({TokenKind::kName, "template"});
        break;
      default:
        if (code >= 0x0c && code <= 0x34) break;  // punctuation and type keywords
        reason = "unknown binary token";
        return false;
    }
  }
  return true;
}

// Walks the token list the way the importer will read it. In the binary form the
// importer takes numbers list by list: an integer read must meet an integer list, a
// real read a float list, and a list must end where the importer next reads a token,
// or it would read the rest of the list as tokens.
class Walker {
 public:
  Walker(const std::vector<Token>& tokens, std::string& reason, bool binary)
      : t_(tokens), reason_(reason), binary_(binary) {}

  bool WalkAll() {
    frames_.push_back({});  // meshes outside any frame
    while (at_ < t_.size()) {
      if (!WalkObject(0)) return false;
    }
    return true;
  }

  // The meshes in the importer's order (see FileFacts).
  void TakeFacts(FileFacts& facts) {
    facts.meshes.clear();
    AppendFrameMeshes(1, facts);  // frames are numbered from 1 in file order
    for (auto& mesh : frames_[0].meshes) facts.meshes.push_back(std::move(mesh));
  }

 private:
  bool Fail(const char* why) {
    reason_ = why;
    return false;
  }

  bool Peek(TokenKind kind) const { return at_ < t_.size() && t_[at_].kind == kind; }

  bool KindAt(size_t i, TokenKind kind) const { return i < t_.size() && t_[i].kind == kind; }

  // A name that opens an object ("Kind {" or "Kind name {"), rather than a name
  // standing alone, as inside a reference "{ name }".
  bool AtObjectStart() const {
    return KindAt(at_, TokenKind::kName) &&
           (KindAt(at_ + 1, TokenKind::kOpen) || (KindAt(at_ + 1, TokenKind::kName) && KindAt(at_ + 2, TokenKind::kOpen)));
  }

  bool Number(double& out, bool integer) {
    if (!Peek(TokenKind::kNumber)) return Fail("a number is missing");
    if (binary_ && t_[at_].integer != integer) return Fail("a binary number list has the wrong type");
    out = t_[at_++].number;
    return true;
  }

  bool EndOfNumbers() {
    if (binary_ && at_ > 0 && t_[at_ - 1].kind == TokenKind::kNumber && !t_[at_ - 1].lastInList)
      return Fail("a binary number list runs on past its object's numbers");
    return true;
  }

  bool Count(uint32_t& out, uint32_t limit) {
    double value;
    if (!Number(value, true)) return false;
    if (!(value >= 0.0) || value > limit || value != static_cast<double>(static_cast<uint32_t>(value)))
      return Fail("a count or index is out of range");
    out = static_cast<uint32_t>(value);
    return true;
  }

  bool Index(uint32_t& out, uint32_t size) {
    if (!Count(out, kMaxElements)) return false;
    if (out >= size) return Fail("an index points past its array");
    return true;
  }

  bool SkipNumbers(uint64_t n) {
    for (uint64_t k = 0; k < n; ++k) {
      double ignored;
      if (!Number(ignored, false)) return false;
    }
    return true;
  }

  bool SkipCounts(uint32_t n) {
    for (uint32_t k = 0; k < n; ++k) {
      uint32_t ignored;
      if (!Count(ignored, UINT32_MAX)) return false;
    }
    return true;
  }

  bool AnimationKey() {
    uint32_t keyType, keyCount;
    if (!Count(keyType, UINT32_MAX) || !Count(keyCount, kMaxElements)) return false;
    uint32_t values = keyType == 0 ? 4 : (keyType == 1 || keyType == 2) ? 3 : (keyType == 3 || keyType == 4) ? 16 : 0;
    if (values == 0) return Fail("unknown animation key type");
    for (uint32_t k = 0; k < keyCount; ++k) {
      uint32_t time, count;
      if (!Count(time, UINT32_MAX) || !Count(count, UINT32_MAX)) return false;
      if (count != values) return Fail("an animation key has the wrong number of values");
      if (!SkipNumbers(values)) return false;
    }
    return true;
  }

  // At a name: reads "Name [ident] {" and leaves the position after the brace.
  bool Head(std::string_view& kind) {
    kind = t_[at_++].text;
    if (Peek(TokenKind::kName)) ++at_;
    if (!Peek(TokenKind::kOpen)) return Fail("an object has no opening brace");
    ++at_;
    return true;
  }

  // One element of an object body or of the top level.
  bool WalkObject(int depth) {
    if (depth > kMaxDepth) return Fail("objects nest too deeply");
    if (at_ >= t_.size()) return Fail("the file ends inside an object");
    const Token& token = t_[at_];
    switch (token.kind) {
      case TokenKind::kNumber:
      case TokenKind::kString:
        ++at_;
        return true;
      case TokenKind::kClose:
        return Fail("an unmatched closing brace");
      case TokenKind::kOpen:  // a reference "{ name }"
        ++at_;
        return Body(depth);
      case TokenKind::kName:
        if (!AtObjectStart()) {
          ++at_;
          return true;
        }
        break;
    }
    std::string_view kind;
    if (!Head(kind)) return false;
    if (kind == "template") return SkipTemplate();
    if (kind == "Mesh") return Mesh(depth);
    if (kind == "Frame") {
      size_t index = frames_.size();
      frames_.push_back({});
      parentOf_.push_back(currentFrame_);
      if (currentFrame_ != 0) frames_[currentFrame_].children.push_back(index);
      size_t outer = currentFrame_;
      currentFrame_ = index;
      bool ok = Body(depth);
      currentFrame_ = outer;
      return ok;
    }
    // Objects whose numbers the importer reads one by one.
    bool ok = true;
    if (kind == "FrameTransformMatrix") {
      ok = SkipNumbers(16);
    } else if (kind == "Material") {
      ok = SkipNumbers(11);  // colour, power, specular, emissive
    } else if (kind == "AnimTicksPerSecond") {
      ok = SkipCounts(1);
    } else if (kind == "XSkinMeshHeader") {
      ok = SkipCounts(3);
    } else if (kind == "AnimationKey") {
      ok = AnimationKey();
    }
    return ok && EndOfNumbers() && Body(depth);
  }

  bool SkipTemplate() {
    while (at_ < t_.size() && t_[at_].kind != TokenKind::kClose) ++at_;
    if (at_ >= t_.size()) return Fail("the file ends inside a template");
    ++at_;
    return true;
  }

  // Children until the closing brace of the current object.
  bool Body(int depth) {
    while (!Peek(TokenKind::kClose)) {
      if (at_ >= t_.size()) return Fail("the file ends inside an object");
      if (!WalkObject(depth + 1)) return false;
    }
    ++at_;
    return true;
  }

  bool Faces(uint32_t faceCount, uint32_t arraySize, std::vector<std::vector<uint32_t>>* faces) {
    for (uint32_t f = 0; f < faceCount; ++f) {
      uint32_t corners;
      if (!Count(corners, kMaxFaceCorners)) return false;
      if (faces) faces->emplace_back();
      for (uint32_t c = 0; c < corners; ++c) {
        uint32_t index;
        if (!Index(index, arraySize)) return false;
        if (faces) faces->back().push_back(index);
      }
    }
    return true;
  }

  bool Mesh(int depth) {
    MeshFacts facts;
    bool ok = MeshBody(depth, facts);
    if (ok) frames_[currentFrame_].meshes.push_back(std::move(facts));
    return ok;
  }

  bool MeshBody(int depth, MeshFacts& facts) {
    uint32_t vertexCount, faceCount;
    if (!Count(vertexCount, kMaxElements) || !SkipNumbers(uint64_t{vertexCount} * 3)) return false;
    facts.vertexCount = vertexCount;
    if (!Count(faceCount, kMaxElements) || !Faces(faceCount, vertexCount, &facts.faces) || !EndOfNumbers())
      return false;
    int materialLists = 0;
    while (!Peek(TokenKind::kClose)) {
      if (at_ >= t_.size()) return Fail("the file ends inside a mesh");
      if (!AtObjectStart()) {
        if (!WalkObject(depth + 1)) return false;
        continue;
      }
      std::string_view kind;
      if (!Head(kind)) return false;
      bool ok;
      if (kind == "MeshNormals") {
        ok = Normals(faceCount);
      } else if (kind == "MeshTextureCoords") {
        uint32_t n;
        ok = Count(n, kMaxElements) && SkipNumbers(uint64_t{n} * 2);
      } else if (kind == "SkinWeights") {
        ok = SkinWeights(vertexCount);
      } else if (kind == "MeshMaterialList") {
        // A second list would add face materials past the faces.
        if (materialLists++ > 0) return Fail("a mesh has more than one material list");
        if (!MaterialList(depth + 1, facts)) return false;  // reads its own closing brace
        continue;
      } else if (kind == "MeshVertexColors") {
        uint32_t n;
        ok = Count(n, kMaxElements);
        for (uint32_t k = 0; ok && k < n; ++k) {
          uint32_t index;
          ok = Index(index, vertexCount) && SkipNumbers(4);
        }
      } else if (kind == "XSkinMeshHeader") {
        ok = SkipCounts(3);
      } else if (kind == "DeclData") {
        ReadDeclaration(facts);  // the importer skips the block; it is walked as any other
        ok = true;
      } else {
        ok = true;
      }
      if (!ok || !EndOfNumbers() || !Body(depth + 1)) return false;
    }
    ++at_;
    return true;
  }

  bool Normals(uint32_t meshFaceCount) {
    uint32_t normalCount, faceCount;
    if (!Count(normalCount, kMaxElements) || !SkipNumbers(uint64_t{normalCount} * 3)) return false;
    if (!Count(faceCount, kMaxElements)) return false;
    if (faceCount != meshFaceCount) return Fail("normal faces do not match the mesh faces");
    return Faces(faceCount, normalCount, nullptr);
  }

  bool SkinWeights(uint32_t vertexCount) {
    if (!Peek(TokenKind::kString)) return Fail("a skin weight block names no frame");
    ++at_;
    uint32_t n;
    if (!Count(n, kMaxElements)) return false;
    for (uint32_t k = 0; k < n; ++k) {
      uint32_t index;
      if (!Index(index, vertexCount)) return false;
    }
    return SkipNumbers(uint64_t{n} + 16);
  }

  // What the importer does with a token it does not know inside an object: it skips
  // to the next opening brace and over that brace's block.
  bool SkipUnknown() {
    ++at_;
    while (!Peek(TokenKind::kOpen)) {
      if (at_ >= t_.size()) return Fail("the file ends inside an unknown object");
      ++at_;
    }
    ++at_;
    int open = 1;
    while (open > 0) {
      if (at_ >= t_.size()) return Fail("the file ends inside an unknown object");
      if (t_[at_].kind == TokenKind::kOpen) ++open;
      if (t_[at_].kind == TokenKind::kClose) --open;
      ++at_;
    }
    return true;
  }

  // The children are read as the importer reads them, so that the materials counted
  // here are the ones it will hold: "Material" objects and "{ name }" references;
  // anything else is skipped together with the next block.
  bool MaterialList(int depth, MeshFacts& facts) {
    uint32_t materialCount, indexCount;
    if (!Count(materialCount, kMaxElements) || !Count(indexCount, kMaxElements)) return false;
    uint32_t largest = 0;
    for (uint32_t k = 0; k < indexCount; ++k) {
      uint32_t id;
      if (!Count(id, kMaxElements)) return false;
      if (id > largest) largest = id;
      facts.faceMaterials.push_back(id);
    }
    // One index stands for every face, as the importer reads it.
    if (facts.faceMaterials.size() == 1)
      facts.faceMaterials.resize(facts.faces.size(), facts.faceMaterials.front());
    if (!EndOfNumbers()) return false;
    uint32_t children = 0;
    while (!Peek(TokenKind::kClose)) {
      if (at_ >= t_.size()) return Fail("the file ends inside a material list");
      if (Peek(TokenKind::kOpen)) {  // a reference: one token, then the closing brace
        at_ += 2;
        if (!Peek(TokenKind::kClose)) return Fail("a material reference is not closed");
        ++at_;
        ++children;
      } else if (Peek(TokenKind::kName) && t_[at_].text == "Material") {
        std::string_view kind;
        if (!Head(kind) || !SkipNumbers(11) || !EndOfNumbers() || !Body(depth + 1)) return false;
        ++children;
      } else if (!SkipUnknown()) {
        return false;
      }
    }
    ++at_;
    if (indexCount > 0 && largest >= children) return Fail("a face names a material that is not there");
    facts.materialCount = children;
    return true;
  }

  struct FrameFacts {
    std::vector<MeshFacts> meshes;
    std::vector<size_t> children;
  };

  void AppendFrameMeshes(size_t first, FileFacts& facts) {
    // Top-level frames in order, each followed by its descendants.
    for (size_t f = first; f < frames_.size(); ++f) {
      if (parentOf_[f] != 0) continue;
      AppendTree(f, facts, 0);
    }
  }

  void AppendTree(size_t f, FileFacts& facts, int depth) {
    if (depth > kMaxDepth) return;
    for (auto& mesh : frames_[f].meshes) facts.meshes.push_back(std::move(mesh));
    for (size_t child : frames_[f].children) AppendTree(child, facts, depth + 1);
  }

  // Texture coordinates of a vertex declaration block, when it holds two-float sets.
  void ReadDeclaration(MeshFacts& mesh) {
    const size_t start = at_;
    auto give_up = [&] { at_ = start; };
    auto next = [&](uint32_t& out) {
      if (!Peek(TokenKind::kNumber)) return false;
      double v = t_[at_].number;
      if (!(v >= 0.0) || v > 4294967295.0 || v != static_cast<double>(static_cast<uint32_t>(v))) return false;
      out = static_cast<uint32_t>(v);
      ++at_;
      return true;
    };
    // Size in 32-bit words of each element type of a declaration.
    static const uint32_t kWords[] = {1, 2, 3, 4, 1, 1, 1, 2, 1, 1, 2, 1, 2, 1, 1, 1, 2};
    constexpr uint32_t kFloat2 = 1, kTexCoordUsage = 5;
    uint32_t elements;
    if (!next(elements) || elements > 64) return give_up();
    uint32_t stride = 0, offset[2] = {UINT32_MAX, UINT32_MAX};
    for (uint32_t e = 0; e < elements; ++e) {
      uint32_t type, method, usage, usageIndex;
      if (!next(type) || !next(method) || !next(usage) || !next(usageIndex) || type >= 17) return give_up();
      if (usage == kTexCoordUsage && type == kFloat2 && usageIndex < 2) offset[usageIndex] = stride;
      stride += kWords[type];
    }
    uint32_t words;
    if (!next(words) || stride == 0 || uint64_t{stride} * mesh.vertexCount != words) return give_up();
    std::vector<uint32_t> data(words);
    for (uint32_t w = 0; w < words; ++w)
      if (!next(data[w])) return give_up();
    for (int set = 0; set < 2; ++set) {
      if (offset[set] == UINT32_MAX) continue;
      mesh.declaredUv[set].resize(mesh.vertexCount);
      for (uint32_t v = 0; v < mesh.vertexCount; ++v) {
        float uv[2];
        std::memcpy(&uv[0], &data[size_t{v} * stride + offset[set]], 4);
        std::memcpy(&uv[1], &data[size_t{v} * stride + offset[set] + 1], 4);
        mesh.declaredUv[set][v] = {uv[0], uv[1]};
      }
    }
  }

  std::vector<FrameFacts> frames_;
  std::vector<size_t> parentOf_{0};  // per frame: its parent frame, 0 for none
  size_t currentFrame_ = 0;

  const std::vector<Token>& t_;
  std::string& reason_;
  bool binary_;
  size_t at_ = 0;
};

}  // namespace

bool CheckXFileBytes(std::string_view bytes, std::string& reason, FileFacts* facts) {
  if (bytes.size() < 16 || bytes.substr(0, 4) != "xof ") {
    reason = "not a .X file";
    return false;
  }
  std::string_view format = bytes.substr(8, 4);
  std::string_view floatSize = bytes.substr(12, 4);
  if (floatSize != "0032" && floatSize != "0064") {
    reason = "unknown float size in the header";
    return false;
  }
  std::vector<Token> tokens;
  std::string_view body = bytes.substr(16);
  // Roughly one token per few bytes in either format: growing the list step by step
  // cost more than the walk over it. Capped so that a large damaged file does not
  // reserve for tokens it never holds.
  tokens.reserve(std::min(body.size() / 6 + 16, size_t(1) << 18));
  bool ok;
  if (format == "txt ") {
    ok = TokenizeText(body, tokens, reason);
  } else if (format == "bin ") {
    ok = TokenizeBinary(body, floatSize == "0064", tokens, reason);
  } else {
    reason = "compressed or unknown .X format";
    return false;
  }
  if (!ok) return false;
  Walker walker(tokens, reason, format == "bin ");
  if (!walker.WalkAll()) return false;
  if (facts) walker.TakeFacts(*facts);
  return true;
}

}  // namespace platform::model::detail
