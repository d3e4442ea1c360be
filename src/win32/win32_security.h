#pragma once

// Schannel and CryptoAPI as this library uses them: SCH_CREDENTIALS needs
// SCHANNEL_USE_BLACKLISTS and <subauth.h>.
#define SECURITY_WIN32
#define SCHANNEL_USE_BLACKLISTS
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
TlsCode checkServerCertificate(PCCERT_CONTEXT certificate, const std::string& serverName, HCERTSTORE addedRoots);

}  // namespace tcp::win32
