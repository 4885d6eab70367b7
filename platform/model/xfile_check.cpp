// The pre-import guard for .X files: a tokenizer for both file forms that hands out one
// token at a time, and a walk over the mesh objects, fed by it, that checks every count
// against the data present and every index against the array it points into. The file
// is walked once and no token is stored.
#include "platform/model/xfile_check.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <charconv>
#include <cstring>
#include <system_error>
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
// One table lookup per byte in place of a chain of comparisons: bit 1 for white space
// and the separators ';' ',' (skipped between tokens), bit 2 for every byte that ends a
// word (those and the braces).
constexpr std::array<uint8_t, 256> kByteClass = [] {
  std::array<uint8_t, 256> table{};
  for (unsigned char c : {' ', '\t', '\r', '\n', '\f', '\v', ';', ','}) table[c] = 3;
  table['{'] = table['}'] = 2;
  return table;
}();

bool SkippedBetweenTokens(char c) { return kByteClass[static_cast<unsigned char>(c)] & 1; }

bool EndsTextToken(char c) { return kByteClass[static_cast<unsigned char>(c)] & 2; }

// Whether a word is a number as the C library's strtod reads it (the whole word
// taken) and its value. Every word from_chars takes whole, strtod takes whole with the
// same value; the words it stops short on or refuses (a leading plus, hexadecimal, a
// value out of range) take the slow road, so the answer is the same.
bool ParseNumber(std::string_view word, double& out) {
  if (word.empty() || word.size() > 64) return false;
  const char c = word[0];
  if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.')) return false;
  // Plain whole numbers (indices, counts) are most words: exact in a double up to 15
  // digits, as strtod gives them.
  if (word.size() <= 15) {
    size_t i = c == '-' ? 1 : 0;
    double value = 0.0;
    for (; i < word.size() && word[i] >= '0' && word[i] <= '9'; ++i) value = value * 10.0 + (word[i] - '0');
    if (i == word.size() && word.size() > (c == '-' ? 1u : 0u)) {
      out = c == '-' ? -value : value;
      return true;
    }
  }
  if (c != '+') {
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), out);
    if (error == std::errc() && end == word.data() + word.size()) return true;
  }
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

// Hands out the tokens of either form one at a time, straight from the bytes: nothing
// is stored, so the walk over a file costs no allocation for its tokens. Its whole
// state is a position (and, inside a binary number list, the list's place), so the
// walk can return to an earlier token. A damaged token ends the stream; failed()
// then holds, with the reason.
class Lexer {
 public:
  struct Place {
    size_t at = 0;
    uint32_t listLeft = 0;  // numbers of the current binary list still to come
    uint16_t listCode = 0;
  };

  Lexer(std::string_view body, bool binary, bool doubles) : body_(body), binary_(binary), doubles_(doubles) {}

  Place Where() const { return place_; }
  void Return(const Place& place) { place_ = place; }
  bool failed() const { return !reason_.empty(); }
  size_t BytesLeft() const { return body_.size() - place_.at; }
  const std::string& reason() const { return reason_; }

  // False at the end of the file or at a damaged token.
  bool Next(Token& out) {
    if (failed()) return false;
    return binary_ ? NextBinary(out) : NextText(out);
  }

 private:
  bool Fail(const char* why) {
    reason_ = why;
    return false;
  }

  bool NextText(Token& out) {
    size_t& i = place_.at;
    const std::string_view body = body_;
    while (i < body.size()) {
      const char c = body[i];
      if (SkippedBetweenTokens(c)) {
        ++i;
      } else if (c == '#' || (c == '/' && i + 1 < body.size() && body[i + 1] == '/')) {
        while (i < body.size() && body[i] != '\n' && body[i] != '\r') ++i;
      } else if (c == '{') {
        out = {TokenKind::kOpen, {}};
        ++i;
        return true;
      } else if (c == '}') {
        out = {TokenKind::kClose, {}};
        ++i;
        return true;
      } else if (c == '"') {
        const size_t close = body.find('"', i + 1);
        if (close == std::string_view::npos) return Fail("unterminated string");
        const std::string_view text = body.substr(i + 1, close - i - 1);
        if (!QuotedTextIsSafe(text)) return Fail("a quoted text holds a brace, comment mark or line end");
        out = {TokenKind::kString, text};
        i = close + 1;
        return true;
      } else {
        const size_t start = i;
        while (i < body.size() && !EndsTextToken(body[i])) ++i;
        out = {TokenKind::kName, body.substr(start, i - start)};
        if (ParseNumber(out.text, out.number)) out.kind = TokenKind::kNumber;
        return true;
      }
    }
    return false;
  }

  bool Need(size_t n) {
    if (body_.size() - place_.at < n) return Fail("binary token runs past the end of the file");
    return true;
  }

  bool NextBinary(Token& out) {
    size_t& i = place_.at;
    const std::string_view body = body_;
    if (place_.listLeft > 0) {
      const bool integers = place_.listCode == kTokIntegerList;
      double value;
      if (integers) {
        value = static_cast<double>(ReadU32(body, i));
        i += 4;
      } else if (doubles_) {
        const uint64_t bits = ReadU32(body, i) | (static_cast<uint64_t>(ReadU32(body, i + 4)) << 32);
        std::memcpy(&value, &bits, 8);
        i += 8;
      } else {
        const uint32_t bits = ReadU32(body, i);
        float f;
        std::memcpy(&f, &bits, 4);
        value = f;
        i += 4;
      }
      --place_.listLeft;
      out = {TokenKind::kNumber, {}, value, integers, place_.listLeft == 0};
      return true;
    }
    while (i < body.size()) {
      if (!Need(2)) return false;
      const uint16_t code = ReadU16(body, i);
      i += 2;
      switch (code) {
        case kTokName:
        case kTokString: {
          if (!Need(4)) return false;
          const uint32_t length = ReadU32(body, i);
          i += 4;
          if (!Need(length)) return false;
          out = {code == kTokName ? TokenKind::kName : TokenKind::kString, body.substr(i, length)};
          i += length;
          if (code == kTokString) {  // the terminator that follows a string
            if (!Need(2)) return false;
            i += 2;
          }
          return true;
        }
        case kTokInteger:
          if (!Need(4)) return false;
          out = {TokenKind::kNumber, {}, static_cast<double>(ReadU32(body, i)), true, true};
          i += 4;
          return true;
        case kTokGuid:
          if (!Need(16)) return false;
          i += 16;
          break;
        case kTokIntegerList:
        case kTokFloatList: {
          if (!Need(4)) return false;
          const uint32_t count = ReadU32(body, i);
          i += 4;
          const size_t width = code == kTokIntegerList ? 4 : (doubles_ ? 8 : 4);
          // An empty list makes the importer's element counter wrap around.
          if (count == 0) return Fail("empty binary number list");
          if (count > (body.size() - i) / width) return Fail("binary number list runs past the end of the file");
          place_.listLeft = count;
          place_.listCode = code;
          return NextBinary(out);
        }
        case kTokOpenBrace:
          out = {TokenKind::kOpen, {}};
          return true;
        case kTokCloseBrace:
          out = {TokenKind::kClose, {}};
          return true;
        case kTokTemplate:
          out = {TokenKind::kName, "template"};
          return true;
        default:
          if (code >= 0x0c && code <= 0x34) break;  // punctuation and type keywords
          return Fail("unknown binary token");
      }
    }
    return false;
  }

  std::string_view body_;
  bool binary_, doubles_;
  Place place_;
  std::string reason_;
};

// The walk's view of the token stream: the current token and two behind it, the one
// just passed, and a way back to an earlier token.
class Tokens {
 public:
  explicit Tokens(Lexer& lexer) : lexer_(lexer) {}

  // The token k places ahead of the current one (0: the current one), or null past
  // the end.
  const Token* At(size_t k) {
    while (count_ <= k) {
      const size_t slot = (head_ + count_) % kAhead;
      places_[slot] = lexer_.Where();
      if (!lexer_.Next(ahead_[slot])) return nullptr;
      ++count_;
    }
    return &ahead_[(head_ + k) % kAhead];
  }

  bool AtEnd() { return At(0) == nullptr; }

  // Moves past the current token (there must be one).
  void Advance() {
    if (!At(0)) return;
    previous_ = ahead_[head_];
    hasPrevious_ = true;
    head_ = (head_ + 1) % kAhead;
    --count_;
  }

  const Token* Previous() const { return hasPrevious_ ? &previous_ : nullptr; }

  // At most n, and no more than the numbers the rest of the file could hold (each
  // takes at least two bytes), for reserving room by a count the file states.
  size_t Bounded(uint64_t n) const {
    return static_cast<size_t>(std::min<uint64_t>(n, lexer_.BytesLeft() / 2 + 1));
  }

  struct Mark {
    Lexer::Place place;
    Token previous;
    bool hasPrevious;
  };

  Mark Here() {
    At(0);
    return {count_ > 0 ? places_[head_] : lexer_.Where(), previous_, hasPrevious_};
  }

  void Return(const Mark& mark) {
    lexer_.Return(mark.place);
    count_ = 0;
    previous_ = mark.previous;
    hasPrevious_ = mark.hasPrevious;
  }

 private:
  static constexpr size_t kAhead = 3;
  Lexer& lexer_;
  Token ahead_[kAhead];
  Lexer::Place places_[kAhead];
  size_t head_ = 0, count_ = 0;
  Token previous_{TokenKind::kOpen, {}};
  bool hasPrevious_ = false;
};

// Walks the token list the way the importer will read it. In the binary form the
// importer takes numbers list by list: an integer read must meet an integer list, a
// real read a float list, and a list must end where the importer next reads a token,
// or it would read the rest of the list as tokens.
class Walker {
 public:
  Walker(Tokens& tokens, std::string& reason, bool binary) : t_(tokens), reason_(reason), binary_(binary) {}

  bool WalkAll() {
    frames_.push_back({});  // meshes outside any frame
    while (!t_.AtEnd()) {
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

  bool Peek(TokenKind kind) { return KindAhead(0, kind); }

  bool KindAhead(size_t k, TokenKind kind) {
    const Token* token = t_.At(k);
    return token && token->kind == kind;
  }

  // A name that opens an object ("Kind {" or "Kind name {"), rather than a name
  // standing alone, as inside a reference "{ name }".
  bool AtObjectStart() {
    return KindAhead(0, TokenKind::kName) &&
           (KindAhead(1, TokenKind::kOpen) || (KindAhead(1, TokenKind::kName) && KindAhead(2, TokenKind::kOpen)));
  }

  bool Number(double& out, bool integer) {
    if (!Peek(TokenKind::kNumber)) return Fail("a number is missing");
    const Token& token = *t_.At(0);
    if (binary_ && token.integer != integer) return Fail("a binary number list has the wrong type");
    out = token.number;
    t_.Advance();
    return true;
  }

  bool EndOfNumbers() {
    const Token* previous = t_.Previous();
    if (binary_ && previous && previous->kind == TokenKind::kNumber && !previous->lastInList)
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
    kind = t_.At(0)->text;
    t_.Advance();
    if (Peek(TokenKind::kName)) t_.Advance();
    if (!Peek(TokenKind::kOpen)) return Fail("an object has no opening brace");
    t_.Advance();
    return true;
  }

  // One element of an object body or of the top level.
  bool WalkObject(int depth) {
    if (depth > kMaxDepth) return Fail("objects nest too deeply");
    const Token* token = t_.At(0);
    if (!token) return Fail("the file ends inside an object");
    switch (token->kind) {
      case TokenKind::kNumber:
      case TokenKind::kString:
        t_.Advance();
        return true;
      case TokenKind::kClose:
        return Fail("an unmatched closing brace");
      case TokenKind::kOpen:  // a reference "{ name }"
        t_.Advance();
        return Body(depth);
      case TokenKind::kName:
        if (!AtObjectStart()) {
          t_.Advance();
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
    while (!t_.AtEnd() && !Peek(TokenKind::kClose)) t_.Advance();
    if (t_.AtEnd()) return Fail("the file ends inside a template");
    t_.Advance();
    return true;
  }

  // Children until the closing brace of the current object.
  bool Body(int depth) {
    while (!Peek(TokenKind::kClose)) {
      if (t_.AtEnd()) return Fail("the file ends inside an object");
      if (!WalkObject(depth + 1)) return false;
    }
    t_.Advance();
    return true;
  }

  bool Faces(uint32_t faceCount, uint32_t arraySize, MeshFacts* facts) {
    if (facts) {
      facts->faceEnds.reserve(t_.Bounded(faceCount));
      facts->faceCorners.reserve(t_.Bounded(uint64_t{faceCount} * 3));
    }
    for (uint32_t f = 0; f < faceCount; ++f) {
      uint32_t corners;
      if (!Count(corners, kMaxFaceCorners)) return false;
      for (uint32_t c = 0; c < corners; ++c) {
        uint32_t index;
        if (!Index(index, arraySize)) return false;
        if (facts) facts->faceCorners.push_back(index);
      }
      if (facts) facts->faceEnds.push_back(static_cast<uint32_t>(facts->faceCorners.size()));
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
    if (!Count(faceCount, kMaxElements) || !Faces(faceCount, vertexCount, &facts) || !EndOfNumbers())
      return false;
    int materialLists = 0;
    while (!Peek(TokenKind::kClose)) {
      if (t_.AtEnd()) return Fail("the file ends inside a mesh");
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
    t_.Advance();
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
    t_.Advance();
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
    t_.Advance();
    while (!Peek(TokenKind::kOpen)) {
      if (t_.AtEnd()) return Fail("the file ends inside an unknown object");
      t_.Advance();
    }
    t_.Advance();
    int open = 1;
    while (open > 0) {
      const Token* token = t_.At(0);
      if (!token) return Fail("the file ends inside an unknown object");
      if (token->kind == TokenKind::kOpen) ++open;
      if (token->kind == TokenKind::kClose) --open;
      t_.Advance();
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
    facts.faceMaterials.reserve(t_.Bounded(indexCount));
    for (uint32_t k = 0; k < indexCount; ++k) {
      uint32_t id;
      if (!Count(id, kMaxElements)) return false;
      if (id > largest) largest = id;
      facts.faceMaterials.push_back(id);
    }
    // One index stands for every face, as the importer reads it.
    if (facts.faceMaterials.size() == 1)
      facts.faceMaterials.resize(facts.FaceCount(), facts.faceMaterials.front());
    if (!EndOfNumbers()) return false;
    uint32_t children = 0;
    while (!Peek(TokenKind::kClose)) {
      if (t_.AtEnd()) return Fail("the file ends inside a material list");
      if (Peek(TokenKind::kOpen)) {  // a reference: one token, then the closing brace
        t_.Advance();
        t_.Advance();
        if (!Peek(TokenKind::kClose)) return Fail("a material reference is not closed");
        t_.Advance();
        ++children;
      } else if (Peek(TokenKind::kName) && t_.At(0)->text == "Material") {
        std::string_view kind;
        if (!Head(kind) || !SkipNumbers(11) || !EndOfNumbers() || !Body(depth + 1)) return false;
        ++children;
      } else if (!SkipUnknown()) {
        return false;
      }
    }
    t_.Advance();
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
    const Tokens::Mark start = t_.Here();
    auto give_up = [&] { t_.Return(start); };
    auto next = [&](uint32_t& out) {
      if (!Peek(TokenKind::kNumber)) return false;
      double v = t_.At(0)->number;
      if (!(v >= 0.0) || v > 4294967295.0 || v != static_cast<double>(static_cast<uint32_t>(v))) return false;
      out = static_cast<uint32_t>(v);
      t_.Advance();
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
    // The stated size is only believed as far as the file can hold it.
    std::vector<uint32_t> data;
    data.reserve(t_.Bounded(words));
    for (uint32_t w = 0; w < words; ++w) {
      uint32_t word;
      if (!next(word)) return give_up();
      data.push_back(word);
    }
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

  Tokens& t_;
  std::string& reason_;
  bool binary_;
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
  const bool binary = format == "bin ";
  if (!binary && format != "txt ") {
    reason = "compressed or unknown .X format";
    return false;
  }
  Lexer lexer(bytes.substr(16), binary, floatSize == "0064");
  Tokens tokens(lexer);
  Walker walker(tokens, reason, binary);
  const bool walked = walker.WalkAll();
  // A damaged token ends the stream early; whatever the walk made of the shortened
  // file, the damage is the reason.
  if (lexer.failed()) {
    reason = lexer.reason();
    return false;
  }
  if (!walked) return false;
  if (facts) walker.TakeFacts(*facts);
  return true;
}

}  // namespace platform::model::detail
