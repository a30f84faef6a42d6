#include "plugin/ServiceDefaults.h"

ServiceContext DefaultServiceContext() {
    // One spacing for the real service, one for any other address (an emulator), which
    // RTM_CALL_SPACING_MS may space more closely.
    static CCallSpacing realService(true);
    static CCallSpacing otherService(false, IntervalFromEnvironment());
    ServiceContext services;
    services.address = ServiceAddress::FromEnvironment();
    services.spacing = services.address.IsDefault() ? &realService : &otherService;
    return services;
}
