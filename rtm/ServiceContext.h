// What a connection is given besides its settings, never reached for: where the service is, the
// spacing its calls share with every other connection to that service, and how the browser opens.
#pragma once

#include "rtm/BrowserLauncher.h"
#include "rtm/CallSpacing.h"
#include "rtm/ServiceAddress.h"

struct ServiceContext {
    ServiceAddress address;
    CCallSpacing* spacing = nullptr;  // not owned; none: calls are not spaced
    BrowserLauncher launcher;         // null: the user's default browser
};
