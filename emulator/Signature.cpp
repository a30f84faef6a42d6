#include "emulator/Signature.h"

#include <openssl/evp.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace rtmemu {

std::string Md5Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr))
        return std::string();
    static const char DIGITS[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += DIGITS[digest[i] >> 4];
        hex += DIGITS[digest[i] & 15];
    }
    return hex;
}

std::string ComputeSignature(const std::string& secret,
                             const std::multimap<std::string, std::string>& params) {
    std::vector<std::pair<std::string, std::string>> sorted;
    for (const auto& param : params) {
        if (param.first != "api_sig")
            sorted.push_back(param);
    }
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string text = secret;
    for (const auto& param : sorted)
        text += param.first + param.second;
    return Md5Hex(text);
}

}  // namespace rtmemu
