// The service's request signature: MD5 over the shared secret and the sorted name/value pairs.
#pragma once

#include <map>
#include <string>

namespace rtmemu {

std::string Md5Hex(const std::string& bytes);
// Every parameter but api_sig, sorted by name (byte order), names and values run together after
// the secret.
std::string ComputeSignature(const std::string& secret,
                             const std::multimap<std::string, std::string>& params);

}  // namespace rtmemu
