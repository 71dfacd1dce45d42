#include "core/sha1.h"

#include <openssl/evp.h>

#include "core/error.h"
#include "core/stream.h"

namespace nimbra {
namespace {

EVP_MD_CTX* Ctx(void* p) {
  return static_cast<EVP_MD_CTX*>(p);
}

void Check(int ok, const char* what) {
  if (ok != 1) throw Exception(std::string("SHA-1: ") + what + " failed");
}

}  // namespace

void ComputeSHA1(const void* input, std::size_t length, std::uint8_t digest[20]) {
  unsigned int size = 0;
  Check(EVP_Digest(input, length, digest, &size, EVP_sha1(), nullptr), "digest");
}

Sha1Digest Sha1(std::span<const std::uint8_t> bytes) {
  Sha1Digest d;
  ComputeSHA1(bytes.data(), bytes.size(), d.data());
  return d;
}

Sha1Digest Sha1(std::string_view text) {
  Sha1Digest d;
  ComputeSHA1(text.data(), text.size(), d.data());
  return d;
}

Sha1Hasher::Sha1Hasher() : context_(EVP_MD_CTX_new()) {
  if (context_ == nullptr) throw Exception("SHA-1: out of memory");
  if (EVP_DigestInit_ex(Ctx(context_), EVP_sha1(), nullptr) != 1) {
    EVP_MD_CTX_free(Ctx(context_));
    throw Exception("SHA-1: init failed");
  }
}

Sha1Hasher::~Sha1Hasher() {
  EVP_MD_CTX_free(Ctx(context_));
}

void Sha1Hasher::Update(const void* data, std::size_t length) {
  Check(EVP_DigestUpdate(Ctx(context_), data, length), "update");
}

void Sha1Hasher::Update(Stream& stream) {
  std::uint8_t buffer[64 * 1024];
  while (const std::size_t n = stream.Read(buffer, sizeof buffer)) Update(buffer, n);
}

Sha1Digest Sha1Hasher::Final() {
  Sha1Digest d;
  unsigned int size = 0;
  Check(EVP_DigestFinal_ex(Ctx(context_), d.data(), &size), "final");
  Check(EVP_DigestInit_ex(Ctx(context_), EVP_sha1(), nullptr), "init");
  return d;
}

}  // namespace nimbra
