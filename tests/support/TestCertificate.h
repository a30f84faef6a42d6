// A throwaway self-signed certificate for 127.0.0.1, made at run time for TLS tests.
#pragma once

#include <string>

// Writes "cert.pem" and "key.pem" into the directory; false when OpenSSL fails.
bool WriteSelfSignedCertificate(const std::string& directory, std::string& certificateFile,
                                std::string& keyFile);
