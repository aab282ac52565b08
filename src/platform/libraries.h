#pragma once
// Libraries loaded at run time from the system folder: the password
// services of the full-screen saver ("PASSWORD.CPL" with
// VerifyScreenSavePwd, "MPR.DLL" with PwdChangePasswordA) are shared objects
// under those names, exporting C functions of these shapes:
//
//   int32_t VerifyScreenSavePwd(uint64_t window);
//       non-zero when the password was entered correctly
//   uint32_t PwdChangePasswordA(const char* provider, uint64_t parent,
//                               uint32_t reserved1, uint32_t reserved2);
#include <cstdint>
#include <string>

namespace saver {

using TVerifyScreenSavePwd = int32_t (*)(uint64_t window);
using TPwdChangePasswordA = uint32_t (*)(const char* provider, uint64_t parent,
                                         uint32_t reserved1, uint32_t reserved2);

class ILibraries {
 public:
  virtual ~ILibraries() = default;
  // Loads the library at path; nullptr when it cannot be loaded.
  virtual void* Load(const std::string& path) = 0;
  // A function the library exports; nullptr when it has none of that name.
  virtual void* Symbol(void* library, const std::string& name) = 0;
  virtual void Free(void* library) = 0;
};

// dlopen, dlsym, dlclose.
class SharedObjectLibraries final : public ILibraries {
 public:
  void* Load(const std::string& path) override;
  void* Symbol(void* library, const std::string& name) override;
  void Free(void* library) override;
};

// The system folder the password libraries are loaded from:
// $SAVER_SYSTEM_DIR, or the folder chosen when the saver was built
// (SAVER_SYSTEM_DIR in CMake). Without a trailing separator.
std::string SystemFolder();

// The process's libraries: SharedObjectLibraries unless a test set others.
ILibraries& Libraries();
void SetLibraries(ILibraries* libraries);  // nullptr restores the default

}  // namespace saver
