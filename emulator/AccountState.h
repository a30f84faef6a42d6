// The emulated service's data: users, the frobs handed out and the tokens granted. Later methods
// add each user's lists and task series here. Every operation takes the one lock, so request
// threads and tests may use the state at the same time.
#pragma once

#include "emulator/TaskStore.h"

#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace rtmemu {

// Permission levels, each including the ones before it.
enum class Perms { None = 0, Read = 1, Write = 2, Delete = 3 };
const char* PermsName(Perms perms);
std::optional<Perms> ParsePerms(const std::string& text);

struct User {
    std::string id;
    std::string username;
    std::string fullname;
};

struct Grant {
    std::string token;
    Perms perms = Perms::None;
    User user;
};

class AccountState {
  public:
    AccountState();

    // The user that approves frobs (the one "logged in" to the web site).
    User CurrentUser() const;

    std::string NewFrob(const std::string& apiKey);
    bool FrobExists(const std::string& frob) const;
    // The user grants access for a frob (the allow button, or auto-approve).
    bool ApproveFrob(const std::string& frob, Perms perms);
    // The token of an approved frob; the same token again when the frob was exchanged before.
    std::optional<Grant> ExchangeFrob(const std::string& frob);
    std::optional<Grant> FindToken(const std::string& token) const;

    // Revokes one token, or every token when `token` is empty; returns how many were revoked.
    size_t Revoke(const std::string& token = std::string());
    std::vector<std::string> Tokens() const;

    void SetAutoApprove(bool on);
    bool AutoApprove() const;

    // The lists and task series of every user (thread-safe on its own).
    TaskStore& Tasks() { return m_Tasks; }

  private:
    struct Frob {
        std::string apiKey;
        bool approved = false;
        Perms perms = Perms::None;
        std::string token;  // set once exchanged
    };
    std::string RandomHex(size_t length);

    mutable std::mutex m_Mutex;
    std::mt19937_64 m_Random;
    User m_User;
    bool m_AutoApprove = false;
    std::map<std::string, Frob> m_Frobs;
    std::map<std::string, Grant> m_Tokens;
    TaskStore m_Tasks{m_User.id};  // after m_User: its user's account is the default one
};

}  // namespace rtmemu
