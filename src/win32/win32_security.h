#pragma once

// Schannel and CryptoAPI as this library uses them: SCH_CREDENTIALS needs
// SCHANNEL_USE_BLACKLISTS and <subauth.h>; a time limit for fetching during a
// chain check needs CERT_CHAIN_PARA's extra fields.
#define SECURITY_WIN32
#define SCHANNEL_USE_BLACKLISTS
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
#include <windows.h>
#include <wincrypt.h>
#include <subauth.h>
#include <security.h>
#include <schannel.h>

#include <string>

#include "platform/tls.h"

namespace tcp::win32 {

// GetLastError as an HRESULT-style code (Win32 errors become 0x8007xxxx).
TlsCode lastErrorCode();

// Checks a server certificate for server authentication under serverName:
// first against the system's roots, then, when that fails for want of a
// trusted root and addedRoots is given, with addedRoots as the only roots.
// With revocation, a revoked certificate below the root is refused; one whose
// status cannot be learnt is not. Nothing is fetched here: a missing issuer
// or revocation list is asked for, to be given in fetched on the next call.
PeerVerdict checkServerCertificate(PCCERT_CONTEXT certificate, const std::string& serverName, HCERTSTORE addedRoots,
                                   bool revocation, const FetchedObjects& fetched);

}  // namespace tcp::win32
