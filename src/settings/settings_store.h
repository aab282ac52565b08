#pragma once
// The user's settings: fourteen values under "\Software\Kelvastrom\" + Title
// in the per-user registry that override the payload's defaults. The
// effective values live in the in-memory trailer and the Effect text field;
// there is no separate settings object.
#include <stdexcept>
#include <string>
#include <vector>

#include "payload/format/payload_data.h"
#include "platform/registry.h"

namespace saver {

class SettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "\Software\Kelvastrom\" + title; a backslash in the title nests deeper.
std::string SettingsKeyPath(const std::string& title);

// Overwrites the fields of trailer and effect whose values are stored for
// title. A missing or unreadable key leaves every default in force. A value
// of the wrong type raises SettingsError (integers must be DWORD, Effect SZ or
// EXPAND_SZ). Numbers are taken as stored, without a range check; booleans
// are true when non-zero. The settings read always keep a way to end the
// show (KeepAnExitCondition).
void ReadSettings(IRegistry& registry, const std::string& title, PayloadTrailer& trailer,
                  std::string& effect);
// The same on the process's registry and the in-memory payload.
void ReadSettings(PayloadData& data);

// The rule of the settings dialog's exit boxes, for settings from anywhere:
// with every exit condition off (in a saver's defaults or in the store), Esc
// ends the show.
void KeepAnExitCondition(PayloadTrailer& trailer);

// The state of the configuration panel's controls that WriteSettings stores
// (TConfigPanel::ControlsToStore).
struct SettingsControls {
  std::string secondsText = "1";  // edSeconds
  int sizeCode = 0;                // 0 resize keeping the aspect ratio, 1 stretch, 2 keep the size
  int positionCode = 0;            // 0 centre, 1 random position (only with size code 2)
  int displayOrder = 0;            // 0 sequential, 1 random, 2 mixed
  bool desktopStart = false;
  bool loop = false;
  bool mute = false;
  bool shuffleMelody = false;
  std::vector<bool> effectChecked;  // row i of lbEffects is effect i + 1
  int effectSpeed = 1;              // tbEffectSpeed position, 1..10
  bool playOneRandom = false;
  bool exitMouseMove = false;
  bool exitMouseButton = false;
  bool exitKeyboard = false;
  bool exitESC = false;
};

// Stores every value, each time, under title's key (created when missing),
// in one atomic write. Raises RegistryError when the store cannot be written.
void WriteSettings(IRegistry& registry, const std::string& title, const SettingsControls& c);
void WriteSettings(const std::string& title, const SettingsControls& c);

// The effect-selection string of the checked rows: each checked effect
// number once, ascending; rows past 116 are ignored.
std::string EffectSelectionString(const std::vector<bool>& checked);

// The integer part of the number in the seconds field; 1 when the text is
// not a number.
int SecondsFromText(const std::string& text);

}  // namespace saver
