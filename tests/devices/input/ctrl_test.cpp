#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/devices/input/ctrl_fixture.h"

using namespace platform::input;

namespace {

const char* kKeyboard =
    "<DEVICE><NAME>Guitar keys</NAME><CONFIG>0</CONFIG><BUTTONS>"
    "<GREEN>59,2</GREEN><RED>60,3</RED><STRUMDOWN>28</STRUMDOWN><UP>200</UP><DOWN>208</DOWN>"
    "<BLUE>62</BLUE><LEFT>203</LEFT><RIGHT>205</RIGHT>"
    "</BUTTONS></DEVICE>";

class KeyboardTest : public CtrlFixture {
 protected:
  KeyboardTest() {
    Write("keyboard_keys.ini", kKeyboard);
    in.AttachKeyboard();
    Make(false);
    kb = &main->devices[0];
  }
  CtrlDevice* kb = nullptr;
};

TEST_F(KeyboardTest, KeyboardPlaysGuitarThroughTheLayoutFileWithDeliveryTimes) {
  ASSERT_EQ(main->count, 1);
  EXPECT_EQ(kb->keyboardMarker, 1);
  EXPECT_EQ(main->keyboard.name, "Guitar keys");
  ASSERT_TRUE(main->DetectSettings(*kb));
  EXPECT_EQ(LogCount("Keyboard Detected Successfully"), 1);
  EXPECT_EQ(kb->desc.kind, 3);

  // Four key changes between two frames: F1, "1" 3 ms later, Return, F1 up.
  const uint32_t t = Now();
  in.Key(59, true, t);
  in.Key(2, true, t + 3);
  in.Key(28, true, t + 5);
  in.Key(59, false, t + 8);
  in.Key(44, true, t + 9);  // Z is not in the layout
  Advance(16);
  auto got = Fetch(*kb);
  ExpectEvents(got, {{1, true, 128}, {1, true, 128}, {13, true, 128}, {1, false, 0}});
  EXPECT_EQ(got[0].deliveryMs, t);
  EXPECT_EQ(got[1].deliveryMs - got[0].deliveryMs, 3u);  // not squashed to the frame
  EXPECT_EQ(got[2].deliveryMs, t + 5);
  EXPECT_EQ(got[3].deliveryMs, t + 8);
  EXPECT_EQ(got[0].range, 128);
  EXPECT_EQ(got[0].time, 0.0);  // the consumer stamps its own time
  EXPECT_TRUE(Fetch(*kb).empty());
}

TEST_F(KeyboardTest, RepeatsFollowTheHeldSlots) {
  ASSERT_TRUE(main->DetectSettings(*kb));
  main->ResetHeld(true);
  in.Key(200, true, Now());
  ExpectEvents(Fetch(*kb), {{14, true, 128}});
  Advance(500);
  EXPECT_TRUE(Fetch(*kb).empty());  // strictly after 500 ms
  Advance(1);
  ExpectEvents(Fetch(*kb), {{14, true, 128}});
  Advance(100);
  EXPECT_TRUE(Fetch(*kb).empty());
  Advance(1);
  ExpectEvents(Fetch(*kb), {{14, true, 128}});
  in.Key(200, false, Now());
  ExpectEvents(Fetch(*kb), {{14, false, 0}});
  Advance(1000);
  EXPECT_TRUE(Fetch(*kb).empty());

  // ClearHeld stops a held button until it is pressed again.
  in.Key(203, true, Now());
  Fetch(*kb);
  main->ClearHeld();
  Advance(1000);
  EXPECT_TRUE(Fetch(*kb).empty());

  // Off again: up and down stop repeating, left and right keep it.
  main->ResetHeld(false);
  in.Key(208, true, Now());
  in.Key(205, true, Now());
  Fetch(*kb);
  Advance(501);
  ExpectEvents(Fetch(*kb), {{17, true, 128}});
}

TEST_F(KeyboardTest, LeftyDrumsSwapGreenAndBlueEverywhere) {
  main->DetectSettings(*kb);
  kb->lefty = 1;
  kb->desc.kind = kind::kDrums;
  main->ResetHeld(false);
  kb->held[1].repeatEnabled = 1;  // repeats of green are swapped as well
  in.Key(59, true, Now());
  in.Key(62, true, Now());
  ExpectEvents(Fetch(*kb), {{4, true, 128}, {1, true, 128}});
  Advance(501);
  ExpectEvents(Fetch(*kb), {{4, true, 128}});
  kb->desc.kind = kind::kGuitar;
  in.Key(59, false, Now());
  ExpectEvents(Fetch(*kb), {{1, false, 0}});
}

TEST_F(KeyboardTest, TypingWhileDisabledNeverReachesTheController) {
  main->DetectSettings(*kb);
  main->SetInputEnabled(0);
  EXPECT_EQ(kb->inputEnabled, 0);
  in.Key(59, true, Now());
  EXPECT_TRUE(Fetch(*kb).empty());
  in.Key(60, true, Now());
  main->SetInputEnabled(1);  // the clear drops what was typed meanwhile
  EXPECT_TRUE(Fetch(*kb).empty());
  in.Key(59, false, Now());
  ExpectEvents(Fetch(*kb), {{1, false, 0}});
  main->SetInputEnabled(0);
  main->FlushAll();
  EXPECT_EQ(kb->inputEnabled, 1);
}

// Nobody has joined with the keyboard yet, so its layout is still unread: the menus'
// join probe has to see the press all the same, or the keyboard can never join.
TEST_F(KeyboardTest, TheJoinProbeSeesAKeyBeforeTheKeyboardIsIdentified) {
  EXPECT_EQ(kb->detected, 0);
  in.Key(208, true, Now());  // Down
  EXPECT_TRUE(Fetch(*kb).empty());  // no layout, no events
  in.Key(208, false, Now());
  in.Key(2, true, Now());  // "1"
  EXPECT_TRUE(kb->AnyButtonDown());
  EXPECT_FALSE(kb->AnyButtonDown());  // the probe consumed the records
  in.Key(2, false, Now());
  EXPECT_FALSE(kb->AnyButtonDown());  // a release is no press
  ASSERT_TRUE(main->DetectSettings(*kb));
  in.Key(208, true, Now());
  ExpectEvents(Fetch(*kb), {{15, true, 128}});
}

const char* kPadList =
    "<DEVICE><NAME>Pad</NAME><FNAME>Test Guitar</FNAME><VID>4794</VID><PID>512</PID><TYPE>1</TYPE><BUTTONS>"
    "<GREEN>48,128,0</GREEN><UP>32,0,-1</UP><STRUMUP>32,0,-1</STRUMUP>"
    "<DOWN>32,18000,-1</DOWN><STRUMDOWN>32,18000,-1</STRUMDOWN><WHAMMY>8,65535,0</WHAMMY>"
    "</BUTTONS></DEVICE>\n"
    "<DEVICE><NAME>Kit</NAME><VID>4794</VID><PID>528</PID><TYPE>0</TYPE><METHOD>1</METHOD><BUTTONS>"
    "<GREEN>49,128,0</GREEN><RED>50,128,0</RED><BLUE>48,128,0</BLUE><YELLOW>51,128,0</YELLOW>"
    "<TOM>58,128,0</TOM><CYMBAL>59,128,0</CYMBAL><ORANGE>60,128,0</ORANGE>"
    "<UP>32,0,-1</UP><DOWN>32,18000,-1</DOWN><LEFT>32,27000,-1</LEFT><RIGHT>32,9000,-1</RIGHT>"
    "</BUTTONS></DEVICE>\n";

class JoystickTest : public CtrlFixture {
 protected:
  JoystickTest() {
    Write("device_list.ini", kPadList);
    in.AttachJoystick("usb-1", 4794, 512, "Pad");
    in.AttachJoystick("usb-2", 4794, 528, "Kit");
    Make(false);
    pad = &main->devices[0];
    kit = &main->devices[1];
  }
  CtrlDevice* pad = nullptr;
  CtrlDevice* kit = nullptr;
  uint32_t seq = 0;
};

TEST_F(JoystickTest, ButtonMapPressesReleasesAndAxes) {
  ASSERT_TRUE(main->DetectSettings(*pad));
  EXPECT_EQ(LogCount("Friendly Name:Test Guitar"), 1);
  EXPECT_EQ(pad->desc.kind, 1);
  EXPECT_EQ(pad->desc.drumLanes, 4);
  const uint32_t t = Now();
  in.Record("usb-1", 48, 128, t, ++seq);
  in.Record("usb-1", 32, 0, t + 1, ++seq);           // up: the first press slot ends the record
  in.Record("usb-1", 32, 0xFFFFFFFFu, t + 2, ++seq);  // centre releases up, down and both strums
  in.Record("usb-1", 8, 1000, t + 3, ++seq);
  in.Record("usb-1", 12, 5, t + 4, ++seq);  // an unmapped axis
  auto got = Fetch(*pad);
  ExpectEvents(got, {{1, true, 128}, {14, true, 0}, {14, false, -1}, {15, false, -1}, {12, false, -1},
                     {13, false, -1}, {21, false, 1000}});
  EXPECT_EQ(got[6].range, 65535);
  EXPECT_EQ(got[6].rest, 0);
  EXPECT_EQ(got[2].range, 0);
  EXPECT_EQ(got[2].rest, -1);
  EXPECT_EQ(got[6].deliveryMs, t + 3);
}

TEST_F(JoystickTest, TheJoinProbeSeesButtonsAndTheHatOfAnUnidentifiedPad) {
  struct Case {
    uint32_t ofs, data;
    bool down;
  };
  const Case cases[] = {
      {48, 128, true},  {57, 128, true},         {48, 0, false},   {58, 128, false},  // buttons 0-9 only
      {32, 0, true},    {32, 18000, true},       {32, 9000, false}, {32, 0xFFFFFFFFu, false},
      {8, 40000, false},  // an axis moving is no press
  };
  for (const Case& c : cases) {
    in.Record("usb-1", c.ofs, c.data, Now(), ++seq);
    EXPECT_EQ(pad->AnyButtonDown(), c.down) << "offset " << c.ofs << " data " << c.data;
  }
  EXPECT_EQ(pad->detected, 0);
}

TEST_F(JoystickTest, NoFetchPassesTheHundredFiftyEventArray) {
  main->DetectSettings(*pad);
  // 150 hat centrings make 600 releases; the array holds 150 and the rest is dropped.
  for (int i = 0; i < 150; ++i) ASSERT_TRUE(in.Record("usb-1", 32, 0xFFFFFFFFu, Now(), ++seq));
  EXPECT_FALSE(in.Record("usb-1", 32, 0xFFFFFFFFu, Now(), ++seq));  // the device buffer is full too
  auto got = Fetch(*pad);
  EXPECT_EQ(got.size(), kMaxFetchEvents);
  EXPECT_EQ(LogCount("Controller Events Dropped: 450 Over The Limit Of 150"), 1);
  EXPECT_EQ(LogCount("Controller Input Buffer Full, Input Dropped: Pad"), 1);
  for (int i = 0; i < 150; ++i) in.Record("usb-1", 32, 0xFFFFFFFFu, Now(), ++seq);
  EXPECT_EQ(Fetch(*pad).size(), kMaxFetchEvents);
  // One line per flood, not one per frame.
  auto log = dir.GameLogTexts();
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::string& l) { return l.rfind("Controller Events Dropped:", 0) == 0; }),
            1);
  EXPECT_EQ(LogCount("Controller Input Buffer Full, Input Dropped: Pad"), 1);
}

TEST_F(JoystickTest, EmulatedDrumPadReportsEdges) {
  ASSERT_TRUE(main->DetectSettings(*kit));
  EXPECT_EQ(kit->desc.drumLanes, 5);  // the orange slot is mapped
  const uint32_t t = Now();
  in.Record("usb-2", 32, 0, t, 1);  // hat up
  in.Record("usb-2", 32, 9000, t + 1, 2);
  in.Record("usb-2", 32, 4500, t + 2, 3);  // a diagonal names no direction
  ExpectEvents(Fetch(*kit), {{14, true, 128}, {14, false, 0}, {17, true, 128}, {17, false, 0}});
  // Tom flag with green in one report: the green pad.
  in.Record("usb-2", 58, 128, t + 3, 4);
  in.Record("usb-2", 49, 128, t + 3, 4);
  in.Record("usb-2", 49, 0, t + 4, 5);
  in.Record("usb-2", 58, 0, t + 5, 6);
  ExpectEvents(Fetch(*kit), {{9, true, 128}, {9, false, 0}});
  // The cymbal flag changing with the hat hides the up edge; yellow is then a cymbal.
  in.Record("usb-2", 59, 128, t + 6, 7);
  in.Record("usb-2", 32, 0, t + 6, 7);
  in.Record("usb-2", 51, 128, t + 6, 7);
  ExpectEvents(Fetch(*kit), {{3, true, 128}});
}

TEST_F(JoystickTest, RescansKeepSlotsAndHotPlugFindsDevicesAgain) {
  ASSERT_EQ(main->count, 2);
  ASSERT_TRUE(main->DetectSettings(*pad));
  in.TakeDeviceChange();  // the attachments before the first scan
  main->ScanDevices(true);
  EXPECT_EQ(main->count, 2);
  EXPECT_FALSE(main->CheckDeviceChange(true));  // nothing happened since

  in.DetachDevice("usb-1");
  EXPECT_TRUE(main->CheckDeviceChange(true));
  EXPECT_EQ(LogCount("CtrlDevice::DeviceChange():Device Added/Removed Event Detected"), 1);
  in.Record("usb-1", 48, 128, Now(), ++seq);  // nothing arrives from a device that is gone
  EXPECT_TRUE(Fetch(*pad).empty());

  in.AttachJoystick("usb-3", 1, 2, "Other");
  ASSERT_TRUE(main->CheckDeviceChange(true));
  EXPECT_EQ(main->count, 3);
  EXPECT_EQ(main->devices[2].desc.name, "Other");

  // The replugged device comes back in its own slot with its identification.
  in.AttachJoystick("usb-1", 4794, 512, "Pad");
  ASSERT_TRUE(main->CheckDeviceChange(true));
  EXPECT_EQ(main->count, 3);
  EXPECT_EQ(pad->detected, 1);
  EXPECT_EQ(pad->desc.kind, 1);
  in.Record("usb-1", 48, 128, Now(), ++seq);
  ExpectEvents(Fetch(*pad), {{1, true, 128}});
}

TEST_F(JoystickTest, ADeviceThatCannotBeCreatedSurvivesRescans) {
  in.AttachJoystick("usb-4", 9, 9, "Broken");
  in.FailCreate("usb-4", true);
  main->ScanDevices(true);
  ASSERT_EQ(main->count, 3);
  CtrlDevice& broken = main->devices[2];
  EXPECT_EQ(broken.device, nullptr);
  main->ScanDevices(true);
  EXPECT_EQ(main->count, 3);
  EXPECT_TRUE(Fetch(broken).empty());
  EXPECT_FALSE(broken.AnyButtonReleased());
  EXPECT_FALSE(main->DetectSettings(broken));
  EXPECT_EQ(LogCount("CtrlMain::DetectSettings():DI Device Does NOT Exist!"), 1);
  EXPECT_EQ(LogCount("Controller Detection Failed:"), 1);
  EXPECT_FALSE(broken.GetVIDPID());
  EXPECT_EQ(LogCount("GetVIDPID():DIDevice Does NOT Exist!"), 1);
  // A failing acquire yields nothing and no log line.
  ASSERT_TRUE(main->DetectSettings(*pad));
  in.Record("usb-1", 48, 128, Now(), ++seq);
  ExpectEvents(Fetch(*pad), {{1, true, 128}});
  in.FailAcquire("usb-1", true);
  in.Record("usb-1", 48, 128, Now(), ++seq);
  EXPECT_TRUE(Fetch(*pad).empty());
}

TEST_F(JoystickTest, ReleaseProbe) {
  in.Record("usb-1", 48 + 2, 128, Now(), ++seq);
  EXPECT_FALSE(pad->AnyButtonReleased());
  in.Record("usb-1", 48 + 2, 0, Now(), ++seq);
  EXPECT_TRUE(pad->AnyButtonReleased());
  in.Record("usb-1", 48 + 10, 0, Now(), ++seq);  // only buttons 0..9 count
  EXPECT_FALSE(pad->AnyButtonReleased());
  in.Record("usb-1", 32, 18000, Now(), ++seq);
  EXPECT_TRUE(pad->AnyButtonReleased());
  EXPECT_FALSE(pad->AnyButtonReleased());  // consumed
}

TEST_F(KeyboardTest, ReleaseProbeOnTheKeyboard) {
  in.Key(30, true, Now());
  EXPECT_FALSE(kb->AnyButtonReleased());
  in.Key(30, false, Now());
  EXPECT_TRUE(kb->AnyButtonReleased());
}

// Identification among several entries of one device.
class DetectTest : public CtrlFixture {
 protected:
  void Setup(const std::string& name, const std::string& blocks) {
    Write("device_list.ini", blocks);
    in.AttachJoystick("usb-1", 1118, 654, name);
    Make(false);
  }
  static std::string Block(const std::string& name, int type, int magic, int data, const std::string& fname) {
    return "<DEVICE><NAME>" + name + "</NAME><FNAME>" + fname + "</FNAME><VID>1118</VID><PID>654</PID><TYPE>" +
           std::to_string(type) + "</TYPE><MAGICBUTTON>" + std::to_string(magic) + "</MAGICBUTTON><MAGICDATA>" +
           std::to_string(data) + "</MAGICDATA></DEVICE>\n";
  }
  void State(int held, uint32_t pov, int32_t rx) {
    JoyState s;
    if (held >= 0) s.buttons[held] = 0x80;
    s.pov[0] = pov;
    s.lRx = rx;
    in.SetState("usb-1", s);
  }
  CtrlDevice& Dev() { return main->devices[0]; }
};

TEST_F(DetectTest, MagicButtonsChooseAmongCandidates) {
  Setup("Pad", Block("Pad", 2, 3, -1, "Magic three") + Block("Pad", 1, -1, -1, "Plain") +
                   Block("Pad", 0, 1006, 9000, "Hat right") + Block("Pad", 7, 200, -1, "Out of range"));
  State(3, kPovCentre, 32767);
  ASSERT_TRUE(main->DetectSettings(Dev()));
  EXPECT_EQ(Dev().desc.friendlyName, "Magic three");
  EXPECT_EQ(LogCount("CtrlMain::DetectSettings():Found Matching Magic Button:3"), 1);
  EXPECT_EQ(LogCount("VID:1118 PID:654 Name:Pad"), 1);
  EXPECT_EQ(LogCount("Controller Detected Successfully"), 1);

  State(-1, 9000, 32767);
  ASSERT_TRUE(main->DetectSettings(Dev()));
  EXPECT_EQ(Dev().desc.friendlyName, "Hat right");
  EXPECT_EQ(LogCount("CtrlMain::DetectSettings():Found Matching Magic Button:10069000"), 1);

  // Nothing held (and button 200 is no button): the entry without a magic button.
  State(-1, kPovCentre, 32767);
  ASSERT_TRUE(main->DetectSettings(Dev()));
  EXPECT_EQ(Dev().desc.friendlyName, "Plain");
  EXPECT_EQ(Dev().desc.kind, 1);
}

TEST_F(DetectTest, ASingleMagicEntryThatIsNotHeldFails) {
  Setup("Pad", Block("Pad", 2, 3, -1, "Magic three"));
  State(-1, kPovCentre, 32767);
  EXPECT_FALSE(main->DetectSettings(Dev()));
  EXPECT_EQ(LogCount("CtrlMain::DetectSettings():Could Not Find Matching Magic Button Or Axis Check"), 1);
  EXPECT_EQ(LogCount("Controller Detection Failed"), 1);
  EXPECT_EQ(Dev().detected, 0);

  Write("device_list.ini", "");
  EXPECT_FALSE(main->DetectSettings(Dev()));
  EXPECT_EQ(LogCount("CtrlMain::DetectSettings():Could Not Locate A Matching VID PID and Controller Name"), 1);
}

TEST_F(DetectTest, TheRotationAxisTellsDrumsFromGuitarsOnTheWiredPadName) {
  const std::string name = "Controller (XBOX 360 For Windows)";
  Setup(name, Block(name, 1, -1, -1, "Guitar") + Block(name, 0, -1, -1, "Drums"));
  struct Case {
    int32_t rx;
    const char* want;
  } cases[] = {{32767, "Drums"}, {32747, "Guitar"}, {32787, "Guitar"}, {32748, "Drums"}, {32746, "Guitar"},
               {0, "Guitar"}};
  for (const Case& c : cases) {
    State(-1, kPovCentre, c.rx);
    ASSERT_TRUE(main->DetectSettings(Dev())) << c.rx;
    EXPECT_EQ(Dev().desc.friendlyName, c.want) << c.rx;
  }
  // Both windows pass 32747: with the drums entry first it wins there.
  Write("device_list.ini", Block(name, 0, -1, -1, "Drums") + Block(name, 1, -1, -1, "Guitar"));
  State(-1, kPovCentre, 32747);
  ASSERT_TRUE(main->DetectSettings(Dev()));
  EXPECT_EQ(Dev().desc.friendlyName, "Drums");
}

// XInput pads through the Ctrl thread's poll, driven here without the thread.
class XInputTest : public CtrlFixture {
 protected:
  XInputTest() {
    in.AttachPad(0, 0x028E045Eu, 1);
    in.AttachPad(1, 0x12345678u, 8);
    in.AttachJoystick("xpad-0", 0x045E, 0x028E, "Xbox 360 Controller");  // read as XInput only
    in.AttachKeyboard();
    Make(true);
  }
  void Report(uint32_t user, uint16_t buttons, uint32_t timeMs, int16_t ry = 0) {
    XReport r;
    r.buttons = buttons;
    r.rightY = ry;
    r.timeMs = timeMs;
    in.AddReport(user, r);
  }
};

TEST_F(XInputTest, PadsComeFirstAndTheirJoystickViewIsSkipped) {
  EXPECT_EQ(main->count, 5);  // four pads, then the keyboard
  EXPECT_EQ(main->devices[4].keyboardMarker, 1);
  EXPECT_EQ(main->devices[0].connected.load(), 1);
  EXPECT_EQ(main->devices[1].connected.load(), 1);
  EXPECT_EQ(main->devices[2].connected.load(), 0);
  in.SetStateResult(3, 5);
  main->ScanDevices(false);
  EXPECT_EQ(LogCount("XInput Device Scan Error:5"), 1);
  EXPECT_FALSE(in.Enabled());
  EXPECT_EQ(main->count, 5);
}

TEST_F(XInputTest, SubtypesIdentifyTheKind) {
  struct Case {
    uint8_t subtype;
    uint16_t held;
    int32_t kind;
    int32_t tilt;
    int32_t lanes;
    const char* line;
  } cases[] = {
      {1, 0, 2, -1, 4, "XInput Gamepad Detected Successfully"},
      {5, 0, 7, 99, 4, "XInput Dance Pad Detected Successfully"},
      {7, 0, 1, 99, 4, "XInput Basic Guitar Detected Successfully"},
      {0x0B, 0, 1, 99, 4, "XInput Basic Guitar Detected Successfully"},
      {8, kXLeftThumb, 0, -1, 5, "XInput Basic 5 Lane Drums Detected Successfully"},
      {8, 0, 0, -1, 4, "XInput Basic 4 Lane Drums Detected Successfully"},
      {0x0F, 0, 4, 99, 4, "XInput Keys Detected Successfully"},
      {0x19, 0, 6, -1, 4, "XInput Real Guitar Detected Successfully"},
      {0x42, 0, 3, -1, 4, "Error: Unknown XInput Device Subtype 66"},
  };
  for (const Case& c : cases) {
    in.AttachPad(2, 1, c.subtype);
    Report(2, c.held, Now());
    CtrlDevice& d = main->devices[2];
    d.desc.Reset();
    d.detected = 0;
    const int before = LogCount(c.line);
    EXPECT_TRUE(d.DetectXInput()) << int(c.subtype);
    EXPECT_EQ(d.desc.kind, c.kind) << int(c.subtype);
    EXPECT_EQ(d.xpad.kind.load(), static_cast<uint32_t>(c.kind));
    EXPECT_EQ(d.desc.tiltThreshold, c.tilt) << int(c.subtype);
    EXPECT_EQ(d.desc.drumLanes, c.lanes) << int(c.subtype);
    EXPECT_EQ(d.detected, 1);
    EXPECT_EQ(LogCount(c.line), before + 1) << c.line;
  }
  CtrlDevice& gone = main->devices[3];
  EXPECT_FALSE(gone.DetectXInput());
  EXPECT_EQ(LogCount("Controller Disconnected"), 1);
  EXPECT_EQ(gone.detected, 0);
}

TEST_F(XInputTest, EveryReportIsTranslatedAndKeepsItsDeliveryTime) {
  CtrlDevice& pad = main->devices[0];
  ASSERT_TRUE(pad.DetectXInput());
  const uint32_t t = Now();
  Report(0, kXA, t);
  Report(0, 0, t + 1);  // a hit shorter than a poll pass
  Report(0, kXB, t + 4);
  main->XInputPoll();
  auto got = Fetch(pad);
  ExpectEvents(got, {{1, true, 128}, {1, false, 0}, {2, true, 128}});
  EXPECT_EQ(got[0].deliveryMs, t);
  EXPECT_EQ(got[2].deliveryMs - got[1].deliveryMs, 3u);
  main->XInputPoll();
  EXPECT_TRUE(Fetch(pad).empty());

  // A pad that stops answering is marked disconnected and polled no more.
  in.DetachPad(0);
  main->XInputPoll();
  EXPECT_EQ(pad.connected.load(), 0);
  main->ScanDevices(true);
  EXPECT_EQ(pad.detected, 0);
}

TEST_F(XInputTest, AFullQueueDropsTheExcessAndSaysSo) {
  CtrlDevice& pad = main->devices[0];
  pad.DetectXInput();
  for (int i = 0; i < 100; ++i) {
    Report(0, kXA | kXB, Now());
    Report(0, 0, Now());
    main->XInputPoll();
  }
  // 400 events were made; the queue kept 152.
  auto first = Fetch(pad);
  EXPECT_EQ(first.size(), kMaxFetchEvents);
  EXPECT_EQ(LogCount("Controller Event Queue Full: 248 Events Dropped"), 1);
  ExpectEvents(std::vector<InputEvent>(first.begin(), first.begin() + 4),
               {{1, true, 128}, {2, true, 128}, {1, false, 0}, {2, false, 0}});
  EXPECT_EQ(Fetch(pad).size(), 2u);
  EXPECT_TRUE(pad.ClearEvents());
  EXPECT_TRUE(Fetch(pad).empty());
}

TEST_F(XInputTest, ReleaseProbeDrainsThePadQueue) {
  CtrlDevice& pad = main->devices[0];
  pad.DetectXInput();
  Report(0, kXStart, Now());  // start is id 18: not below 15
  main->XInputPoll();
  EXPECT_FALSE(pad.AnyButtonReleased());
  Report(0, kXStart | kXA, Now());
  main->XInputPoll();
  EXPECT_TRUE(pad.AnyButtonReleased());
  EXPECT_TRUE(Fetch(pad).empty());
}

TEST_F(XInputTest, AMissingMutexIsLoggedAndTheFetchGoesOn) {
  CtrlDevice& pad = main->devices[0];
  pad.DetectXInput();
  platform::ClearNamedMutexes();
  Report(0, kXA, Now());
  main->XInputPoll();
  ExpectEvents(Fetch(pad), {{1, true, 128}});
  EXPECT_EQ(LogCount("Error Opening Controller Mutex"), 1);
}

// A keyboard linked to a MIDI drum kit gets the kit's hits as its own events.
class MidiLinkTest : public CtrlFixture {
 protected:
  MidiLinkTest() {
    Write("midi_profiles.ini", "<DEVICE><NAME>Kit</NAME><BUTTONS><RED>38,9,0</RED><GREEN>49,9,0</GREEN>"
                               "</BUTTONS></DEVICE>");
    Write("keyboard_keys.ini", kKeyboard);
    midi.SetDevices({"E-Kit"});
    in.AttachKeyboard();
    Make(false);
  }
};

TEST_F(MidiLinkTest, DrumHitsArriveThroughTheLinkedController) {
  ASSERT_EQ(main->midi.count(), 1);
  ASSERT_TRUE(midi.WaitStarted(0, 5000));
  CtrlDevice& kb = main->devices[0];
  main->DetectSettings(kb);
  kb.midiLinked = 1;
  kb.midiDevice = 0;
  kb.midiProfile = 0;
  kb.desc.kind = kind::kDrums;
  kb.lefty = 1;
  midi.InjectShort(0, 0x99 | 38 << 8 | 100 << 16, Now());
  midi.InjectShort(0, 0x99 | 49 << 8 | 90 << 16, Now());
  in.Key(62, true, Now());  // blue on the keyboard
  std::vector<InputEvent> got;
  for (int i = 0; i < 5000 && got.size() < 3; ++i) {
    auto more = Fetch(kb);
    got.insert(got.end(), more.begin(), more.end());
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  // Keyboard first, then MIDI; the lefty swap covers both.
  ExpectEvents(got, {{1, true, 128}, {2, true, 100}, {4, true, 90}});
  midi.InjectShort(0, 0x99 | 38 << 8 | 100 << 16, Now());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let the IO thread decode it
  kb.ClearEvents();
  EXPECT_TRUE(Fetch(kb).empty());
}

}  // namespace
