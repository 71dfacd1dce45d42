#pragma once

// The PGP toolkit ("pgpsdk.dll") as a stand-in of the platform's library
// loader, bound when the library file exists in the machine. Its
// preferences live in the file of pgp/toolkit_prefs.h; its key rings are
// real OpenPGP key rings (pgp/key_rings.h). docs/pgp-toolkit.md describes
// the entry points and status codes.

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "pgp/toolkit_api.h"
#include "pgp/toolkit_prefs.h"
#include "platform/machine.h"
#include "platform/processes/library.h"

namespace nimbra::pgp {

class ToolkitLibrary : public platform::LibraryStandIn {
 public:
  explicit ToolkitLibrary(platform::Machine& machine);

  // Contexts, key sets, file specifications and returned data not yet freed.
  std::size_t OpenObjects() const;

 private:
  struct Context {
    ToolkitPrefs prefs;
  };

  PgpStatus Init();
  PgpStatus Cleanup();
  PgpStatus NewContext(std::uint32_t version, PgpHandle* context);
  PgpStatus FreeContext(PgpHandle context);
  PgpStatus OpenDefaultKeyRings(PgpHandle context, std::uint32_t flags, PgpHandle* keySet);
  PgpStatus FreeKeySet(PgpHandle keySet);
  PgpStatus NewFileSpec(PgpHandle context, const char* path, PgpHandle* spec);
  PgpStatus GetFullPath(PgpHandle spec, char** path);
  PgpStatus FreeFileSpec(PgpHandle spec);
  PgpStatus SetFilePref(PgpHandle context, std::uint32_t pref, PgpHandle spec);
  PgpStatus GetFilePref(PgpHandle context, std::uint32_t pref, PgpHandle* spec);
  PgpStatus SetData(PgpHandle context, std::uint32_t pref, const void* data, std::uint32_t size);
  PgpStatus GetData(PgpHandle context, std::uint32_t pref, void** data, std::uint32_t* size);
  PgpStatus SavePrefs(PgpHandle context);
  PgpStatus FreeData(void* data);
  PgpStatus GenerateKey(PgpHandle keySet, const char* userId, const char* passPhrase,
                        std::uint32_t validityDays, char* keyId);

  Context* FindContext(PgpHandle context);
  // Memory handed to the caller, to be given back with PGPFreeData.
  void* Hand(const void* bytes, std::size_t size);

  platform::Machine& machine_;
  int initCount_ = 0;
  PgpHandle next_ = 1;
  std::map<PgpHandle, Context> contexts_;
  std::map<PgpHandle, PgpHandle> keySets_;  // key set -> its context
  std::map<PgpHandle, std::string> fileSpecs_;
  std::map<void*, std::unique_ptr<char[]>> handed_;
};

// Binds the stand-in to "pgpsdk.dll".
void RegisterToolkitLibrary(platform::LibraryLoader& loader, platform::Machine& machine);

}  // namespace nimbra::pgp
