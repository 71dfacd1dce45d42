#include "pgp/toolkit_binding.h"

#include <algorithm>
#include <cstring>

namespace nimbra::pgp {

// One opened toolkit context with its default key set, closed again in
// every case: the key set freed, the context freed, the toolkit cleaned up,
// each only when its opening step succeeded.
class ToolkitBinding::Session {
 public:
  explicit Session(const Entries& e) : e_(e) {
    status_ = e_.sdkInit();
    if (status_ != kPgpOk) return;
    initialised_ = true;
    status_ = e_.newContext(kPgpApiVersion, &context_);
    if (status_ != kPgpOk) return;
    hasContext_ = true;
    status_ = e_.openDefaultKeyRings(context_, 0, &keySet_);
    if (status_ == kPgpOk) hasKeySet_ = true;
  }
  ~Session() {
    if (hasKeySet_) e_.freeKeySet(keySet_);
    if (hasContext_) e_.freeContext(context_);
    if (initialised_) e_.sdkCleanup();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  PgpStatus Status() const { return status_; }
  PgpHandle Context() const { return context_; }
  PgpHandle KeySet() const { return keySet_; }

 private:
  const Entries& e_;
  PgpStatus status_ = kPgpOk;
  bool initialised_ = false, hasContext_ = false, hasKeySet_ = false;
  PgpHandle context_ = 0, keySet_ = 0;
};

namespace {

// A file specification freed when it goes out of scope.
class FileSpec {
 public:
  explicit FileSpec(const std::function<entry::FreeFileSpec>& free) : free_(free) {}
  ~FileSpec() {
    if (held_) free_(spec_);
  }
  FileSpec(const FileSpec&) = delete;
  FileSpec& operator=(const FileSpec&) = delete;
  // For the call that makes it; call Hold() after it succeeded.
  PgpHandle* Out() { return &spec_; }
  void Hold() { held_ = true; }
  PgpHandle Get() const { return spec_; }

 private:
  const std::function<entry::FreeFileSpec>& free_;
  PgpHandle spec_ = 0;
  bool held_ = false;
};

// Toolkit memory given back when it goes out of scope.
class ToolkitData {
 public:
  explicit ToolkitData(const std::function<entry::FreeData>& free) : free_(free) {}
  ~ToolkitData() {
    if (data_ != nullptr) free_(data_);
  }
  ToolkitData(const ToolkitData&) = delete;
  ToolkitData& operator=(const ToolkitData&) = delete;
  void** Out() { return &data_; }
  char** OutText() { return reinterpret_cast<char**>(&data_); }
  const char* Text() const { return static_cast<const char*>(data_); }

 private:
  const std::function<entry::FreeData>& free_;
  void* data_ = nullptr;
};

void CopyCut(PrefBuffer& buffer, const char* text, std::size_t length) {
  const std::size_t n = std::min(length, buffer.size() - 1);
  std::memcpy(buffer.data(), text, n);
  buffer[n] = '\0';
}

}  // namespace

ToolkitBinding::~ToolkitBinding() {
  if (module_ != 0) loader_.FreeLibrary(module_);
}

bool ToolkitBinding::Load() {
  if (available_) return true;
  const platform::ModuleHandle module = loader_.LoadLibrary(std::string(kToolkitFileName));
  if (module < 32) return false;
  Entries e;
  e.sdkInit = loader_.GetProc<entry::SdkInit>(module, "PGPsdkInit");
  e.sdkCleanup = loader_.GetProc<entry::SdkCleanup>(module, "PGPsdkCleanup");
  e.newContext = loader_.GetProc<entry::NewContext>(module, "PGPNewContext");
  e.freeContext = loader_.GetProc<entry::FreeContext>(module, "PGPFreeContext");
  e.openDefaultKeyRings =
      loader_.GetProc<entry::OpenDefaultKeyRings>(module, "PGPOpenDefaultKeyRings");
  e.freeKeySet = loader_.GetProc<entry::FreeKeySet>(module, "PGPFreeKeySet");
  e.newFileSpecFromFullPath =
      loader_.GetProc<entry::NewFileSpecFromFullPath>(module, "PGPNewFileSpecFromFullPath");
  e.getFullPathFromFileSpec =
      loader_.GetProc<entry::GetFullPathFromFileSpec>(module, "PGPGetFullPathFromFileSpec");
  e.freeFileSpec = loader_.GetProc<entry::FreeFileSpec>(module, "PGPFreeFileSpec");
  e.prefSetFileSpec = loader_.GetProc<entry::PrefSetFileSpec>(module, "PGPsdkPrefSetFileSpec");
  e.prefGetFileSpec = loader_.GetProc<entry::PrefGetFileSpec>(module, "PGPsdkPrefGetFileSpec");
  e.prefSetData = loader_.GetProc<entry::PrefSetData>(module, "PGPsdkPrefSetData");
  e.prefGetData = loader_.GetProc<entry::PrefGetData>(module, "PGPsdkPrefGetData");
  e.savePrefs = loader_.GetProc<entry::SavePrefs>(module, "PGPsdkSavePrefs");
  e.freeData = loader_.GetProc<entry::FreeData>(module, "PGPFreeData");
  e.generateKey = loader_.GetProc<entry::GenerateKey>(module, "PGPGenerateKey");
  const bool complete = e.sdkInit && e.sdkCleanup && e.newContext && e.freeContext &&
                        e.openDefaultKeyRings && e.freeKeySet && e.newFileSpecFromFullPath &&
                        e.getFullPathFromFileSpec && e.freeFileSpec && e.prefSetFileSpec &&
                        e.prefGetFileSpec && e.prefSetData && e.prefGetData && e.savePrefs &&
                        e.freeData && e.generateKey;
  if (!complete) {
    loader_.FreeLibrary(module);
    return false;
  }
  e_ = std::move(e);
  module_ = module;
  available_ = true;
  return true;
}

std::uint32_t ToolkitBinding::PreferenceNumber(int selector) {
  switch (selector) {
    case kSelectPrivateRing:
      return kPrefPrivateKeyRing;
    case kSelectRandomSeed:
      return kPrefRandomSeedFile;
    case kSelectData:
      return kPrefData;
    default:
      return kPrefPublicKeyRing;
  }
}

PgpStatus ToolkitBinding::ReadPreference(int selector, PrefBuffer& buffer) {
  if (!available_) return kPgpNotInitialized;
  Session session(e_);
  if (session.Status() != kPgpOk) return session.Status();
  const std::uint32_t pref = PreferenceNumber(selector);
  if (selector == kSelectData) {
    ToolkitData data(e_.freeData);
    std::uint32_t size = 0;
    const PgpStatus status = e_.prefGetData(session.Context(), pref, data.Out(), &size);
    if (status != kPgpOk) return status;
    // Data written by the page holds its NUL; what follows it is not text.
    const char* text = data.Text();
    CopyCut(buffer, text, text == nullptr ? 0 : strnlen(text, size));
    return kPgpOk;
  }
  FileSpec spec(e_.freeFileSpec);
  PgpStatus status = e_.prefGetFileSpec(session.Context(), pref, spec.Out());
  if (status != kPgpOk) return status;
  spec.Hold();
  ToolkitData path(e_.freeData);
  status = e_.getFullPathFromFileSpec(spec.Get(), path.OutText());
  if (status != kPgpOk) return status;
  const char* text = path.Text();
  CopyCut(buffer, text, text == nullptr ? 0 : std::strlen(text));
  return kPgpOk;
}

PgpStatus ToolkitBinding::WritePreference(const std::string& path, int selector) {
  if (!available_) return kPgpNotInitialized;
  Session session(e_);
  if (session.Status() != kPgpOk) return session.Status();
  FileSpec spec(e_.freeFileSpec);
  PgpStatus status = e_.newFileSpecFromFullPath(session.Context(), path.c_str(), spec.Out());
  if (status != kPgpOk) return status;
  spec.Hold();
  const std::uint32_t pref = PreferenceNumber(selector);
  if (selector == kSelectData)
    status = e_.prefSetData(session.Context(), pref, path.c_str(),
                            static_cast<std::uint32_t>(path.size() + 1));
  else
    status = e_.prefSetFileSpec(session.Context(), pref, spec.Get());
  if (status != kPgpOk) return status;
  return e_.savePrefs(session.Context());
}

std::optional<std::string> ToolkitBinding::MakeKeyPair(const std::string& userId,
                                                       const std::string& passPhrase,
                                                       int validityDays) {
  if (!available_ || validityDays <= 0) return std::nullopt;
  Session session(e_);
  if (session.Status() != kPgpOk) return std::nullopt;
  std::array<char, kPgpKeyIdSize> keyId{};
  if (e_.generateKey(session.KeySet(), userId.c_str(), passPhrase.c_str(),
                     static_cast<std::uint32_t>(validityDays), keyId.data()) != kPgpOk)
    return std::nullopt;
  keyId.back() = '\0';
  return std::string(keyId.data());
}

}  // namespace nimbra::pgp
