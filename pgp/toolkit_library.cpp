#include "pgp/toolkit_library.h"

#include <cstring>

#include "pgp/key_rings.h"

namespace nimbra::pgp {

ToolkitLibrary::ToolkitLibrary(platform::Machine& machine) : machine_(machine) {
  Export("PGPsdkInit", [this]() { return Init(); });
  Export("PGPsdkCleanup", [this]() { return Cleanup(); });
  Export("PGPNewContext", [this](std::uint32_t version, PgpHandle* context) {
    return NewContext(version, context);
  });
  Export("PGPFreeContext", [this](PgpHandle context) { return FreeContext(context); });
  Export("PGPOpenDefaultKeyRings", [this](PgpHandle context, std::uint32_t flags, PgpHandle* set) {
    return OpenDefaultKeyRings(context, flags, set);
  });
  Export("PGPFreeKeySet", [this](PgpHandle set) { return FreeKeySet(set); });
  Export("PGPNewFileSpecFromFullPath",
         [this](PgpHandle context, const char* path, PgpHandle* spec) {
           return NewFileSpec(context, path, spec);
         });
  Export("PGPGetFullPathFromFileSpec",
         [this](PgpHandle spec, char** path) { return GetFullPath(spec, path); });
  Export("PGPFreeFileSpec", [this](PgpHandle spec) { return FreeFileSpec(spec); });
  Export("PGPsdkPrefSetFileSpec", [this](PgpHandle context, std::uint32_t pref, PgpHandle spec) {
    return SetFilePref(context, pref, spec);
  });
  Export("PGPsdkPrefGetFileSpec", [this](PgpHandle context, std::uint32_t pref, PgpHandle* spec) {
    return GetFilePref(context, pref, spec);
  });
  Export("PGPsdkPrefSetData",
         [this](PgpHandle context, std::uint32_t pref, const void* data, std::uint32_t size) {
           return SetData(context, pref, data, size);
         });
  Export("PGPsdkPrefGetData",
         [this](PgpHandle context, std::uint32_t pref, void** data, std::uint32_t* size) {
           return GetData(context, pref, data, size);
         });
  Export("PGPsdkSavePrefs", [this](PgpHandle context) { return SavePrefs(context); });
  Export("PGPFreeData", [this](void* data) { return FreeData(data); });
  Export("PGPGenerateKey",
         [this](PgpHandle set, const char* userId, const char* pass, std::uint32_t days,
                char* keyId) { return GenerateKey(set, userId, pass, days, keyId); });
}

std::size_t ToolkitLibrary::OpenObjects() const {
  return contexts_.size() + keySets_.size() + fileSpecs_.size() + handed_.size();
}

PgpStatus ToolkitLibrary::Init() {
  ++initCount_;
  return kPgpOk;
}

PgpStatus ToolkitLibrary::Cleanup() {
  if (initCount_ == 0) return kPgpNotInitialized;
  --initCount_;
  return kPgpOk;
}

ToolkitLibrary::Context* ToolkitLibrary::FindContext(PgpHandle context) {
  const auto found = contexts_.find(context);
  return found == contexts_.end() ? nullptr : &found->second;
}

void* ToolkitLibrary::Hand(const void* bytes, std::size_t size) {
  auto memory = std::make_unique<char[]>(size + 1);
  if (size > 0) std::memcpy(memory.get(), bytes, size);
  memory[size] = '\0';
  void* at = memory.get();
  handed_.emplace(at, std::move(memory));
  return at;
}

PgpStatus ToolkitLibrary::NewContext(std::uint32_t version, PgpHandle* context) {
  if (context == nullptr) return kPgpBadParams;
  if (initCount_ == 0) return kPgpNotInitialized;
  if (version != kPgpApiVersion) return kPgpVersionMismatch;
  Context fresh;
  // The preferences as saved; an unreadable file gives none set.
  const std::string file = ToolkitPrefs::FilePath(machine_);
  if (machine_.FileExists(file)) {
    try {
      fresh.prefs = ToolkitPrefs::Parse(machine_.ReadFile(file));
    } catch (const std::exception&) {
      return kPgpFileError;
    }
  }
  *context = next_++;
  contexts_.emplace(*context, std::move(fresh));
  return kPgpOk;
}

PgpStatus ToolkitLibrary::FreeContext(PgpHandle context) {
  if (contexts_.erase(context) == 0) return kPgpBadHandle;
  return kPgpOk;
}

PgpStatus ToolkitLibrary::OpenDefaultKeyRings(PgpHandle context, std::uint32_t flags,
                                              PgpHandle* keySet) {
  if (keySet == nullptr || flags != 0) return kPgpBadParams;
  if (FindContext(context) == nullptr) return kPgpBadHandle;
  *keySet = next_++;
  keySets_.emplace(*keySet, context);
  return kPgpOk;
}

PgpStatus ToolkitLibrary::FreeKeySet(PgpHandle keySet) {
  if (keySets_.erase(keySet) == 0) return kPgpBadHandle;
  return kPgpOk;
}

PgpStatus ToolkitLibrary::NewFileSpec(PgpHandle context, const char* path, PgpHandle* spec) {
  if (path == nullptr || spec == nullptr || *path == '\0') return kPgpBadParams;
  if (FindContext(context) == nullptr) return kPgpBadHandle;
  *spec = next_++;
  fileSpecs_.emplace(*spec, path);
  return kPgpOk;
}

PgpStatus ToolkitLibrary::GetFullPath(PgpHandle spec, char** path) {
  if (path == nullptr) return kPgpBadParams;
  const auto found = fileSpecs_.find(spec);
  if (found == fileSpecs_.end()) return kPgpBadHandle;
  *path = static_cast<char*>(Hand(found->second.data(), found->second.size()));
  return kPgpOk;
}

PgpStatus ToolkitLibrary::FreeFileSpec(PgpHandle spec) {
  if (fileSpecs_.erase(spec) == 0) return kPgpBadHandle;
  return kPgpOk;
}

PgpStatus ToolkitLibrary::SetFilePref(PgpHandle context, std::uint32_t pref, PgpHandle spec) {
  Context* c = FindContext(context);
  const auto found = fileSpecs_.find(spec);
  if (c == nullptr || found == fileSpecs_.end()) return kPgpBadHandle;
  if (ToolkitPrefs::FileKey(pref) == nullptr) return kPgpBadParams;
  c->prefs.SetFilePref(pref, found->second);
  return kPgpOk;
}

PgpStatus ToolkitLibrary::GetFilePref(PgpHandle context, std::uint32_t pref, PgpHandle* spec) {
  if (spec == nullptr) return kPgpBadParams;
  Context* c = FindContext(context);
  if (c == nullptr) return kPgpBadHandle;
  if (ToolkitPrefs::FileKey(pref) == nullptr) return kPgpBadParams;
  const auto path = c->prefs.FilePref(pref);
  if (!path) return kPgpPrefNotFound;
  *spec = next_++;
  fileSpecs_.emplace(*spec, *path);
  return kPgpOk;
}

PgpStatus ToolkitLibrary::SetData(PgpHandle context, std::uint32_t pref, const void* data,
                                  std::uint32_t size) {
  Context* c = FindContext(context);
  if (c == nullptr) return kPgpBadHandle;
  if (pref != kPrefData || (data == nullptr && size > 0)) return kPgpBadParams;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  c->prefs.SetData(std::vector<std::uint8_t>(bytes, bytes + size));
  return kPgpOk;
}

PgpStatus ToolkitLibrary::GetData(PgpHandle context, std::uint32_t pref, void** data,
                                  std::uint32_t* size) {
  if (data == nullptr || size == nullptr) return kPgpBadParams;
  Context* c = FindContext(context);
  if (c == nullptr) return kPgpBadHandle;
  if (pref != kPrefData) return kPgpBadParams;
  const auto value = c->prefs.Data();
  if (!value) return kPgpPrefNotFound;
  *data = Hand(value->data(), value->size());
  *size = static_cast<std::uint32_t>(value->size());
  return kPgpOk;
}

PgpStatus ToolkitLibrary::SavePrefs(PgpHandle context) {
  Context* c = FindContext(context);
  if (c == nullptr) return kPgpBadHandle;
  try {
    machine_.WriteFile(ToolkitPrefs::FilePath(machine_), c->prefs.Text());
  } catch (const std::exception&) {
    return kPgpFileError;
  }
  return kPgpOk;
}

PgpStatus ToolkitLibrary::FreeData(void* data) {
  if (handed_.erase(data) == 0) return kPgpBadParams;
  return kPgpOk;
}

PgpStatus ToolkitLibrary::GenerateKey(PgpHandle keySet, const char* userId, const char* passPhrase,
                                      std::uint32_t validityDays, char* keyId) {
  if (userId == nullptr || passPhrase == nullptr || keyId == nullptr) return kPgpBadParams;
  const auto set = keySets_.find(keySet);
  if (set == keySets_.end()) return kPgpBadHandle;
  Context* c = FindContext(set->second);
  if (c == nullptr) return kPgpBadHandle;
  const auto publicRing = c->prefs.FilePref(kPrefPublicKeyRing);
  const auto privateRing = c->prefs.FilePref(kPrefPrivateKeyRing);
  if (!publicRing || !privateRing) return kPgpPrefNotFound;
  try {
    const std::string id =
        AddKeyPair(machine_, {*publicRing, *privateRing}, userId, passPhrase, validityDays);
    if (id.size() + 1 > kPgpKeyIdSize) return kPgpKeyGenerationFailed;
    std::memcpy(keyId, id.c_str(), id.size() + 1);
  } catch (const KeyRingError& e) {
    return e.Status();
  } catch (const std::exception&) {
    return kPgpKeyGenerationFailed;
  }
  return kPgpOk;
}

void RegisterToolkitLibrary(platform::LibraryLoader& loader, platform::Machine& machine) {
  loader.RegisterStandIn(std::string(kToolkitFileName), [&machine](const platform::LoadedFile&) {
    return std::make_unique<ToolkitLibrary>(machine);
  });
}

}  // namespace nimbra::pgp
