#pragma once
// Message records: what the windows of the saver receive as input, in the
// numbering the show's rules are written in. The desktop backend turns its
// toolkit's events into these records; tests inject them directly.
#include <cstdint>

namespace saver {

// A native window: an X11 window id; 0 is no window.
using TWindowHandle = uint64_t;

struct TMessage {
  TWindowHandle Window = 0;  // the window the message is for
  uint32_t Msg = 0;
  uint64_t WParam = 0;
  int64_t LParam = 0;
  int64_t Result = 0;        // set by the window procedure
};

namespace msg {
constexpr uint32_t Activate = 0x0006;     // WParam 0: deactivated, else activated
constexpr uint32_t ActivateApp = 0x001C;  // WParam 0: another application became active
constexpr uint32_t NcActivate = 0x0086;
constexpr uint32_t KeyDown = 0x0100;      // WParam: virtual-key code; LParam: KeyWasDown
constexpr uint32_t KeyUp = 0x0101;
constexpr uint32_t SysKeyDown = 0x0104;   // key down while Alt is held
constexpr uint32_t SysKeyUp = 0x0105;
constexpr uint32_t SysCommand = 0x0112;   // WParam: the command
constexpr uint32_t MouseMove = 0x0200;    // LParam: y << 16 | x, client coordinates
constexpr uint32_t LButtonDown = 0x0201;
constexpr uint32_t RButtonDown = 0x0204;
constexpr uint32_t MButtonDown = 0x0207;

constexpr uint64_t ScScreenSave = 0xF140;  // SysCommand: start the screen saver

// Set in the LParam of a key down when the key was down already: a held key
// repeats as more key downs.
constexpr int64_t KeyWasDown = int64_t(1) << 30;
}  // namespace msg

// Virtual-key codes of the keys the saver's rules and tests name. Letters
// and digits are their upper-case ASCII codes ('A' = 0x41, '0' = 0x30).
namespace vk {
constexpr uint32_t Back = 0x08, Tab = 0x09, Clear = 0x0C, Return = 0x0D, Shift = 0x10,
                   Control = 0x11, Menu = 0x12, Pause = 0x13, Capital = 0x14, Escape = 0x1B,
                   Space = 0x20, Prior = 0x21, Next = 0x22, End = 0x23, Home = 0x24, Left = 0x25,
                   Up = 0x26, Right = 0x27, Down = 0x28, Snapshot = 0x2C, Insert = 0x2D,
                   Delete = 0x2E, LWin = 0x5B, RWin = 0x5C, Apps = 0x5D, Numpad0 = 0x60,
                   Multiply = 0x6A, Add = 0x6B, Subtract = 0x6D, Decimal = 0x6E, Divide = 0x6F,
                   F1 = 0x70, F2 = 0x71, F24 = 0x87, NumLock = 0x90, Scroll = 0x91;
// Punctuation keys, named by their US-layout characters: ; = , - . / ` [ \ ] '
constexpr uint32_t Oem1 = 0xBA, OemPlus = 0xBB, OemComma = 0xBC, OemMinus = 0xBD,
                   OemPeriod = 0xBE, Oem2 = 0xBF, Oem3 = 0xC0, Oem4 = 0xDB, Oem5 = 0xDC,
                   Oem6 = 0xDD, Oem7 = 0xDE;
}  // namespace vk

// The LParam of a mouse message: each coordinate kept to its low 16 bits.
constexpr int64_t MouseLParam(int32_t x, int32_t y) {
  return int64_t((uint32_t(uint16_t(y)) << 16) | uint16_t(x));
}
constexpr uint32_t MouseX(int64_t lParam) { return uint32_t(lParam) & 0xFFFF; }
constexpr uint32_t MouseY(int64_t lParam) { return (uint32_t(lParam) >> 16) & 0xFFFF; }

}  // namespace saver
