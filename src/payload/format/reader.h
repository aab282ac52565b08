#pragma once
// ReadData: reads the payload appended to the saver file into PayloadData.
//
// Configuration depth reads the trailer, the text fields and the user's
// settings and fills the panel; show depth also reads the picture, mask and
// music tables and paints the background. Every failure inside is turned into
// the one error message box and a terminate request.
//
// The parts of the program that the reader drives but does not own (settings
// store, panel controls, background drawing, cursor, message box, terminate)
// are reached through IReaderHost. The base class does nothing for each of
// them, so tools can read a saver file without any UI:
//   IReaderHost quiet; PayloadData data;
//   bool ok = ReadData(data, path, /*configMode=*/false, quiet, &reason);
#include <random>
#include <string>

#include "payload/format/payload_data.h"

namespace saver {

class IMessageBox;

inline constexpr char kDefaultApplicationTitle[] = "Screen Saver";
inline constexpr char kReadFailureText[] =
    "The screen saver can not run because of one of the following reasons:\r\n\r\n"
    "* The file is corrupted\r\n* Your computer is out of resources\r\n* Windows error";

class IReaderHost {
 public:
  virtual ~IReaderHost() = default;

  // Merges the stored user settings for data.Text.Title into data.Trailer
  // and data.Text.Effect. Raises when a stored value has the wrong type.
  virtual void ReadSettings(PayloadData& data) {}
  // Puts the merged settings into the panel's controls and the timer.
  virtual void SettingsToControls(PayloadData& data) {}
  // The application title: the failure message's caption. The reader sets
  // it to the saver's Title right before SettingsToControls.
  virtual void SetApplicationTitle(const std::string& title) { title_ = title; }
  virtual std::string ApplicationTitle() const { return title_; }

  virtual void SetWindowColor(int32_t color) {}
  // Fills the screen-sized background with the gradient of data.Trailer.
  virtual void PaintBackground(PayloadData& data) {}
  // Only when the payload has a background picture: extracts it (see
  // ExtractBackgroundPicture), decodes it and lays it on the background.
  virtual void LoadBackgroundPicture(PayloadData& data) {}
  // The payload has no background picture.
  virtual void ClearBackgroundPicture() {}

  // A uniform random integer in [0, range).
  virtual int Random(int range) { return std::uniform_int_distribution<int>(0, range - 1)(rng_); }

  // The failure path.
  virtual void ShowCursor() {}
  virtual IMessageBox* MessageBox() { return nullptr; }
  virtual void RequestTerminate() {}

 private:
  std::string title_ = kDefaultApplicationTitle;
  std::mt19937 rng_{std::random_device{}()};
};

// The failure message: the system's own text, then the reason.
std::string ReadFailureText(const std::string& reason);

// Reads the payload of the file at path. Returns false after a failure, which
// is logged as "Failure: " + reason and shown in the message box
// (ReadFailureText); *reason, if given, says what failed. A file that cannot
// be opened raises std::system_error instead, without the message box.
bool ReadData(PayloadData& data, const std::string& path, bool configMode, IReaderHost& host,
              std::string* reason = nullptr);

// Reads only the trailer and checks the magic (the preview needs no more).
// Fills data.Trailer, FileSize, PayloadStart and SourcePath; raises
// PayloadError (or std::system_error when the file cannot be opened).
void ReadTrailer(PayloadData& data, const std::string& path);

// Extracts the background picture into TempFolder as "SSBG" + BackPictureExt
// and returns that file's path. Raises on any failure.
std::string ExtractBackgroundPicture(const PayloadData& data);

}  // namespace saver
