// Qt key codes to the virtual-key codes of the message records.
#include <Qt>

#include "platform/message.h"
#include "platform/qt/qt_backend.h"

namespace saver::qt {

namespace {

struct KeyPair {
  int qt;
  uint32_t vk;
};

// Keys whose Qt code does not depend on the layout's shift level.
constexpr KeyPair kKeys[] = {
    {Qt::Key_Escape, vk::Escape},     {Qt::Key_Tab, vk::Tab},
    {Qt::Key_Backtab, vk::Tab},       {Qt::Key_Backspace, vk::Back},
    {Qt::Key_Return, vk::Return},     {Qt::Key_Enter, vk::Return},
    {Qt::Key_Insert, vk::Insert},     {Qt::Key_Delete, vk::Delete},
    {Qt::Key_Pause, vk::Pause},       {Qt::Key_Print, vk::Snapshot},
    {Qt::Key_SysReq, vk::Snapshot},   {Qt::Key_Clear, vk::Clear},
    {Qt::Key_Home, vk::Home},         {Qt::Key_End, vk::End},
    {Qt::Key_Left, vk::Left},         {Qt::Key_Up, vk::Up},
    {Qt::Key_Right, vk::Right},       {Qt::Key_Down, vk::Down},
    {Qt::Key_PageUp, vk::Prior},      {Qt::Key_PageDown, vk::Next},
    {Qt::Key_Shift, vk::Shift},       {Qt::Key_Control, vk::Control},
    {Qt::Key_Meta, vk::LWin},         {Qt::Key_Super_L, vk::LWin},
    {Qt::Key_Super_R, vk::RWin},      {Qt::Key_Menu, vk::Apps},
    {Qt::Key_Alt, vk::Menu},          {Qt::Key_AltGr, vk::Menu},
    {Qt::Key_CapsLock, vk::Capital},  {Qt::Key_NumLock, vk::NumLock},
    {Qt::Key_ScrollLock, vk::Scroll}, {Qt::Key_Space, vk::Space},
};

// The keypad's own keys while Num Lock is on (with it off they arrive as
// the navigation keys above).
constexpr KeyPair kKeypad[] = {
    {Qt::Key_Asterisk, vk::Multiply}, {Qt::Key_Plus, vk::Add},     {Qt::Key_Minus, vk::Subtract},
    {Qt::Key_Period, vk::Decimal},    {Qt::Key_Comma, vk::Decimal}, {Qt::Key_Slash, vk::Divide},
    {Qt::Key_Enter, vk::Return},
};

// Punctuation by its unshifted character (US positions).
constexpr KeyPair kPunctuation[] = {
    {';', vk::Oem1},      {'=', vk::OemPlus},   {',', vk::OemComma}, {'-', vk::OemMinus},
    {'.', vk::OemPeriod}, {'/', vk::Oem2},      {'`', vk::Oem3},     {'[', vk::Oem4},
    {'\\', vk::Oem5},     {']', vk::Oem6},      {'\'', vk::Oem7},
};

uint32_t Find(const KeyPair* begin, const KeyPair* end, int key) {
  for (const KeyPair* p = begin; p != end; ++p)
    if (p->qt == key) return p->vk;
  return 0;
}

// Letters, digits and punctuation by character (upper case for letters).
uint32_t FromCharacter(int c) {
  if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
  if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return uint32_t(c);
  return Find(std::begin(kPunctuation), std::end(kPunctuation), c);
}

}  // namespace

uint32_t TranslateKey(int qtKey, bool keypad, uint32_t nativeScanCode,
                      uint32_t (*keySymbol)(void* context, uint32_t keycode), void* context) {
  if (keypad) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return vk::Numpad0 + uint32_t(qtKey - Qt::Key_0);
    if (uint32_t v = Find(std::begin(kKeypad), std::end(kKeypad), qtKey)) return v;
  }
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return vk::F1 + uint32_t(qtKey - Qt::Key_F1);
  if (uint32_t v = Find(std::begin(kKeys), std::end(kKeys), qtKey)) return v;
  // A shifted or foreign-layout character: the key's own unshifted symbol
  // names it (Shift+1 is still the 1 key). Latin-1 key symbols are their
  // character codes.
  if (nativeScanCode && keySymbol)
    if (uint32_t sym = keySymbol(context, nativeScanCode); sym && sym < 0x100)
      if (uint32_t v = FromCharacter(int(sym))) return v;
  if (qtKey > 0 && qtKey < 0x100) return FromCharacter(qtKey);
  return 0;
}

}  // namespace saver::qt
