#include "keys/dsa_key_text.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/dsa.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <memory>
#include <vector>

#include "core/hex.h"
#include "core/sha1.h"
#include "keys/keys_error.h"

namespace nimbra::keys {
namespace {

struct BnFree {
  void operator()(BIGNUM* n) const { BN_clear_free(n); }
};
struct PkeyFree {
  void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct CtxFree {
  void operator()(EVP_PKEY_CTX* c) const { EVP_PKEY_CTX_free(c); }
};
using Bn = std::unique_ptr<BIGNUM, BnFree>;
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
using Ctx = std::unique_ptr<EVP_PKEY_CTX, CtxFree>;

std::string Hex(const BIGNUM* n) {
  char* text = BN_bn2hex(n);
  if (!text) throw EKeysError("DSA number could not be written");
  std::string result(text);
  OPENSSL_clear_free(text, result.size() + 1);
  return result;
}

Bn Param(EVP_PKEY* key, const char* name) {
  BIGNUM* n = nullptr;
  if (EVP_PKEY_get_bn_param(key, name, &n) != 1) throw EKeysError("DSA key is incomplete");
  return Bn(n);
}

// The numbers of a key text: items after commas that begin with "VR:".
std::vector<Bn> Numbers(std::string_view text) {
  std::vector<Bn> numbers;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) comma = text.size();
    const std::string_view item = text.substr(start, comma - start);
    if (item.substr(0, 3) == "VR:") {
      const std::string digits(item.substr(3));
      BIGNUM* n = nullptr;
      // BN_hex2bn reads the leading hexadecimal digits; none is no number.
      if (digits.empty() || BN_hex2bn(&n, digits.c_str()) == 0) {
        BN_free(n);
        numbers.emplace_back();
      } else {
        numbers.emplace_back(n);
      }
    }
    start = comma + 1;
  }
  return numbers;
}

// A key from the numbers q, p, g, y (and x when `withPrivate`).
Pkey KeyFromText(std::string_view text, bool withPrivate) {
  std::vector<Bn> n = Numbers(text);
  const std::size_t needed = withPrivate ? 5 : 4;
  if (n.size() < needed) return nullptr;
  for (std::size_t i = 0; i < needed; ++i)
    if (!n[i]) return nullptr;
  std::unique_ptr<OSSL_PARAM_BLD, decltype(&OSSL_PARAM_BLD_free)> build(OSSL_PARAM_BLD_new(),
                                                                        OSSL_PARAM_BLD_free);
  if (!build || !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_FFC_Q, n[0].get()) ||
      !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_FFC_P, n[1].get()) ||
      !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_FFC_G, n[2].get()) ||
      !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_PUB_KEY, n[3].get()) ||
      (withPrivate && !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_PRIV_KEY, n[4].get())))
    return nullptr;
  std::unique_ptr<OSSL_PARAM, decltype(&OSSL_PARAM_free)> params(
      OSSL_PARAM_BLD_to_param(build.get()), OSSL_PARAM_free);
  Ctx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "DSA", nullptr));
  EVP_PKEY* key = nullptr;
  if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
      EVP_PKEY_fromdata(ctx.get(), &key, withPrivate ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY,
                        params.get()) != 1)
    return nullptr;
  return Pkey(key);
}

Ctx SignatureContext(EVP_PKEY* key) {
  Ctx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
  return ctx;
}

}  // namespace

DsaKeyTexts GenerateDsaKey(std::span<const std::uint8_t> seed) {
  Ctx paramCtx(EVP_PKEY_CTX_new_from_name(nullptr, "DSA", nullptr));
  EVP_PKEY* params = nullptr;
  if (!paramCtx || EVP_PKEY_paramgen_init(paramCtx.get()) != 1 ||
      EVP_PKEY_CTX_set_dsa_paramgen_type(paramCtx.get(), "fips186_2") != 1 ||
      EVP_PKEY_CTX_set_dsa_paramgen_bits(paramCtx.get(), 1024) != 1 ||
      EVP_PKEY_CTX_set_dsa_paramgen_q_bits(paramCtx.get(), 160) != 1 ||
      EVP_PKEY_CTX_set_dsa_paramgen_seed(paramCtx.get(), seed.data(), seed.size()) != 1 ||
      EVP_PKEY_paramgen(paramCtx.get(), &params) != 1)
    throw EKeysError("DSA parameters could not be generated");
  Pkey paramKey(params);
  Ctx keyCtx(EVP_PKEY_CTX_new_from_pkey(nullptr, paramKey.get(), nullptr));
  EVP_PKEY* made = nullptr;
  if (!keyCtx || EVP_PKEY_keygen_init(keyCtx.get()) != 1 ||
      EVP_PKEY_keygen(keyCtx.get(), &made) != 1)
    throw EKeysError("DSA key could not be generated");
  Pkey key(made);
  const std::string numbers = ",VR:" + Hex(Param(key.get(), OSSL_PKEY_PARAM_FFC_Q).get()) +
                              ",VR:" + Hex(Param(key.get(), OSSL_PKEY_PARAM_FFC_P).get()) +
                              ",VR:" + Hex(Param(key.get(), OSSL_PKEY_PARAM_FFC_G).get()) +
                              ",VR:" + Hex(Param(key.get(), OSSL_PKEY_PARAM_PUB_KEY).get());
  DsaKeyTexts texts;
  texts.publicText = "/DSA PUBLIC KEY" + numbers;
  texts.privateText =
      "/DSA PRIVATE KEY" + numbers + ",VR:" + Hex(Param(key.get(), OSSL_PKEY_PARAM_PRIV_KEY).get());
  return texts;
}

bool VerifyDsaSignature(std::string_view keyText, std::string_view text,
                        std::string_view signatureHex) {
  Pkey key = KeyFromText(keyText, false);
  if (!key) return false;
  std::vector<std::uint8_t> signature;
  try {
    signature = HexToBytes(signatureHex);
  } catch (const std::exception&) {
    return false;
  }
  if (signature.empty()) return false;
  const Sha1Digest digest = Sha1(text);
  Ctx ctx = SignatureContext(key.get());
  if (!ctx || EVP_PKEY_verify_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_signature_md(ctx.get(), EVP_sha1()) != 1)
    return false;
  return EVP_PKEY_verify(ctx.get(), signature.data(), signature.size(), digest.data(),
                         digest.size()) == 1;
}

std::string SignDsa(std::string_view privateText, std::string_view text) {
  Pkey key = KeyFromText(privateText, true);
  if (!key) throw EKeysError("not a DSA private key");
  const Sha1Digest digest = Sha1(text);
  Ctx ctx = SignatureContext(key.get());
  std::size_t size = 0;
  if (!ctx || EVP_PKEY_sign_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_signature_md(ctx.get(), EVP_sha1()) != 1 ||
      EVP_PKEY_sign(ctx.get(), nullptr, &size, digest.data(), digest.size()) != 1)
    throw EKeysError("DSA signature could not be made");
  std::vector<std::uint8_t> signature(size);
  if (EVP_PKEY_sign(ctx.get(), signature.data(), &size, digest.data(), digest.size()) != 1)
    throw EKeysError("DSA signature could not be made");
  signature.resize(size);
  return HexUpper(signature);
}

}  // namespace nimbra::keys
