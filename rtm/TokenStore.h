// Where the authorisation keeps the token and a frob still to be exchanged, across runs.
#pragma once

#include <wx/string.h>

struct StoredAuth {
    wxString token;
    wxString frob;
};

class TokenStore {
  public:
    virtual ~TokenStore() = default;
    virtual StoredAuth Load() = 0;
    // Must be durable when it returns: the token has to survive a crash of the host.
    virtual void Save(const StoredAuth& stored) = 0;
};
