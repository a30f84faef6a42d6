// The REST methods the emulator answers, by name. Each group of methods registers itself from its
// own file; the common checks (key, signature, token, permission) run before a handler is called.
#pragma once

#include "emulator/AccountState.h"

#include <functional>
#include <map>
#include <optional>
#include <string>

namespace rtmemu {

struct MethodCall {
    std::multimap<std::string, std::string> params;
    AccountState& state;
    std::optional<Grant> grant;  // the caller's token, for methods that need one

    std::string Param(const std::string& name) const;
    bool Has(const std::string& name) const { return params.count(name) != 0; }
};

// Either the payload of an ok envelope or an error code (with an optional message of its own).
struct MethodResult {
    std::string payload;
    int errorCode = 0;
    std::string errorMessage;

    static MethodResult Ok(std::string payload) { return {std::move(payload), 0, {}}; }
    static MethodResult Error(int code, std::string message = {}) { return {{}, code, std::move(message)}; }
};

struct MethodEntry {
    std::function<MethodResult(MethodCall&)> handler;
    bool signatureRequired = true;
    // None: no token needed; otherwise a valid auth_token with at least this level.
    Perms perms = Perms::None;
};

class MethodRegistry {
  public:
    void Add(const std::string& name, MethodEntry entry) { m_Methods[name] = std::move(entry); }
    const MethodEntry* Find(const std::string& name) const;

  private:
    std::map<std::string, MethodEntry> m_Methods;
};

// The method groups.
void RegisterAuthMethods(MethodRegistry& registry);
void RegisterTestMethods(MethodRegistry& registry);
void RegisterTaskMethods(MethodRegistry& registry);

}  // namespace rtmemu
