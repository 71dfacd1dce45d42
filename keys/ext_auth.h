#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace nimbra::platform {
class LibraryLoader;
}

namespace nimbra::keys {

// The external authentication library's exports as the key component calls
// them.
using ExtAuthInitialize = void();            // "NB_InitializeLogon"
using ExtAuthFree = void();                  // "NB_FreeLogon"
using ExtAuthStatusChange = std::int32_t();  // "NB_StatusChange"
// "NB_LogonUser": a value of the component, the number 1, a 100-byte buffer
// for the user name and one for the password, both filled zero-terminated.
using ExtAuthLogonUser = void(std::uintptr_t component, std::int32_t kind, char* user,
                              char* password);
inline constexpr std::size_t kExtAuthBufferSize = 100;
inline constexpr const char* kExtAuthDefaultName = "ExtAuth.dll";

// Registers the built-in stand-in of the external authentication library
// under fileName. It is bound when that file exists in the machine, and its
// behaviour is read from the file itself, a profile text:
//   [Logon]   Answers=n, then User1/Password1 .. Usern/Passwordn: what each
//             call of "NB_LogonUser" returns, in turn; after the last both
//             buffers stay empty. Fail=1: the call raises an error.
//             Missing=1: the library has no "NB_LogonUser".
//   [Status]  Code=n: what "NB_StatusChange" returns (default 0); Fail=1
//             raises an error; Missing=1: no "NB_StatusChange".
//   [Initialize] Fail=1, [Free] Fail=1: those calls raise an error.
// Every call is appended as a line to fileName + ".log" beside it
// ("NB_InitializeLogon", "NB_LogonUser", ...), so that tests can see them.
void RegisterExtAuthStandIn(platform::LibraryLoader& loader,
                            const std::string& fileName = kExtAuthDefaultName);

}  // namespace nimbra::keys
