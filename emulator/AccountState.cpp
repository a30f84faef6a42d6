#include "emulator/AccountState.h"

namespace rtmemu {

const char* PermsName(Perms perms) {
    switch (perms) {
        case Perms::Read:
            return "read";
        case Perms::Write:
            return "write";
        case Perms::Delete:
            return "delete";
        default:
            return "none";
    }
}

std::optional<Perms> ParsePerms(const std::string& text) {
    if (text == "read")
        return Perms::Read;
    if (text == "write")
        return Perms::Write;
    if (text == "delete")
        return Perms::Delete;
    return std::nullopt;
}

AccountState::AccountState() : m_Random(std::random_device{}()), m_User{"5001", "demo", "Demo User"} {}

User AccountState::CurrentUser() const {
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_User;
}

std::string AccountState::RandomHex(size_t length) {
    static const char DIGITS[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < length; ++i)
        text += DIGITS[m_Random() % 16];
    return text;
}

std::string AccountState::NewFrob(const std::string& apiKey) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    std::string frob;
    do {
        frob = RandomHex(40);
    } while (m_Frobs.count(frob));
    Frob& entry = m_Frobs[frob];
    entry.apiKey = apiKey;
    if (m_AutoApprove) {
        entry.approved = true;
        entry.perms = Perms::Delete;
    }
    return frob;
}

bool AccountState::FrobExists(const std::string& frob) const {
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Frobs.count(frob) != 0;
}

bool AccountState::ApproveFrob(const std::string& frob, Perms perms) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    auto found = m_Frobs.find(frob);
    if (found == m_Frobs.end() || !found->second.token.empty())
        return false;
    found->second.approved = true;
    found->second.perms = perms;
    return true;
}

std::optional<Grant> AccountState::ExchangeFrob(const std::string& frob) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    auto found = m_Frobs.find(frob);
    if (found == m_Frobs.end() || !found->second.approved)
        return std::nullopt;
    Frob& entry = found->second;
    if (!entry.token.empty()) {
        auto granted = m_Tokens.find(entry.token);
        if (granted == m_Tokens.end())
            return std::nullopt;  // revoked since
        return granted->second;
    }
    Grant grant;
    do {
        grant.token = RandomHex(40);
    } while (m_Tokens.count(grant.token));
    grant.perms = entry.perms;
    grant.user = m_User;
    entry.token = grant.token;
    m_Tokens[grant.token] = grant;
    return grant;
}

std::optional<Grant> AccountState::FindToken(const std::string& token) const {
    std::lock_guard<std::mutex> lock(m_Mutex);
    auto found = m_Tokens.find(token);
    if (found == m_Tokens.end())
        return std::nullopt;
    return found->second;
}

size_t AccountState::Revoke(const std::string& token) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (token.empty()) {
        const size_t count = m_Tokens.size();
        m_Tokens.clear();
        return count;
    }
    return m_Tokens.erase(token);
}

std::vector<std::string> AccountState::Tokens() const {
    std::lock_guard<std::mutex> lock(m_Mutex);
    std::vector<std::string> tokens;
    for (const auto& entry : m_Tokens)
        tokens.push_back(entry.first);
    return tokens;
}

void AccountState::SetAutoApprove(bool on) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_AutoApprove = on;
}

bool AccountState::AutoApprove() const {
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_AutoApprove;
}

}  // namespace rtmemu
