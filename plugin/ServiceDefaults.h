// The services a handler of this process is given unless told otherwise.
#pragma once

#include "rtm/ServiceContext.h"

// The address RTM_SERVICE_URL names (the real service without it), the call spacing shared by
// every handler that calls that service, and the user's default browser.
ServiceContext DefaultServiceContext();
