#include "devices/input/text_field.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/clipboard.h"
#include "platform/input/keys.h"

namespace {

class FakeClipboard : public platform::ClipboardBackend {
 public:
  std::string GetText() override { return text; }
  bool SetText(std::string_view utf8) override {
    text = std::string(utf8);
    return true;
  }
  std::string text;
};

class TextFieldTest : public ::testing::Test {
 protected:
  TextFieldTest() {
    platform::SetClipboardBackend(&clipboard);
    platform::input::SetKeyStateSource([this](uint32_t vk) { return held.count(vk) > 0; });
    field.Reset();
  }
  ~TextFieldTest() override {
    platform::input::SetKeyStateSource(nullptr);
    platform::SetClipboardBackend(nullptr);
  }
  void Keys(std::initializer_list<uint32_t> vks) {
    for (uint32_t vk : vks) field.OnKey(vk);
  }
  void Shifted(uint32_t vk) {
    held.insert(platform::input::kVkRShift);
    field.OnKey(vk);
    held.erase(platform::input::kVkRShift);
  }
  void Paste() {
    held.insert(platform::input::kVkLControl);
    field.OnKey('V');
    held.erase(platform::input::kVkLControl);
  }

  FakeClipboard clipboard;
  std::set<uint32_t> held;
  TextField field;
  std::string text;
};

TEST_F(TextFieldTest, TypingEditsTheBoundText) {
  field.OnKey('A');  // unbound: nothing happens
  EXPECT_TRUE(text.empty());
  field.Bind(&text);
  Keys({'H', 'I', 0x20, '4', 0x62});
  Shifted('B');
  EXPECT_EQ(text, "hi 42B");
  Keys({0x08, 0x2E});
  EXPECT_EQ(text, "hi 4");
  field.noSpaces = 1;
  field.digitsOnly = 1;
  Keys({0x20, 'Q', '7'});
  EXPECT_EQ(text, "hi 47");
  Keys({0x08, 0x08, 0x08, 0x08, 0x08, 0x08});  // Backspace on an empty text is harmless
  EXPECT_EQ(text, "");
}

TEST_F(TextFieldTest, SymbolsAndPeriods) {
  field.Bind(&text);
  Shifted('3');  // no symbols allowed: neither the pound sign nor the digit
  Keys({0xBE, 0x6E, 0xBA, 0x6B});
  Shifted(0xBE);
  EXPECT_EQ(text, "");
  field.allowPeriod = 1;
  Keys({0xBE, 0x6E});
  Shifted(0xBE);  // ">" needs the symbols
  EXPECT_EQ(text, "..");
  field.allowSymbols = 1;
  field.maxLength = 40;
  Shifted('3');
  Shifted(0xBE);
  for (uint32_t vk : {0xBAu, 0xBBu, 0xBCu, 0xBDu, 0xBFu, 0xC0u, 0xDBu, 0xDCu, 0xDDu, 0xDEu}) {
    field.OnKey(vk);
    Shifted(vk);
  }
  Keys({0x6A, 0x6B, 0x6D, 0x6F});
  Shifted('2');
  Shifted('0');
  EXPECT_EQ(text, "..\xC2\xA3>;:=+,<-_/?'@[{\\|]}#~*+-/\")");
  EXPECT_EQ(Utf8Length(text), 30u);
  Keys({0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08,
        0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08});
  EXPECT_EQ(text, "..");  // the two-byte pound sign went as one character
}

TEST_F(TextFieldTest, TheMaximumLengthHoldsForEveryKeyButBackspace) {
  field.Bind(&text);
  field.allowSymbols = field.allowPeriod = 1;
  for (int i = 0; i < 15; ++i) field.OnKey('X');
  EXPECT_EQ(text, "xxxxxxxxxxxx");
  Keys({'5', 0x65, 0x20, 0xBE, 0xBA, 0x6A});
  Shifted('1');
  EXPECT_EQ(text.size(), 12u);
  field.OnKey(0x08);
  EXPECT_EQ(text.size(), 11u);
}

TEST_F(TextFieldTest, EnterKeepsEscRestores) {
  text = "old";
  field.Bind(&text);
  Keys({'N', 0x0D});
  EXPECT_EQ(text, "oldn");
  EXPECT_EQ(field.done, 1);
  EXPECT_EQ(field.cancelled, 0);
  EXPECT_EQ(field.active, 0);
  EXPECT_EQ(field.target, nullptr);
  field.OnKey('Z');
  EXPECT_EQ(text, "oldn");

  field.Bind(&text);
  EXPECT_EQ(field.done, 0);
  field.maxLength = 20;
  Keys({'A', 'B', 0x1B});
  EXPECT_EQ(text, "oldn");
  EXPECT_EQ(field.done, 1);
  EXPECT_EQ(field.cancelled, 1);
  EXPECT_EQ(field.maxLength, 12);

  // Cleared from outside: the entry ends without done.
  field.Bind(&text);
  field.Clear();
  EXPECT_EQ(field.done, 0);
  EXPECT_EQ(field.active, 0);
}

TEST_F(TextFieldTest, PasteFitsAndCopyCopies) {
  text = "abcde";
  field.Bind(&text);
  clipboard.text = "0123456789ABCDEFGHIJ";
  Paste();
  EXPECT_EQ(text, "abcde0123456");
  // A text already longer than the maximum takes nothing.
  std::string longer = "a-much-longer-name";
  field.Bind(&longer);
  Paste();
  EXPECT_EQ(longer, "a-much-longer-name");
  held.insert(platform::input::kVkRControl);
  field.OnKey('C');
  held.clear();
  EXPECT_EQ(clipboard.text, "a-much-longer-name");
  // Control with any other key types as usual.
  field.Bind(&text);
  text.clear();
  held.insert(platform::input::kVkLControl);
  field.OnKey('Q');
  held.clear();
  EXPECT_EQ(text, "q");
  clipboard.text.clear();
  Paste();
  EXPECT_EQ(text, "q");
}

TEST_F(TextFieldTest, PasteObeysTheFiltersAndNeverCarriesLineBreaks) {
  struct Case {
    const char* clip;
    uint8_t digitsOnly, noSpaces, allowPeriod, allowSymbols;
    int32_t max;
    const char* want;
  } cases[] = {
      {"Player\r\nNETNAME = \"x\"", 0, 0, 0, 0, 30, "PlayerNETNAME  x"},
      {"Player\r\nNETNAME = \"x\"", 0, 0, 0, 1, 30, "PlayerNETNAME = \"x\""},
      {"abc123", 1, 0, 0, 0, 12, "123"},
      {"192.168.0.1:80", 1, 1, 1, 0, 15, "192.168.0.180"},
      {"a b\tc", 0, 1, 0, 0, 12, "abc"},
      {"\x01\x1b\x7f\xC3\xA9t\xC2\xA3", 0, 0, 0, 1, 12, "t\xC2\xA3"},
      {"\xFF\xFE" "ok", 0, 0, 0, 0, 12, "ok"},
      {"x\ny\nz\nw", 0, 0, 0, 0, 2, "xy"},
  };
  for (const Case& c : cases) {
    std::string t;
    field.Bind(&t);
    field.digitsOnly = c.digitsOnly;
    field.noSpaces = c.noSpaces;
    field.allowPeriod = c.allowPeriod;
    field.allowSymbols = c.allowSymbols;
    field.maxLength = c.max;
    clipboard.text = c.clip;
    Paste();
    EXPECT_EQ(t, c.want) << c.clip;
    EXPECT_EQ(t.find_first_of("\r\n"), std::string::npos);
  }
}

TEST(TextEntryGlobal, ResetAndClearActOnTheOneField) {
  std::string s;
  g_TextField.Bind(&s);
  g_TextField.maxLength = 30;
  TextEntry::Clear();
  EXPECT_EQ(g_TextField.maxLength, 12);
  EXPECT_EQ(g_TextField.target, nullptr);
  g_TextField.saved = "x";
  TextEntry::Reset();
  EXPECT_TRUE(g_TextField.saved.empty());
}

}  // namespace
